#include "platform/x11/X11Platform.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char** argv) {
    // The global monitors, grabs and synthetic keys need X11; under Wayland run through XWayland.
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::fprintf(stderr, "Quillora needs an X11 display (DISPLAY is not set).\n"
                             "Without a desktop, run it under a virtual one: xvfb-run -a scripts/run.sh\n");
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");

    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Quillora"));
    QApplication::setApplicationName(QStringLiteral("Quillora"));
    QApplication::setApplicationVersion(QStringLiteral(QUILLORA_VERSION));
    QApplication::setQuitOnLastWindowClosed(false);

    installPlatform(std::make_unique<X11Platform>());
    const int result = app.exec();
    installPlatform(nullptr);
    return result;
}
