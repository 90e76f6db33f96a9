#include "services/RequestEnvelope.h"

#include "services/AppVersion.h"
#include "services/DeviceInfoService.h"
#include "services/RequestSigner.h"

#include <QDateTime>

RequestEnvelope RequestEnvelope::make(const QString& triggerSource,
                                      const std::optional<QString>& processType) {
    return make(triggerSource, processType, DeviceInfoService::shared().deviceIdentifier(),
                QDateTime::currentDateTimeUtc().toString(Qt::ISODate), RequestSigner::clientSalt(),
                getAppVersion());
}

RequestEnvelope RequestEnvelope::make(const QString& triggerSource, const std::optional<QString>& processType,
                                      const QString& deviceId, const QString& timestamp,
                                      const QByteArray& salt, const QString& appVersion) {
    RequestEnvelope envelope;
    envelope.deviceId = deviceId;
    envelope.timestamp = timestamp;
    envelope.signature = RequestSigner::signature(deviceId, timestamp, salt);
    envelope.triggerSource = triggerSource;
    envelope.processType = processType;
    envelope.appVersion = appVersion;
    return envelope;
}

void RequestEnvelope::addTo(QJsonObject& body) const {
    body.insert(QStringLiteral("device_id"), deviceId);
    body.insert(QStringLiteral("timestamp"), timestamp);
    body.insert(QStringLiteral("signature"), signature);
    body.insert(QStringLiteral("trigger_source"), triggerSource);
    if (processType)
        body.insert(QStringLiteral("process_type"), *processType);
    else
        body.remove(QStringLiteral("process_type"));
    body.insert(QStringLiteral("app_version"), appVersion);
}
