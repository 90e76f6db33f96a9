#include "selection/AccessibilityService.h"

#include "FakePlatform.h"
#include "TestUtils.h"
#include "platform/MainQueue.h"

#include <QElapsedTimer>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

namespace {

using Mode = Pasteboard::Mode;

class AccessibilityServiceTest : public ::testing::Test {
protected:
    FakePasteboard& pasteboard() { return fakePlatform().fakePasteboard(); }
    FakeKeyEventPoster& keys() { return fakePlatform().fakeKeyPoster(); }

    // The focused application copies `text` when it sees any copy keys.
    void applicationCopies(const QString& text) {
        keys().onPost = [this, text](const PostedKey&) { pasteboard().setExternalString(text); };
    }

    static constexpr quint32 kWindow = 7;
    static constexpr QPoint kPress{120, 80};

    // Reads as a gesture in window kWindow of `bundleIdentifier`, which has the keyboard, that began when
    // PRIMARY had its current change count, and waits for the answer.
    std::optional<SelectedText> read(AccessibilityService& service,
                                     const QString& bundleIdentifier = QStringLiteral("org.example.Editor"),
                                     std::optional<int> countAtPress = {}) {
        fakePlatform().fakeWorkspace().frontmost = RunningApplication{kWindow, 4242, bundleIdentifier, {}, {}};
        bool done = false;
        std::optional<SelectedText> result;
        service.readSelectedText(
            {countAtPress.value_or(pasteboard().changeCount(Mode::Selection)), bundleIdentifier, kWindow, 4242,
             kPress},
            [&](std::optional<SelectedText> r) {
                EXPECT_FALSE(done) << "handler called twice";
                done = true;
                result = std::move(r);
            });
        EXPECT_TRUE(waitUntil([&] { return done; }));
        return result;
    }

    AccessibilityService m_service;
};

TEST_F(AccessibilityServiceTest, FreshPrimaryIsReadWithoutTouchingTheClipboard) {
    pasteboard().setExternalContent(userClipboard());
    const int countAtPress = pasteboard().changeCount(Mode::Selection);
    pasteboard().setExternalString(QStringLiteral("selected words"), Mode::Selection);

    auto result = read(m_service, QStringLiteral("org.example.Editor"), countAtPress);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->text, QStringLiteral("selected words"));
    EXPECT_FALSE(result->isEditable);
    EXPECT_TRUE(keys().posted.isEmpty());
    EXPECT_EQ(pasteboard().writeCount(), 0);
    EXPECT_FALSE(m_service.lastCopyOperationTime());
}

// The accessibility bus decides what may be read and whether it is editable; without it nothing changes.
TEST_F(AccessibilityServiceTest, PasswordFieldsAreNeverReadAndTheBusTellsEditableFields) {
    FakeAccessibilityBus& bus = fakePlatform().fakeAccessibilityBus();
    pasteboard().setExternalContent(userClipboard());
    applicationCopies(QStringLiteral("secret copied"));
    struct Case {
        const char* name;
        std::optional<FocusedElement> element;
        bool primaryIsFresh;
        std::optional<bool> editable; // none: nothing may be read
    };
    const Case cases[] = {
        {"password field, PRIMARY set", FocusedElement{true, true}, true, std::nullopt},
        {"password field, stale PRIMARY", FocusedElement{true, true}, false, std::nullopt},
        {"editable field", FocusedElement{false, true}, true, true},
        {"plain text", FocusedElement{false, false}, true, false},
        {"no bus", std::nullopt, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bus.answer = c.element;
        AccessibilityService service;
        const int countAtPress = pasteboard().changeCount(Mode::Selection);
        if (c.primaryIsFresh)
            pasteboard().setExternalString(QStringLiteral("hunter2"), Mode::Selection);
        const auto result = read(service, QStringLiteral("chromium"), countAtPress);
        EXPECT_EQ(result.has_value(), c.editable.has_value());
        if (result && c.editable) {
            EXPECT_EQ(result->isEditable, *c.editable);
        }
        if (!c.editable) {
            EXPECT_TRUE(keys().posted.isEmpty());
        }
        EXPECT_EQ(bus.askedFor.value(bus.askedFor.size() - 1), 4242);
        EXPECT_EQ(bus.askedAt.value(bus.askedAt.size() - 1), kPress);
    }
}

TEST_F(AccessibilityServiceTest, PrimaryTakenShortlyAfterReleaseStillCountsAsFresh) {
    const int countAtPress = pasteboard().changeCount(Mode::Selection);
    MainQueue::asyncAfter(
        40, [this] { pasteboard().setExternalString(QStringLiteral("late owner"), Mode::Selection); });
    auto result = read(m_service, QStringLiteral("org.example.Editor"), countAtPress);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->text, QStringLiteral("late owner"));
    EXPECT_TRUE(keys().posted.isEmpty());
}

