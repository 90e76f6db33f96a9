#include "menubar/translator/MenuBarView.h"

#include "menubar/history/HistoryManager.h"
#include "menubar/history/SavedTranslationsSheet.h"
#include "menubar/translator/AlternativeTranslations.h"
#include "menubar/translator/AttachedPopover.h"
#include "menubar/translator/ExampleSentences.h"
#include "menubar/translator/LanguageSelector.h"
#include "menubar/translator/PickerPopover.h"
#include "menubar/translator/ProviderIcon.h"
#include "menubar/translator/SelectorButton.h"
#include "menubar/translator/ServicePickerView.h"
#include "menubar/translator/TextInputView.h"
#include "menubar/translator/TranslateButton.h"
#include "menubar/translator/TranslationHeader.h"
#include "menubar/translator/TranslatorActionBar.h"
#include "platform/DebugLog.h"
#include "platform/MainQueue.h"
#include "platform/NotificationCenter.h"
#include "platform/Notifications.h"
#include "platform/UserDefaults.h"
#include "services/LanguagePreferences.h"
#include "services/OCRManagerService.h"
#include "services/TextToSpeechService.h"
#include "services/TranslationManagerService.h"
#include "ui/KeyPressHandler.h"
#include "ui/Theme.h"
#include "ui/ToastManager.h"
#include "ui/ToastView.h"
#include "ui/TranslatorPanelStyle.h"

#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QMenu>
#include <QShowEvent>
#include <QTextEdit>
#include <QVBoxLayout>

namespace {

const QString tag = QStringLiteral("MenuBarView");
const QString serviceKey = QStringLiteral("defaultTranslationService");

std::optional<QString> stringValue(const QVariantMap& userInfo, const QString& key) {
    const QVariant value = userInfo.value(key);
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    return value.toString();
}

bool sameRequest(const TranslationSession::Translation& a, const TranslationSession::Translation& b) {
    return a.sourceText == b.sourceText && a.sourceLanguage == b.sourceLanguage &&
           a.targetLanguage == b.targetLanguage && a.service == b.service;
}

TranslationSession::Recorder historyRecorder() {
    return [](const TranslationSession::Translation& translation) {
        HistoryManager::shared().addTranslation(translation.sourceText, translation.translatedText,
                                                Language::find(translation.sourceLanguage),
                                                Language::find(translation.targetLanguage), translation.service);
    };
}

TranslationSession::Recorder& recorder() {
    static TranslationSession::Recorder instance = historyRecorder();
    return instance;
}

} // namespace

void MenuBarView::setHistoryRecorder(TranslationSession::Recorder recorder) {
    ::recorder() = std::move(recorder);
}

void MenuBarView::resetHistoryRecorder() {
    ::recorder() = historyRecorder();
}

MenuBarView::MenuBarView(QWidget* parent)
    : QWidget(parent)
    , m_session(TranslationSession::Sender::Menu) {
    m_session.setSourceLanguage(Language::automaticCode);
    m_session.setTargetLanguage(Language::englishCode);
    m_session.setAnswerHandler(
        [this](const TranslationSession::Translation& sent, const TranslationSession::Outcome& outcome) {
            handleTranslationResult(sent, outcome);
        });
    // Read when a translation is shown, so a recorder set after the view was made applies too.
    m_session.setRecorder([](const TranslationSession::Translation& translation) {
        if (::recorder())
            ::recorder()(translation);
    });
    buildUi();
    // Registered at creation, so what is posted before the popover first opens reaches the view.
    registerNotificationObservers();
    QPointer<MenuBarView> self(this);
    MainQueue::async([self] {
        if (self && !self->m_settingsLoaded)
            self->loadSavedSettings();
    });
    refresh();
}

MenuBarView::~MenuBarView() {
    // The editor loses the focus inside ~QWidget, when this object is no MenuBarView any more.
    disconnect(m_input, nullptr, this, nullptr);
    NotificationCenter::shared().removeObservers(this);
    delete m_servicePopover;
}

