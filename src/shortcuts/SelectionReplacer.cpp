#include "shortcuts/SelectionReplacer.h"

#include "platform/DebugLog.h"
#include "platform/HotKeyService.h"
#include "platform/KeyEventPoster.h"
#include "platform/Platform.h"
#include "selection/SelectionAppRules.h"
#include "services/TranslationManager.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTextEdit>
#include <QTimer>
#include <utility>

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
const QString SelectionReplacer::focusMovedMessage = QStringLiteral("Translation copied: the window changed");
const QString SelectionReplacer::pasteRefusedMessage =
    QStringLiteral("Translation copied: this application takes no paste");
const QString SelectionReplacer::notPastedMessage = QStringLiteral("The translation could not be pasted");
const QString SelectionReplacer::notReadMessage = QStringLiteral("Translation copied: the window did not take it");
const QString SelectionReplacer::keysHeldMessage = QStringLiteral("Translation copied: the keys stayed down");

struct SelectionReplacer::Paste {
    QString translation;
    RunningApplication application;
    // The replace it belongs to; a later one's start drops it.
    quint64 generation = 0;
    PasteboardSnapshot snapshot;
    // The clipboard's change count once the translation was on it.
    int ownCount = 0;
    bool restoreNeeded = false;
    bool read = false;
    // Lives while the clipboard holds the translation and waits for the target's read.
    QObject* waiter = nullptr;
};

SelectionReplacer::SelectionReplacer(ToastHandler toast, QObject* parent)
    : QObject(parent)
    , m_toast(std::move(toast)) {}

SelectionReplacer::~SelectionReplacer() {
    for (const std::shared_ptr<Paste>& paste : {m_current, m_unread}) {
        if (paste && paste->restoreNeeded && hasPlatform() &&
            platform().pasteboard().changeCount(Pasteboard::Mode::Clipboard) == paste->ownCount)
            platform().pasteboard().restore(paste->snapshot);
    }
}

QString SelectionReplacer::startMessage(TranslationService service) {
    return QStringLiteral("Translating text with %1...").arg(displayName(service));
}

void SelectionReplacer::translateAndReplace(const CapturedSelection& selection, const QString& source,
                                            const QString& target, TranslationService service) {
    m_toast(startMessage(service), QStringLiteral("arrow.2.circlepath"), 1.5);
    QPointer<SelectionReplacer> self(this);
    const RunningApplication application = selection.application;
    const QPointer<QWidget> ownEditor = selection.ownEditor;
    const quint64 generation = ++m_generation;
    TranslationManager::shared().translateText(
        selection.text, source, target, service, QStringLiteral("shortcut"), QStringLiteral("translate"),
        [self, application, ownEditor, generation](Result<TranslationResponse, TranslationError> result) {
            if (!self)
                return;
            if (self->isSuperseded(generation)) {
                Q_EMIT self->finished(false);
                return;
            }
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
            if (application.processId == QCoreApplication::applicationPid())
                self->replaceInOwnEditor(translation, ownEditor, generation);
            else
                self->replaceSelectedText(translation, application);
        },
        this);
}

