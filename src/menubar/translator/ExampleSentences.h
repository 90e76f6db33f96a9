#pragma once

#include <QAbstractButton>
#include <QStringList>
#include <optional>

class ExampleSentencesPopover;
class AttachedPopover;

// The row "Example Sentences" with a badge counting them; a click opens a popover below it with the
// sentences. Hidden while there are none.
class ExampleSentences : public QAbstractButton {
    Q_OBJECT
public:
    static constexpr int horizontalPadding = 12;
    static constexpr int verticalPadding = 8;
    static constexpr int badgeHorizontalPadding = 8;
    static constexpr int badgeVerticalPadding = 2;

    explicit ExampleSentences(QWidget* parent = nullptr);

    void setExampleSentences(const std::optional<QStringList>& exampleSentences, const QString& sourceWord);
    std::optional<QStringList> exampleSentences() const { return m_sentences; }
    QString sourceWord() const { return m_sourceWord; }

    // Opens the popover; it stays open on a second click and closes on a click elsewhere.
    void openPopover();
    bool isPopoverShown() const;
    AttachedPopover* popover() const { return m_popover; }
    ExampleSentencesPopover* popoverContent() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRect badgeRect() const;

    std::optional<QStringList> m_sentences;
    QString m_sourceWord;
    AttachedPopover* m_popover;
};
