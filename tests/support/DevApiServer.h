#pragma once

#include "services/RequestSigner.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <memory>

#ifdef QUILLORA_DEV_API_PATH
#define QUILLORA_DEV_API_DEFAULT_PROGRAM QStringLiteral(QUILLORA_DEV_API_PATH)
#else
#define QUILLORA_DEV_API_DEFAULT_PROGRAM QString()
#endif

// Runs the real quillora-dev-api (tools/dev-api) on a free loopback port for a test, and reads its
// request log. Typical use:
//
//     DevApiServer api;
//     ASSERT_TRUE(api.start());        // signed with the app's own client salt
//     api.useAsApiBase();              // writes "apiBaseURL" into the test's user defaults
//     ... run the client, waitUntil(...) ...
//     const QJsonObject sent = api.lastRequest()["body"].toObject();
//
// Each log entry is one JSON object: "path", "status" (0 when the stand-in sent nothing), "signatureValid",
// "body" (the request body as received; a long OCR "image" is replaced by "<N base64 characters>"),
// "error" (why a request was refused) and "failure" (the forced failure, if any).
//
// Forcing failures (see docs/web-api.md): failNext(mode, count) makes the next `count` API requests
// fail; or send a text "dev-api:<mode>" (translate, rewrite and speech requests). Modes:
//   "500"           500 with {"error": "Simulated server failure"}
//   "500-empty"     500 with an empty body
//   "invalid-json"  200 with a body that is not JSON
//   "empty"         200 with an empty body
//   "missing-field" 200 with {"unexpected": true}
//   "empty-translation" 200 with {"translation": "", "sourceText": ""}
//   "hang"          never answers (the client's time-out or cancel ends it)
//   "close"         closes the connection without an answer
//   "truncated"     200 whose body stops halfway through its Content-Length
//   "slow"          the normal answer after `delayMs` (2000 ms when 0; "dev-api:slow:<ms>" as a text)
//
// Starting or commanding the stand-in spins the event loop (tests only). The process is stopped when the
// object is destroyed, or with the test's process when that ends first. The program path comes from QUILLORA_DEV_API_PATH (set for every test target when
// the tool is built).
class DevApiServer {
public:
    DevApiServer();
    ~DevApiServer();
    DevApiServer(const DevApiServer&) = delete;
    DevApiServer& operator=(const DevApiServer&) = delete;

    bool start(const QByteArray& salt = RequestSigner::clientSalt(),
               const QString& program = QUILLORA_DEV_API_DEFAULT_PROGRAM);
    void stop();
    bool isRunning() const;
    qint64 processId() const { return m_process ? m_process->processId() : 0; }

    quint16 port() const { return m_port; }
    // "http://127.0.0.1:<port>"
    QString baseUrl() const;
    // Points the app's web client at this stand-in through the "apiBaseURL" user default.
    void useAsApiBase() const;

    bool failNext(const QString& mode, int count = 1, int delayMs = 0);
    // Drops failures queued with failNext().
    bool resetFailures();

    // The update feed at GET /downloads/appcast.xml announces `version` (the app's own by default).
    bool setAppcastVersion(const QString& version);
    // The feed is served as broken XML from now on.
    bool serveMalformedAppcast();
    // The feed is never answered from now on.
    bool hangAppcast();

    QList<QJsonObject> requestLog() const;
    // The newest entry; empty when nothing was logged yet.
    QJsonObject lastRequest() const;
    // Waits until the log holds at least `count` entries.
    bool waitForRequests(int count, int timeoutMs = 5000) const;
    void clearRequestLog();

    QString logPath() const;

private:
    bool admin(const QString& path, const QJsonObject& body);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QProcess> m_process;
    quint16 m_port = 0;
};
