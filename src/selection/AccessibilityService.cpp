#include "selection/AccessibilityService.h"

#include "platform/AccessibilityBus.h"
#include "platform/DebugLog.h"
#include "platform/KeyEventPoster.h"
#include "platform/Platform.h"
#include "platform/Workspace.h"
#include "selection/SelectionAppRules.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <algorithm>
#include <memory>
#include <utility>

namespace {

const QString kTag = QStringLiteral("AccessibilityService");

// Browsers put U+FFFC in the selection where it spans an image; it is no text to translate.
std::optional<SelectedText> nonEmpty(std::optional<QString> text) {
    if (!text)
        return std::nullopt;
    text->remove(QChar(QChar::ObjectReplacementCharacter));
    if (text->trimmed().isEmpty())
        return std::nullopt;
    if (AccessibilityService::isPasswordMask(*text)) {
        debugLog(kTag, QStringLiteral("🔒 a password field's mask; nothing is read"));
        return std::nullopt;
    }
    return SelectedText{*text, false};
}

} // namespace

bool AccessibilityService::isPasswordMask(const QString& text) {
    // Firefox, unless told that an assistive technology runs, puts one of these per character into PRIMARY.
    const auto isMask = [](QChar c) { return c == QChar(0x25CF) || c == QChar(0x2022); };
    // White space alone is a selection of spaces, no mask.
    return std::any_of(text.cbegin(), text.cend(), isMask) &&
           std::all_of(text.cbegin(), text.cend(), [&isMask](QChar c) { return isMask(c) || c.isSpace(); });
}

AccessibilityService& AccessibilityService::shared() {
    static auto* instance = new AccessibilityService;
    return *instance;
}

AccessibilityService::AccessibilityService(QObject* parent)
    : QObject(parent) {}

AccessibilityService::~AccessibilityService() {
    if (m_pendingRestore && hasPlatform()) {
        Pasteboard& pasteboard = platform().pasteboard();
        if (pasteboard.changeCount(Pasteboard::Mode::Clipboard) != m_pasteboardChangeCount)
            pasteboard.restore(*m_pendingRestore);
    }
}

void AccessibilityService::readSelectedText(const SelectionReadRequest& request, ReadHandler handler) {
    // Two questions at once: has the application taken PRIMARY (it does so when it sees the button go up,
    // often after we do), and what the accessibility bus says about its focused element.
    struct Gesture {
        std::optional<std::optional<FocusedElement>> element;
        std::optional<bool> primaryChanged;
        ReadHandler handler;
    };
    auto gesture = std::make_shared<Gesture>();
    gesture->handler = std::move(handler);
    auto proceed = [this, request, gesture] {
        if (!gesture->element || !gesture->primaryChanged)
            return;
        const std::optional<FocusedElement> element = *gesture->element;
        // A browser puts even a password field's text into PRIMARY: never read it, never copy it.
        if (element && element->isProtected) {
            debugLog(kTag, QStringLiteral("🔒 the focused element is protected; nothing is read"));
            gesture->handler(std::nullopt);
            return;
        }
        const bool editable = element && element->isEditable;
        ReadHandler done = [editable, handler = gesture->handler](std::optional<SelectedText> result) {
            if (result)
                result->isEditable = editable;
            handler(std::move(result));
        };
        if (*gesture->primaryChanged)
            readPrimary(request, std::move(done));
        else
            runClipboardFallback(request, std::move(done));
    };
    AccessibilityBus* bus = platform().accessibilityBus();
    if (bus && request.processId > 0) {
        QPointer<AccessibilityService> self(this);
        bus->queryFocusedElement(request.processId, request.pressPosition, AccessibilityBusTimeoutMs,
                                 [self, gesture, proceed](std::optional<FocusedElement> element) {
                                     if (!self)
                                         return;
                                     gesture->element = element;
                                     proceed();
                                 });
    } else {
        gesture->element = std::optional<FocusedElement>();
    }
    platform().pasteboard().waitForChange(Pasteboard::Mode::Selection, request.selectionChangeCountAtPress,
                                          SelectionSettleMs, this, [gesture, proceed](bool changed) {
                                              gesture->primaryChanged = changed;
                                              proceed();
                                          });
}

void AccessibilityService::readPrimary(const SelectionReadRequest& request, ReadHandler handler) {
    if (platform().pasteboard().isOwnedByThisProcess(Pasteboard::Mode::Selection)) {
        debugLog(kTag, QStringLiteral("↩️ the selection is our own"));
        handler(std::nullopt);
        return;
    }
    QPointer<AccessibilityService> self(this);
    auto elapsed = std::make_shared<QElapsedTimer>();
    elapsed->start();
    platform().pasteboard().readString(
        [self, elapsed, request, handler = std::move(handler)](std::optional<QString> text) mutable {
            if (!self)
                return;
            if (text) {
                handler(nonEmpty(text));
                return;
            }
            // A new owner that does not answer is hung: a synthetic copy would only queue up behind it.
            // A quick "nothing" means PRIMARY was taken and given up again (or offers no text), which
            // some applications do instead of never setting it.
            if (elapsed->elapsed() >= SelectionReadTimeoutMs * 9 / 10) {
                debugLog(kTag, QStringLiteral("⏱️ the selection owner did not answer"));
                handler(std::nullopt);
                return;
            }
            self->runClipboardFallback(request, std::move(handler));
        },
        Pasteboard::Mode::Selection, SelectionReadTimeoutMs);
}

