#include "shortcuts/SelectionReplacer.h"

#include "platform/DebugLog.h"
#include "platform/KeyEventPoster.h"
#include "platform/Platform.h"
#include "selection/SelectionAppRules.h"
#include "services/TranslationManager.h"

#include <QPointer>
#include <QTimer>

namespace {

const QString kTag = QStringLiteral("SelectionReplacer");
const QString kFailureIcon = QStringLiteral("exclamationmark.triangle");
const QString kTranslationErrorPrefix = QStringLiteral("Translation error: ");

// Pasting where a copy key would do harm (a terminal's prompt, a file manager) could run or move things.
bool acceptsSyntheticPaste(const QString& bundleIdentifier) {
    const SelectionAppRule rule = SelectionAppRules::ruleFor(bundleIdentifier);
    return rule.allowsClipboardFallback && rule.copyModifiers == Qt::ControlModifier;
}

} // namespace

const QString SelectionReplacer::successMessage = QStringLiteral("Text translated and replaced");
const QString SelectionReplacer::focusMovedMessage =
    QStringLiteral("The window changed: the translation is on the clipboard");
const QString SelectionReplacer::pasteRefusedMessage =
    QStringLiteral("This application does not take pasted text: the translation is on the clipboard");
const QString SelectionReplacer::notPastedMessage = QStringLiteral("The translation could not be pasted");

struct SelectionReplacer::Paste {
    QString translation;
    RunningApplication application;
    PasteboardSnapshot snapshot;
    // The clipboard's change count once the translation was on it.
    int ownCount = 0;
    bool restoreNeeded = false;
    bool read = false;
    QObject* waiter = nullptr;
};

SelectionReplacer::SelectionReplacer(ToastHandler toast, QObject* parent)
    : QObject(parent)
    , m_toast(std::move(toast)) {}

SelectionReplacer::~SelectionReplacer() {
    if (m_current && m_current->restoreNeeded && hasPlatform() &&
        platform().pasteboard().changeCount(Pasteboard::Mode::Clipboard) == m_current->ownCount)
        platform().pasteboard().restore(m_current->snapshot);
}

QString SelectionReplacer::startMessage(TranslationService service) {
    return QStringLiteral("Translating text with %1...").arg(displayName(service));
}

void SelectionReplacer::translateAndReplace(const CapturedSelection& selection, const QString& source,
                                            const QString& target, TranslationService service) {
    m_toast(startMessage(service), QStringLiteral("arrow.2.circlepath"), 1.5);
    QPointer<SelectionReplacer> self(this);
    const RunningApplication application = selection.application;
    TranslationManager::shared().translateText(
        selection.text, source, target, service, QStringLiteral("shortcut"), QStringLiteral("translate"),
        [self, application](Result<TranslationResponse, TranslationError> result) {
            if (!self)
                return;
            if (!result) {
                self->fail(kTranslationErrorPrefix + result.error().localizedDescription());
                return;
            }
            const QString translation = result.value().translation;
            // Pasting nothing would delete the selection.
            if (translation.trimmed().isEmpty()) {
                self->fail(kTranslationErrorPrefix +
                           TranslationError::invalidResponse().localizedDescription());
                return;
            }
            self->replaceSelectedText(translation, application);
        },
        this);
}

void SelectionReplacer::fail(const QString& message) {
    m_toast(message, kFailureIcon, 3.0);
    Q_EMIT finished(false);
}

void SelectionReplacer::leaveOnClipboard(const QString& translation, const QString& message) {
    platform().pasteboard().setString(translation);
    m_toast(message, QStringLiteral("doc.on.clipboard"), 3.0);
    Q_EMIT finished(false);
}

void SelectionReplacer::replaceSelectedText(const QString& translation,
                                            const RunningApplication& application) {
    auto paste = std::make_shared<Paste>();
    paste->translation = translation;
    paste->application = application;
    QPointer<SelectionReplacer> self(this);
    m_queue.push_back([self, paste] {
        if (self)
            self->paste(paste);
    });
    if (!m_busy)
        runNext();
}