TEST_F(AccessibilityServiceTest, FreshButEmptyOrUnansweredPrimaryGivesNothingAndNoCopy) {
    int countAtPress = pasteboard().changeCount(Mode::Selection);
    pasteboard().setExternalString(QStringLiteral("  \n\t"), Mode::Selection);
    EXPECT_FALSE(read(m_service, QStringLiteral("org.example.Editor"), countAtPress));
    // Images inside a selection arrive as object replacement characters: they are no text.
    countAtPress = pasteboard().changeCount(Mode::Selection);
    pasteboard().setExternalString(QStringLiteral(" \uFFFC\n\uFFFC "), Mode::Selection);
    EXPECT_FALSE(read(m_service, QStringLiteral("org.example.Editor"), countAtPress));
    countAtPress = pasteboard().changeCount(Mode::Selection);
    pasteboard().setExternalString(QStringLiteral("two\uFFFC words\uFFFC"), Mode::Selection);
    const auto withImages = read(m_service, QStringLiteral("org.example.Editor"), countAtPress);
    ASSERT_TRUE(withImages);
    EXPECT_EQ(withImages->text, QStringLiteral("two words"));
    // A password field's mask is no text either.
    countAtPress = pasteboard().changeCount(Mode::Selection);
    pasteboard().setExternalString(QStringLiteral("\u25CF\u25CF\u25CF\u25CF \u2022\u2022"), Mode::Selection);
    EXPECT_FALSE(read(m_service, QStringLiteral("org.mozilla.firefox"), countAtPress));

    countAtPress = pasteboard().changeCount(Mode::Selection);
    pasteboard().setExternalString(QStringLiteral("hung owner"), Mode::Selection);
    pasteboard().setUnresponsive(true);
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(read(m_service, QStringLiteral("org.example.Editor"), countAtPress));
    EXPECT_LT(timer.elapsed(), 3000);
    EXPECT_TRUE(keys().posted.isEmpty());
}

TEST_F(AccessibilityServiceTest, StalePrimaryFallsBackToCopyAndRestoresEveryFormat) {
    pasteboard().setExternalString(QStringLiteral("old selection"), Mode::Selection);
    pasteboard().setExternalContent(userClipboard());
    const int countBeforeCopy = pasteboard().changeCount(Mode::Clipboard);
    applicationCopies(QStringLiteral("copied selection"));

    auto result = read(m_service, QStringLiteral("org.example.Editor"));
    ASSERT_TRUE(result);
    EXPECT_EQ(result->text, QStringLiteral("copied selection"));
    ASSERT_EQ(keys().posted.size(), 1);
    EXPECT_EQ(keys().posted[0].key, Qt::Key_C);
    EXPECT_EQ(keys().posted[0].modifiers, Qt::ControlModifier);
    EXPECT_EQ(pasteboard().contents().items, userClipboard().items);
    EXPECT_TRUE(m_service.lastCopyOperationTime());
    EXPECT_EQ(m_service.pasteboardChangeCount(), countBeforeCopy);
}

