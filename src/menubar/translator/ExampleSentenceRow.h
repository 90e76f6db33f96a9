#pragma once

#include <QList>
#include <QString>
#include <QWidget>

class QLabel;

// One example sentence after a bullet, its bracketed parts emphasised in semibold blue.
class ExampleSentenceRow : public QWidget {
    Q_OBJECT
public:
    struct Segment {
        QString text;
        bool highlighted = false;
        bool operator==(const Segment&) const = default;
    };

    // The sentence cut at every "[...]" that stays on one line: each bracket, brackets included, becomes
    // the source word, highlighted, whatever it held; the text around them keeps no emphasis. Adjacent
    // plain text stays one segment.
    static QList<Segment> attributedSentence(const QString& sentence, const QString& sourceWord);
    // The same as rich text for a label, escaped.
    static QString html(const QList<Segment>& segments);

    ExampleSentenceRow(const QString& sentence, const QString& sourceWord, QWidget* parent = nullptr);

    QString sentence() const { return m_sentence; }
    QLabel* textLabel() const { return m_text; }

private:
    QString m_sentence;
    QLabel* m_text = nullptr;
};
