#include "StandInServer.h"

#include "StandInAnswers.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QHttpServerRequest>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMessageAuthenticationCode>
#include <QPointer>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTimer>

namespace {

constexpr int kDefaultSlowMs = 2000;
const QStringList kProviders = {QStringLiteral("google"), QStringLiteral("chatgpt"), QStringLiteral("gemini"),
                                QStringLiteral("deepl")};
const QStringList kStyles = {QStringLiteral("regenerate"), QStringLiteral("friendly"),
                             QStringLiteral("professional"), QStringLiteral("concise"),
                             QStringLiteral("detailed")};

QByteArray reasonPhrase(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 500:
        return "Internal Server Error";
    default:
        return "Unknown";
    }
}

void writeHttp(QTcpSocket* socket, int status, const QByteArray& body, qint64 declaredLength = -1) {
    QByteArray head = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status) + "\r\n";
    head += "Content-Type: application/json\r\n";
    head +=
        "Content-Length: " + QByteArray::number(declaredLength >= 0 ? declaredLength : body.size()) + "\r\n";
    head += "Connection: close\r\n\r\n";
    socket->write(head + body);
    socket->disconnectFromHost();
}

QByteArray errorBody(const QString& message) {
    return QJsonDocument(QJsonObject{{QStringLiteral("error"), message}}).toJson(QJsonDocument::Compact);
}

bool isText(const QJsonObject& body, const QString& key) {
    return body.value(key).isString();
}

} // namespace

StandInServer::StandInServer(QByteArray salt, const QString& logPath, QObject* parent)
    : QAbstractHttpServer(parent)
    , m_salt(std::move(salt)) {
    if (!logPath.isEmpty()) {
        m_log.setFileName(logPath);
        m_log.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text);
    }
}

bool StandInServer::logIsOpen() const {
    return m_log.isOpen();
}

QString StandInServer::failureName(Failure failure) {
    switch (failure) {
    case Failure::None:
        return {};
    case Failure::ServerError:
        return QStringLiteral("500");
    case Failure::ServerErrorWithoutBody:
        return QStringLiteral("500-empty");
    case Failure::InvalidJson:
        return QStringLiteral("invalid-json");
    case Failure::Empty:
        return QStringLiteral("empty");
    case Failure::MissingField:
        return QStringLiteral("missing-field");
    case Failure::EmptyTranslation:
        return QStringLiteral("empty-translation");
    case Failure::Hang:
        return QStringLiteral("hang");
    case Failure::Close:
        return QStringLiteral("close");
    case Failure::Truncated:
        return QStringLiteral("truncated");
    case Failure::Slow:
        return QStringLiteral("slow");
    }
    return {};
}

std::optional<StandInServer::Forced> StandInServer::parseForced(const QString& mode, int delayMs) {
    for (Failure failure :
         {Failure::ServerError, Failure::ServerErrorWithoutBody, Failure::InvalidJson, Failure::Empty,
          Failure::MissingField, Failure::EmptyTranslation, Failure::Hang, Failure::Close, Failure::Truncated, Failure::Slow}) {
        if (failureName(failure) == mode)
            return Forced{failure, failure == Failure::Slow ? (delayMs > 0 ? delayMs : kDefaultSlowMs) : 0};
    }
    return std::nullopt;
}

