#include "shortcuts/SelectionCapture.h"

#include "platform/AccessibilityBus.h"
#include "platform/DebugLog.h"
#include "platform/HotKeyService.h"
#include "platform/KeyEventPoster.h"
#include "platform/Platform.h"
#include "selection/AccessibilityService.h"
#include "selection/SelectionAppRules.h"

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTextDocumentFragment>
#include <QTextEdit>
#include <QTimer>
#include <memory>
#include <utility>

namespace {

const QString kTag = QStringLiteral("SelectionCapture");

bool isUsable(const std::optional<QString>& text) {
    if (!text || text->isEmpty())
        return false;
    if (AccessibilityService::isPasswordMask(*text)) {
        debugLog(kTag, QStringLiteral("🔒 a password field's mask; nothing is used"));
        return false;
    }
    return true;
}

} // namespace

struct SelectionCapture::Attempt {
    RunningApplication application;
    SelectionAppRule rule;
    PasteboardSnapshot snapshot;
    // The clipboard's change count right before our first copy keys.
    int baseline = 0;
    int copies = 0;
    // Clipboard changes seen since the copy key's.
    int claims = 0;
    // The application owns the clipboard already: it is taken from it before the first copy key.
    bool takeClipboardFirst = false;
    bool restoreNeeded = false;
    // A copy key went out, so the application may still copy after we gave up.
    bool keysPosted = false;
    Handler handler;
};

SelectionCapture::SelectionCapture(QObject* parent)
    : QObject(parent) {}

SelectionCapture::~SelectionCapture() {
    if (!hasPlatform())
        return;
    for (const auto& attempt : std::as_const(m_pending)) {
        if (attempt->restoreNeeded &&
            platform().pasteboard().changeCount(Pasteboard::Mode::Clipboard) != attempt->baseline)
            platform().pasteboard().restore(attempt->snapshot);
    }
}

bool SelectionCapture::isStillFocused(const RunningApplication& app) const {
    const std::optional<RunningApplication> now = platform().workspace().keyboardFocusApplication();
    return now && now->windowId == app.windowId;
}

std::optional<CapturedSelection>
SelectionCapture::ownSelection(const std::optional<RunningApplication>& front) {
    QWidget* widget = QApplication::focusWidget();
    if (!front || front->processId != QCoreApplication::applicationPid() || !widget ||
        !widget->window()->isActiveWindow())
        return std::nullopt;
    QString text;
    if (const auto* edit = qobject_cast<const QTextEdit*>(widget))
        text = edit->textCursor().selection().toPlainText();
    else if (const auto* plain = qobject_cast<const QPlainTextEdit*>(widget))
        text = plain->textCursor().selection().toPlainText();
    else if (const auto* line = qobject_cast<const QLineEdit*>(widget);
             line && line->echoMode() == QLineEdit::Normal)
        text = line->selectedText();
    if (text.isEmpty())
        return std::nullopt;
    return CapturedSelection{text, *front, widget};
}

void SelectionCapture::capture(Handler handler) {
    if (!QApplication::activePopupWidget()) {
        captureFromFocus(std::move(handler));
        return;
    }
    // A menu or list of ours holds the keyboard while it is open, so the copy keys would go to it: it
    // closes first, as a press anywhere else closes it, and the keys wait for the shortcut's release as
    // they do after any press. Not while its own key event, the press itself, is being handled.
    QTimer::singleShot(0, this, [this, handler = std::move(handler)]() mutable {
        for (int open = 0; QWidget* popup = QApplication::activePopupWidget(); ++open) {
            if (open == MaxPopupsClosed) {
                debugLog(kTag, QStringLiteral("⚠️ a popup of ours stays open"));
                break;
            }
            popup->close();
        }
        captureFromFocus(std::move(handler));
    });
}

void SelectionCapture::captureFromFocus(Handler handler) {
    // The copy key goes where the keyboard goes, so that window's rule decides.
    const std::optional<RunningApplication> front = platform().workspace().keyboardFocusApplication();
    // A copy in a window of ours makes content of ours, which is never taken for a copy: the widget tells.
    if (std::optional<CapturedSelection> own = ownSelection(front)) {
        QPointer<SelectionCapture> self(this);
        QTimer::singleShot(0, this, [self, own = std::move(*own), handler = std::move(handler)] {
            if (self)
                handler(own);
        });
        return;
    }
    AccessibilityBus* bus = platform().accessibilityBus();
    if (!bus || !front || front->processId <= 0) {
        captureFrom(front, std::move(handler));
        return;
    }
    // A browser puts even a password field's text into PRIMARY: nothing is read while one has the focus.
    QPointer<SelectionCapture> self(this);
    bus->queryFocusedElement(
        front->processId, AccessibilityBus::NoGesture, AccessibilityBusTimeoutMs,
        [self, front, handler = std::move(handler)](std::optional<FocusedElement> element) {
            if (!self)
                return;
            if (element && element->isProtected) {
                debugLog(kTag, QStringLiteral("🔒 a password field has the focus"));
                handler(std::nullopt);
                return;
            }
            self->captureFrom(front, handler);
        });
}