TEST_F(AccessibilityServiceTest, PrimaryTakenAndGivenUpAgainFallsBackToCopy) {
    pasteboard().setExternalContent(userClipboard());
    const int countAtPress = pasteboard().changeCount(Mode::Selection);
    pasteboard().setExternalString(QStringLiteral("briefly"), Mode::Selection);
    pasteboard().setExternalContent({}, Mode::Selection);
    applicationCopies(QStringLiteral("copied instead"));

    auto result = read(m_service, QStringLiteral("org.example.Editor"), countAtPress);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->text, QStringLiteral("copied instead"));
    EXPECT_EQ(pasteboard().contents().items, userClipboard().items);
}

TEST_F(AccessibilityServiceTest, EmptyClipboardIsEmptyAgainAfterTheFallback) {
    applicationCopies(QStringLiteral("copied"));
    auto result = read(m_service);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->text, QStringLiteral("copied"));
    EXPECT_TRUE(pasteboard().contents().isEmpty());
}

TEST_F(AccessibilityServiceTest, PerApplicationCopyKeys) {
    applicationCopies(QStringLiteral("terminal text"));
    auto result = read(m_service, QStringLiteral("org.gnome.Terminal"));
    ASSERT_TRUE(result);
    ASSERT_EQ(keys().posted.size(), 1);
    EXPECT_EQ(keys().posted[0].key, Qt::Key_C);
    EXPECT_EQ(keys().posted[0].modifiers, Qt::ControlModifier | Qt::ShiftModifier);

    // Where a synthetic copy would do harm, nothing is posted at all (and the cooldown is not spent).
    AccessibilityService other;
    EXPECT_FALSE(read(other, QStringLiteral("XTerm")));
    EXPECT_FALSE(read(other, QStringLiteral("emacs")));
    // The same terminals known by their Debian desktop entries rather than their window class.
    EXPECT_FALSE(read(other, QStringLiteral("debian-xterm")));
    EXPECT_FALSE(read(other, QStringLiteral("rxvt-unicode")));
    EXPECT_EQ(keys().posted.size(), 1);
    EXPECT_FALSE(other.lastCopyOperationTime());
}

