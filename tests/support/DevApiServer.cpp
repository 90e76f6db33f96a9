#include "DevApiServer.h"

#include "TestUtils.h"
#include "platform/UserDefaults.h"

#include <QFile>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

DevApiServer::DevApiServer() = default;

DevApiServer::~DevApiServer() {
    stop();
}

bool DevApiServer::start(const QByteArray& salt, const QString& program) {
    stop();
    QString path = program;
    if (path.isEmpty())
        path = qEnvironmentVariable("QUILLORA_DEV_API_PATH");
    if (path.isEmpty()) {
        qWarning("DevApiServer: quillora-dev-api is not built");
        return false;
    }
    m_dir = std::make_unique<QTemporaryDir>();
    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QUILLORA_DEV_API_SALT"), QString::fromUtf8(salt));
    m_process->setProcessEnvironment(environment);
    // A test that crashes or is killed at its time-out takes the stand-in with it.
    const pid_t parent = ::getpid();
    m_process->setChildProcessModifier([parent] {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(1);
    });
    m_process->start(path, {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--log"), logPath()});
    QByteArray output;
    const bool started = waitUntil(
        [&] {
            output += m_process->readAllStandardOutput();
            return output.contains('\n') || m_process->state() == QProcess::NotRunning;
        },
        10000);
    bool ok = false;
    const uint port = output.left(output.indexOf('\n')).trimmed().toUInt(&ok);
    if (!started || !ok || port == 0 || port > 65535) {
        qWarning("DevApiServer: quillora-dev-api did not start");
        stop();
        return false;
    }
    m_port = quint16(port);
    return true;
}

void DevApiServer::stop() {
    if (m_process) {
        if (m_process->state() != QProcess::NotRunning) {
            m_process->kill();
            m_process->waitForFinished(3000);
        }
        m_process.reset();
    }
    m_port = 0;
}

bool DevApiServer::isRunning() const {
    return m_process && m_process->state() == QProcess::Running;
}

QString DevApiServer::baseUrl() const {
    return QStringLiteral("http://127.0.0.1:%1").arg(m_port);
}

void DevApiServer::useAsApiBase() const {
    UserDefaults::standard().set(QStringLiteral("apiBaseURL"), baseUrl());
}

QString DevApiServer::logPath() const {
    return m_dir ? m_dir->filePath(QStringLiteral("requests.log")) : QString();
}

bool DevApiServer::admin(const QString& path, const QJsonObject& body) {
    if (!isRunning())
        return false;
    QNetworkAccessManager network;
    QNetworkRequest request(QUrl(baseUrl() + path));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    QPointer<QNetworkReply> reply = network.post(request, QJsonDocument(body).toJson(QJsonDocument::Compact));
    const bool finished = waitUntil([&] { return reply && reply->isFinished(); }, 5000);
    const bool ok = finished && reply && reply->error() == QNetworkReply::NoError;
    if (reply)
        delete reply.data();
    return ok;
}

bool DevApiServer::failNext(const QString& mode, int count, int delayMs) {
    return admin(QStringLiteral("/admin/fail-next"), QJsonObject{{QStringLiteral("mode"), mode},
                                                                 {QStringLiteral("count"), count},
                                                                 {QStringLiteral("delayMs"), delayMs}});
}

bool DevApiServer::setAppcastVersion(const QString& version) {
    return admin(QStringLiteral("/admin/appcast"), QJsonObject{{QStringLiteral("version"), version}});
}

bool DevApiServer::serveMalformedAppcast() {
    return admin(QStringLiteral("/admin/appcast"), QJsonObject{{QStringLiteral("malformed"), true}});
}

bool DevApiServer::hangAppcast() {
    return admin(QStringLiteral("/admin/appcast"), QJsonObject{{QStringLiteral("hang"), true}});
}

bool DevApiServer::resetFailures() {
    return admin(QStringLiteral("/admin/reset"), {});
}

QList<QJsonObject> DevApiServer::requestLog() const {
    QList<QJsonObject> entries;
    QFile file(logPath());
    if (!file.open(QIODevice::ReadOnly))
        return entries;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (const QByteArray& line : lines) {
        const QJsonDocument document = QJsonDocument::fromJson(line);
        if (document.isObject())
            entries.append(document.object());
    }
    return entries;
}

QJsonObject DevApiServer::lastRequest() const {
    const QList<QJsonObject> entries = requestLog();
    return entries.isEmpty() ? QJsonObject() : entries.last();
}

bool DevApiServer::waitForRequests(int count, int timeoutMs) const {
    return waitUntil([&] { return requestLog().size() >= count; }, timeoutMs);
}

void DevApiServer::clearRequestLog() {
    QFile file(logPath());
    if (file.exists())
        file.resize(0);
}
