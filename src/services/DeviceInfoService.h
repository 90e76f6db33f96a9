#pragma once

#include <QString>

// Who this machine is, for the request envelope and the diagnostic log.
class DeviceInfoService {
public:
    static DeviceInfoService& shared();

    // The machine's platform UUID, read afresh on each call; a new random UUID when it cannot be read. The
    // first call also writes the device information to the diagnostic log.
    QString deviceIdentifier() const;
    // Writes the platform UUID, model identifier and host name to the diagnostic log.
    void printDeviceInfo() const;

private:
    DeviceInfoService() = default;
};
