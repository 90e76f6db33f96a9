#include "platform/x11/LinuxDeviceIdentity.h"

#include <QFile>
#include <QMessageAuthenticationCode>
#include <QRegularExpression>
#include <QSysInfo>
#include <QUuid>

namespace {

// These files are a few bytes; cap the read so a strange path can never block on a large file.
QString readSmallFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.read(256)).trimmed();
}

} // namespace

LinuxDeviceIdentity::LinuxDeviceIdentity()
    : LinuxDeviceIdentity({QStringLiteral("/etc/machine-id"), QStringLiteral("/var/lib/dbus/machine-id")},
                          QStringLiteral("/sys/class/dmi/id/product_name")) {}

LinuxDeviceIdentity::LinuxDeviceIdentity(QStringList machineIdPaths, QString productNamePath)
    : m_machineIdPaths(std::move(machineIdPaths))
    , m_productNamePath(std::move(productNamePath)) {}

std::optional<QString> LinuxDeviceIdentity::applicationSpecificId(const QString& machineId) {
    static const QRegularExpression hex32(QStringLiteral("^[0-9a-fA-F]{32}$"));
    const QString id = machineId.trimmed().toLower();
    if (!hex32.match(id).hasMatch())
        return std::nullopt;
    // machine-id(5): the id is confidential; applications send a keyed hash of it instead.
    QByteArray bytes = QMessageAuthenticationCode::hash(id.toLatin1(), QByteArray(applicationId),
                                                        QCryptographicHash::Sha256)
                           .left(16);
    bytes[6] = char((bytes[6] & 0x0f) | 0x40);
    bytes[8] = char((bytes[8] & 0x3f) | 0x80);
    return QUuid::fromRfc4122(bytes).toString(QUuid::WithoutBraces).toUpper();
}

std::optional<QString> LinuxDeviceIdentity::platformUUID() const {
    for (const QString& path : m_machineIdPaths) {
        if (auto uuid = applicationSpecificId(readSmallFile(path)))
            return uuid;
    }
    return std::nullopt;
}

QString LinuxDeviceIdentity::modelIdentifier() const {
    const QString product = readSmallFile(m_productNamePath);
    return product.isEmpty() ? QSysInfo::currentCpuArchitecture() : product;
}

QString LinuxDeviceIdentity::hostName() const {
    return QSysInfo::machineHostName();
}
