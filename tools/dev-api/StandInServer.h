#pragma once

#include "StandInAppcast.h"

#include <QAbstractHttpServer>
#include <QByteArray>
#include <QFile>
#include <QJsonObject>
#include <QList>
#include <QString>

class QTcpSocket;

// Serves the four endpoints of docs/web-api.md on loopback, checks each envelope and signature, answers
// deterministically and logs one JSON line per API request. Failures can be forced for tests through
// POST /admin/fail-next or through magic request texts ("dev-api:500" and the like). It also serves the
// web site's update feed (StandInAppcast).
class StandInServer : public QAbstractHttpServer {
    Q_OBJECT
public:
    enum class Failure {
        None,
        ServerError,
        ServerErrorWithoutBody,
        InvalidJson,
        Empty,
        MissingField,
        EmptyTranslation,
        Hang,
        Close,
        Truncated,
        Slow
    };

    StandInServer(QByteArray salt, const QString& logPath, QObject* parent = nullptr);

    bool logIsOpen() const;

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

private:
    struct Forced {
        Failure failure = Failure::None;
        int delayMs = 0;
    };
    struct Answer {
        int status = 200;
        QJsonObject body;
    };

    void handleAdmin(const QString& path, const QByteArray& body, QTcpSocket* socket);
    Answer answerApi(const QString& path, const QJsonObject& body, bool& ocr, QString& error);
    void respond(QTcpSocket* socket, const Answer& answer, const Forced& forced);
    void log(const QHttpServerRequest& request, const QJsonObject& body, int status, const QString& error,
             const Forced& forced, bool signatureValid);

    static std::optional<Forced> parseForced(const QString& mode, int delayMs);
    static QString failureName(Failure failure);

    QByteArray m_salt;
    QFile m_log;
    QList<Forced> m_forced;
    StandInAppcast m_appcast{QStringLiteral(QUILLORA_DEV_API_APPCAST_VERSION)};
};