void SelectionCapture::captureFrom(const std::optional<RunningApplication>& front, Handler handler) {
    if (!front || front->windowId == 0 || front->bundleIdentifier.isEmpty()) {
        // A copy key sent to an application we cannot name might interrupt a terminal's program.
        debugLog(kTag, QStringLiteral("❓ unknown focused application: reading PRIMARY"));
        readPrimary(front.value_or(RunningApplication{}), std::move(handler));
        return;
    }
    const SelectionAppRule rule = SelectionAppRules::ruleFor(front->bundleIdentifier);
    if (!rule.allowsClipboardFallback) {
        debugLog(kTag, QStringLiteral("🚫 no copy key in %1: reading PRIMARY").arg(front->bundleIdentifier));
        readPrimary(*front, std::move(handler));
        return;
    }

    auto attempt = std::make_shared<Attempt>();
    attempt->application = *front;
    attempt->rule = rule;
    attempt->handler = std::move(handler);
    m_pending.append(attempt);

    QPointer<SelectionCapture> self(this);
    platform().pasteboard().takeSnapshot(
        [self, attempt](PasteboardSnapshot snapshot) {
            if (!self)
                return;
            // What could not be saved could not be put back, so the clipboard must not be overwritten.
            if (!snapshot.complete) {
                debugLog(kTag, QStringLiteral("⏱️ the clipboard could not be saved whole; no copy key"));
                self->finish(attempt, std::nullopt);
                return;
            }
            attempt->snapshot = std::move(snapshot);
            // An application that owns the clipboard may copy into it without claiming it again (Tk
            // does), and a copy that claims nothing goes unnoticed: it is made to claim it anew.
            const RunningApplication& app = attempt->application;
            platform().pasteboard().queryOwnedByApplication(
                Pasteboard::Mode::Clipboard, app.windowId, app.processId, self, [self, attempt](bool owns) {
                    attempt->takeClipboardFirst = owns;
                    self->copy(attempt);
                });
        },
        SnapshotTimeoutMs);
}

void SelectionCapture::copy(std::shared_ptr<Attempt> attempt) {
    // While the shortcut's key is down its grab takes every key, synthetic ones too: posted now, the
    // copy keys would come back to us.
    if (platform().hotKeyService().isHotKeyHeld()) {
        copyAfterRelease(attempt);
        return;
    }
    // The key goes to whatever has the focus now: post nothing if that is no longer the window whose
    // rule was chosen.
    if (!isStillFocused(attempt->application)) {
        debugLog(kTag, QStringLiteral("↪️ the focus moved before the copy key"));
        finish(attempt, std::nullopt);
        return;
    }
    Pasteboard& pasteboard = platform().pasteboard();
    // A second copy key follows a copy: the user's clipboard is the one from before the first.
    if (attempt->copies == 0)
        attempt->baseline = pasteboard.changeCount(Pasteboard::Mode::Clipboard);
    pasteboard.endLateCopyWatch();
    attempt->restoreNeeded = true;
    if (attempt->copies == 0 && attempt->takeClipboardFirst)
        pasteboard.clearContents();
    const int before = pasteboard.changeCount(Pasteboard::Mode::Clipboard);
    ++attempt->copies;
    if (!platform().keyEventPoster().postKey(attempt->rule.copyKey, attempt->rule.copyModifiers)) {
        debugLog(kTag, QStringLiteral("⚠️ could not post the copy keys"));
        finish(attempt, std::nullopt);
        return;
    }
    attempt->keysPosted = true;
    debugLog(kTag, QStringLiteral("⌨️ copy key %1").arg(attempt->copies));
    QPointer<SelectionCapture> self(this);
    platform().pasteboard().waitForChange(
        Pasteboard::Mode::Clipboard, before, CopyWaitMs, this, [self, attempt](bool changed) {
            if (!self)
                return;
            if (!changed) {
                if (attempt->copies < 2) {
                    self->copy(attempt);
                    return;
                }
                debugLog(kTag, QStringLiteral("📋 nothing copied"));
                self->finish(attempt, std::nullopt);
                return;
            }
            self->readCopy(attempt);
        });
}

