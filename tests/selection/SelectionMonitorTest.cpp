#include "selection/SelectionMonitor.h"

#include "FakePlatform.h"
#include "SelectionReads.h"
#include "TestUtils.h"
#include "platform/MainQueue.h"
#include "platform/NotificationCenter.h"
#include "platform/Notifications.h"
#include "platform/UserDefaults.h"
#include "selection/AccessibilityService.h"
#include "selection/ExcludedAppsManager.h"
#include "services/SystemLanguage.h"

#include <QCoreApplication>
#include <QWidget>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace {

using Type = GlobalMouseEvent::Type;
using Mode = Pasteboard::Mode;

struct Report {
    QString text;
    QRect rect;
    QString language;
    bool editable;
};

class SelectionMonitorTest : public ::testing::Test {
protected:
    void SetUp() override {
        RunningApplication editor;
        editor.windowId = 0x400001;
        editor.processId = 4242;
        editor.bundleIdentifier = QStringLiteral("org.example.Editor");
        editor.localizedName = QStringLiteral("Editor");
        fakePlatform().fakeWorkspace().frontmost = editor;
    }

    void createMonitor() {
        // A monitor going away stops the platform's monitor: the old one goes first.
        m_monitor.reset();
        m_monitor = std::make_unique<SelectionMonitor>(m_reader);
        m_monitor->onSelectionChanged = [this](const QString& text, const QRect& rect,
                                               const QString& language, bool editable) {
            EXPECT_TRUE(MainQueue::isMainThread());
            m_reports.append({text, rect, language, editable});
        };
        m_reads.watch(*m_monitor);
    }

    FakeGlobalMouseMonitor& mouse() { return fakePlatform().fakeMouseMonitor(); }
    FakePasteboard& pasteboard() { return fakePlatform().fakePasteboard(); }

    // A press at `from`, motion, and a release at `to`; the application under the pointer takes PRIMARY
    // with `selects` during the drag (nothing when empty).
    void drag(QPoint from, QPoint to, const QString& selects) {
        mouse().send(Type::LeftMouseDown, from);
        mouse().send(Type::LeftMouseDragged, (from + to) / 2);
        if (!selects.isEmpty())
            pasteboard().setExternalString(selects, Mode::Selection);
        mouse().send(Type::LeftMouseUp, to);
    }
    // A run of `count` clicks at one spot, selecting `selects` on the last press.
    void clicks(QPoint at, int count, const QString& selects) {
        for (int i = 1; i <= count; ++i) {
            mouse().send(Type::LeftMouseDown, at, i);
            if (i == count && !selects.isEmpty())
                pasteboard().setExternalString(selects, Mode::Selection);
            mouse().send(Type::LeftMouseUp, at, i);
        }
    }
    // Every read a gesture started has answered (the clipboard fallback included).
    void settle() { EXPECT_TRUE(m_reads.settle()); }

    AccessibilityService m_reader;
    std::unique_ptr<SelectionMonitor> m_monitor;
    QList<Report> m_reports;
    SelectionReads m_reads;
};

TEST_F(SelectionMonitorTest, DragDoubleAndTripleClickReportTextAtThePointer) {
    fakePlatform().fakeLanguageRecognizer().answers.insert(QStringLiteral("Guten Morgen"),
                                                           QStringLiteral("de"));
    fakePlatform().fakeLanguageRecognizer().answers.insert(QStringLiteral("word"), QStringLiteral("en-GB"));
    createMonitor();

    drag({100, 100}, {180, 104}, QStringLiteral("Guten Morgen"));
    EXPECT_TRUE(m_reports.isEmpty()) << "the callback runs on a later turn of the main queue";
    ASSERT_TRUE(waitUntil([&] { return m_reports.size() == 1; }));
    EXPECT_EQ(m_reports[0].text, QStringLiteral("Guten Morgen"));
    EXPECT_EQ(m_reports[0].rect, QRect(180, 104, 1, 1));
    EXPECT_EQ(m_reports[0].language, QStringLiteral("de"));
    EXPECT_FALSE(m_reports[0].editable);
    // The element where the drag began is the one the selection is in.
    EXPECT_EQ(fakePlatform().fakeAccessibilityBus().askedAt.value(0), QPoint(100, 100));

    clicks({300, 200}, 2, QStringLiteral("word"));
    ASSERT_TRUE(waitUntil([&] { return m_reports.size() == 2; }));
    EXPECT_EQ(m_reports[1].text, QStringLiteral("word"));
    EXPECT_EQ(m_reports[1].rect, QRect(300, 200, 1, 1));
    EXPECT_EQ(m_reports[1].language, QStringLiteral("en"));

    clicks({310, 210}, 3, QStringLiteral("a whole line"));
    ASSERT_TRUE(waitUntil([&] { return m_reports.size() == 3; }));
    EXPECT_EQ(m_reports[2].text, QStringLiteral("a whole line"));
    EXPECT_EQ(m_reports[2].language, QStringLiteral("auto"));
    EXPECT_TRUE(fakePlatform().fakeKeyPoster().posted.isEmpty());
}

