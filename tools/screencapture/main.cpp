// quillora-screencapture -i -s -c: the user drags a region of the screen and the image goes to the
// clipboard. Exit status 0 when the image is on the clipboard, 1 when cancelled, 3 when it failed (the
// clipboard is then untouched), 2 on a usage error.
#include "ClipboardServer.h"
#include "RegionCapture.h"

#include <QApplication>
#include <cstdio>
#include <cstring>

namespace {

constexpr int usageExitCode = 2;

void printUsage() {
    std::fputs("usage: quillora-screencapture -i -s -c\n"
               "  -i  interactive: drag a region of the screen (Escape cancels)\n"
               "  -s  select with the mouse\n"
               "  -c  put the captured image on the clipboard\n",
               stderr);
}

// The flags may come apart or together ("-isc"); interactive capture to the clipboard is the only mode.
bool parseArguments(int argc, char** argv) {
    bool interactive = false;
    bool clipboard = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (arg[0] != '-' || arg[1] == '\0')
            return false;
        for (const char* c = arg + 1; *c; ++c) {
            switch (*c) {
            case 'i':
                interactive = true;
                break;
            case 'c':
                clipboard = true;
                break;
            case 's':
                break;
            default:
                return false;
            }
        }
    }
    return interactive && clipboard;
}

} // namespace

int main(int argc, char** argv) {
    if (ClipboardServer::isServerProcess())
        return ClipboardServer::run(argc, argv);

    if (!parseArguments(argc, argv)) {
        printUsage();
        return usageExitCode;
    }

    // Grabbing the screen and owning the clipboard are X11 work, whatever the desktop session is.
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quillora-screencapture"));
    QApplication::setQuitOnLastWindowClosed(false);

    RegionCapture capture;
    QObject::connect(&capture, &RegionCapture::finished, &app,
                     [](int exitCode) { QApplication::exit(exitCode); });
    if (!capture.start())
        return RegionCapture::failedExitCode;
    return app.exec();
}