void MenuBarView::buildUi() {
    setFixedWidth(viewWidth);
    auto* root = new QHBoxLayout(this);
    root->setContentsMargins(0, panelBand, 0, panelBand);

    m_panel = new QWidget(this);
    m_panel->setFixedWidth(panelContentWidth + 2 * TranslatorPanelStyle::panelPadding);
    m_panel->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    auto* column = new QVBoxLayout(m_panel);
    column->setSpacing(Theme::spacing);
    translatorPanelStyle(m_panel);
    root->addWidget(m_panel, 0, Qt::AlignHCenter | Qt::AlignTop);

    m_header = new TranslationHeader(m_panel);
    column->addWidget(m_header);

    m_languageSelector =
        new LanguageSelector([this](const Language& language) { setSourceLanguage(language); },
                             [this](const Language& language) { setTargetLanguage(language); }, m_panel);
    column->addWidget(m_languageSelector);

    m_alert = new InlineAlert(
        QString(), m_alertType, [this] { setShowAlert(false); }, m_panel);
    m_alert->hide();
    column->addWidget(m_alert);

    m_input = new TextInputView(
        [this](bool capturing) {
            m_isCapturingScreen = capturing;
            Q_EMIT stateChanged();
        },
        m_panel);
    connect(m_input, &TextInputView::textChanged, this, &MenuBarView::setInputText);
    connect(m_input, &TextInputView::focusChanged, this, [this](bool focused) {
        m_isInputFocused = focused;
        m_notificationService.postTextFieldActive(focused);
        Q_EMIT stateChanged();
    });
    column->addWidget(m_input);

    auto* serviceRow = new QHBoxLayout;
    serviceRow->setSpacing(8);
    m_serviceButton = new SelectorButton(m_panel);
    m_serviceButton->setFixedWidth(serviceButtonWidth);
    serviceRow->addWidget(m_serviceButton);
    connect(m_serviceButton, &QAbstractButton::clicked, this, &MenuBarView::openServicePicker);
    m_translateButton = new TranslateButton(
        [this] {
            QPointer<MenuBarView> self(this);
            MainQueue::async([self] {
                if (self)
                    self->translate();
            });
        },
        m_panel);
    serviceRow->addWidget(m_translateButton, 1);
    column->addLayout(serviceRow);

    m_output = new TextOutputView(m_panel);
    column->addWidget(m_output);

    m_actionBarSlot = new QWidget(m_panel);
    auto* actionRow = new QHBoxLayout(m_actionBarSlot);
    actionRow->setContentsMargins(0, 0, 0, 0);
    actionRow->setSpacing(8);
    column->addWidget(m_actionBarSlot);

    m_detailsSlot = new QWidget(m_panel);
    auto* details = new QVBoxLayout(m_detailsSlot);
    details->setContentsMargins(0, 0, 0, 0);
    details->setSpacing(Theme::spacing);
    column->addWidget(m_detailsSlot);
    buildActions();

    m_sheet = new SavedTranslationsSheet(
        m_panel, root,
        [this](SavedTranslationsSheet::Kind kind) {
            if (kind == SavedTranslationsSheet::Kind::History)
                setHistoryWindowVisible(false);
            else
                setFavoritesWindowVisible(false);
        },
        this);

    m_toast = new ToastView(this);
    m_toast->hide();
    connect(&ToastManager::shared(), &ToastManager::changed, this, &MenuBarView::refreshToast);

    onKeyPressIfAvailable(this, Qt::Key_Escape, [this] { escape(); });
    Theme::followAppearance(this, [this] {
        m_serviceButton->setIcon(ProviderIcon::pixmap(selectedService(), Theme::dark(), devicePixelRatioF()));
    });
}

