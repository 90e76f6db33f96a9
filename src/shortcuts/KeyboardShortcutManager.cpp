#include "shortcuts/KeyboardShortcutManager.h"

#include "keyboardshortcuts/KeyboardShortcuts.h"
#include "platform/DebugLog.h"
#include "platform/MainQueue.h"
#include "platform/NotificationCenter.h"
#include "platform/Notifications.h"
#include "platform/UserDefaults.h"
#include "services/LanguageDetectionService.h"
#include "services/LanguagePreferences.h"
#include "shortcuts/PointerTranslationPopover.h"
#include "shortcuts/SelectionReplacer.h"
#include "ui/GlobalToastManager.h"

#include <QApplication>
#include <QCursor>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace {

const QString kTag = QStringLiteral("KeyboardShortcutManager");

bool containsAny(const QString& text, QStringView letters) {
    return std::any_of(text.begin(), text.end(), [letters](QChar c) { return letters.contains(c); });
}

} // namespace

KeyboardShortcutManager& KeyboardShortcutManager::shared() {
    // Owned by the application, so its windows go away before it does.
    static KeyboardShortcutManager* instance = [] {
        auto* manager = new KeyboardShortcutManager(QCoreApplication::instance());
        manager->setupShortcuts();
        return manager;
    }();
    return *instance;
}

KeyboardShortcutManager::KeyboardShortcutManager(QObject* parent)
    : QObject(parent)
    , m_capture(new SelectionCapture(this))
    , m_toast([](const QString& message, const QString& icon, double duration) {
        GlobalToastManager::shared().show(message, icon, duration);
    }) {
    QPointer<KeyboardShortcutManager> self(this);
    m_replacer = new SelectionReplacer(
        [self](const QString& message, const QString& icon, double duration) {
            debugLog(kTag, QStringLiteral("💬 %1").arg(message));
            if (self && self->m_toast)
                self->m_toast(message, icon, duration);
        },
        this);
}

KeyboardShortcutManager::~KeyboardShortcutManager() {
    delete m_translationPopover;
    delete m_errorAlert;
}

void KeyboardShortcutManager::setupShortcuts() {
    QPointer<KeyboardShortcutManager> self(this);
    const std::pair<QString, void (KeyboardShortcutManager::*)()> actions[] = {
        {toggleMenuBar, &KeyboardShortcutManager::handleToggleMenuBarShortcut},
        {translateSelection, &KeyboardShortcutManager::handleTranslateSelectionShortcut},
        {translateAndReplace, &KeyboardShortcutManager::handleTranslateAndReplaceShortcut},
        {startOCR, &KeyboardShortcutManager::handleStartOCRShortcut},
    };
    for (const auto& [name, handler] : actions) {
        KeyboardShortcuts::onKeyDown(KeyboardShortcuts::Name(name), [self, handler = handler] {
            if (self)
                (self.data()->*handler)();
        });
    }
}

void KeyboardShortcutManager::setToastHandler(ToastHandler handler) {
    m_toast = std::move(handler);
}

bool KeyboardShortcutManager::isTextFieldActive() const {
    const auto* edit = qobject_cast<const QLineEdit*>(QApplication::focusWidget());
    // A popup's field (a picker's search) is no text being edited: a capture closes the popup first.
    return edit && !edit->isReadOnly() && edit->isEnabled() && edit->window()->isActiveWindow() &&
           edit->window()->windowType() != Qt::Popup;
}

void KeyboardShortcutManager::handleToggleMenuBarShortcut() {
    if (isTextFieldActive())
        return;
    if (m_isCapturing) {
        m_afterCapture.append([] { NotificationCenter::shared().post(Notifications::ToggleMenuBar); });
        return;
    }
    NotificationCenter::shared().post(Notifications::ToggleMenuBar);
}

void KeyboardShortcutManager::handleStartOCRShortcut() {
    if (isTextFieldActive())
        return;
    if (m_isCapturing) {
        QPointer<KeyboardShortcutManager> self(this);
        m_afterCapture.append([self] {
            if (self)
                self->startOCRCapture();
        });
        return;
    }
    startOCRCapture();
}

void KeyboardShortcutManager::startOCRCapture() {
    NotificationCenter::shared().post(Notifications::ToggleMenuBar, {{NotificationKeys::isOCR, true}});
    MainQueue::asyncAfter(
        ocrCaptureDelayMs, [] { NotificationCenter::shared().post(Notifications::StartOCRCapture); }, this);
}