bool StandInServer::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) {
    const QString path = request.url().path();
    if (m_appcast.handle(request, socket))
        return true;
    if (request.method() != QHttpServerRequest::Method::Post) {
        writeHttp(socket, 405, errorBody(QStringLiteral("Only POST is served")));
        return true;
    }
    if (path.startsWith(QLatin1String("/admin/"))) {
        // A web page may post plain text here from any origin; a JSON content type it cannot send without
        // a preflight, which this server never grants.
        const QByteArray type = request.value("Content-Type").split(';').first().trimmed().toLower();
        if (type != "application/json") {
            writeHttp(socket, 415, errorBody(QStringLiteral("Admin requests must be application/json")));
            return true;
        }
        handleAdmin(path, request.body(), socket);
        return true;
    }

    const QJsonDocument document = QJsonDocument::fromJson(request.body());
    const QJsonObject body = document.object();
    Forced forced;
    auto reject = [&](int status, const QString& message, bool signatureValid) {
        log(request, body, status, message, forced, signatureValid);
        writeHttp(socket, status, errorBody(message));
        return true;
    };

    bool ocr = false;
    // Route first so an unknown path is a 404 whatever its body.
    static const QRegularExpression route(
        QStringLiteral("^/api/(translate/([a-z]+)(/rewrite)?|ocr/base64|tts)$"));
    const QRegularExpressionMatch match = route.match(path);
    if (!match.hasMatch())
        return reject(404, QStringLiteral("No such endpoint: %1").arg(path), false);
    if (!match.captured(2).isEmpty() && !kProviders.contains(match.captured(2)))
        return reject(404, QStringLiteral("Unknown provider: %1").arg(match.captured(2)), false);
    ocr = path == QLatin1String("/api/ocr/base64");

    if (!document.isObject())
        return reject(400, QStringLiteral("The body must be a JSON object"), false);

    QStringList envelope = {QStringLiteral("device_id"), QStringLiteral("timestamp"),
                            QStringLiteral("signature"), QStringLiteral("trigger_source"),
                            QStringLiteral("app_version")};
    if (!ocr)
        envelope.append(QStringLiteral("process_type"));
    for (const QString& key : envelope) {
        if (!isText(body, key) || body.value(key).toString().isEmpty())
            return reject(400, QStringLiteral("Missing field: %1").arg(key), false);
    }
    const QString timestamp = body.value(QStringLiteral("timestamp")).toString();
    if (!QDateTime::fromString(timestamp, Qt::ISODate).isValid())
        return reject(400, QStringLiteral("Invalid timestamp: %1").arg(timestamp), false);

    QMessageAuthenticationCode mac(QCryptographicHash::Sha256, m_salt);
    mac.addData(body.value(QStringLiteral("device_id")).toString().toUtf8());
    mac.addData(timestamp.toUtf8());
    const bool signatureValid =
        QString::fromLatin1(mac.result().toHex()) == body.value(QStringLiteral("signature")).toString();
    if (!signatureValid)
        return reject(401, QStringLiteral("Invalid signature"), false);

    // A forced failure: queued through /admin/fail-next, or named by the request's text.
    if (!m_forced.isEmpty()) {
        forced = m_forced.takeFirst();
    } else {
        const QString text = body.value(QStringLiteral("text")).toString();
        if (text.startsWith(QLatin1String("dev-api:"))) {
            const QStringList parts = text.mid(8).split(QLatin1Char(':'));
            if (auto parsed = parseForced(parts.value(0), parts.value(1).toInt()))
                forced = *parsed;
        }
    }

    QString error;
    Answer answer = answerApi(path, body, ocr, error);
    int sentStatus = answer.status;
    if (forced.failure == Failure::ServerError || forced.failure == Failure::ServerErrorWithoutBody)
        sentStatus = 500;
    else if (forced.failure == Failure::Hang || forced.failure == Failure::Close)
        sentStatus = 0;
    else if (forced.failure != Failure::None && forced.failure != Failure::Slow)
        sentStatus = 200;
    log(request, body, sentStatus, error, forced, signatureValid);
    respond(socket, answer, forced);
    return true;
}

StandInServer::Answer StandInServer::answerApi(const QString& path, const QJsonObject& body, bool& ocr,
                                               QString& error) {
    auto bad = [&error](const QString& message) {
        error = message;
        return Answer{400, QJsonObject{{QStringLiteral("error"), message}}};
    };
    const QStringList segments = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (ocr) {
        const QJsonValue image = body.value(QStringLiteral("image"));
        const auto decoded = QByteArray::fromBase64Encoding(image.toString().toLatin1(),
                                                            QByteArray::AbortOnBase64DecodingErrors);
        if (!image.isString() || image.toString().isEmpty() || !decoded)
            return bad(QStringLiteral("Missing or invalid field: image"));
        return Answer{200, QJsonObject{{QStringLiteral("text"), StandInAnswers::recognisedText()}}};
    }
    if (segments.value(1) == QLatin1String("tts")) {
        if (!isText(body, QStringLiteral("text")) || !isText(body, QStringLiteral("language")) ||
            !body.value(QStringLiteral("slow")).isBool())
            return bad(QStringLiteral("Missing field: text, language or slow"));
        const QByteArray wav = StandInAnswers::speechWav(body.value(QStringLiteral("slow")).toBool());
        return Answer{200,
                      QJsonObject{{QStringLiteral("audioContent"), QString::fromLatin1(wav.toBase64())}}};
    }
    const QString provider = segments.value(2);
    if (segments.size() == 4) {
        if (!isText(body, QStringLiteral("text")) || !isText(body, QStringLiteral("style")))
            return bad(QStringLiteral("Missing field: text or style"));
        const QString style = body.value(QStringLiteral("style")).toString();
        if (!kStyles.contains(style))
            return bad(QStringLiteral("Unknown style: %1").arg(style));
        return Answer{
            200, StandInAnswers::rewrite(body.value(QStringLiteral("text")).toString(), style, provider)};
    }
    for (const char* key : {"text", "source_language", "target_language"}) {
        if (!isText(body, QString::fromLatin1(key)))
            return bad(QStringLiteral("Missing field: %1").arg(QString::fromLatin1(key)));
    }
    return Answer{200, StandInAnswers::translate(body.value(QStringLiteral("text")).toString(),
                                                 body.value(QStringLiteral("source_language")).toString(),
                                                 body.value(QStringLiteral("target_language")).toString())};
}