template <typename Observe> void MenuBarView::forEachObserver(MenuBarView* view, Observe&& observe) {
    // `view` is only captured here; the names are also listed without a view.
    observe(Notifications::SetTranslationLanguages,
            [view](const QVariantMap& info) { view->handleSetTranslationLanguages(info); });
    observe(Notifications::TranslateSelectedText,
            [view](const QVariantMap& info) { view->handleTranslateSelectedText(info); });
    observe(Notifications::SetTranslationInput,
            [view](const QVariantMap& info) { view->handleSetTranslationInput(info); });
    observe(Notifications::StartOCRCapture, [view](const QVariantMap&) { view->startOCRCapture(); });
    const auto reload = [view](const QVariantMap&) {
        QPointer<MenuBarView> self(view);
        MainQueue::async([self] {
            if (self)
                self->loadSavedSettings();
        });
    };
    observe(Notifications::SettingsReset, reload);
    observe(Notifications::LanguageChanged, reload);
    observe(Notifications::ShowInlineAlert,
            [view](const QVariantMap& info) { view->handleShowInlineAlert(info); });
    observe(Notifications::FocusTextInput, [view](const QVariantMap&) { view->handleFocusTextInput(); });
    observe(Notifications::SwapTranslation, [view](const QVariantMap&) { view->handleSwapTranslation(); });
    observe(Notifications::OpenHistoryWindow,
            [view](const QVariantMap&) { view->setHistoryWindowVisible(true); });
    observe(Notifications::OpenFavoritesWindow,
            [view](const QVariantMap&) { view->setFavoritesWindowVisible(true); });
    observe(Notifications::StartTranslation, [view](const QVariantMap&) { view->handleStartTranslation(); });
    observe(Notifications::LoadTranslation,
            [view](const QVariantMap& info) { view->handleLoadTranslation(info); });
    observe(Notifications::CloseHistoryWindow,
            [view](const QVariantMap&) { view->setHistoryWindowVisible(false); });
    observe(Notifications::CloseFavoritesWindow,
            [view](const QVariantMap&) { view->setFavoritesWindowVisible(false); });
}

void MenuBarView::registerNotificationObservers() {
    if (m_isListeningForNotifications)
        return;
    NotificationCenter& center = NotificationCenter::shared();
    forEachObserver(this, [this, &center](const QString& name, NotificationCenter::Handler handler) {
        center.addObserver(name, this, std::move(handler));
    });
    m_isListeningForNotifications = true;
}

const QStringList& MenuBarView::notificationNames() {
    static const QStringList names = [] {
        QStringList list;
        forEachObserver(nullptr, [&list](const QString& name, auto&&) { list.append(name); });
        return list;
    }();
    return names;
}

bool MenuBarView::canWaitFor(const QString& name) {
    // The view reads the settings when it is made; the window flags only mark the header's buttons.
    static const QStringList waiting{Notifications::SettingsReset,      Notifications::LanguageChanged,
                                     Notifications::OpenHistoryWindow,  Notifications::OpenFavoritesWindow,
                                     Notifications::CloseHistoryWindow, Notifications::CloseFavoritesWindow};
    return waiting.contains(name);
}

void MenuBarView::receive(const QString& name, const QVariantMap& userInfo) {
    // What was held for the view applies on top of the stored settings, not under them.
    if (!m_settingsLoaded)
        loadSavedSettings();
    forEachObserver(this, [&name, &userInfo](const QString& observed, const NotificationCenter::Handler& handler) {
        if (observed == name)
            handler(userInfo);
    });
}

// --- State ---------------------------------------------------------------------------------------------

void MenuBarView::setSelectedService(TranslationService service) {
    if (!m_session.setService(service))
        return;
    if (!m_isSwapOperation)
        UserDefaults::standard().set(serviceKey, rawValue(service));
    refresh();
}

void MenuBarView::setSourceLanguage(const Language& language) {
    if (!m_session.setSourceLanguage(language.code))
        return;
    if (!m_isSwapOperation)
        LanguagePreferences::setSource(language.code);
    refresh();
}

void MenuBarView::setTargetLanguage(const Language& language) {
    if (!m_session.setTargetLanguage(language.code))
        return;
    if (!m_isSwapOperation)
        LanguagePreferences::setTarget(language.code);
    refresh();
}

void MenuBarView::setInputText(const QString& text) {
    if (!m_session.setText(text))
        return;
    // A request still running goes on: its answer fills the output again.
    if (text.isEmpty())
        clearOutput();
    refresh();
}

void MenuBarView::showErrorAlert(const QString& message) {
    m_alertMessage = message;
    m_alertType = InlineAlert::AlertType::Error;
    m_showAlert = true;
    refresh();
}

void MenuBarView::setShowAlert(bool show) {
    if (show == m_showAlert)
        return;
    m_showAlert = show;
    refresh();
}

void MenuBarView::setInputFocused(bool focused) {
    if (focused)
        m_input->focusEditor();
    else if (m_input->isEditorFocused())
        m_input->editor()->clearFocus();
}

void MenuBarView::setHistoryWindowVisible(bool visible) {
    if (visible == m_showHistoryWindow)
        return;
    m_showHistoryWindow = visible;
    presentSheet();
    Q_EMIT historyWindowVisibleChanged(visible);
    Q_EMIT stateChanged();
}

