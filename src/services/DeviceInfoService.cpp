#include "services/DeviceInfoService.h"

#include "platform/DebugLog.h"
#include "platform/DeviceIdentity.h"
#include "platform/Platform.h"

#include <QUuid>
#include <utility>

namespace {
const QString kTag = QStringLiteral("DeviceInfoService");
}

DeviceInfoService& DeviceInfoService::shared() {
    static DeviceInfoService instance;
    return instance;
}

QString DeviceInfoService::deviceIdentifier() const {
    // Not at start: the files are read when the first request needs them.
    static bool printed = false;
    if (!std::exchange(printed, true))
        printDeviceInfo();
    if (hasPlatform()) {
        const std::optional<QString> uuid = platform().deviceIdentity().platformUUID();
        if (uuid && !uuid->trimmed().isEmpty())
            return *uuid;
    }
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

void DeviceInfoService::printDeviceInfo() const {
    if (!hasPlatform()) {
        debugLog(kTag, QStringLiteral("⚠️ Platform yok, cihaz bilgisi okunamadı"));
        return;
    }
    const DeviceIdentity& identity = platform().deviceIdentity();
    const std::optional<QString> uuid = identity.platformUUID();
    debugLog(kTag, QStringLiteral("📱 Platform UUID: %1").arg(uuid.value_or(QStringLiteral("(okunamadı)"))));
    debugLog(kTag, QStringLiteral("💻 Model: %1").arg(identity.modelIdentifier()));
    debugLog(kTag, QStringLiteral("🏠 Host: %1").arg(identity.hostName()));
}