void SelectionReplacer::replaceInOwnEditor(const QString& translation, QPointer<QWidget> editor,
                                           quint64 generation, bool focusAwaited) {
    if (isSuperseded(generation)) {
        Q_EMIT finished(false);
        return;
    }
    // While the shortcut's key is down its grab holds the keyboard, and the editor's window counts as
    // inactive until the release.
    if (platform().hotKeyService().isHotKeyHeld()) {
        afterRelease(
            [this, translation, editor, generation] { replaceInOwnEditor(translation, editor, generation); },
            [this, translation] {
                useClipboard([this, translation](std::function<void()> done) {
                    leaveOnClipboard(translation, keysHeldMessage);
                    done();
                });
            });
        return;
    }
    // Our own paste would never be seen as the window's read, so the widget's selection is replaced
    // directly, as one undo step.
    const auto replace = [&translation](auto* edit) {
        if (!edit || edit->isReadOnly() || !edit->textCursor().hasSelection())
            return false;
        QTextCursor cursor = edit->textCursor();
        cursor.insertText(translation);
        edit->setTextCursor(cursor);
        return true;
    };
    const auto isFocused = [editor] {
        return editor && editor->hasFocus() && editor->window()->isActiveWindow();
    };
    const bool focused = isFocused();
    // The window gets the keyboard back a moment after a grab ends (the shortcut's own): it has that
    // moment before it counts as changed.
    if (!focused && editor && !focusAwaited) {
        auto* bound = new QTimer(this);
        bound->setSingleShot(true);
        const auto retry = [this, bound, translation, editor, generation] {
            bound->deleteLater();
            replaceInOwnEditor(translation, editor, generation, true);
        };
        connect(qApp, &QApplication::focusChanged, bound, [bound, isFocused, retry] {
            if (bound->isActive() && isFocused()) {
                bound->stop();
                retry();
            }
        });
        connect(bound, &QTimer::timeout, this, retry);
        bound->start(FocusReturnWaitMs);
        return;
    }
    if (focused &&
        (replace(qobject_cast<QTextEdit*>(editor)) || replace(qobject_cast<QPlainTextEdit*>(editor)))) {
        m_toast(successMessage, QStringLiteral("checkmark.circle"), 2.0);
        Q_EMIT finished(true);
        return;
    }
    QPointer<SelectionReplacer> self(this);
    useClipboard([self, translation, focused](std::function<void()> done) {
        if (self)
            self->leaveOnClipboard(translation, focused ? pasteRefusedMessage : focusMovedMessage);
        done();
    });
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
    paste->generation = m_generation;
    QPointer<SelectionReplacer> self(this);
    m_queue.push_back([self, paste] {
        if (self)
            self->paste(paste);
    });
    if (!m_busy)
        runNext();
}

