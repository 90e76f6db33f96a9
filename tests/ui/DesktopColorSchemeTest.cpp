// The desktop's light or dark preference, from a portal stand-in on a session bus of the test's own.
#include "AppearanceGuard.h"
#include "TestUtils.h"
#include "platform/DesktopColorScheme.h"
#include "ui/Theme.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusError>
#include <QDBusVariant>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace {

const QString kGroup = QStringLiteral("org.freedesktop.appearance");
const QString kKey = QStringLiteral("color-scheme");

// The Settings interface as a desktop portal offers it; an old portal lacks ReadOne and wraps Read's
// value in a second variant.
class PortalStandIn : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")
public:
    uint scheme = 0;
    bool old = false;

    void change(uint value) {
        scheme = value;
        Q_EMIT SettingChanged(QStringLiteral("org.freedesktop.other"), kKey, QDBusVariant(QVariant(uint(1))));
        Q_EMIT SettingChanged(kGroup, kKey, QDBusVariant(QVariant(value)));
    }

public Q_SLOTS:
    QDBusVariant ReadOne(const QString& group, const QString& key) {
        if (old) {
            sendErrorReply(QDBusError::UnknownMethod, QStringLiteral("No such method"));
            return {};
        }
        return value(group, key);
    }
    QDBusVariant Read(const QString& group, const QString& key) {
        const QDBusVariant inner = value(group, key);
        return old ? QDBusVariant(QVariant::fromValue(inner)) : inner;
    }

Q_SIGNALS:
    void SettingChanged(const QString& group, const QString& key, const QDBusVariant& value);

private:
    QDBusVariant value(const QString& group, const QString& key) {
        if (group != kGroup || key != kKey)
            sendErrorReply(QStringLiteral("org.freedesktop.portal.Error.NotFound"), QStringLiteral("not found"));
        return QDBusVariant(QVariant(scheme));
    }
};

class DesktopColorSchemeTest : public ::testing::Test {
protected:
    void SetUp() override {
        // A bus that starts no services, so that no installed portal answers in the stand-in's place.
        ASSERT_TRUE(m_dir.isValid());
        QFile config(m_dir.filePath(QStringLiteral("bus.conf")));
        ASSERT_TRUE(config.open(QIODevice::WriteOnly));
        config.write("<busconfig><type>session</type><listen>unix:dir=" + m_dir.path().toUtf8() +
                     "</listen><auth>EXTERNAL</auth><policy context=\"default\"><allow user=\"*\"/>"
                     "<allow send_destination=\"*\"/><allow receive_sender=\"*\"/><allow own=\"*\"/>"
                     "</policy></busconfig>");
        config.close();
        m_daemon.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--config-file=") + config.fileName(),
                                                       QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
        ASSERT_TRUE(waitUntil([&] { return m_daemon.canReadLine(); }));
        m_address = QString::fromUtf8(m_daemon.readLine().trimmed());
    }
    void TearDown() override {
        Theme::shared().followColorScheme(nullptr);
        if (m_portalConnected)
            QDBusConnection::disconnectFromBus(QStringLiteral("portal-stand-in-") + m_address);
        m_daemon.terminate();
        m_daemon.waitForFinished(3000);
    }

    void startPortal() {
        QDBusConnection bus = QDBusConnection::connectToBus(m_address, QStringLiteral("portal-stand-in-") + m_address);
        m_portalConnected = true;
        ASSERT_TRUE(bus.registerService(QStringLiteral("org.freedesktop.portal.Desktop")));
        ASSERT_TRUE(bus.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), &m_portal,
                                       QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals));
    }
    // A reader on the test's bus, followed by the theme, once it has its first answer.
    std::unique_ptr<DesktopColorScheme> follow() {
        auto scheme = std::make_unique<DesktopColorScheme>(m_address);
        Theme::shared().followColorScheme(scheme.get());
        EXPECT_TRUE(waitUntil([&] { return scheme->isSettled(); }));
        return scheme;
    }
    static bool wholePaletteDark() {
        const QPalette palette = QApplication::palette();
        return Theme::dark() && palette.color(QPalette::Base).lightness() < 128 &&
               palette.color(QPalette::Text).lightness() > 128 &&
               palette.color(QPalette::Button).lightness() < 128;
    }

    AppearanceGuard m_guard;
    QTemporaryDir m_dir;
    QProcess m_daemon;
    QString m_address;
    PortalStandIn m_portal;
    bool m_portalConnected = false;
};

} // namespace

TEST_F(DesktopColorSchemeTest, ThePortalsPreferenceWinsOverThePaletteAndIsFollowedWhileRunning) {
    AppearanceGuard::setDark(false);
    m_portal.scheme = 1;
    startPortal();
    const auto scheme = follow();
    EXPECT_EQ(scheme->preference(), DesktopColorScheme::Preference::Dark);
    EXPECT_TRUE(wholePaletteDark());

    m_portal.change(2);
    EXPECT_TRUE(waitUntil([] { return !Theme::dark(); }));
    // A dark palette from the platform gives way to the stated light preference.
    AppearanceGuard::setDark(true);
    EXPECT_TRUE(waitUntil([] { return !Theme::dark(); }));
    // No preference: the platform's palette again.
    m_portal.change(0);
    EXPECT_TRUE(waitUntil([] { return Theme::dark(); }));
    EXPECT_EQ(QApplication::palette().color(QPalette::Window), QColor(50, 50, 52));
}

TEST_F(DesktopColorSchemeTest, AnOldPortalIsReadAndWithoutOneThePaletteDecides) {
    AppearanceGuard::setDark(false);
    {
        const auto scheme = follow();
        EXPECT_EQ(scheme->preference(), DesktopColorScheme::Preference::None);
        EXPECT_FALSE(Theme::dark());
    }
    m_portal.scheme = 1;
    m_portal.old = true;
    startPortal();
    const auto scheme = follow();
    EXPECT_EQ(scheme->preference(), DesktopColorScheme::Preference::Dark);
    EXPECT_TRUE(wholePaletteDark());
}

#include "DesktopColorSchemeTest.moc"
