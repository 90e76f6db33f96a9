// quillora-selection-bench: how fast a selection in another application reaches the selection callback,
// and how often this process wakes up while the mouse is idle. Needs an X display with a window manager
// (bench/selection-latency.sh provides one). The other application is this program in --client mode.
#include "platform/Pasteboard.h"
#include "platform/Platform.h"
#include "platform/Workspace.h"
#include "platform/x11/X11Platform.h"
#include "selection/SelectionMonitor.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFontMetrics>
#include <QLineEdit>
#include <QMap>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

namespace {

const QString kText = QStringLiteral("morning evening");
constexpr int kGestures = 50;
constexpr int kIdleSeconds = 5;

int runClient() {
    QLineEdit field(kText);
    field.setWindowTitle(QStringLiteral("selection bench client"));
    field.resize(420, 48);
    field.move(300, 300);
    field.show();
    field.activateWindow();
    if (!QTest::qWaitForWindowExposed(&field))
        return 1;
    QTest::qWait(200);
    const QFontMetrics metrics(field.font());
    const int y = field.height() / 2;
    const int firstWord = 8 + metrics.horizontalAdvance(QStringLiteral("morn"));
    const int secondWord = 8 + metrics.horizontalAdvance(QStringLiteral("morning even"));
    const QPoint a = field.mapToGlobal(QPoint(firstWord, y));
    const QPoint b = field.mapToGlobal(QPoint(secondWord, y));
    std::printf("ready %d %d %d %d\n", a.x(), a.y(), b.x(), b.y());
    std::fflush(stdout);
    return qApp->exec();
}

// The wait in progress; callbacks end it the moment they run. (QTest::qWaitFor sleeps in 10 ms steps,
// which would show up in every figure below.)
QEventLoop* g_waiting = nullptr;

void wakeWaiter() {
    if (g_waiting)
        g_waiting->quit();
}

bool waitFor(const std::function<bool()>& condition, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!condition() && !deadline.hasExpired()) {
        QEventLoop loop;
        g_waiting = &loop;
        // A timer object of our own: a static single shot would still fire after the loop is gone.
        QTimer timeout;
        timeout.setSingleShot(true);
        QObject::connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
        timeout.start(std::max<qint64>(1, deadline.remainingTime()));
        loop.exec();
        g_waiting = nullptr;
    }
    return condition();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Context switches of each thread of this process (by thread name): each one is a wake-up.
QMap<QString, qint64> contextSwitches() {
    QMap<QString, qint64> perThread;
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile status(tasks.filePath(task) + QStringLiteral("/status"));
        if (!status.open(QIODevice::ReadOnly))
            continue;
        QString name = task;
        qint64 total = 0;
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("Name:"))
                name = QString::fromUtf8(line.mid(5).trimmed()) + u'/' + task;
            if (line.startsWith("voluntary_ctxt_switches:") || line.startsWith("nonvoluntary_ctxt_switches:"))
                total += line.mid(line.indexOf(':') + 1).trimmed().toLongLong();
        }
        perThread.insert(name, total);
    }
    return perThread;
}

class Pointer {
public:
    Pointer()
        : m_connection(xcb_connect(nullptr, nullptr)) {}
    ~Pointer() { xcb_disconnect(m_connection); }
    bool ok() const { return !xcb_connection_has_error(m_connection); }
    void moveTo(QPoint p) {
        xcb_test_fake_input(m_connection, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, root(), p.x(), p.y(), 0);
        xcb_flush(m_connection);
    }
    void button(bool down) {
        xcb_test_fake_input(m_connection, down ? XCB_BUTTON_PRESS : XCB_BUTTON_RELEASE, 1, XCB_CURRENT_TIME,
                            XCB_NONE, 0, 0, 0);
        xcb_flush(m_connection);
    }
    // Round trip, so that everything sent has reached the server.
    void sync() { free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr)); }

