#pragma once

#include <QByteArray>
#include <QString>

// The signature the web API checks on every request.
class RequestSigner {
public:
    // Lower-case hex HMAC-SHA256 of `deviceId` followed by `timestamp`, keyed with `salt`.
    static QString signature(const QString& deviceId, const QString& timestamp, const QByteArray& salt);
    // The client salt of this build (QUILLORA_CLIENT_SALT).
    static QByteArray clientSalt();
};
