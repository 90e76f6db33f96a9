#include "ClipboardServer.h"

#include <QByteArray>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>
#include <xcb/xcb.h>

namespace {

QByteArray readAllStdin() {
    QByteArray data;
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (n > 0)
            data.append(chunk, n);
        else if (n == 0 || errno != EINTR)
            break;
    }
    return data;
}

void answerReady() {
    const char byte = ClipboardServer::readyByte;
    while (::write(STDOUT_FILENO, &byte, 1) < 0 && errno == EINTR) {
    }
    // Nobody reads from us any more; keep the descriptor valid but detached from the starter's pipe.
    const int devNull = ::open("/dev/null", O_WRONLY);
    if (devNull >= 0) {
        ::dup2(devNull, STDOUT_FILENO);
        ::close(devNull);
    }
}

} // namespace

bool ClipboardServer::isServerProcess() {
    return qgetenv(roleVariable) == serverRole;
}

ClipboardServer::ClipboardServer(QClipboard& clipboard)
    : m_clipboard(clipboard) {
    connect(&m_clipboard, &QClipboard::changed, this, [this](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard)
            onClipboardChanged();
    });
    // Qt tells of a lost clipboard only while the new owner is still there; one that has left by the time
    // the clear is handled (a short-lived copy tool, or any on a loaded machine) would leave us serving
    // nothing for ever. The X server's own word is watched too.
    if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()) {
        xcb_connection_t* connection = x11->connection();
        const char name[] = "CLIPBOARD";
        xcb_intern_atom_reply_t* reply =
            xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, sizeof name - 1, name), nullptr);
        if (reply) {
            m_clipboardAtom = reply->atom;
            free(reply);
        }
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
}

ClipboardServer::~ClipboardServer() {
    QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool ClipboardServer::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t" || m_clipboardAtom == 0)
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) == XCB_SELECTION_CLEAR &&
        reinterpret_cast<const xcb_selection_clear_event_t*>(event)->selection == m_clipboardAtom)
        QCoreApplication::quit();
    return false;
}

void ClipboardServer::onClipboardChanged() {
    // Another client copied something: our image is no longer the clipboard, so there is nothing left
    // to serve.
    if (!m_clipboard.ownsClipboard())
        QCoreApplication::quit();
}

int ClipboardServer::run(int argc, char** argv) {
    const QByteArray png = readAllStdin();
    QImage image;
    if (png.isEmpty() || !image.loadFromData(png, "PNG"))
        return 1;

    qputenv("QT_QPA_PLATFORM", "xcb");
    qunsetenv(roleVariable);
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("quillora-screencapture"));
    QGuiApplication::setQuitOnLastWindowClosed(false);

    QClipboard* clipboard = QGuiApplication::clipboard();
    auto* mime = new QMimeData;
    // The exact bytes for PNG readers; the image lets Qt offer the other image formats on request.
    mime->setData(QStringLiteral("image/png"), png);
    mime->setImageData(image);
    clipboard->setMimeData(mime, QClipboard::Clipboard);
    if (!clipboard->ownsClipboard())
        return 1;

    ClipboardServer server(*clipboard);
    answerReady();
    return app.exec();
}
