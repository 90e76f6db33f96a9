#include "services/RequestSigner.h"

#include <QCryptographicHash>
#include <QMessageAuthenticationCode>

#ifndef QUILLORA_CLIENT_SALT
#define QUILLORA_CLIENT_SALT ""
#endif

QString RequestSigner::signature(const QString& deviceId, const QString& timestamp, const QByteArray& salt) {
    QMessageAuthenticationCode mac(QCryptographicHash::Sha256, salt);
    mac.addData(deviceId.toUtf8());
    mac.addData(timestamp.toUtf8());
    return QString::fromLatin1(mac.result().toHex());
}

QByteArray RequestSigner::clientSalt() {
    return QByteArrayLiteral(QUILLORA_CLIENT_SALT);
}
