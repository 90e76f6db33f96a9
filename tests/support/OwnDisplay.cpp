#include "OwnDisplay.h"

#include "TestUtils.h"

OwnDisplay::OwnDisplay(const QStringList& extraArguments) {
    // The server picks a free display number and writes it to us once it accepts connections.
    m_server.start(QStringLiteral("Xvfb"), QStringList{QStringLiteral("-displayfd"), QStringLiteral("1")} +
                                               extraArguments +
                                               QStringList{QStringLiteral("-screen"), QStringLiteral("0"),
                                                           QStringLiteral("1280x900x24"),
                                                           QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    QByteArray output;
    waitUntil(
        [&] {
            output += m_server.readAllStandardOutput();
            return output.contains('\n') || m_server.state() == QProcess::NotRunning;
        },
        20000);
    bool ok = false;
    const int number = output.trimmed().toInt(&ok);
    if (ok)
        m_display = QStringLiteral(":%1").arg(number);
}

OwnDisplay::~OwnDisplay() {
    m_server.terminate();
    m_server.waitForFinished(5000);
}
