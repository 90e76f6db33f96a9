#pragma once

#include "platform/DeviceIdentity.h"

#include <QStringList>

// The machine id of systemd/D-Bus as a UUID, the DMI product name and the host name.
class LinuxDeviceIdentity : public DeviceIdentity {
public:
    LinuxDeviceIdentity();
    // Tests point the reader at other files.
    LinuxDeviceIdentity(QStringList machineIdPaths, QString productNamePath);

    std::optional<QString> platformUUID() const override;
    QString modelIdentifier() const override;
    QString hostName() const override;

    // "0123456789abcdef0123456789abcdef" → "01234567-89AB-CDEF-0123-456789ABCDEF"; absent when the text is
    // not 32 hex digits.
    static std::optional<QString> formatMachineId(const QString& machineId);

private:
    QStringList m_machineIdPaths;
    QString m_productNamePath;
};