void SelectionCapture::copyAfterRelease(std::shared_ptr<Attempt> attempt) {
    debugLog(kTag, QStringLiteral("⏳ the copy keys wait for the shortcut's release"));
    QPointer<SelectionCapture> self(this);
    auto* bound = new QTimer(this);
    bound->setSingleShot(true);
    // Stopped or fired, the bound is done with: one of the two ends the wait.
    connect(&platform().hotKeyService(), &HotKeyService::hotKeysReleased, bound, [self, attempt, bound] {
        if (!self || !bound->isActive() || platform().hotKeyService().isHotKeyHeld())
            return;
        bound->stop();
        bound->deleteLater();
        self->copy(attempt);
    });
    connect(bound, &QTimer::timeout, this, [self, attempt, bound] {
        bound->deleteLater();
        debugLog(kTag, QStringLiteral("⏱️ the shortcut's keys stayed down; no copy key"));
        self->finish(attempt, std::nullopt);
    });
    bound->start(ReleaseWaitMs);
}

void SelectionCapture::readCopy(std::shared_ptr<Attempt> attempt) {
    // Some applications claim the clipboard again a moment after their first claim for one copy; read
    // and put the user's clipboard back before that, and the late claim would overwrite it.
    QPointer<SelectionCapture> self(this);
    Pasteboard& pasteboard = platform().pasteboard();
    pasteboard.waitForChange(
        Pasteboard::Mode::Clipboard, pasteboard.changeCount(Pasteboard::Mode::Clipboard), CopySettleMs, this,
        [self, attempt](bool changed) {
            if (!self)
                return;
            if (changed && ++attempt->claims < MaxCopyClaims) {
                debugLog(kTag, QStringLiteral("📋 the clipboard changed again after the copy"));
                self->readCopy(attempt);
                return;
            }
            if (platform().pasteboard().isOwnedByThisProcess(Pasteboard::Mode::Clipboard)) {
                debugLog(kTag, QStringLiteral("📋 the clipboard changed to our own content, not a copy"));
                self->finish(attempt, std::nullopt);
                return;
            }
            platform().pasteboard().readString(
                [self, attempt](std::optional<QString> text) {
                    if (!self)
                        return;
                    if (!text)
                        debugLog(kTag, QStringLiteral("⏱️ the copied text could not be read"));
                    else if (text->isEmpty())
                        debugLog(kTag, QStringLiteral("📋 the copied text is empty"));
                    // An application may copy an image, or copy its text a moment late: one more try.
                    if ((!text || text->isEmpty()) && attempt->copies < 2) {
                        attempt->claims = 0;
                        self->copy(attempt);
                        return;
                    }
                    self->finish(attempt, std::move(text));
                },
                Pasteboard::Mode::Clipboard, ReadTimeoutMs);
        });
}

void SelectionCapture::finish(std::shared_ptr<Attempt> attempt, std::optional<QString> text) {
    m_pending.removeAll(attempt);
    Pasteboard& pasteboard = platform().pasteboard();
    if (attempt->restoreNeeded && pasteboard.changeCount(Pasteboard::Mode::Clipboard) != attempt->baseline) {
        pasteboard.restore(attempt->snapshot);
    } else if (attempt->keysPosted) {
        // The application may still copy after we gave up: that must not replace the user's clipboard.
        pasteboard.restoreOnLateCopy(attempt->snapshot, LateCopyGraceMs, this);
    }
    std::optional<CapturedSelection> result;
    if (isUsable(text))
        result = CapturedSelection{*text, attempt->application, nullptr};
    attempt->handler(std::move(result));
}

void SelectionCapture::readPrimary(const RunningApplication& app, Handler handler) {
    Pasteboard& pasteboard = platform().pasteboard();
    if (pasteboard.isOwnedByThisProcess(Pasteboard::Mode::Selection)) {
        handler(std::nullopt);
        return;
    }
    // PRIMARY keeps the last selection of any program, a password selected in a browser long ago
    // included: only one the focused application owns is its selection.
    const int changeCount = pasteboard.changeCount(Pasteboard::Mode::Selection);
    QPointer<SelectionCapture> self(this);
    pasteboard.queryOwnedByApplication(
        Pasteboard::Mode::Selection, app.windowId, app.processId, this,
        [self, app, changeCount, handler = std::move(handler)](bool belongs) {
            if (!belongs) {
                debugLog(kTag, QStringLiteral("🚫 PRIMARY belongs to another application"));
                handler(std::nullopt);
                return;
            }
            platform().pasteboard().readString(
                [self, app, changeCount, handler](std::optional<QString> text) {
                    if (!self)
                        return;
                    // Another program may have taken PRIMARY since its owner was checked.
                    if (platform().pasteboard().changeCount(Pasteboard::Mode::Selection) != changeCount) {
                        debugLog(kTag, QStringLiteral("🚫 PRIMARY changed hands while it was read"));
                        handler(std::nullopt);
                        return;
                    }
                    if (isUsable(text))
                        handler(CapturedSelection{*text, app, nullptr});
                    else
                        handler(std::nullopt);
                },
                Pasteboard::Mode::Selection, ReadTimeoutMs);
        });
}
