// quillora-shortcut-bench: the two translate shortcuts against mousepad (a GTK editor nobody here wrote)
// and quillora-dev-api over loopback, in this process with the X11 platform. The shortcut is pressed as a
// person presses it: through XTest from a connection of its own, the letter held 0.1 to 0.2 s. Figures,
// median and 99th percentile, from the letter's release:
//  - to the translation request reaching the web API (a relay in this process notes its arrival): the
//    copy's own settle time when the first copy key reaches the editor, half a second more when only the
//    retry's does;
//  - translate at the pointer: to the popover exposed on screen;
//  - translate and replace: to the editor asking for the pasted text, and to the clipboard given back.
// A figure with no sample prints "-" and the run fails. Needs an X display with a window manager
// (bench/shortcut-latency.sh provides one).
#include "../lib/XTestKeyboard.h"
#include "keyboardshortcuts/KeyboardShortcuts.h"
#include "platform/Pasteboard.h"
#include "platform/Platform.h"
#include "platform/UserDefaults.h"
#include "platform/Workspace.h"
#include "platform/x11/X11KeyboardLayout.h"
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
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

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
    std::sort(values.begin(), values.end());
    const size_t index = std::min(values.size() - 1, size_t(p * double(values.size() - 1) + 0.5));
    return values[index];
}

// False when nothing was measured: a median of no samples is no figure.
bool report(const char* name, const std::vector<double>& values) {
    if (values.empty()) {
        std::printf("%-52s median       - ms   p99       - ms   (n=0)\n", name);
        return false;
    }
    std::printf("%-52s median %7.1f ms   p99 %7.1f ms   (n=%zu)\n", name, percentile(values, 0.5),
                percentile(values, 0.99), values.size());
    return true;
}

// Passes the requests on to quillora-dev-api and notes when a translation request arrives: the moment it
// left, give or take the loopback.
class RequestRelay : public QObject {
public:
    RequestRelay(quint16 upstream, const QElapsedTimer& clock) {
        m_server.listen(QHostAddress::LocalHost);
        connect(&m_server, &QTcpServer::newConnection, this, [this, upstream, &clock] {
            while (QTcpSocket* client = m_server.nextPendingConnection()) {
                auto* api = new QTcpSocket(client);
                api->connectToHost(QHostAddress::LocalHost, upstream);
                api->waitForConnected(3000);
                connect(client, &QTcpSocket::readyRead, api, [this, client, api, &clock] {
                    const QByteArray data = client->readAll();
                    if (arrivedAt < 0 && data.startsWith("POST /api/translate/")) {
                        arrivedAt = clock.nsecsElapsed();
                        wake();
                    }
                    api->write(data);
                });
                connect(api, &QTcpSocket::readyRead, client,
                        [client, api] { client->write(api->readAll()); });
                connect(api, &QTcpSocket::disconnected, client, &QTcpSocket::disconnectFromHost);
                connect(client, &QTcpSocket::disconnected, client, &QObject::deleteLater);
            }
        });
    }
    quint16 port() const { return m_server.serverPort(); }

    // The last translation request's arrival on the bench's clock; -1 until one arrives.
    qint64 arrivedAt = -1;

private:
    QTcpServer m_server;
};