private:
    xcb_window_t root() { return xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root; }
    xcb_connection_t* m_connection;
};

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    if (app.arguments().contains(QStringLiteral("--client")))
        return runClient();

    installPlatform(std::make_unique<X11Platform>());
    QProcess client;
    client.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    client.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--client")});
    if (!QTest::qWaitFor([&] { return client.canReadLine(); }, 15000)) {
        std::fprintf(stderr, "the client did not start\n");
        return 1;
    }
    const QList<QByteArray> parts = client.readLine().trimmed().split(' ');
    if (parts.size() != 5 || parts[0] != "ready") {
        std::fprintf(stderr, "unexpected client answer\n");
        return 1;
    }
    const QPoint words[2] = {{parts[1].toInt(), parts[2].toInt()}, {parts[3].toInt(), parts[4].toInt()}};
    if (!QTest::qWaitFor([&] {
            auto front = platform().workspace().frontmostApplication();
            return front && front->processId == client.processId();
        })) {
        std::fprintf(stderr, "the client did not become the frontmost application\n");
        return 1;
    }

    Pointer pointer;
    if (!pointer.ok())
        return 1;
    SelectionMonitor& monitor = SelectionMonitor::shared();
    QElapsedTimer clock;
    clock.start();
    qint64 reportedAt = -1;
    QString reported;
    monitor.onSelectionChanged = [&](const QString& text, const QRect&, const QString&, bool) {
        reportedAt = clock.nsecsElapsed();
        reported = text;
        wakeWaiter();
    };

    std::vector<double> latencies;
    std::vector<double> roundTrips;
    int misses = 0;
    for (int i = 0; i < kGestures; ++i) {
        pointer.moveTo(words[i % 2]);
        pointer.sync();
        QTest::qWait(30);
        reportedAt = -1;
        // Spaced like a fast hand: the window manager replays each press of its focus grab.
        pointer.button(true);
        QTest::qWait(15);
        pointer.button(false);
        QTest::qWait(15);
        pointer.button(true);
        pointer.sync();
        QTest::qWait(15);
        const qint64 releasedAt = clock.nsecsElapsed();
        pointer.button(false);
        if (!waitFor([&] { return reportedAt >= 0; }, 2000)) {
            ++misses;
        } else {
            latencies.push_back((reportedAt - releasedAt) / 1e6);
            // One PRIMARY conversion with the client: the X round trips inside the figure above.
            bool read = false;
            const qint64 start = clock.nsecsElapsed();
            qint64 end = 0;
            platform().pasteboard().readString(
                [&](std::optional<QString>) {
                    end = clock.nsecsElapsed();
                    read = true;
                    wakeWaiter();
                },
                Pasteboard::Mode::Selection, 1000);
            if (waitFor([&] { return read; }, 2000))
                roundTrips.push_back((end - start) / 1e6);
        }
        // Past the double-click interval, so the next gesture starts a new click run.
        QTest::qWait(450);
    }

    // Idle: the pointer rests, nothing is selected; only the end-of-measurement timer may wake us.
    QTest::qWait(1000);
    const QMap<QString, qint64> before = contextSwitches();
    QEventLoop idle;
    QTimer::singleShot(kIdleSeconds * 1000, &idle, &QEventLoop::quit);
    idle.exec();
    const QMap<QString, qint64> after = contextSwitches();
    qint64 switches = 0;
    for (auto it = after.cbegin(); it != after.cend(); ++it) {
        const qint64 delta = it.value() - before.value(it.key());
        switches += delta;
        if (delta > 0)
            std::printf("  thread %s: %lld context switches while idle\n", qPrintable(it.key()), delta);
    }
    // The timer that ends the measurement wakes the main thread once.
    const double wakeUps = std::max<qint64>(0, switches - 1) / double(kIdleSeconds);

    client.kill();
    client.waitForFinished(3000);
    if (latencies.empty()) {
        std::fprintf(stderr, "no selection reached the callback\n");
        return 1;
    }
    std::printf("gestures: %d reported, %d missed\n", int(latencies.size()), misses);
    std::printf("mouse-up to callback: median %.2f ms (min %.2f, max %.2f)\n", median(latencies),
                *std::min_element(latencies.begin(), latencies.end()),
                *std::max_element(latencies.begin(), latencies.end()));
    std::printf("one PRIMARY read from the client: median %.2f ms\n", median(roundTrips));
    std::printf("idle wake-ups: %.2f per second over %d s\n", wakeUps, kIdleSeconds);
    return misses == 0 ? 0 : 2;
}
