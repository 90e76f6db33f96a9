#pragma once

#include <QWidget>

class QLabel;
class QTextEdit;

// The output card: the translation in a selectable, read-only, scrolling text between 150 and 250 high,
// or the placeholder while there is none.
class TextOutputView : public QWidget {
    Q_OBJECT
public:
    static constexpr int minimumScrollHeight = 150;
    static constexpr int maximumScrollHeight = 250;
    static constexpr int cardPadding = 8;
    static constexpr int textInset = 4;

    explicit TextOutputView(QWidget* parent = nullptr);

    void setText(const QString& text);
    QString text() const { return m_shownText; }

    QTextEdit* textView() const { return m_text; }
    QLabel* placeholder() const { return m_placeholder; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void updateScrollHeight();

    QString m_shownText;
    QTextEdit* m_text = nullptr;
    QLabel* m_placeholder = nullptr;
};
