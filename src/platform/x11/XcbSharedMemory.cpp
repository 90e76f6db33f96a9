#include "platform/x11/XcbSharedMemory.h"

#include <QByteArray>
#include <QtGlobal>

void sendImagesOverSocketUnlessChosen() {
    static constexpr char name[] = "QT_XCB_NO_MITSHM";
    // A repaint through shared memory ends in a round trip before the next may start: with the translator
    // open, each blink of its text cursor woke the application three times. Its windows are small enough
    // to send whole.
    if (!qEnvironmentVariableIsSet(name)) {
        qputenv(name, "1");
        return;
    }
    // Qt only asks whether the variable is set, so a user's "0" would keep shared memory off.
    const QByteArray value = qgetenv(name).trimmed().toLower();
    if (value == "0" || value == "false" || value == "no" || value == "off")
        qunsetenv(name);
}
