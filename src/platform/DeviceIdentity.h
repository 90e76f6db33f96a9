#pragma once

#include <QString>

#include <optional>

// Facts about this machine, read afresh on each call.
class DeviceIdentity {
public:
    virtual ~DeviceIdentity() = default;
    // The machine's UUID, upper-case, when it can be read.
    virtual std::optional<QString> platformUUID() const = 0;
    virtual QString modelIdentifier() const = 0;
    virtual QString hostName() const = 0;
};
