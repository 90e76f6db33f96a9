#include "ClipboardServer.h"

#include <QByteArray>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

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
