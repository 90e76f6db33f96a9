// Selections in another X client, made with xdotool, read by the real platform services.
#include "SelectionReads.h"
#include "TestUtils.h"
#include "TextWindowProcess.h"
#include "platform/NotificationCenter.h"
#include "platform/Notifications.h"
#include "platform/Pasteboard.h"
#include "platform/UserDefaults.h"
#include "platform/Workspace.h"
#include "platform/x11/X11Platform.h"
#include "selection/AccessibilityService.h"
#include "selection/ExcludedAppsManager.h"
#include "selection/SelectionMonitor.h"

#include <QGuiApplication>
#include <QLineEdit>
#include <QMap>
#include <QProcess>
#include <QStyleHints>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace {

const QString kText = QStringLiteral("alpha beta gamma");

struct Report {
    QString text;
    QRect rect;
};

QStringList at(QPoint p) {
    return {QStringLiteral("mousemove"), QString::number(p.x()), QString::number(p.y())};
}

// A spot on the same word where a press starts a new click run, for the monitor and the client alike,
// however soon it comes: beyond the double-click distance of `p`, and the triple-click distance.
QPoint besides(QPoint p) {
    const QStyleHints* hints = QGuiApplication::styleHints();
    const int dx = hints->mouseDoubleClickDistance() + 1;
    return p + QPoint(dx, std::max(0, hints->startDragDistance() - dx));
}

bool xdo(const QStringList& arguments) {
    return runTool(QStringLiteral("xdotool"), arguments).has_value();
}

class SelectionMonitorX11Test : public ::testing::Test {
protected:
    void SetUp() override {
        installPlatform(std::make_unique<X11Platform>());
        xdo({QStringLiteral("mouseup"), QStringLiteral("1")});
    }
    void TearDown() override {
        m_monitor.reset();
        m_reader.reset();
    }

    void startClient(const QStringList& extra = {}) {
        ASSERT_TRUE(m_client.start(QStringList{QStringLiteral("--text"), kText} + extra));
        m_word = m_client.lineEditGeometry().topLeft() + QPoint(14, m_client.lineEditGeometry().height() / 2);
        ASSERT_TRUE(waitUntil([&] {
            auto app = platform().workspace().frontmostApplication();
            return app && app->processId == m_client.processId();
        }));
    }

    void createMonitor() {
        m_reader = std::make_unique<AccessibilityService>();
        m_monitor = std::make_unique<SelectionMonitor>(*m_reader);
        m_monitor->onSelectionChanged = [this](const QString& text, const QRect& rect, const QString&, bool) {
            m_reports.append({text, rect});
        };
        m_reads.watch(*m_monitor);
    }

    void clickTimes(QPoint p, int count) {
        ASSERT_TRUE(xdo(at(p) + QStringList{QStringLiteral("click"), QStringLiteral("--repeat"),
                                            QString::number(count), QStringLiteral("--delay"),
                                            QStringLiteral("80"), QStringLiteral("1")}));
    }
    void dragFromTo(QPoint from, QPoint to) {
        ASSERT_TRUE(xdo(at(from) + QStringList{QStringLiteral("mousedown"), QStringLiteral("1")}));
        // The monitor asks where the pointer is when it hears of the press.
        settleDisplay();
        ASSERT_TRUE(xdo(at((from + to) / 2)));
        ASSERT_TRUE(xdo(at(to) + QStringList{QStringLiteral("mouseup"), QStringLiteral("1")}));
    }
    // The input so far has been handled and every read it started has answered, the clipboard fallback
    // included; what they reported has arrived.
    void quietPeriod() {
        settleDisplay();
        EXPECT_TRUE(m_reads.settle());
    }

    TextWindowProcess m_client{QStringLiteral(QUILLORA_TEST_TEXTWINDOW_PATH)};
    std::unique_ptr<AccessibilityService> m_reader;
    std::unique_ptr<SelectionMonitor> m_monitor;
    QList<Report> m_reports;
    SelectionReads m_reads;
    QPoint m_word;
};

