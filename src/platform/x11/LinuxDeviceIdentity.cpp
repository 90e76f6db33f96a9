#include "platform/x11/LinuxDeviceIdentity.h"

#include <QFile>
#include <QRegularExpression>
#include <QSysInfo>

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

std::optional<QString> LinuxDeviceIdentity::formatMachineId(const QString& machineId) {
    static const QRegularExpression hex32(QStringLiteral("^[0-9a-fA-F]{32}$"));
    const QString id = machineId.trimmed();
    if (!hex32.match(id).hasMatch())
        return std::nullopt;
    const QString upper = id.toUpper();
    return QStringLiteral("%1-%2-%3-%4-%5")
        .arg(upper.mid(0, 8), upper.mid(8, 4), upper.mid(12, 4), upper.mid(16, 4), upper.mid(20, 12));
}

std::optional<QString> LinuxDeviceIdentity::platformUUID() const {
    for (const QString& path : m_machineIdPaths) {
        if (auto uuid = formatMachineId(readSmallFile(path)))
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