void AccessibilityService::runClipboardFallback(const SelectionReadRequest& request, ReadHandler handler) {
    // A key sent to an application we cannot name might interrupt it (a terminal's Ctrl+C).
    if (request.bundleIdentifier.isEmpty()) {
        debugLog(kTag, QStringLiteral("🚫 no synthetic copy in an unidentified application"));
        handler(std::nullopt);
        return;
    }
    if (!SelectionAppRules::ruleFor(request.bundleIdentifier).allowsClipboardFallback) {
        debugLog(kTag, QStringLiteral("🚫 no synthetic copy in %1").arg(request.bundleIdentifier));
        handler(std::nullopt);
        return;
    }
    const Clock::time_point now = Clock::now();
    if (m_copyInProgress || (m_lastCopyOperationTime &&
                             now - *m_lastCopyOperationTime < std::chrono::milliseconds(CopyCooldownMs))) {
        debugLog(kTag, QStringLiteral("⏳ clipboard fallback skipped (cooldown)"));
        handler(std::nullopt);
        return;
    }
    m_copyInProgress = true;
    m_lastCopyOperationTime = now;

    QPointer<AccessibilityService> self(this);
    platform().pasteboard().takeSnapshot(
        [self, request, handler = std::move(handler)](PasteboardSnapshot snapshot) mutable {
            if (!self)
                return;
            // What could not be saved (an owner that did not answer, a format too large) could not be put
            // back, so the clipboard must not be overwritten.
            if (!snapshot.complete) {
                debugLog(kTag,
                         QStringLiteral("⏱️ the clipboard could not be saved whole; no synthetic copy"));
                self->finishFallback(std::nullopt, std::move(handler));
                return;
            }
            self->copyWithSnapshot(snapshot, request, std::move(handler));
        },
        SnapshotTimeoutMs);
}

void AccessibilityService::copyWithSnapshot(const PasteboardSnapshot& snapshot,
                                            const SelectionReadRequest& request, ReadHandler handler) {
    // The key goes to whatever has the keyboard now, which may have changed since the gesture (a window
    // opened meanwhile): the rule is decided for that window, and nothing is sent if it is another one.
    const std::optional<RunningApplication> receiver = platform().workspace().keyboardFocusApplication();
    if (!receiver || receiver->windowId != request.windowId || receiver->bundleIdentifier.isEmpty()) {
        debugLog(kTag, QStringLiteral("🚫 the keyboard moved on since the gesture; no synthetic copy"));
        finishFallback(std::nullopt, std::move(handler));
        return;
    }
    const SelectionAppRule rule = SelectionAppRules::ruleFor(receiver->bundleIdentifier);
    if (!rule.allowsClipboardFallback) {
        finishFallback(std::nullopt, std::move(handler));
        return;
    }
    Pasteboard& pasteboard = platform().pasteboard();
    pasteboard.endLateCopyWatch();
    m_pasteboardChangeCount = pasteboard.changeCount(Pasteboard::Mode::Clipboard);
    m_pendingRestore = snapshot;
    if (!platform().keyEventPoster().postKey(rule.copyKey, rule.copyModifiers)) {
        debugLog(kTag, QStringLiteral("⚠️ could not post the copy keys"));
        finishFallback(std::nullopt, std::move(handler));
        return;
    }
    platform().pasteboard().waitForChange(
        Pasteboard::Mode::Clipboard, m_pasteboardChangeCount, CopyWaitMs, this,
        [this, handler = std::move(handler)](bool changed) mutable {
            if (!changed) {
                // Nothing was copied yet, so the user's clipboard is untouched; a copy the application
                // makes after all must not replace it for good.
                debugLog(kTag, QStringLiteral("📋 nothing copied"));
                if (m_pendingRestore)
                    platform().pasteboard().restoreOnLateCopy(*m_pendingRestore, LateCopyGraceMs, this);
                finishFallback(std::nullopt, std::move(handler));
                return;
            }
            if (platform().pasteboard().isOwnedByThisProcess(Pasteboard::Mode::Clipboard)) {
                finishFallback(std::nullopt, std::move(handler));
                return;
            }
            QPointer<AccessibilityService> self(this);
            platform().pasteboard().readString(
                [self, handler = std::move(handler)](std::optional<QString> text) mutable {
                    if (self)
                        self->finishFallback(nonEmpty(text), std::move(handler));
                },
                Pasteboard::Mode::Clipboard, ClipboardReadTimeoutMs);
        });
}

void AccessibilityService::finishFallback(std::optional<SelectedText> result, ReadHandler handler) {
    if (m_pendingRestore) {
        Pasteboard& pasteboard = platform().pasteboard();
        if (pasteboard.changeCount(Pasteboard::Mode::Clipboard) != m_pasteboardChangeCount)
            pasteboard.restore(*m_pendingRestore);
        m_pendingRestore.reset();
    }
    m_copyInProgress = false;
    handler(std::move(result));
}