TEST_F(SelectionMonitorTest, PrimaryTakenBeforeWeSeeTheSecondPressIsStillFresh) {
    createMonitor();
    mouse().send(Type::LeftMouseDown, {40, 40}, 1);
    mouse().send(Type::LeftMouseUp, {40, 40}, 1);
    pasteboard().setExternalString(QStringLiteral("word"), Mode::Selection);
    mouse().send(Type::LeftMouseDown, {40, 40}, 2);
    mouse().send(Type::LeftMouseUp, {40, 40}, 2);
    ASSERT_TRUE(waitUntil([&] { return m_reports.size() == 1; }));
    EXPECT_EQ(m_reports[0].text, QStringLiteral("word"));
    EXPECT_TRUE(fakePlatform().fakeKeyPoster().posted.isEmpty());

    // A new run starts a new baseline: PRIMARY unchanged since its first press is stale.
    mouse().send(Type::LeftMouseDown, {400, 40}, 1);
    mouse().send(Type::LeftMouseUp, {400, 40}, 1);
    mouse().send(Type::LeftMouseDown, {400, 40}, 2);
    mouse().send(Type::LeftMouseUp, {400, 40}, 2);
    ASSERT_TRUE(waitUntil([&] { return fakePlatform().fakeKeyPoster().posted.size() == 1; }));
}

