#pragma once

#include "menubar/translator/InlineAlert.h"
#include "menubar/translator/NotificationService.h"
#include "menubar/translator/PickerPopover.h"
#include "menubar/translator/TextOutputView.h"
#include "platform/Result.h"
#include "services/Language.h"
#include "services/TranslationError.h"
#include "services/TranslationResponse.h"
#include "services/TranslationService.h"
#include "services/TranslationSession.h"
#include "ui/TranslatorPanelStyle.h"

#include <QPointer>
#include <QVariantMap>
#include <QWidget>
#include <optional>

class AlternativeTranslations;
class ExampleSentences;
class LanguageSelector;
class SavedTranslationsSheet;
class SavedTranslationsView;
class SelectorButton;
class ServicePickerView;
class TextInputView;
class ToastView;
class TranslateButton;
class TranslatorActionBar;
class TranslationHeader;

// The translator of the tray popover: header, language pair, input, provider and Translate button, the
// output, and below it the places of the action bar and of the alternatives. Its session holds the text,
// pair, provider, request and output; the view stores the pair and provider as they change, records
// each new translation in the history, and is driven from outside by notifications, which it observes
// from its creation until it is destroyed. Text over the service's limit is refused.
class MenuBarView : public QWidget {
    Q_OBJECT
public:
    static constexpr int viewWidth = 400;
    static constexpr int panelContentWidth = 340;
    // The popover's background shows this much around the panel on every side (the width's difference,
    // halved), so it reads as an even margin rather than a frame.
    static constexpr int panelBand = (viewWidth - panelContentWidth) / 2 - TranslatorPanelStyle::panelPadding;
    static constexpr int serviceButtonWidth = 130;
    static constexpr int focusDelayMs = 300;
    static constexpr int swapDurationMs = 500;
    static constexpr int toastBottomInset = 65;
    static constexpr QSize servicePickerSize{160, 152};

    explicit MenuBarView(QWidget* parent = nullptr);
    ~MenuBarView() override;

    // The notifications the view observes from its creation on. Until it exists, its owner holds them and
    // hands them over with receive(); those the view can wait for do not call for making it at once.
    static const QStringList& notificationNames();
    static bool canWaitFor(const QString& name);
    void receive(const QString& name, const QVariantMap& userInfo);

    // Where new translations are recorded; the history unless replaced (tests).
    static void setHistoryRecorder(TranslationSession::Recorder recorder);
    static void resetHistoryRecorder();

    // State.
    TranslationService selectedService() const { return m_session.service(); }
    Language sourceLanguage() const { return Language::find(m_session.sourceLanguage()); }
    Language targetLanguage() const { return Language::find(m_session.targetLanguage()); }
    QString inputText() const { return m_session.text(); }
    QString translatedText() const { return m_session.output().translatedText; }
    const std::optional<TranslationResponse>& translationResponse() const { return m_session.response(); }
    bool isTranslating() const { return m_session.isTranslating(); }
    bool isCapturingScreen() const { return m_isCapturingScreen; }
    bool isSwapOperation() const { return m_isSwapOperation; }
    bool isInputFocused() const { return m_isInputFocused; }
    bool showAlert() const { return m_showAlert; }
    QString alertMessage() const { return m_alertMessage; }
    InlineAlert::AlertType alertType() const { return m_alertType; }
    bool showServicePicker() const { return m_showServicePicker; }
    bool showHistoryWindow() const { return m_showHistoryWindow; }
    bool showFavoritesWindow() const { return m_showFavoritesWindow; }
    bool isListeningForNotifications() const { return m_isListeningForNotifications; }
    // The translation on screen with the text, pair and provider it was made from.
    const TranslationSession::Translation& shownTranslation() const { return m_session.output(); }
    const TranslationSession& session() const { return m_session; }

    // Changing the pair or the provider stores it, except during a language swap.
    void setSelectedService(TranslationService service);
    void setSourceLanguage(const Language& language);
    void setTargetLanguage(const Language& language);
    // Emptying the input empties the output; a running request goes on.
    void setInputText(const QString& text);
    void setShowAlert(bool show);
    void setInputFocused(bool focused);
    void setHistoryWindowVisible(bool visible);
    void setFavoritesWindowVisible(bool visible);

    // Translates the input with the shown pair and provider, unless the input is empty, a request runs or
    // a swap is under way.
    void translate();
    void loadSavedSettings();
    void saveSettingsAfterTranslation();
    void startOCRCapture();
    void handleOCRResult(const std::optional<QString>& text);
    // Posts "ClosePopover".
    void escape();
    void openServicePicker();
    void closePopovers();

