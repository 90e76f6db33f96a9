#pragma once

#include "platform/DeviceIdentity.h"

#include <QStringList>

// This application's identifier of the machine (derived from the systemd/D-Bus machine id, which itself
// must not leave the machine), the DMI product name and the host name.
class LinuxDeviceIdentity : public DeviceIdentity {
public:
    LinuxDeviceIdentity();
    // Tests point the reader at other files.
    LinuxDeviceIdentity(QStringList machineIdPaths, QString productNamePath);

    std::optional<QString> platformUUID() const override;
    QString modelIdentifier() const override;
    QString hostName() const override;

    // The key of the application-specific machine identifier; changing it changes every device's id.
    static constexpr const char* applicationId = "app.quillora.Quillora";

    // HMAC-SHA256 of the machine id (32 hex digits, as in the file) keyed with `applicationId`, its first
    // 16 bytes as an upper-case version 4 UUID; absent when the text is not 32 hex digits.
    static std::optional<QString> applicationSpecificId(const QString& machineId);

private:
    QStringList m_machineIdPaths;
    QString m_productNamePath;
};