TEST_F(SelectionMonitorX11Test, DragDoubleAndTripleClickReportTheSelection) {
    startClient();
    createMonitor();
    const QRect field = m_client.lineEditGeometry();
    const QPoint end(field.right() - 4, field.center().y() + 1);
    dragFromTo(QPoint(field.left() + 2, field.center().y()), end);
    ASSERT_TRUE(waitUntil([&] { return m_reports.size() == 1; }));
    EXPECT_EQ(m_reports[0].text, kText);
    EXPECT_EQ(m_reports[0].rect, QRect(end, QSize(1, 1)));

    // Each run of clicks below is away from the last press, so it starts anew however soon it comes.
    clickTimes(m_word, 2);
    ASSERT_TRUE(waitUntil([&] { return m_reports.size() == 2; }));
    EXPECT_EQ(m_reports[1].text.trimmed(), QStringLiteral("alpha"));
    EXPECT_EQ(m_reports[1].rect, QRect(m_word, QSize(1, 1)));

    // A triple click selects the whole field; the double click inside it may or may not be reported
    // before the third press makes it outdated.
    const QPoint elsewhere = m_word + QPoint(60, 0);
    clickTimes(elsewhere, 3);
    ASSERT_TRUE(waitUntil([&] { return m_reports.last().text == kText && m_reports.size() >= 3; }));
    quietPeriod();
    EXPECT_LE(m_reports.size(), 4);
    EXPECT_EQ(m_reports.last().text, kText);
    EXPECT_EQ(m_reports.last().rect, QRect(elsewhere, QSize(1, 1)));
}

TEST_F(SelectionMonitorX11Test, ShortDragAndSingleClickReportNothing) {
    startClient();
    createMonitor();
    dragFromTo(m_word, m_word + QPoint(3, 4));
    clickTimes(m_word + QPoint(30, 0), 1);
    quietPeriod();
    EXPECT_EQ(m_reads.started, 0);
    EXPECT_TRUE(m_reports.isEmpty());
    EXPECT_EQ(m_client.lines().filter(QStringLiteral("key ")).size(), 0) << "no copy keys for a non-gesture";
}

TEST_F(SelectionMonitorX11Test, ExcludedApplicationAndSwitchedOffBarReportNothing) {
    startClient();
    const auto app = platform().workspace().frontmostApplication();
    ASSERT_TRUE(app && !app->bundleIdentifier.isEmpty());
    ExcludedAppsManager::addExcludedApp(app->bundleIdentifier);
    UserDefaults::standard().set(QStringLiteral("showFloatingBar"), false);
    createMonitor();

    clickTimes(m_word, 2);
    quietPeriod();
    NotificationCenter::shared().post(Notifications::FloatingBarVisibilityChanged,
                                      {{QStringLiteral("value"), true}});
    clickTimes(besides(m_word), 2);
    quietPeriod();
    EXPECT_TRUE(m_reports.isEmpty());
    EXPECT_EQ(m_reads.started, 0);

    ExcludedAppsManager::removeExcludedApp(app->bundleIdentifier);
    clickTimes(m_word, 2);
    ASSERT_TRUE(waitUntil([&] { return m_reports.size() == 1; }));
    EXPECT_EQ(m_reports[0].text.trimmed(), QStringLiteral("alpha"));
}

TEST_F(SelectionMonitorX11Test, AGestureIsOursOnlyWhereOurWindowShowsOnTop) {
    startClient();
    createMonitor();
    // Ours, over the client's word.
    QLineEdit field(kText);
    field.setWindowTitle(QStringLiteral("Quillora own window"));
    field.resize(320, 80);
    field.move(m_word - QPoint(30, 50));
    field.show();
    field.activateWindow();
    ASSERT_TRUE(waitUntil([&] { return field.isActiveWindow(); }));
    const auto showsAt = [](QPoint p, qint64 processId) {
        return waitUntil([&] {
            const auto app = platform().workspace().applicationWindowAt(p);
            return app && app->processId == processId;
        });
    };
    ASSERT_TRUE(showsAt(m_word, QCoreApplication::applicationPid()));
    settleDisplay();
    clickTimes(m_word, 2);
    ASSERT_TRUE(waitUntil([&] { return field.hasSelectedText(); }));
    quietPeriod();
    EXPECT_EQ(m_reads.started, 0);
    EXPECT_TRUE(m_reports.isEmpty());

    // Where another program's window covers ours, or ours is minimised, the gesture is that program's.
    const std::function<void()> hideOurs[] = {
        [&] { ASSERT_TRUE(xdo({QStringLiteral("windowactivate"), QString::number(m_client.windowId())})); },
        [&] {
            field.showNormal();
            field.raise();
            field.activateWindow();
            ASSERT_TRUE(showsAt(m_word, QCoreApplication::applicationPid()));
            field.showMinimized();
        },
    };
    for (size_t row = 0; row < std::size(hideOurs); ++row) {
        SCOPED_TRACE(row);
        hideOurs[row]();
        ASSERT_TRUE(showsAt(m_word, m_client.processId()));
        // A monitor of its own: the same word again is not a repeat.
        m_monitor.reset();
        m_reports.clear();
        createMonitor();
        clickTimes(row % 2 ? besides(m_word) : m_word, 2);
        ASSERT_TRUE(waitUntil([&] { return m_reports.size() == 1; }));
        EXPECT_EQ(m_reports[0].text.trimmed(), QStringLiteral("alpha"));
    }
}