    // Notification handlers.
    void handleSetTranslationLanguages(const QVariantMap& userInfo);
    void handleTranslateSelectedText(const QVariantMap& userInfo);
    void handleSetTranslationInput(const QVariantMap& userInfo);
    void handleShowInlineAlert(const QVariantMap& userInfo);
    void handleFocusTextInput();
    void handleSwapTranslation();
    void handleStartTranslation();
    void handleLoadTranslation(const QVariantMap& userInfo);

    // Parts.
    TranslationHeader* header() const { return m_header; }
    LanguageSelector* languageSelector() const { return m_languageSelector; }
    InlineAlert* inlineAlert() const { return m_alert; }
    TextInputView* textInput() const { return m_input; }
    SelectorButton* serviceButton() const { return m_serviceButton; }
    TranslateButton* translateButton() const { return m_translateButton; }
    TextOutputView* outputView() const { return m_output; }
    ToastView* toastView() const { return m_toast; }
    PickerPopover* servicePopover() const { return m_servicePopover; }
    // The history or favorites sheet while one shows in place of the translator.
    SavedTranslationsView* sheet() const;
    ServicePickerView* servicePicker() const;
    // Under the output: the row of the action bar (shown while there is a translation and no request
    // runs), then the alternatives and examples (shown while the provider is Google). Each is shown only
    // once something has been put in it.
    QWidget* actionBarSlot() const { return m_actionBarSlot; }
    QWidget* detailsSlot() const { return m_detailsSlot; }
    TranslatorActionBar* actionBar() const { return m_actionBar; }
    AlternativeTranslations* alternatives() const { return m_alternatives; }
    ExampleSentences* exampleSentences() const { return m_examples; }
    // Re-applies the layout conditions, e.g. after the slots' contents changed.
    void refresh();

Q_SIGNALS:
    // Anything of the state above changed.
    void stateChanged();
    void historyWindowVisibleChanged(bool visible);
    void favoritesWindowVisibleChanged(bool visible);
    // A loaded translation wants the popover on screen.
    void showPopoverRequested();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildUi();
    void presentSheet();
    void registerNotificationObservers();
    template <typename Observe> static void forEachObserver(MenuBarView* view, Observe&& observe);
    void scheduleTranslate();
    void startRequest();
    void handleTranslationResult(const TranslationSession::Translation& sent,
                                 const TranslationSession::Outcome& outcome);
    // Drops the running request: its answer will never be applied.
    void dropPendingRequest();
    // Text handed over from outside (selection, OCR): shown and translated; the same text arriving again
    // while its request runs is not sent twice.
    void handOff(const QString& text);
    void showOutput(const TranslationSession::Translation& translation,
                    std::optional<TranslationResponse> response);
    void clearOutput();
    void layoutToast();
    void refreshToast();
    void buildActions();
    void refreshActions();
    // A rewrite of the shown output replaces its text; it is no newer output.
    void applyRewrite(const QString& text, TranslationService rewriter);
    // The banner, as an error saying `message`.
    void showErrorAlert(const QString& message);
    void setOutputOpacity(qreal opacity);

    // The text, pair, provider, request and output.
    TranslationSession m_session;
    bool m_isCapturingScreen = false;
    bool m_showServicePicker = false;
    bool m_isInputFocused = false;
    bool m_isListeningForNotifications = false;
    bool m_settingsLoaded = false;
    bool m_showAlert = false;
    QString m_alertMessage;
    InlineAlert::AlertType m_alertType = InlineAlert::AlertType::Warning;
    bool m_isSwapOperation = false;
    bool m_showHistoryWindow = false;
    bool m_showFavoritesWindow = false;
    NotificationService m_notificationService;

    // Parts.
    QWidget* m_panel = nullptr;
    TranslationHeader* m_header = nullptr;
    LanguageSelector* m_languageSelector = nullptr;
    InlineAlert* m_alert = nullptr;
    TextInputView* m_input = nullptr;
    SelectorButton* m_serviceButton = nullptr;
    TranslateButton* m_translateButton = nullptr;
    TextOutputView* m_output = nullptr;
    QWidget* m_actionBarSlot = nullptr;
    QWidget* m_detailsSlot = nullptr;
    TranslatorActionBar* m_actionBar = nullptr;
    AlternativeTranslations* m_alternatives = nullptr;
    ExampleSentences* m_examples = nullptr;
    ToastView* m_toast = nullptr;
    SavedTranslationsSheet* m_sheet = nullptr;
    QPointer<PickerPopover> m_servicePopover;
};
