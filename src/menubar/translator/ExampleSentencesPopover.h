#pragma once

#include <QStringList>
#include <QWidget>

class ExampleSentenceRow;
class QScrollArea;

// The example sentences popover's content: a title over a scrolling list of sentences, 300 x 300.
class ExampleSentencesPopover : public QWidget {
    Q_OBJECT
public:
    static constexpr int side = 300;

    ExampleSentencesPopover(const QStringList& exampleSentences, const QString& sourceWord,
                            QWidget* parent = nullptr);

    QList<ExampleSentenceRow*> rows() const;
    QScrollArea* scrollArea() const { return m_scrollArea; }

private:
    QScrollArea* m_scrollArea = nullptr;
};