// The copy key goes to whatever has the keyboard when it is posted, not to where the gesture was.
TEST_F(AccessibilityServiceTest, CopyKeysGoOnlyToTheGesturesWindowAndAnIdentifiedApplication) {
    pasteboard().setExternalContent(userClipboard());
    applicationCopies(QStringLiteral("copied"));
    struct Case {
        const char* name;
        std::optional<RunningApplication> receiver;
    };
    const Case cases[] = {
        {"another window opened meanwhile", RunningApplication{kWindow + 1, 99, QStringLiteral("xterm"), {}, {}}},
        {"the same application's other window",
         RunningApplication{kWindow + 1, 4242, QStringLiteral("org.example.Editor"), {}, {}}},
        {"nothing has the keyboard", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fakePlatform().fakeWorkspace().keyboardFocus = [&c] { return c.receiver; };
        AccessibilityService service;
        EXPECT_FALSE(read(service));
        EXPECT_TRUE(keys().posted.isEmpty());
        EXPECT_EQ(pasteboard().contents().items, userClipboard().items);
    }
    fakePlatform().fakeWorkspace().keyboardFocus = nullptr;
    // An application that cannot be identified gets no key at all.
    AccessibilityService unidentified;
    EXPECT_FALSE(read(unidentified, QString()));
    EXPECT_TRUE(keys().posted.isEmpty());
    EXPECT_TRUE(read(m_service));
    EXPECT_EQ(keys().posted.size(), 1);
}

TEST_F(AccessibilityServiceTest, FallbackRunsAtMostOncePerCooldown) {
    applicationCopies(QStringLiteral("copied"));
    ASSERT_TRUE(read(m_service));
    EXPECT_FALSE(read(m_service));
    EXPECT_EQ(keys().posted.size(), 1);

    // The cooldown counts from the last copy keys.
    ASSERT_TRUE(m_service.lastCopyOperationTime());
    const auto cooledDown = *m_service.lastCopyOperationTime() +
                            std::chrono::milliseconds(AccessibilityService::CopyCooldownMs);
    ASSERT_TRUE(waitUntil([&] { return AccessibilityService::Clock::now() >= cooledDown; },
                          AccessibilityService::CopyCooldownMs + 10000));
    EXPECT_TRUE(read(m_service));
    EXPECT_EQ(keys().posted.size(), 2);
}

TEST_F(AccessibilityServiceTest, NothingCopiedLeavesTheClipboardUntouched) {
    const PasteboardSnapshot late = [] {
        PasteboardSnapshot s;
        s.items.append({QStringLiteral("text/plain"), QByteArray("late copy")});
        return s;
    }();
    struct Case {
        const char* name;
        // The application copies this long after the read gave up; a copy after the grace stays.
        std::optional<int> lateCopyAfterMs;
        int writes;
        PasteboardSnapshot expected;
    };
    const Case cases[] = {
        {"nothing copied", std::nullopt, 0, userClipboard()},
        {"a copy that comes after the read gave up", 300, 1, userClipboard()},
        {"a copy that comes after the grace", AccessibilityService::LateCopyGraceMs + 300, 0, late},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        keys().posted.clear();
        pasteboard().setExternalContent(userClipboard());
        const int count = pasteboard().changeCount(Mode::Clipboard);
        const int writesBefore = pasteboard().writeCount();
        AccessibilityService service;
        EXPECT_FALSE(read(service));
        EXPECT_EQ(keys().posted.size(), 1);
        EXPECT_EQ(pasteboard().changeCount(Mode::Clipboard), count);
        if (c.lateCopyAfterMs) {
            QTimer::singleShot(*c.lateCopyAfterMs, &pasteboard(),
                               [&] { pasteboard().setExternalContent(late); });
            runQueuedWork(*c.lateCopyAfterMs);
        }
        EXPECT_EQ(pasteboard().writeCount() - writesBefore, c.writes);
        EXPECT_EQ(pasteboard().contents().items, c.expected.items);
    }
}

TEST_F(AccessibilityServiceTest, UnansweringClipboardOwnerIsNeverOverwritten) {
    pasteboard().setExternalContent(userClipboard());
    pasteboard().setUnresponsive(true);
    applicationCopies(QStringLiteral("copied"));
    EXPECT_FALSE(read(m_service));
    EXPECT_TRUE(keys().posted.isEmpty());
    EXPECT_EQ(pasteboard().contents().items, userClipboard().items);

    // An owner that answers, but not every format it offers (an image over the size limit), cannot be
    // put back whole either.
    pasteboard().setUnresponsive(false);
    PasteboardSnapshot partly = userClipboard();
    partly.complete = false;
    pasteboard().setExternalContent(partly);
    AccessibilityService afterCooldown;
    EXPECT_FALSE(read(afterCooldown));
    EXPECT_TRUE(keys().posted.isEmpty());
}

TEST_F(AccessibilityServiceTest, FailedKeyPostGivesNothing) {
    pasteboard().setExternalContent(userClipboard());
    keys().succeeds = false;
    EXPECT_FALSE(read(m_service));
    EXPECT_EQ(pasteboard().writeCount(), 0);
}

TEST_F(AccessibilityServiceTest, ServiceDestroyedMidCopyStillRestoresTheClipboard) {
    pasteboard().setExternalContent(userClipboard());
    applicationCopies(QStringLiteral("copied"));
    auto service = std::make_unique<AccessibilityService>();
    bool called = false;
    fakePlatform().fakeWorkspace().frontmost = RunningApplication{kWindow, 4242, QStringLiteral("editor"), {}, {}};
    service->readSelectedText({pasteboard().changeCount(Mode::Selection), QStringLiteral("editor"), kWindow, 0, {}},
                              [&](std::optional<SelectedText>) { called = true; });
    ASSERT_TRUE(waitUntil([&] { return !keys().posted.isEmpty(); }));
    EXPECT_EQ(pasteboard().currentString(), QStringLiteral("copied"));
    service.reset();
    runQueuedWork();
    EXPECT_FALSE(called);
    EXPECT_EQ(pasteboard().contents().items, userClipboard().items);
}

} // namespace