void StandInServer::respond(QTcpSocket* socket, const Answer& answer, const Forced& forced) {
    const QByteArray json = QJsonDocument(answer.body).toJson(QJsonDocument::Compact);
    switch (forced.failure) {
    case Failure::None:
        writeHttp(socket, answer.status, json);
        return;
    case Failure::ServerError:
        writeHttp(socket, 500, errorBody(QStringLiteral("Simulated server failure")));
        return;
    case Failure::ServerErrorWithoutBody:
        writeHttp(socket, 500, QByteArray());
        return;
    case Failure::InvalidJson:
        writeHttp(socket, 200, QByteArrayLiteral("{\"translation\": \"unterminated"));
        return;
    case Failure::Empty:
        writeHttp(socket, 200, QByteArray());
        return;
    case Failure::MissingField:
        writeHttp(socket, 200, QByteArrayLiteral("{\"unexpected\": true}"));
        return;
    case Failure::EmptyTranslation:
        writeHttp(socket, 200, QByteArrayLiteral("{\"translation\": \"\", \"sourceText\": \"\"}"));
        return;
    case Failure::Hang:
        // Keep the connection open and never answer; the client's time-out or cancel ends it.
        return;
    case Failure::Close:
        socket->disconnectFromHost();
        return;
    case Failure::Truncated:
        writeHttp(socket, 200, json.left(json.size() / 2), json.size());
        return;
    case Failure::Slow: {
        QPointer<QTcpSocket> guard(socket);
        QTimer::singleShot(forced.delayMs, this, [guard, status = answer.status, json] {
            if (guard && guard->state() == QAbstractSocket::ConnectedState)
                writeHttp(guard, status, json);
        });
        return;
    }
    }
}

void StandInServer::handleAdmin(const QString& path, const QByteArray& body, QTcpSocket* socket) {
    const QJsonObject object = QJsonDocument::fromJson(body).object();
    if (path == QLatin1String("/admin/appcast")) {
        const bool known = m_appcast.configure(object);
        writeHttp(socket, known ? 200 : 400,
                  known ? QByteArrayLiteral("{\"ok\":true}") : errorBody(QStringLiteral("Give version, malformed or hang")));
        return;
    }
    if (path == QLatin1String("/admin/reset")) {
        m_forced.clear();
        writeHttp(socket, 200, QByteArrayLiteral("{\"ok\":true}"));
        return;
    }
    if (path == QLatin1String("/admin/fail-next")) {
        const auto forced = parseForced(object.value(QStringLiteral("mode")).toString(),
                                        object.value(QStringLiteral("delayMs")).toInt());
        const int count = object.value(QStringLiteral("count")).toInt(1);
        if (!forced || count < 1) {
            writeHttp(socket, 400, errorBody(QStringLiteral("Unknown mode or bad count")));
            return;
        }
        for (int i = 0; i < count; ++i)
            m_forced.append(*forced);
        writeHttp(socket, 200, QByteArrayLiteral("{\"ok\":true}"));
        return;
    }
    writeHttp(socket, 404, errorBody(QStringLiteral("No such admin endpoint")));
}

void StandInServer::missingHandler(const QHttpServerRequest&, QTcpSocket* socket) {
    writeHttp(socket, 404, errorBody(QStringLiteral("Not found")));
}

void StandInServer::log(const QHttpServerRequest& request, const QJsonObject& body, int status,
                        const QString& error, const Forced& forced, bool signatureValid) {
    if (!m_log.isOpen())
        return;
    QJsonObject logged = body;
    const QString image = body.value(QStringLiteral("image")).toString();
    if (image.size() > 200)
        logged.insert(QStringLiteral("image"), QStringLiteral("<%1 base64 characters>").arg(image.size()));
    QJsonObject line{
        {QStringLiteral("time"), QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs)},
        {QStringLiteral("method"), QStringLiteral("POST")},
        {QStringLiteral("path"), request.url().path()},
        {QStringLiteral("status"), status},
        {QStringLiteral("signatureValid"), signatureValid},
        {QStringLiteral("body"), logged},
    };
    if (!error.isEmpty())
        line.insert(QStringLiteral("error"), error);
    if (forced.failure != Failure::None)
        line.insert(QStringLiteral("failure"), failureName(forced.failure));
    m_log.write(QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n');
    m_log.flush();
}
