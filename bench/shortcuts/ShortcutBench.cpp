// quillora-shortcut-bench: the two translate shortcuts against mousepad (a GTK editor nobody here wrote)
// and quillora-dev-api over loopback, in this process with the X11 platform. Figures, median and 99th
// percentile:
//  - translate at the pointer: shortcut to the popover exposed on screen, and the part of it beyond the
//    selection's own conversion (the copy key and the clipboard read);
//  - translate and replace: shortcut to the editor asking for the pasted text, and to the clipboard given
//    back.
// The shortcut is the action's call: the hot key's own dispatch is the hot-key benchmark's figure.
// Needs an X display with a window manager (bench/shortcut-latency.sh provides one).
#include "platform/Pasteboard.h"
#include "platform/Platform.h"
#include "platform/UserDefaults.h"
#include "platform/Workspace.h"
#include "platform/x11/X11Platform.h"
#include "shortcuts/KeyboardShortcutManager.h"
#include "shortcuts/PointerTranslationPopover.h"
#include "shortcuts/SelectionReplacer.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int kRuns = 40;

// Ends its loop the moment a callback says so; a polling wait would show up in every figure.
QEventLoop* g_waiting = nullptr;

void wake() {
    if (g_waiting)
        g_waiting->quit();
}

bool waitFor(const std::function<bool()>& condition, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!condition() && !deadline.hasExpired()) {
        QEventLoop loop;
        g_waiting = &loop;
        QTimer timeout;
        timeout.setSingleShot(true);
        QObject::connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
        timeout.start(1);
        loop.exec();
        g_waiting = nullptr;
    }
    return condition();
}

bool run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    return waitFor([&] { return process.state() == QProcess::NotRunning; }, 10000) &&
           process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

double percentile(std::vector<double> values, double p) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t index = std::min(values.size() - 1, size_t(p * double(values.size() - 1) + 0.5));
    return values[index];
}

void report(const char* name, const std::vector<double>& values) {
    std::printf("%-52s median %7.1f ms   p99 %7.1f ms   (n=%zu)\n", name, percentile(values, 0.5),
                percentile(values, 0.99), values.size());
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    QTemporaryDir sandbox;
    UserDefaults::setStandardFilePath(sandbox.filePath(QStringLiteral("Quillora.conf")));
    installPlatform(std::make_unique<X11Platform>());

    // The local web API.
    QProcess api;
    api.start(QStringLiteral(QUILLORA_DEV_API_PATH),
              {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--salt"),
               QStringLiteral(QUILLORA_CLIENT_SALT), QStringLiteral("--log"),
               sandbox.filePath(QStringLiteral("api.log"))});
    if (!waitFor([&] { return api.canReadLine(); }, 10000)) {
        std::fprintf(stderr, "quillora-dev-api did not start\n");
        return 1;
    }
    const QString port = QString::fromLatin1(api.readLine().trimmed());
    UserDefaults::standard().set(QStringLiteral("apiBaseURL"), QStringLiteral("http://127.0.0.1:") + port);
    UserDefaults::standard().set(QStringLiteral("defaultTargetLanguage"), QStringLiteral("tr"));

    // The editor, with a document of its own and nothing of the user's.
    const QString document = sandbox.filePath(QStringLiteral("bench.txt"));
    QFile file(document);
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    file.write("hello world\n");
    file.close();
    QProcess editor;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), sandbox.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), sandbox.filePath(QStringLiteral("config")));
    editor.setProcessEnvironment(environment);
    editor.start(QStringLiteral("mousepad"), {QStringLiteral("--disable-server"), document});
    if (!waitFor(
            [&] {
                const auto front = platform().workspace().frontmostApplication();
                return front && front->processId == editor.processId();
            },
            15000)) {
        std::fprintf(stderr, "mousepad did not become the frontmost application\n");
        return 1;
    }
    const RunningApplication target = *platform().workspace().frontmostApplication();
    waitFor([] { return false; }, 500);

    KeyboardShortcutManager manager;
    QElapsedTimer clock;
    clock.start();

    // Translate at the pointer.
    std::vector<double> shown;
    std::vector<double> beyondCopy;
    qint64 capturedAt = -1;
    QObject::connect(&manager, &KeyboardShortcutManager::selectionCaptured, [&] {
        capturedAt = clock.nsecsElapsed();
        wake();
    });
    for (int i = 0; i < kRuns; ++i) {
        run(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("ctrl+a")});
        PointerTranslationPopover* previous = manager.translationPopover();
        capturedAt = -1;
        const qint64 pressedAt = clock.nsecsElapsed();
        manager.handleTranslateSelectionShortcut();
        const auto exposed = [&] {
            PointerTranslationPopover* popover = manager.translationPopover();
            return popover && popover != previous && popover->window()->windowHandle() &&
                   popover->window()->windowHandle()->isExposed();
        };
        if (!waitFor(exposed, 3000)) {
            std::fprintf(stderr, "run %d: no popover\n", i);
            continue;
        }
        const qint64 shownAt = clock.nsecsElapsed();
        shown.push_back((shownAt - pressedAt) / 1e6);
        if (capturedAt >= 0)
            beyondCopy.push_back((shownAt - capturedAt) / 1e6);
        manager.translationPopover()->close();
        waitFor([] { return false; }, 100);
    }

    // Translate and replace.
    std::vector<double> pasted;
    std::vector<double> restored;
    qint64 readAt = -1;
    qint64 finishedAt = -1;
    bool success = false;
    QObject::connect(&platform().pasteboard(), &Pasteboard::contentRequested,
                     [&](const Pasteboard::Request& request) {
                         if (readAt < 0 && SelectionReplacer::isReadBy(target, request)) {
                             readAt = clock.nsecsElapsed();
                             wake();
                         }
                     });
    QObject::connect(manager.replacer(), &SelectionReplacer::finished, [&](bool ok) {
        finishedAt = clock.nsecsElapsed();
        success = ok;
        wake();
    });
    int failures = 0;
    for (int i = 0; i < kRuns; ++i) {
        run(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("ctrl+a")});
        readAt = -1;
        finishedAt = -1;
        const qint64 pressedAt = clock.nsecsElapsed();
        manager.handleTranslateAndReplaceShortcut();
        if (!waitFor([&] { return finishedAt >= 0; }, 8000) || !success || readAt < 0) {
            ++failures;
            continue;
        }
        pasted.push_back((readAt - pressedAt) / 1e6);
        restored.push_back((finishedAt - pressedAt) / 1e6);
        waitFor([] { return false; }, 100);
    }

    std::printf("Shortcuts against mousepad and quillora-dev-api, %d runs each\n", kRuns);
    report("translate: shortcut to popover exposed", shown);
    report("translate: popover beyond the selection's copy", beyondCopy);
    report("replace: shortcut to the editor reading the paste", pasted);
    report("replace: shortcut to the clipboard given back", restored);
    if (failures)
        std::printf("replace runs that did not paste: %d\n", failures);

    editor.terminate();
    editor.waitForFinished(3000);
    api.terminate();
    api.waitForFinished(3000);
    installPlatform(nullptr);
    return 0;
}