void MenuBarView::presentSheet() {
    m_sheet->present(m_showHistoryWindow, m_showFavoritesWindow);
    // A sheet fills the popover; the band is the panel's.
    const int band = m_sheet->view() ? 0 : panelBand;
    layout()->setContentsMargins(0, band, 0, band);
}

void MenuBarView::setFavoritesWindowVisible(bool visible) {
    if (visible == m_showFavoritesWindow)
        return;
    m_showFavoritesWindow = visible;
    presentSheet();
    Q_EMIT favoritesWindowVisibleChanged(visible);
    Q_EMIT stateChanged();
}

// --- Translating ---------------------------------------------------------------------------------------

void MenuBarView::scheduleTranslate() {
    QPointer<MenuBarView> self(this);
    MainQueue::async([self] {
        if (self)
            self->translate();
    });
}

void MenuBarView::translate() {
    if (inputText().isEmpty() || isTranslating() || m_isSwapOperation) {
        debugLog(tag,
                 QStringLiteral(
                     "⏭️ Çeviri başlatılmadı (boş girdi, süren çeviri ya da dil değişimi)"));
        return;
    }
    startRequest();
}

void MenuBarView::startRequest() {
    // The provider on screen is the one used, whatever the stored setting says at this moment.
    m_session.translate();
    refresh();
}

void MenuBarView::handleTranslationResult(const TranslationSession::Translation& sent,
                                          const TranslationSession::Outcome& outcome) {
    m_isSwapOperation = false;
    if (outcome) {
        TranslationResponse response = outcome.value();
        if (!response.sourceText)
            response.sourceText = sent.sourceText;
        TranslationSession::Translation shown = sent;
        shown.translatedText = response.translation;
        showOutput(shown, std::move(response));
    } else {
        // The output of another text would pass for the translation of the input now shown, and copy or
        // favorite would save that mismatched pair.
        if (!translatedText().isEmpty() && sent.sourceText != m_session.output().sourceText)
            clearOutput();
        m_alertMessage = QStringLiteral("Translation failed: ") + outcome.error().localizedDescription();
        m_alertType = InlineAlert::AlertType::Error;
        m_showAlert = true;
        debugLog(tag, QStringLiteral("❌ %1").arg(m_alertMessage));
    }
    refresh();
}

void MenuBarView::dropPendingRequest() {
    m_session.drop();
}

void MenuBarView::showOutput(const TranslationSession::Translation& translation,
                             std::optional<TranslationResponse> response) {
    // Recorded in the history here when it is a new translation.
    m_session.showOutput(translation, std::move(response));
    m_actionBar->outputReplaced();
}

void MenuBarView::clearOutput() {
    m_session.clearOutput();
    m_actionBar->outputReplaced();
}

void MenuBarView::handOff(const QString& text) {
    const TranslationSession::Translation wanted{text, QString(), m_session.sourceLanguage(),
                                                 m_session.targetLanguage(), m_session.service()};
    setInputText(text);
    if (text.isEmpty())
        return;
    if (isTranslating()) {
        // The same text arriving again (the view and the manager both pass a selection on) is already
        // on its way; a different one replaces the running request.
        if (sameRequest(m_session.sent(), wanted))
            return;
        dropPendingRequest();
        refresh();
    }
    scheduleTranslate();
}

void MenuBarView::loadSavedSettings() {
    m_settingsLoaded = true;
    const TranslationManagerService::DefaultSettings settings =
        TranslationManagerService::shared().loadDefaultSettings();
    setSelectedService(settings.provider);
    setSourceLanguage(settings.source);
    setTargetLanguage(settings.target);
}

void MenuBarView::saveSettingsAfterTranslation() {
    if (isTranslating() || m_isSwapOperation) {
        debugLog(tag, QStringLiteral("⏭️ Ayarlar şimdi kaydedilmedi"));
        return;
    }
    QPointer<MenuBarView> self(this);
    MainQueue::async([self] {
        if (self)
            TranslationManagerService::shared().saveDefaultSettings(
                self->sourceLanguage(), self->targetLanguage(), self->selectedService());
    });
}

// --- OCR -----------------------------------------------------------------------------------------------

void MenuBarView::startOCRCapture() {
    m_isCapturingScreen = true;
    Q_EMIT stateChanged();
    QPointer<MenuBarView> self(this);
    OCRManagerService().performOCR([self](std::optional<QString> text) {
        MainQueue::async([self, text] {
            if (self)
                self->handleOCRResult(text);
        });
    });
}