void SelectionReplacer::useClipboard(std::function<void(std::function<void()> done)> work) {
    QPointer<SelectionReplacer> self(this);
    m_queue.push_back([self, work = std::move(work)] {
        auto once = std::make_shared<bool>(false);
        work([self, once] {
            if (std::exchange(*once, true) || !self)
                return;
            self->runNext();
        });
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

bool SelectionReplacer::isSuperseded(quint64 generation) const {
    // The selection a later press copied is still the one this replace would paste over: pasting both
    // would put two translations where one word was.
    if (generation == m_generation)
        return false;
    debugLog(kTag, QStringLiteral("⏭️ a later replace took this one's place; not pasted"));
    return true;
}

void SelectionReplacer::paste(std::shared_ptr<Paste> paste) {
    if (isSuperseded(paste->generation)) {
        if (m_current == paste)
            m_current.reset();
        Q_EMIT finished(false);
        runNext();
        return;
    }
    m_current = paste;
    // While a shortcut's key is down its grab takes the paste keys too.
    if (platform().hotKeyService().isHotKeyHeld()) {
        pasteAfterRelease(paste);
        return;
    }
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

    // A translation still waiting for its window's read gives way: this paste replaces it.
    if (std::shared_ptr<Paste> previous = std::exchange(m_unread, nullptr))
        stopWaiting(*previous);

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
            // Pressed while the clipboard was saved: start over once it is released.
            if (platform().hotKeyService().isHotKeyHeld()) {
                self->pasteAfterRelease(paste);
                return;
            }
            self->startPaste(paste, std::move(snapshot));
        },
        SnapshotTimeoutMs);
}

void SelectionReplacer::pasteAfterRelease(std::shared_ptr<Paste> paste) {
    debugLog(kTag, QStringLiteral("⏳ the paste keys wait for the shortcut's release"));
    afterRelease([this, paste] { this->paste(paste); },
                 [this, paste] {
                     debugLog(kTag, QStringLiteral("⏱️ the shortcut's keys stayed down; no paste keys"));
                     m_current.reset();
                     leaveOnClipboard(paste->translation, keysHeldMessage);
                     runNext();
                 });
}

void SelectionReplacer::afterRelease(std::function<void()> released, std::function<void()> heldTooLong) {
    // Stopped or fired, the bound is done with: one of the two ends the wait. Both die with this object.
    auto* bound = new QTimer(this);
    bound->setSingleShot(true);
    connect(&platform().hotKeyService(), &HotKeyService::hotKeysReleased, bound, [bound, released] {
        if (!bound->isActive() || platform().hotKeyService().isHotKeyHeld())
            return;
        bound->stop();
        bound->deleteLater();
        released();
    });
    connect(bound, &QTimer::timeout, this, [bound, heldTooLong] {
        bound->deleteLater();
        heldTooLong();
    });
    bound->start(ReleaseWaitMs);
}

bool SelectionReplacer::isReadBy(const RunningApplication& target, const Pasteboard::Request& request) {
    // A refused request is no read: the target may go on to ask for another format.
    if (request.mode != Pasteboard::Mode::Clipboard || request.formatsOnly || !request.answered)
        return false;
    // An application may read through a connection of its own, so its process is what tells.
    return (request.process != 0 && request.process == target.processId) ||
           platform().pasteboard().isSameClient(request.requestor, target.windowId);
}

void SelectionReplacer::startPaste(std::shared_ptr<Paste> paste, PasteboardSnapshot snapshot) {
    Pasteboard& pasteboard = platform().pasteboard();
    paste->snapshot = std::move(snapshot);
    pasteboard.setString(paste->translation);
    paste->ownCount = pasteboard.changeCount(Pasteboard::Mode::Clipboard);
    paste->restoreNeeded = true;

    // The target may ask for several formats, so the clipboard goes back once it has been quiet for a
    // moment after reading; never before it read, since a late read would paste the user's clipboard.
    QPointer<SelectionReplacer> self(this);
    paste->waiter = new QObject(this);
    auto* settle = new QTimer(paste->waiter);
    settle->setSingleShot(true);
    auto* timeout = new QTimer(paste->waiter);
    timeout->setSingleShot(true);
    QObject::connect(&pasteboard, &Pasteboard::contentRequested, paste->waiter,
                     [paste, settle](const Pasteboard::Request& request) {
                         if (!isReadBy(paste->application, request)) {
                             const QString kind = request.formatsOnly ? QStringLiteral("formats")
                                                  : request.answered     ? QStringLiteral("read")
                                                                         : QStringLiteral("refused read");
                             debugLog(kTag, QStringLiteral("🔎 not the paste's read: %1 by process %2")
                                                .arg(kind)
                                                .arg(request.process));
                             return;
                         }
                         paste->read = true;
                         settle->start(PasteSettleMs);
                     });
    QObject::connect(&pasteboard, &Pasteboard::changed, paste->waiter, [self, paste](Pasteboard::Mode mode) {
        // Someone else's content replaced the unread translation: there is nothing left to put back.
        if (mode == Pasteboard::Mode::Clipboard && self && self->m_unread == paste &&
            platform().pasteboard().changeCount(Pasteboard::Mode::Clipboard) != paste->ownCount) {
            self->m_unread.reset();
            self->stopWaiting(*paste);
        }
    });
    QObject::connect(settle, &QTimer::timeout, this, [self, paste] { self->endPaste(paste, true); });
    QObject::connect(timeout, &QTimer::timeout, this, [self, paste] {
        if (!paste->read)
            self->leaveUnread(paste);
    });
    timeout->start(PasteReadTimeoutMs);

    if (!platform().keyEventPoster().postPaste()) {
        debugLog(kTag, QStringLiteral("⚠️ could not post the paste keys"));
        endPaste(paste, false);
    }
}

void SelectionReplacer::leaveUnread(std::shared_ptr<Paste> paste) {
    // The target may still read: it gets the translation then, and the user's clipboard comes back after.
    m_unread = paste;
    m_current.reset();
    m_toast(notReadMessage, QStringLiteral("doc.on.clipboard"), 3.0);
    Q_EMIT finished(false);
    runNext();
}

void SelectionReplacer::stopWaiting(Paste& paste) {
    paste.restoreNeeded = false;
    if (paste.waiter) {
        paste.waiter->deleteLater();
        paste.waiter = nullptr;
    }
}

void SelectionReplacer::endPaste(std::shared_ptr<Paste> paste, bool read) {
    if (!paste->restoreNeeded)
        return;
    stopWaiting(*paste);
    // Told before the restore, whose change would end the wait for a late read as someone else's.
    const bool late = m_unread == paste;
    if (late)
        m_unread.reset();
    Pasteboard& pasteboard = platform().pasteboard();
    // A clipboard the user replaced meanwhile is theirs to keep.
    if (pasteboard.changeCount(Pasteboard::Mode::Clipboard) == paste->ownCount)
        pasteboard.restore(paste->snapshot);
    else
        debugLog(kTag, QStringLiteral("the clipboard changed after the paste; not putting it back"));
    if (late) {
        // The replace was already reported and the queue moved on: another capture or paste may hold it.
        m_toast(successMessage, QStringLiteral("checkmark.circle"), 2.0);
        return;
    }
    m_current.reset();
    if (read) {
        m_toast(successMessage, QStringLiteral("checkmark.circle"), 2.0);
        Q_EMIT finished(true);
    } else {
        fail(notPastedMessage);
    }
    runNext();
}