// Control, Option and the letter go down; the letter is held 0.1 to 0.2 s, with the event loop running,
// then everything comes up. Returns the moment the letter came up.
qint64 pressAsAPerson(XTestKeyboard& keyboard, const std::vector<std::uint8_t>& modifiers,
                      std::uint8_t letter, const QElapsedTimer& clock) {
    keyboard.keys(modifiers, true);
    keyboard.keys({letter}, true);
    QEventLoop hold;
    QTimer::singleShot(100 + int(QRandomGenerator::global()->bounded(100)), Qt::PreciseTimer, &hold,
                       &QEventLoop::quit);
    hold.exec();
    keyboard.keys({letter}, false);
    const qint64 releasedAt = clock.nsecsElapsed();
    keyboard.keys(modifiers, false);
    return releasedAt;
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
    QElapsedTimer clock;
    clock.start();
    RequestRelay relay(quint16(api.readLine().trimmed().toUInt()), clock);
    UserDefaults::standard().set(QStringLiteral("apiBaseURL"),
                                 QStringLiteral("http://127.0.0.1:%1").arg(relay.port()));
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

    using namespace KeyboardShortcuts;
    KeyboardShortcutManager manager;
    manager.setupShortcuts();
    const Shortcut translateKeys(Key::t, Modifier::control | Modifier::option);
    const Shortcut replaceKeys(Key::r, Modifier::control | Modifier::option);
    if (!setShortcut(translateKeys, Name(KeyboardShortcutManager::translateSelection)) ||
        !setShortcut(replaceKeys, Name(KeyboardShortcutManager::translateAndReplace))) {
        std::fprintf(stderr, "the shortcuts could not be registered\n");
        return 1;
    }
    auto& layout = static_cast<X11KeyboardLayout&>(platform().keyboardLayout());
    const auto control = layout.xKeycode(Key::control.rawValue);
    const auto option = layout.xKeycode(Key::option.rawValue);
    const auto t = layout.xKeycode(Key::t.rawValue);
    const auto r = layout.xKeycode(Key::r.rawValue);
    XTestKeyboard keyboard;
    if (!keyboard.ok() || !control || !option || !t || !r) {
        std::fprintf(stderr, "no second X connection or keys\n");
        return 1;
    }
    const std::vector<std::uint8_t> modifiers{*control, *option};

    qint64 capturedAt = -1;
    bool captured = false;
    QObject::connect(&manager, &KeyboardShortcutManager::selectionCaptured, [&](const QString& text) {
        capturedAt = clock.nsecsElapsed();
        captured = !text.isEmpty();
        wake();
    });

    // Translate at the pointer.
    std::vector<double> translateRequest;
    std::vector<double> shown;
    int translateFailures = 0;
    for (int i = 0; i < kRuns; ++i) {
        run(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("ctrl+a")});
        PointerTranslationPopover* previous = manager.translationPopover();
        capturedAt = -1;
        relay.arrivedAt = -1;
        const qint64 releasedAt = pressAsAPerson(keyboard, modifiers, *t, clock);
        const auto exposed = [&] {
            PointerTranslationPopover* popover = manager.translationPopover();
            return popover && popover != previous && popover->window()->windowHandle() &&
                   popover->window()->windowHandle()->isExposed();
        };
        if (!waitFor([&] { return capturedAt >= 0; }, 5000) || !captured ||
            !waitFor([&] { return relay.arrivedAt >= 0; }, 3000) || !waitFor(exposed, 3000)) {
            ++translateFailures;
            if (manager.errorAlert())
                manager.errorAlert()->close();
            continue;
        }
        translateRequest.push_back((relay.arrivedAt - releasedAt) / 1e6);
        shown.push_back((clock.nsecsElapsed() - releasedAt) / 1e6);
        manager.translationPopover()->close();
        waitFor([] { return false; }, 100);
    }

    // Translate and replace.
    std::vector<double> replaceRequest;
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
    int replaceFailures = 0;
    for (int i = 0; i < kRuns; ++i) {
        run(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("ctrl+a")});
        capturedAt = -1;
        relay.arrivedAt = -1;
        readAt = -1;
        finishedAt = -1;
        const qint64 releasedAt = pressAsAPerson(keyboard, modifiers, *r, clock);
        if (!waitFor([&] { return capturedAt >= 0; }, 5000) || !captured ||
            !waitFor([&] { return relay.arrivedAt >= 0; }, 3000)) {
            ++replaceFailures;
            if (manager.errorAlert())
                manager.errorAlert()->close();
            continue;
        }
        replaceRequest.push_back((relay.arrivedAt - releasedAt) / 1e6);
        if (!waitFor([&] { return finishedAt >= 0; }, 8000) || !success || readAt < 0) {
            ++replaceFailures;
            continue;
        }
        pasted.push_back((readAt - releasedAt) / 1e6);
        restored.push_back((finishedAt - releasedAt) / 1e6);
        waitFor([] { return false; }, 100);
    }

    std::printf("Shortcuts against mousepad and quillora-dev-api, %d presses each, held 0.1-0.2 s\n", kRuns);
    bool measured = report("translate: key release to the request", translateRequest);
    measured &= report("translate: key release to popover exposed", shown);
    measured &= report("replace: key release to the request", replaceRequest);
    measured &= report("replace: key release to the editor reading the paste", pasted);
    measured &= report("replace: key release to the clipboard given back", restored);
    if (translateFailures)
        std::printf("translate presses without a popover: %d\n", translateFailures);
    if (replaceFailures)
        std::printf("replace presses that did not paste: %d\n", replaceFailures);

    editor.terminate();
    editor.waitForFinished(3000);
    api.terminate();
    api.waitForFinished(3000);
    installPlatform(nullptr);
    return measured ? 0 : 1;
}