void MenuBarView::handleOCRResult(const std::optional<QString>& text) {
    m_isCapturingScreen = false;
    Q_EMIT stateChanged();
    if (!text || text->isEmpty()) {
        debugLog(tag, QStringLiteral("⚠️ OCR metin döndürmedi"));
        return;
    }
    handOff(*text);
}

// --- Notification handlers -----------------------------------------------------------------------------

void MenuBarView::handleSetTranslationLanguages(const QVariantMap& userInfo) {
    const std::optional<QString> source = stringValue(userInfo, NotificationKeys::sourceLanguage);
    const std::optional<QString> target = stringValue(userInfo, NotificationKeys::targetLanguage);
    if (!source || !target)
        return;
    setSourceLanguage(Language::find(*source));
    setTargetLanguage(Language::findTarget(*target));
}

void MenuBarView::handleTranslateSelectedText(const QVariantMap& userInfo) {
    // The text and its languages are lost, not queued.
    if (isTranslating()) {
        debugLog(tag, QStringLiteral("⏳ Çeviri sürüyor, seçili metin yok sayıldı"));
        return;
    }
    const std::optional<QString> source = stringValue(userInfo, NotificationKeys::sourceLanguage);
    const std::optional<QString> target = stringValue(userInfo, NotificationKeys::targetLanguage);
    const std::optional<QString> text = stringValue(userInfo, NotificationKeys::text);
    if (source && target) {
        setSourceLanguage(Language::find(*source));
        setTargetLanguage(Language::findTarget(*target));
        saveSettingsAfterTranslation();
    }
    if (text)
        handOff(*text);
}

void MenuBarView::handleSetTranslationInput(const QVariantMap& userInfo) {
    if (const std::optional<QString> text = stringValue(userInfo, NotificationKeys::text))
        handOff(*text);
}

void MenuBarView::handleShowInlineAlert(const QVariantMap& userInfo) {
    const std::optional<QString> message = stringValue(userInfo, NotificationKeys::message);
    if (!message)
        return;
    m_alertMessage = *message;
    m_alertType = InlineAlert::typeFromName(userInfo.value(NotificationKeys::type).toString())
                      .value_or(InlineAlert::AlertType::Warning);
    m_showAlert = true;
    refresh();
}

void MenuBarView::handleFocusTextInput() {
    setInputFocused(true);
}

void MenuBarView::handleSwapTranslation() {
    // With an output on screen a running request would answer for the former output, now the input; with
    // none, the answer keeps the pair it was sent with. The swap button never asks with "Automatic".
    if (isTranslating() && !translatedText().isEmpty()) {
        debugLog(tag, QStringLiteral("⏭️ Dil değişimi şimdi yapılamaz"));
        return;
    }
    m_isSwapOperation = true;
    const bool hadOutput = !translatedText().isEmpty();
    // The former output, if any, is now the input; its alternatives belong to nothing on screen.
    m_session.swapLanguages(m_session.sourceLanguage());
    if (hadOutput)
        m_actionBar->outputReplaced();
    LanguagePreferences::setSource(m_session.sourceLanguage());
    LanguagePreferences::setTarget(m_session.targetLanguage());
    QPointer<MenuBarView> self(this);
    MainQueue::asyncAfter(swapDurationMs, [self] {
        if (self) {
            self->m_isSwapOperation = false;
            Q_EMIT self->stateChanged();
        }
    });
    refresh();
}

void MenuBarView::handleStartTranslation() {
    if (!inputText().isEmpty() && !isTranslating())
        scheduleTranslate();
}