TEST_F(SelectionMonitorX11Test, SameTextTwiceWithinTheIntervalIsReportedOnce) {
    startClient();
    createMonitor();
    clickTimes(m_word, 2);
    ASSERT_TRUE(waitUntil([&] { return m_reports.size() == 1; }));
    clickTimes(besides(m_word), 2);
    quietPeriod();
    EXPECT_EQ(m_reads.started, 2);
    EXPECT_EQ(m_reports.size(), 1);
}

TEST_F(SelectionMonitorX11Test, ClientWithoutPrimaryIsReadThroughTheClipboardWhichIsRestored) {
    QProcess owner;
    owner.start(QStringLiteral(QUILLORA_TEST_CLIPBOARDOWNER_PATH), {});
    ASSERT_TRUE(waitUntil([&] { return owner.canReadLine(); }, 60000));
    ASSERT_EQ(owner.readLine().trimmed(), QByteArray("ready"));

    const QMap<QString, QByteArray> before = clipboardSeenFromOutside();
    ASSERT_TRUE(before.contains(QStringLiteral("image/png")));
    ASSERT_EQ(before.value(QStringLiteral("UTF8_STRING")), QByteArray("the user's clipboard"));
    // Qt owners encode some image formats afresh for every request, with stray padding bytes (ICO,
    // CUR); those can only be compared by their presence. Two reads may agree by chance, so the known
    // ones are never compared by their bytes.
    const QMap<QString, QByteArray> beforeAgain = clipboardSeenFromOutside();
    const QStringList unstable = {QStringLiteral("image/cur"), QStringLiteral("image/ico")};

    startClient({QStringLiteral("--no-primary")});
    createMonitor();
    // On a loaded machine the owner may not hand over the whole clipboard before the read gives up, which
    // then leaves the clipboard alone and sends no copy key: a user selects again, and the copy is tried
    // again once its pause has passed.
    using Clock = AccessibilityService::Clock;
    const auto pauseOver = [&] {
        const std::optional<Clock::time_point> last = m_reader->lastCopyOperationTime();
        return !last || Clock::now() - *last > std::chrono::milliseconds(AccessibilityService::CopyCooldownMs);
    };
    for (int attempt = 0; attempt < 20 && m_reports.isEmpty(); ++attempt) {
        ASSERT_TRUE(waitUntil(pauseOver));
        const int started = m_reads.started;
        clickTimes(m_word, 2);
        waitUntil([&] { return m_reads.started > started && m_reads.finished == m_reads.started; }, 30000);
        runQueuedWork();
    }
    ASSERT_EQ(m_reports.size(), 1);
    EXPECT_EQ(m_reports[0].text.trimmed(), QStringLiteral("alpha"));
    EXPECT_GE(m_client.waitForLine(QStringLiteral("key Ctrl+C"), 0, 30000), 0);
    EXPECT_TRUE(m_reader->lastCopyOperationTime());

    const QMap<QString, QByteArray> after = clipboardSeenFromOutside();
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        EXPECT_TRUE(after.contains(it.key())) << qPrintable(it.key());
        if (!unstable.contains(it.key()) && beforeAgain.value(it.key()) == it.value()) {
            EXPECT_EQ(after.value(it.key()), it.value()) << qPrintable(it.key());
        }
    }
    EXPECT_EQ(after.keys(), before.keys());

    owner.kill();
    owner.waitForFinished(5000);
}

} // namespace
