// Hot-key latency: from an XTest key press of a registered combination (sent by a second X client) to
// the handler's call, over 200 presses, next to the X round trip of that client; then how often this
// process wakes up while a hot key is registered and nothing is pressed. Needs an X display.
#include "../lib/XTestKeyboard.h"
#include "keyboardshortcuts/KeyboardShortcuts.h"
#include "platform/Platform.h"
#include "platform/UserDefaults.h"
#include "platform/x11/X11KeyboardLayout.h"
#include "platform/x11/X11Platform.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

namespace {

constexpr int kPresses = 200;
constexpr int kIdleSeconds = 10;

double percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    const size_t index = std::min(values.size() - 1, size_t(p * double(values.size() - 1) + 0.5));
    return values[index];
}

qint64 contextSwitches() {
    qint64 total = 0;
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile status(tasks.filePath(task) + QStringLiteral("/status"));
        if (!status.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("voluntary_ctxt_switches:") || line.startsWith("nonvoluntary_ctxt_switches:"))
                total += line.mid(line.indexOf(':') + 1).trimmed().toLongLong();
        }
    }
    return total;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "xcb");
    QTemporaryDir home;
    UserDefaults::setStandardFilePath(home.filePath(QStringLiteral("Quillora.conf")));
    QApplication app(argc, argv);
    installPlatform(std::make_unique<X11Platform>());
    auto& layout = static_cast<X11KeyboardLayout&>(platform().keyboardLayout());

    using namespace KeyboardShortcuts;
    const Name name(QStringLiteral("toggleMenuBar"));
    QElapsedTimer clock;
    qint64 pressedAt = 0;
    std::vector<double> latencies;
    bool fired = false;
    QEventLoop waiting;
    onKeyDown(name, [&] {
        latencies.push_back(double(clock.nsecsElapsed() - pressedAt) / 1e6);
        fired = true;
        waiting.quit();
    });
    if (!setShortcut(Shortcut(Key::k, Modifier::control | Modifier::option), name)) {
        std::fprintf(stderr, "the hot key could not be registered\n");
        return 1;
    }
    const auto control = layout.xKeycode(Key::control.rawValue);
    const auto option = layout.xKeycode(Key::option.rawValue);
    const auto k = layout.xKeycode(Key::k.rawValue);
    XTestKeyboard keyboard;
    if (!keyboard.ok() || !control || !option || !k) {
        std::fprintf(stderr, "no second X connection or keys\n");
        return 1;
    }

    clock.start();
    std::vector<double> roundTrips;
    int misses = 0;
    keyboard.key(*control, true);
    keyboard.key(*option, true);
    for (int i = 0; i < kPresses; ++i) {
        fired = false;
        pressedAt = clock.nsecsElapsed();
        keyboard.key(*k, true);
        // An event loop that wakes for the handler alone; polling waits would add their own period.
        QTimer timeout;
        timeout.setSingleShot(true);
        QObject::connect(&timeout, &QTimer::timeout, &waiting, &QEventLoop::quit);
        timeout.start(1000);
        if (!fired)
            waiting.exec();
        if (!fired)
            ++misses;
        keyboard.key(*k, false);
        roundTrips.push_back(keyboard.roundTripMs());
        QTest::qWait(5);
    }
    keyboard.key(*option, false);
    keyboard.key(*control, false);

    // Idle: the hot key stays registered, nothing is pressed; only the end-of-measurement timer may wake us.
    QTest::qWait(1000);
    const qint64 before = contextSwitches();
    QEventLoop idle;
    QTimer::singleShot(kIdleSeconds * 1000, &idle, &QEventLoop::quit);
    idle.exec();
    const double wakeUps = double(std::max<qint64>(0, contextSwitches() - before - 1)) / kIdleSeconds;

    if (latencies.empty()) {
        std::fprintf(stderr, "no press reached the handler\n");
        return 1;
    }
    std::printf("presses: %d handled, %d missed\n", int(latencies.size()), misses);
    std::printf("XTest press to handler: median %.3f ms, p99 %.3f ms\n", percentile(latencies, 0.5),
                percentile(latencies, 0.99));
    std::printf("X round trip of the pressing client: median %.3f ms, p99 %.3f ms\n",
                percentile(roundTrips, 0.5), percentile(roundTrips, 0.99));
    std::printf("idle wake-ups: %.2f per second over %d s\n", wakeUps, kIdleSeconds);
    installPlatform(nullptr);
    return misses == 0 ? 0 : 2;
}