void MenuBarView::handleLoadTranslation(const QVariantMap& userInfo) {
    const std::optional<QString> sourceText = stringValue(userInfo, NotificationKeys::sourceText);
    const std::optional<QString> translatedText = stringValue(userInfo, NotificationKeys::translatedText);
    if (!sourceText || !translatedText)
        return;
    const std::optional<QString> sourceCode =
        stringValue(userInfo, NotificationKeys::sourceLanguage)
            ? stringValue(userInfo, NotificationKeys::sourceLanguage)
            : stringValue(userInfo, NotificationKeys::sourceLanguageCode);
    const std::optional<QString> targetCode =
        stringValue(userInfo, NotificationKeys::targetLanguage)
            ? stringValue(userInfo, NotificationKeys::targetLanguage)
            : stringValue(userInfo, NotificationKeys::targetLanguageCode);
    if (!sourceCode || !targetCode)
        return;
    const std::optional<QString> serviceRaw = stringValue(userInfo, QStringLiteral("service"))
                                                  ? stringValue(userInfo, QStringLiteral("service"))
                                                  : stringValue(userInfo, NotificationKeys::serviceRawValue);
    const TranslationService service = translationServiceOrDefault(serviceRaw.value_or(QString()));

    // A request still running would otherwise overwrite the loaded translation when it answers.
    dropPendingRequest();
    setInputText(*sourceText);
    const Language source = Language::find(*sourceCode);
    const Language target = Language::findTarget(*targetCode);
    setSourceLanguage(source);
    setTargetLanguage(target);
    setSelectedService(service);
    // Without a response: the last one's alternatives belong to another translation.
    showOutput({*sourceText, *translatedText, source.code, target.code, service}, std::nullopt);
    refresh();
    if (!isVisible())
        Q_EMIT showPopoverRequested();
}

void MenuBarView::escape() {
    NotificationCenter::shared().post(Notifications::ClosePopover);
}

// --- Service picker ------------------------------------------------------------------------------------

void MenuBarView::openServicePicker() {
    if (m_servicePopover && m_servicePopover->isShown()) {
        m_servicePopover->performClose();
        return;
    }
    if (!m_servicePopover) {
        m_servicePopover = new PickerPopover(m_serviceButton, servicePickerSize);
        connect(m_servicePopover, &PopoverWindow::closed, this, [this] {
            m_showServicePicker = false;
            Q_EMIT stateChanged();
        });
    }
    auto* picker = new ServicePickerView(
        selectedService(), [this](TranslationService service) { setSelectedService(service); },
        [this] {
            if (m_servicePopover)
                m_servicePopover->performClose();
        });
    m_servicePopover->setContentSize(QSize(ServicePickerView::viewWidth, picker->sizeHint().height()));
    m_showServicePicker = true;
    m_servicePopover->open(picker);
    Q_EMIT stateChanged();
}

SavedTranslationsView* MenuBarView::sheet() const {
    return m_sheet->view();
}

ServicePickerView* MenuBarView::servicePicker() const {
    return m_servicePopover && m_servicePopover->isShown()
               ? qobject_cast<ServicePickerView*>(m_servicePopover->contentWidget())
               : nullptr;
}

void MenuBarView::closePopovers() {
    m_languageSelector->closePickers();
    if (m_servicePopover && m_servicePopover->isShown())
        m_servicePopover->performClose();
    // The rewrite menu, the chips' and examples' popovers and context menus are windows of their own too.
    for (AttachedPopover* popover : findChildren<AttachedPopover*>())
        popover->close();
    for (QMenu* menu : findChildren<QMenu*>()) {
        if (menu->isVisible())
            menu->close();
    }
}

// --- Layout --------------------------------------------------------------------------------------------

void MenuBarView::refresh() {
    const TranslationService service = selectedService();
    const QString output = translatedText();
    m_languageSelector->setLanguages(sourceLanguage(), targetLanguage());

    if (m_showAlert) {
        m_alert->setAlert(m_alertMessage, m_alertType);
        m_alert->fade().fadeIn();
    } else {
        m_alert->fade().fadeOut();
    }

    m_input->setText(inputText());
    m_serviceButton->setText(displayName(service));
    m_serviceButton->setIcon(ProviderIcon::pixmap(service, Theme::dark(), devicePixelRatioF()));
    m_translateButton->setState(isTranslating(), inputText().isEmpty());
    m_output->setText(output);

    refreshActions();
    const bool actionBar = !output.isEmpty() && !isTranslating();
    m_actionBarSlot->setVisible(actionBar && m_actionBarSlot->layout()->count() > 0);
    m_detailsSlot->setVisible(service == TranslationService::Google &&
                              (!m_alternatives->isHidden() || !m_examples->isHidden()));
    refreshToast();
    Q_EMIT stateChanged();
}