// None of these is a selection in another application: no read starts, nothing is reported, no key goes
// out. Double clicks on title bars, the desktop or panels, and drags that start there, are among them.
TEST_F(SelectionMonitorTest, GesturesThatAreNoSelectionReadNothing) {
    auto& workspace = fakePlatform().fakeWorkspace();
    pasteboard().setExternalString(QStringLiteral("old text"), Mode::Clipboard);
    // Ours, where the floating bar would be; it takes no focus, so another application stays frontmost.
    QWidget window;
    window.setGeometry(400, 400, 200, 100);
    const struct {
        const char* name;
        std::function<void()> arrange;
        std::function<void()> gesture;
    } cases[] = {
        {"a drag of exactly five points", [] {}, [this] { drag({100, 100}, {103, 104}, QStringLiteral("five")); }},
        {"a single click", [] {}, [this] { clicks({200, 200}, 1, QStringLiteral("single")); }},
        {"a release without its press", [] {}, [this] { mouse().send(Type::LeftMouseUp, {500, 500}, 1); }},
        {"a double click outside an application's window", [&] { workspace.pointerOverApplication = false; },
         [this] { clicks({300, 5}, 2, QString()); }},
        {"a drag from outside an application's window", [&] { workspace.pointerOverApplication = false; },
         [this] { drag({300, 5}, {400, 300}, QString()); }},
        {"a drag in our own process", [&] { workspace.frontmost->processId = QCoreApplication::applicationPid(); },
         [this] { drag({0, 0}, {50, 0}, QStringLiteral("ours")); }},
        {"a drag over our own window",
         [&] {
             window.show();
             ASSERT_TRUE(waitUntil([&] { return window.isVisible(); }));
         },
         [this] { drag({450, 450}, {500, 460}, QStringLiteral("in our window")); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        workspace.pointerOverApplication = true;
        workspace.frontmost->processId = 4242;
        window.hide();
        createMonitor();
        c.arrange();
        c.gesture();
        settle();
        EXPECT_EQ(m_reads.started, 0);
        EXPECT_TRUE(m_reports.isEmpty());
        EXPECT_TRUE(fakePlatform().fakeKeyPoster().posted.isEmpty());
    }

    // The same double click in an application's window is one.
    workspace.pointerOverApplication = true;
    workspace.frontmost->processId = 4242;
    window.hide();
    clicks({300, 200}, 2, QStringLiteral("word"));
    ASSERT_TRUE(waitUntil([&] { return !m_reports.isEmpty(); }));
    settle();
    ASSERT_EQ(m_reports.size(), 1);
    EXPECT_EQ(m_reports[0].text, QStringLiteral("word"));
}

TEST_F(SelectionMonitorTest, ARightPressChangesNothing) {
    createMonitor();
    // Alone it reads nothing.
    pasteboard().setExternalString(QStringLiteral("context"), Mode::Selection);
    mouse().send(Type::RightMouseDown, {60, 60});
    settle();
    EXPECT_TRUE(m_reports.isEmpty());
    EXPECT_TRUE(fakePlatform().fakeKeyPoster().posted.isEmpty());

    // Inside a drag it neither ends the gesture nor moves its press.
    mouse().send(Type::LeftMouseDown, {100, 100});
    mouse().send(Type::RightMouseDown, {101, 101});
    pasteboard().setExternalString(QStringLiteral("dragged"), Mode::Selection);
    mouse().send(Type::LeftMouseUp, {180, 100});
    ASSERT_TRUE(waitUntil([&] { return m_reports.size() == 1; }));
    EXPECT_EQ(m_reports[0].text, QStringLiteral("dragged"));

    // Between the presses of a double click it does not start a new baseline: PRIMARY taken after the
    // first press is still fresh.
    mouse().send(Type::LeftMouseDown, {300, 40}, 1);
    mouse().send(Type::LeftMouseUp, {300, 40}, 1);
    pasteboard().setExternalString(QStringLiteral("word"), Mode::Selection);
    mouse().send(Type::RightMouseDown, {300, 40}, 1);
    mouse().send(Type::LeftMouseDown, {300, 40}, 2);
    mouse().send(Type::LeftMouseUp, {300, 40}, 2);
    ASSERT_TRUE(waitUntil([&] { return m_reports.size() == 2; }));
    EXPECT_EQ(m_reports[1].text, QStringLiteral("word"));
    EXPECT_TRUE(fakePlatform().fakeKeyPoster().posted.isEmpty());
}

TEST_F(SelectionMonitorTest, FollowsTheFloatingBarSwitch) {
    createMonitor();
    EXPECT_TRUE(m_monitor->showFloatingBar()) << "a missing switch means on";

    UserDefaults::standard().set(QStringLiteral("showFloatingBar"), false);
    createMonitor();
    EXPECT_FALSE(m_monitor->showFloatingBar());
    drag({0, 0}, {50, 0}, QStringLiteral("off"));
    settle();
    EXPECT_TRUE(m_reports.isEmpty());

    // Only a Bool value counts.
    NotificationCenter::shared().post(Notifications::FloatingBarVisibilityChanged,
                                      {{QStringLiteral("value"), QStringLiteral("true")}});
    EXPECT_FALSE(m_monitor->showFloatingBar());
    NotificationCenter::shared().post(Notifications::FloatingBarVisibilityChanged,
                                      {{QStringLiteral("value"), true}});
    drag({0, 0}, {50, 0}, QStringLiteral("on again"));
    ASSERT_TRUE(waitUntil([&] { return m_reports.size() == 1; }));
    EXPECT_EQ(m_reports[0].text, QStringLiteral("on again"));
}

TEST_F(SelectionMonitorTest, FollowsTheExcludedApplications) {
    ExcludedAppsManager::addExcludedApp(QStringLiteral("org.example.Editor"));
    createMonitor();
    drag({0, 0}, {50, 0}, QStringLiteral("excluded"));
    settle();
    EXPECT_TRUE(m_reports.isEmpty());

    ExcludedAppsManager::removeExcludedApp(QStringLiteral("org.example.Editor"));
    EXPECT_TRUE(m_monitor->excludedApps().isEmpty());
    drag({0, 0}, {50, 0}, QStringLiteral("allowed"));
    ASSERT_TRUE(waitUntil([&] { return m_reports.size() == 1; }));

    // A payload without a list re-reads the store; a list of strings from another poster is taken as is.
    UserDefaults::standard().set(QStringLiteral("excludedApps"), QStringLiteral("a,org.example.Editor"));
    NotificationCenter::shared().post(Notifications::ExcludedAppsChanged);
    EXPECT_EQ(m_monitor->excludedApps(), (QStringList{"a", "org.example.Editor"}));
    NotificationCenter::shared().post(Notifications::ExcludedAppsChanged,
                                      {{QStringLiteral("apps"), QVariantList{QStringLiteral("b")}}});
    EXPECT_EQ(m_monitor->excludedApps(), QStringList{QStringLiteral("b")});
}

TEST_F(SelectionMonitorTest, SameTextWithinTheIntervalIsReportedOnce) {
    createMonitor();
    clicks({10, 10}, 2, QStringLiteral("hello"));
    ASSERT_TRUE(waitUntil([&] { return m_reports.size() == 1; }));
    clicks({10, 10}, 3, QStringLiteral("hello"));
    settle();
    EXPECT_EQ(m_reports.size(), 1);

    clicks({10, 10}, 2, QStringLiteral("other"));
    ASSERT_TRUE(waitUntil([&] { return m_reports.size() == 2; }));

    // Once the interval has passed, the same text counts again.
    EXPECT_TRUE(waitUntil(
        [&] {
            clicks({10, 10}, 2, QStringLiteral("other"));
            settle();
            return m_reports.size() == 3;
        },
        SelectionMonitor::SameTextIntervalMs + 10000));
    EXPECT_EQ(m_reports.size(), 3);
}

TEST_F(SelectionMonitorTest, ReadOfAnOutdatedGestureIsDropped) {
    createMonitor();
    drag({0, 0}, {60, 0}, QStringLiteral("first"));
    // A new press before the first read answers.
    mouse().send(Type::LeftMouseDown, {70, 0});
    pasteboard().setExternalString(QStringLiteral("second"), Mode::Selection);
    mouse().send(Type::LeftMouseUp, {140, 0});
    ASSERT_TRUE(waitUntil([&] { return !m_reports.isEmpty(); }));
    settle();
    ASSERT_EQ(m_reports.size(), 1);
    EXPECT_EQ(m_reports[0].text, QStringLiteral("second"));
}

TEST_F(SelectionMonitorTest, HugeSelectionIsReportedWhole) {
    createMonitor();
    const QString huge = QString(QStringLiteral("lorem ipsum ")).repeated(200000);
    drag({0, 0}, {600, 300}, huge);
    ASSERT_TRUE(waitUntil([&] { return m_reports.size() == 1; }));
    EXPECT_EQ(m_reports[0].text.size(), huge.size());
}

TEST_F(SelectionMonitorTest, StalePrimaryGoesThroughTheClipboard) {
    pasteboard().setExternalString(QStringLiteral("stale"), Mode::Selection);
    createMonitor();
    fakePlatform().fakeKeyPoster().onPost = [this](const PostedKey&) {
        pasteboard().setExternalString(QStringLiteral("from the clipboard"));
    };
    drag({0, 0}, {60, 0}, QString());
    ASSERT_TRUE(waitUntil([&] { return m_reports.size() == 1; }));
    EXPECT_EQ(m_reports[0].text, QStringLiteral("from the clipboard"));
    EXPECT_TRUE(pasteboard().contents().isEmpty());
}

TEST_F(SelectionMonitorTest, ReinstallsOnANewPlatformAndSurvivesWithout) {
    createMonitor();
    installPlatform(std::make_unique<FakePlatform>());
    fakePlatform().fakeWorkspace().frontmost =
        RunningApplication{1, 99, QStringLiteral("x"), QStringLiteral("X"), {}};
    EXPECT_FALSE(mouse().isRunning());
    EXPECT_TRUE(m_monitor->installGlobalMonitor());
    drag({0, 0}, {60, 0}, QStringLiteral("new platform"));
    ASSERT_TRUE(waitUntil([&] { return m_reports.size() == 1; }));

    mouse().setAvailable(false);
    EXPECT_FALSE(m_monitor->installGlobalMonitor());
    m_monitor.reset();
}

TEST_F(SelectionMonitorTest, RequestTranslationPostsTheSelectedText) {
    createMonitor();
    QObject context;
    QList<QVariantMap> posts;
    NotificationCenter::shared().addObserver(Notifications::TranslateSelectedText, &context,
                                             [&](const QVariantMap& info) { posts.append(info); });
    m_monitor->requestTranslation(QStringLiteral("Merhaba"));
    UserDefaults::standard().set(QStringLiteral("defaultTargetLanguage"), QStringLiteral("de"));
    m_monitor->requestTranslation(QStringLiteral("Hello"));
    ASSERT_EQ(posts.size(), 2);
    EXPECT_EQ(posts[0], (QVariantMap{{"text", "Merhaba"},
                                     {"sourceLanguage", "auto"},
                                     {"targetLanguage", systemLanguageCode()}}));
    EXPECT_EQ(posts[1],
              (QVariantMap{{"text", "Hello"}, {"sourceLanguage", "auto"}, {"targetLanguage", "de"}}));
}

} // namespace