void SelectionReplacer::runNext() {
    if (m_queue.empty()) {
        m_busy = false;
        return;
    }
    m_busy = true;
    auto next = std::move(m_queue.front());
    m_queue.pop_front();
    next();
}

void SelectionReplacer::paste(std::shared_ptr<Paste> paste) {
    m_current = paste;
    const auto focused = [paste] {
        const std::optional<RunningApplication> now = platform().workspace().keyboardFocusApplication();
        return paste->application.windowId != 0 && now && now->windowId == paste->application.windowId;
    };
    const bool stillFocused = focused();
    if (!stillFocused || !acceptsSyntheticPaste(paste->application.bundleIdentifier)) {
        leaveOnClipboard(paste->translation, stillFocused ? pasteRefusedMessage : focusMovedMessage);
        m_current.reset();
        runNext();
        return;
    }

    QPointer<SelectionReplacer> self(this);
    platform().pasteboard().takeSnapshot(
        [self, paste, focused](PasteboardSnapshot snapshot) {
            if (!self)
                return;
            if (!snapshot.complete) {
                // The user's clipboard could not be saved, so it is not overwritten.
                self->m_current.reset();
                self->fail(self->notPastedMessage);
                self->runNext();
                return;
            }
            if (!focused()) {
                self->m_current.reset();
                self->leaveOnClipboard(paste->translation, focusMovedMessage);
                self->runNext();
                return;
            }
            Pasteboard& pasteboard = platform().pasteboard();
            paste->snapshot = std::move(snapshot);
            pasteboard.setString(paste->translation);
            paste->ownCount = pasteboard.changeCount(Pasteboard::Mode::Clipboard);
            paste->restoreNeeded = true;

            // Requests of the target's client mean it is reading the paste; it may ask for several
            // formats, so the clipboard goes back once it has been quiet for a moment.
            paste->waiter = new QObject(self);
            auto* settle = new QTimer(paste->waiter);
            settle->setSingleShot(true);
            auto* timeout = new QTimer(paste->waiter);
            timeout->setSingleShot(true);
            QObject::connect(
                &pasteboard, &Pasteboard::contentRequested, paste->waiter,
                [paste, settle](Pasteboard::Mode mode, quint32 requestor) {
                    if (mode != Pasteboard::Mode::Clipboard ||
                        !platform().pasteboard().isSameClient(requestor, paste->application.windowId))
                        return;
                    paste->read = true;
                    settle->start(PasteSettleMs);
                });
            QObject::connect(settle, &QTimer::timeout, self, [self, paste] { self->endPaste(paste, true); });
            QObject::connect(timeout, &QTimer::timeout, self,
                             [self, paste] { self->endPaste(paste, paste->read); });
            timeout->start(PasteReadTimeoutMs);

            if (!platform().keyEventPoster().postPaste()) {
                debugLog(kTag, QStringLiteral("⚠️ could not post the paste keys"));
                self->endPaste(paste, false);
            }
        },
        SnapshotTimeoutMs);
}

void SelectionReplacer::endPaste(std::shared_ptr<Paste> paste, bool read) {
    if (!paste->restoreNeeded)
        return;
    paste->restoreNeeded = false;
    if (paste->waiter)
        paste->waiter->deleteLater();
    Pasteboard& pasteboard = platform().pasteboard();
    // A clipboard the user replaced meanwhile is theirs to keep.
    if (pasteboard.changeCount(Pasteboard::Mode::Clipboard) == paste->ownCount)
        pasteboard.restore(paste->snapshot);
    m_current.reset();
    if (read) {
        m_toast(successMessage, QStringLiteral("checkmark.circle"), 2.0);
        Q_EMIT finished(true);
    } else {
        fail(notPastedMessage);
    }
    runNext();
}