void MenuBarView::buildActions() {
    m_actionBar = new TranslatorActionBar(m_actionBarSlot);
    m_actionBarSlot->layout()->addWidget(m_actionBar);
    m_alternatives = new AlternativeTranslations(m_detailsSlot);
    m_detailsSlot->layout()->addWidget(m_alternatives);
    m_examples = new ExampleSentences(m_detailsSlot);
    m_detailsSlot->layout()->addWidget(m_examples);

    connect(m_actionBar, &TranslatorActionBar::rewriteStarted, this, [this] {
        m_alertMessage.clear();
        setShowAlert(false);
    });
    connect(m_actionBar, &TranslatorActionBar::rewriteFailed, this, &MenuBarView::showErrorAlert);
    // Both listen buttons are ours; a failed speech is said in the banner, as a failed rewrite is.
    connect(&TextToSpeechService::shared(), &TextToSpeechService::failed, this,
            [this](QObject* requester, const QString& message) {
                const auto* button = qobject_cast<const QWidget*>(requester);
                if (button && isAncestorOf(button))
                    showErrorAlert(message);
            });
    connect(m_actionBar, &TranslatorActionBar::translatedTextRewritten, this, &MenuBarView::applyRewrite);
    connect(m_actionBar, &TranslatorActionBar::rewriteTextOpacityChanged, this,
            &MenuBarView::setOutputOpacity);
    connect(m_actionBar, &TranslatorActionBar::toastRequested, this,
            [](const QString& message, const QString& icon) {
                ToastManager::shared().showToast(message, icon, Qt::white, TranslatorActionBar::toastSeconds);
            });
}

void MenuBarView::refreshActions() {
    m_actionBar->setContext(
        {inputText(), translatedText(), sourceLanguage(), targetLanguage(), selectedService()});
    // Rebuilt only for another response, so a chip's open popover survives unrelated changes.
    const std::optional<TranslationResponse>& response = m_session.response();
    const std::optional<AlternativeTranslations::Groups> groups =
        response ? response->alternativeTranslations : std::nullopt;
    if (groups != m_alternatives->alternativeTranslations())
        m_alternatives->setAlternativeTranslations(groups);
    const std::optional<QStringList> sentences = response ? response->exampleSentences : std::nullopt;
    const QString sourceWord = response && response->sourceText ? *response->sourceText : inputText();
    if (sentences != m_examples->exampleSentences() || sourceWord != m_examples->sourceWord())
        m_examples->setExampleSentences(sentences, sourceWord);
}

void MenuBarView::applyRewrite(const QString& text, TranslationService rewriter) {
    // A rewritten text is recorded as a translation of its own, by the provider that rewrote it.
    m_session.replaceOutputText(text, rewriter);
    refresh();
}

void MenuBarView::setOutputOpacity(qreal opacity) {
    // The card keeps its shadow effect; the text inside it fades.
    QWidget* text = m_output->textView();
    if (opacity >= 1.0) {
        text->setGraphicsEffect(nullptr);
        return;
    }
    auto* effect = qobject_cast<QGraphicsOpacityEffect*>(text->graphicsEffect());
    if (!effect) {
        effect = new QGraphicsOpacityEffect(text);
        text->setGraphicsEffect(effect);
    }
    effect->setOpacity(opacity);
}

void MenuBarView::refreshToast() {
    const ToastManager& toasts = ToastManager::shared();
    if (toasts.isShowingToast()) {
        m_toast->setToast(toasts.toastMessage(), toasts.toastIcon(), toasts.toastColor());
        layoutToast();
        m_toast->raise();
        m_toast->fade().fadeIn();
    } else {
        m_toast->fade().fadeOut();
    }
}

void MenuBarView::layoutToast() {
    const QSize size = m_toast->sizeHint();
    m_toast->setGeometry((width() - size.width()) / 2,
                         height() - layout()->contentsMargins().bottom() - toastBottomInset - size.height(),
                         size.width(), size.height());
}

void MenuBarView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutToast();
}

void MenuBarView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    // Each showing moves the translation on screen to the top of the history.
    if (!inputText().isEmpty())
        m_session.record();
    QPointer<MenuBarView> self(this);
    MainQueue::asyncAfter(focusDelayMs, [self] {
        if (self && self->isVisible())
            self->setInputFocused(true);
    });
    MainQueue::async([self] {
        if (self)
            self->loadSavedSettings();
    });
}

void MenuBarView::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    // The pickers are windows of their own; they go with the popover.
    if (!event->spontaneous())
        closePopovers();
}