void KeyboardShortcutManager::handleTranslateSelectionShortcut() {
    if (isTextFieldActive())
        return;
    QPointer<KeyboardShortcutManager> self(this);
    captureSelection([self](const CapturedSelection& selection, const QString& source, const QString& target,
                            TranslationService service) {
        if (self)
            self->showTranslationPopover(selection.text, source, target, service);
    });
}

void KeyboardShortcutManager::handleTranslateAndReplaceShortcut() {
    if (isTextFieldActive())
        return;
    QPointer<KeyboardShortcutManager> self(this);
    captureSelection([self](const CapturedSelection& selection, const QString& source, const QString& target,
                            TranslationService service) {
        if (self)
            self->m_replacer->translateAndReplace(selection, source, target, service);
    });
}

void KeyboardShortcutManager::captureSelection(
    std::function<void(const CapturedSelection&, const QString&, const QString&, TranslationService)>
        continuation) {
    // A second capture would save the first one's copy as the user's clipboard.
    if (m_isCapturing) {
        debugLog(kTag, QStringLiteral("⏳ a capture is running; key ignored"));
        return;
    }
    m_isCapturing = true;
    NotificationCenter::shared().post(Notifications::TranslateWithTriggerSource,
                                      {{NotificationKeys::triggerSource, QStringLiteral("shortcut")}});
    QPointer<KeyboardShortcutManager> self(this);
    m_replacer->useClipboard([self, continuation = std::move(continuation)](std::function<void()> done) {
        if (!self) {
            done();
            return;
        }
        self->m_capture->capture([self, continuation, done](std::optional<CapturedSelection> selection) {
            if (!self) {
                done();
                return;
            }
            self->m_isCapturing = false;
            if (!selection) {
                Q_EMIT self->selectionCaptured({});
                self->showError(copyFailedMessage);
            } else {
                Q_EMIT self->selectionCaptured(selection->text);
                const QString source = detectLanguage(selection->text);
                continuation(*selection, source,
                             resolveTargetLanguage(source, LanguagePreferences::targetCode()),
                             shortcutService());
            }
            // Only now may a paste that waited for this capture go on: a replace this capture started has
            // taken the place of an earlier one whose translation waits.
            done();
            if (!self)
                return;
            // Shortcuts pressed while the copy keys waited act now, so their windows do not take the
            // keyboard from the selection's window first.
            for (const auto& action : std::exchange(self->m_afterCapture, {}))
                action();
        });
    });
}

QString KeyboardShortcutManager::detectLanguage(const QString& text) {
    // Composed, so a letter typed as base and combining mark counts as the letter.
    const QString composed = text.normalized(QString::NormalizationForm_C);
    if (containsAny(composed, u"ğĞıİşŞ"))
        return QStringLiteral("tr");
    const QString detected = LanguageDetectionService::detectLanguage(text);
    // ç, ö and ü are German, French, Albanian... too: only a text the recogniser cannot place is Turkish.
    if (detected == QLatin1String("auto") && containsAny(composed, u"çÇöÖüÜ"))
        return QStringLiteral("tr");
    return detected;
}

QString KeyboardShortcutManager::resolveTargetLanguage(const QString& detected, const QString& target) {
    // Translating a text into its own language gives it back unchanged.
    return LanguagePreferences::targetFor(detected, target, LanguagePreferences::NeverTheTextsLanguage);
}

TranslationService KeyboardShortcutManager::shortcutService() {
    return translationServiceOrDefault(UserDefaults::standard()
                                           .optionalString(QStringLiteral("shortcutTranslationService"))
                                           .value_or(QStringLiteral("google")));
}

void KeyboardShortcutManager::showTranslationPopover(const QString& text, const QString& source,
                                                     const QString& target, TranslationService service) {
    if (m_translationPopover) {
        m_translationPopover->close();
        // Later: this may run inside one of the old popover's own callbacks.
        m_translationPopover->deleteLater();
    }
    auto* popover = new PointerTranslationPopover(text, source, target, service, this);
    popover->showAt(QCursor::pos());
    m_translationPopover = popover;
}

void KeyboardShortcutManager::showError(const QString& message) {
    delete m_errorAlert;
    auto* alert =
        new QMessageBox(QMessageBox::Warning, QStringLiteral("Quillora"), QStringLiteral("Quillora"));
    alert->setInformativeText(message);
    alert->addButton(QStringLiteral("Tamam"), QMessageBox::AcceptRole);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    m_errorAlert = alert;
    alert->open();
}
