#pragma once

#include "services/Language.h"
#include "services/TranslationService.h"

#include <QWidget>
#include <functional>

class QLabel;
class QTextEdit;

// The output card: the translation in a selectable, read-only, scrolling text between 150 and 250 high,
// or the placeholder while there is none. Every translation it comes to show is recorded in the
// history once, with the pair it was made from; showing the card again records nothing, so a history
// the user cleared stays cleared.
class TextOutputView : public QWidget {
    Q_OBJECT
public:
    static constexpr int minimumScrollHeight = 150;
    static constexpr int maximumScrollHeight = 250;
    static constexpr int cardPadding = 8;
    static constexpr int textInset = 4;

    // What a shown translation is recorded with.
    struct Record {
        QString sourceText;
        QString translatedText;
        Language sourceLanguage;
        Language targetLanguage;
        TranslationService service = TranslationService::Google;
        // The translate request that produced the text; each finished request is recorded once, even
        // when its text equals the one shown before.
        quint64 generation = 0;
    };
    using Recorder = std::function<void(const Record&)>;

    // Where shown translations go; the history store unless replaced (tests).
    static void setRecorder(Recorder recorder);
    static void resetRecorder();

    explicit TextOutputView(QWidget* parent = nullptr);

    // Shows `record.translatedText`; a change to another non-empty text is recorded.
    void setContent(const Record& record);
    QString text() const { return m_record.translatedText; }
    const Record& content() const { return m_record; }

    QTextEdit* textView() const { return m_text; }
    QLabel* placeholder() const { return m_placeholder; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void recordTranslation();
    void updateScrollHeight();

    Record m_record;
    QTextEdit* m_text = nullptr;
    QLabel* m_placeholder = nullptr;
};
