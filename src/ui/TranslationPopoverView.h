#pragma once

#include "services/TranslationService.h"
#include "services/TranslationSession.h"
#include "ui/PopoverWindow.h"

#include <QPointer>
#include <QWidget>
#include <optional>

class ElidedLabel;
class MenuPicker;
class ProgressSpinner;
class QLabel;
class QPlainTextEdit;
class SymbolButton;
class TextButton;

// The translation popover's content: the selected text on one line (with "Show all"), the translation in
// a read-only editor, pickers for the source language, the target language and the provider, a swap
// button, and listen and copy buttons for both texts. It translates text of any length when it is shown
// and again after each change of language or provider; only the newest request's answer is shown. Its
// translations are not recorded in the history.
class TranslationPopoverView : public QWidget {
    Q_OBJECT
public:
    static constexpr int viewWidth = 450;
    static constexpr int showAllHoverDelayMs = 500;
    static constexpr int fullTextLeaveDelayMs = 1000;
    static constexpr int focusDelayMs = 100;

    TranslationPopoverView(const QString& text, const QString& sourceLanguage, const QString& targetLanguage,
                           TranslationService selectedService, const QString& triggerSource,
                           qreal popoverHeight, QWidget* parent = nullptr);
    ~TranslationPopoverView() override;

    QString text() const { return m_text; }
    QString sourceLanguage() const { return m_sourceLanguage; }
    QString targetLanguage() const { return m_targetLanguage; }
    QString triggerSource() const { return m_triggerSource; }
    QString currentSourceText() const { return m_session.text(); }
    QString translatedText() const { return m_session.output().translatedText; }
    // From creation until the first answer, and while a request runs.
    bool isLoading() const { return m_session.isTranslating() || m_session.generation() == 0; }
    std::optional<QString> error() const { return m_error; }
    TranslationService selectedService() const { return m_session.service(); }
    bool isTextEditorFocused() const { return m_isTextEditorFocused; }
    bool isShowingFullSourceText() const { return m_isShowingFullSourceText; }
    bool isHoveringShowMore() const { return m_isHoveringShowMore; }
    qreal popoverHeight() const { return m_popoverHeight; }
    QString selectedSourceLang() const { return m_session.sourceLanguage(); }
    QString selectedTargetLang() const { return m_session.targetLanguage(); }
    const TranslationSession& session() const { return m_session; }

    // The swap is offered with a translation to swap (also while another loads or after a failure) whose
    // source language is known.
    bool canSwapLanguages() const;

    void handleAppear();
    // Translates the current text with the chosen pair and provider, dropping a request still running.
    void startTranslation();
    void handleEditorAppear();
    void updatePopoverHeight();
    // 80 for an empty text, else 22 per estimated line (65 characters a line, rounded up, plus line breaks).
    static qreal estimatedTextHeight(const QString& text);
    void toggleTranslationSpeech();
    void copyTranslation();
    void swapLanguages();
    void toggleSourceSpeech();
    void copySourceText();
    void toggleFullSourceText();
    void handleShowAllHover(bool hovering);
    void handleFullTextHover(bool hovering);

    // What the pickers do when the user chooses another value.
    void chooseSourceLanguage(const QString& code);
    void chooseTargetLanguage(const QString& code);
    void chooseService(TranslationService service);

    static constexpr QSize fullTextSize{400, 200};

    // User-perceived characters, and line feeds among them (a CR LF pair is one character and no line feed).
    static int characterCount(const QString& text);
    static int lineBreakCount(const QString& text);

    // The controls, for tests and screenshots.
    MenuPicker* sourcePicker() const { return m_sourcePicker; }
    MenuPicker* targetPicker() const { return m_targetPicker; }
    MenuPicker* servicePicker() const { return m_servicePicker; }
    SymbolButton* swapButton() const { return m_swapButton; }
    SymbolButton* sourceListenButton() const { return m_sourceListen; }
    SymbolButton* translationListenButton() const { return m_translationListen; }
    SymbolButton* sourceCopyButton() const { return m_sourceCopy; }
    SymbolButton* translationCopyButton() const { return m_translationCopy; }
    TextButton* showAllButton() const { return m_showAllButton; }
    QPlainTextEdit* editor() const { return m_editor; }
    QLabel* errorLabel() const { return m_errorLabel; }
    ElidedLabel* sourceLine() const { return m_sourceLine; }
    PopoverWindow* fullTextPopover() const { return m_fullTextPopover; }
    // The part of the result area on screen: the loading indicator, the error text or the editor.
    QWidget* resultArea() const;

Q_SIGNALS:
    void popoverHeightChanged(qreal height);
    // Any of the state above changed.
    void stateChanged();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void scheduleEditorFocus();
    void buildUi();
    void refresh();
    void refreshSpeechButtons();
    void setPopoverHeight(qreal height);
    // The editor's height that shows `text` whole without a scroll bar.
    int laidOutTextHeight(const QString& text) const;
    // The translation's editor: the estimate, or the height the text takes laid out where that is more,
    // between 80 and 200.
    qreal editorHeight() const;
    void setTextEditorFocused(bool focused);
    void setShowingFullSourceText(bool showing);
    void applyAnswer(const TranslationSession::Translation& sent, const TranslationSession::Outcome& outcome);
    // The language the swap makes the target: the source of the translation on screen, or the language
    // detected in its text for "auto".
    QString swapTargetLanguage() const;

    // Given by the creator.
    QString m_text;
    QString m_sourceLanguage;
    QString m_targetLanguage;
    QString m_triggerSource;

    // The text on screen (the selection, or after a swap its translation), pair, provider and translation.
    TranslationSession m_session;

    // View state.
    std::optional<QString> m_error;
    bool m_isTextEditorFocused = false;
    bool m_isShowingFullSourceText = false;
    bool m_isHoveringShowMore = false;
    qreal m_popoverHeight;
    // The editor's text laid out: the height it takes.
    int m_textHeight = 0;
    // Detected language of the current source text, when its source is "auto" ("auto" for none).
    QString m_detectedSourceLanguage;

    MenuPicker* m_sourcePicker = nullptr;
    MenuPicker* m_targetPicker = nullptr;
    MenuPicker* m_servicePicker = nullptr;
    SymbolButton* m_swapButton = nullptr;
    SymbolButton* m_sourceListen = nullptr;
    SymbolButton* m_sourceCopy = nullptr;
    SymbolButton* m_translationListen = nullptr;
    SymbolButton* m_translationCopy = nullptr;
    ElidedLabel* m_sourceLine = nullptr;
    TextButton* m_showAllButton = nullptr;
    QWidget* m_loadingArea = nullptr;
    ProgressSpinner* m_spinner = nullptr;
    QLabel* m_errorLabel = nullptr;
    QPlainTextEdit* m_editor = nullptr;
    QPointer<PopoverWindow> m_fullTextPopover;
    QLabel* m_fullTextLabel = nullptr;
};
