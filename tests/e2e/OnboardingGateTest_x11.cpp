// The real binary on a display without XTEST (as under Wayland without it): the floating bar cannot work,
// so the onboarding window appears and the selection road stays off.
#include "AppUnderTest.h"
#include "DevApiServer.h"
#include "TestUtils.h"

#include <QProcess>
#include <gtest/gtest.h>

namespace {

// An X server of the test's own, started without the XTEST extension.
class DisplayWithoutXTest {
public:
    DisplayWithoutXTest() {
        m_server.start(QStringLiteral("Xvfb"),
                       {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-extension"),
                        QStringLiteral("XTEST"), QStringLiteral("-screen"), QStringLiteral("0"),
                        QStringLiteral("1280x900x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp")});
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
    ~DisplayWithoutXTest() {
        m_server.terminate();
        m_server.waitForFinished(5000);
    }
    QString display() const { return m_display; }

private:
    QProcess m_server;
    QString m_display;
};

} // namespace

TEST(OnboardingGateTest, ADisplayWithoutXTestShowsTheOnboardingWindow) {
    DisplayWithoutXTest display;
    ASSERT_FALSE(display.display().isEmpty());
    DevApiServer api;
    ASSERT_TRUE(api.start());
    AppUnderTest app;
    app.setEnvironmentVariable(QStringLiteral("DISPLAY"), display.display());
    ASSERT_TRUE(app.start(&api));

    EXPECT_TRUE(app.log().contains(QStringLiteral("accessibility ❌, screen capture ✅")));
    EXPECT_TRUE(app.waitForWindow(QStringLiteral("^Welcome to Quillora$")).has_value());
    spinFor(300);
    EXPECT_FALSE(app.log().contains(AppUnderTest::fullSetupLine));
    EXPECT_EQ(app.setting(QStringLiteral("hasCompletedOnboarding")).toString(), QStringLiteral("false"));
    EXPECT_EQ(app.setting(QStringLiteral("hasAccessibilityPermission")).toString(), QStringLiteral("false"));
    EXPECT_EQ(app.stop(), 0) << app.log().toStdString();
}
