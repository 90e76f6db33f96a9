// The real binary on a display where no tray runs (the README's bare xvfb-run recipe): the icon has
// nowhere to show, so the app must say how to reach it and open the translator instead of running unseen.
#include "AppUnderTest.h"
#include "DevApiServer.h"
#include "TestUtils.h"

#include <QProcess>
#include <gtest/gtest.h>

namespace {

class DisplayWithoutTray {
public:
    DisplayWithoutTray() {
        m_server.start(QStringLiteral("Xvfb"),
                       {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                        QStringLiteral("0"), QStringLiteral("1280x900x24"), QStringLiteral("-nolisten"),
                        QStringLiteral("tcp")});
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
    ~DisplayWithoutTray() {
        m_server.terminate();
        m_server.waitForFinished(5000);
    }
    QString display() const { return m_display; }

private:
    QProcess m_server;
    QString m_display;
};

} // namespace

TEST(NoTrayTest, StartingWithoutATraySaysHowToReachTheApp) {
    DisplayWithoutTray display;
    ASSERT_FALSE(display.display().isEmpty());
    DevApiServer api;
    ASSERT_TRUE(api.start());
    AppUnderTest app;
    app.setEnvironmentVariable(QStringLiteral("DISPLAY"), display.display());
    ASSERT_TRUE(app.start(&api));
    EXPECT_GE(app.waitForLog(QStringLiteral("Quillora: no system tray on this display")), 0)
        << app.log().toStdString();
    EXPECT_EQ(app.log().count(QStringLiteral("no system tray")), 1);
    // The translator opens by itself, so the first start is not a blank screen.
    EXPECT_TRUE(app.waitForWindow(QStringLiteral("^Quillora$")).has_value());
    EXPECT_EQ(app.stop(), 0) << app.log().toStdString();
}
