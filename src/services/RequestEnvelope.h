#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <optional>

// The fields every request body carries besides its own: who sends it, when, the signature of the two,
// what started it and the app version.
struct RequestEnvelope {
    QString deviceId;
    QString timestamp; // ISO 8601, UTC
    QString signature;
    QString triggerSource;
    std::optional<QString> processType; // absent for OCR: the key is then left out
    QString appVersion;

    // An envelope for a request sent now from this device, signed with the client salt.
    static RequestEnvelope make(const QString& triggerSource, const std::optional<QString>& processType);
    static RequestEnvelope make(const QString& triggerSource, const std::optional<QString>& processType,
                                const QString& deviceId, const QString& timestamp, const QByteArray& salt,
                                const QString& appVersion);

    // Adds "device_id", "timestamp", "signature", "trigger_source", "process_type" and "app_version".
    void addTo(QJsonObject& body) const;
    // What addTo() and QJsonDocument's compact text make of `body`, byte for byte, written directly.
    QByteArray encode(const QJsonObject& body) const;
};
