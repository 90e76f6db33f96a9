#include "platform/DesktopColorScheme.h"

#include "platform/DebugLog.h"
#include "platform/MainQueue.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QPointer>
#include <QThreadPool>
#include <atomic>

namespace {

const QString kTag = QStringLiteral("DesktopColorScheme");
const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString kGroup = QStringLiteral("org.freedesktop.appearance");
const QString kKey = QStringLiteral("color-scheme");
// Generous: the first call may start the portal, and the palette stands in until it answers.
constexpr int kReadTimeoutMs = 10000;

} // namespace

DesktopColorScheme::DesktopColorScheme(const QString& sessionBusAddress, QObject* parent)
    : QObject(parent) {
    // By name, for the change signal's argument.
    qRegisterMetaType<QDBusVariant>();
    if (sessionBusAddress.isEmpty()) {
        settle();
        return;
    }
    static std::atomic<int> instances{0};
    m_connectionName = QStringLiteral("quillora-appearance-%1").arg(++instances);
    // Connecting waits for the bus daemon's greeting: off the main thread.
    QPointer<DesktopColorScheme> self(this);
    QThreadPool::globalInstance()->start([self, sessionBusAddress, name = m_connectionName] {
        const bool ok = QDBusConnection::connectToBus(sessionBusAddress, name).isConnected();
        MainQueue::async(
            [self, ok, name] {
                if (self)
                    self->connected(ok);
                else
                    QDBusConnection::disconnectFromBus(name);
            },
            nullptr);
    });
}

DesktopColorScheme::~DesktopColorScheme() {
    if (m_connectionOpened)
        QDBusConnection::disconnectFromBus(m_connectionName);
}

DesktopColorScheme::Preference DesktopColorScheme::fromValue(const QVariant& value) {
    QVariant inner = value;
    // The old Read wraps the value in a second variant.
    while (inner.userType() == qMetaTypeId<QDBusVariant>())
        inner = qvariant_cast<QDBusVariant>(inner).variant();
    bool ok = false;
    const uint number = inner.toUInt(&ok);
    if (!ok)
        return Preference::None;
    if (number == 1)
        return Preference::Dark;
    if (number == 2)
        return Preference::Light;
    return Preference::None;
}

void DesktopColorScheme::connected(bool ok) {
    m_connectionOpened = true;
    if (!ok) {
        debugLog(kTag, QStringLiteral("no session bus: the palette decides"));
        settle();
        return;
    }
    QDBusConnection bus(m_connectionName);
    // From whichever connection serves the portal's path: it may start only when first asked.
    bus.connect(QString(), kPath, kInterface, QStringLiteral("SettingChanged"), this,
                SLOT(settingChanged(QString, QString, QDBusVariant)));
    read(false);
}

void DesktopColorScheme::read(bool oldInterface) {
    QDBusMessage message =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, oldInterface ? QStringLiteral("Read")
                                                                                 : QStringLiteral("ReadOne"));
    message << kGroup << kKey;
    auto* watcher =
        new QDBusPendingCallWatcher(QDBusConnection(m_connectionName).asyncCall(message, kReadTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, oldInterface] {
        watcher->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *watcher;
        if (reply.isError()) {
            // Portals before ReadOne offer only Read.
            if (!oldInterface && reply.error().type() == QDBusError::UnknownMethod) {
                read(true);
                return;
            }
            debugLog(kTag, QStringLiteral("no colour scheme from the portal: %1").arg(reply.error().message()));
        } else if (!m_heardChange) {
            // A change signalled meanwhile is newer than this answer.
            update(fromValue(QVariant::fromValue(reply.value())));
        }
        settle();
    });
}

void DesktopColorScheme::settingChanged(const QString& group, const QString& key, const QDBusVariant& value) {
    if (group != kGroup || key != kKey)
        return;
    m_heardChange = true;
    update(fromValue(QVariant::fromValue(value)));
}

void DesktopColorScheme::update(Preference preference) {
    if (preference == m_preference)
        return;
    m_preference = preference;
    Q_EMIT preferenceChanged();
}

void DesktopColorScheme::settle() {
    if (m_settled)
        return;
    m_settled = true;
    Q_EMIT settledChanged();
}
