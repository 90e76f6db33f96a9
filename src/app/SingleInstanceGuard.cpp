#include "app/SingleInstanceGuard.h"

#include "platform/DebugLog.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QLocalSocket>
#include <QPointer>
#include <QStandardPaths>
#include <QThread>

namespace {

const QString kTag = QStringLiteral("SingleInstance");
const QByteArray kRequest = "reopen\n";
const QByteArray kAcknowledgement = "ok\n";
constexpr int kMaximumRequestBytes = 64;

} // namespace

SingleInstanceGuard::SingleInstanceGuard(QString directory, QObject* parent)
    : QObject(parent)
    , m_directory(directory.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation)
                                      : std::move(directory)) {
    connect(&m_server, &QLocalServer::newConnection, this, &SingleInstanceGuard::acceptConnections);
}

SingleInstanceGuard::~SingleInstanceGuard() {
    m_server.close();
}

QString SingleInstanceGuard::socketPath() const {
    return QDir(m_directory).filePath(QStringLiteral("quillora.socket"));
}

QString SingleInstanceGuard::lockPath() const {
    return QDir(m_directory).filePath(QStringLiteral("quillora.lock"));
}

bool SingleInstanceGuard::claim() {
    QDir().mkpath(m_directory);
    m_lock = std::make_unique<QLockFile>(lockPath());
    // Only a dead owner makes the lock stale, however long the running instance has been up.
    m_lock->setStaleLockTime(0);
    if (!m_lock->tryLock(0)) {
        m_lock.reset();
        return false;
    }
    // The socket of a crashed instance would refuse our listen.
    QLocalServer::removeServer(socketPath());
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server.listen(socketPath()))
        debugLog(kTag, QStringLiteral("❌ Cannot listen on %1: %2").arg(socketPath(), m_server.errorString()));
    return true;
}

void SingleInstanceGuard::acceptConnections() {
    while (QLocalSocket* socket = m_server.nextPendingConnection()) {
        QPointer<QLocalSocket> guard(socket);
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, guard] {
            if (!guard)
                return;
            if (!guard->canReadLine()) {
                if (guard->bytesAvailable() > kMaximumRequestBytes)
                    guard->disconnectFromServer();
                return;
            }
            const QByteArray line = guard->readLine(kMaximumRequestBytes);
            if (line == kRequest) {
                guard->write(kAcknowledgement);
                guard->flush();
                Q_EMIT reopenRequested();
            }
            guard->disconnectFromServer();
        });
    }
}

bool SingleInstanceGuard::sendReopenRequest(int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        QLocalSocket socket;
        socket.connectToServer(socketPath());
        if (socket.waitForConnected(int(std::min<qint64>(deadline.remainingTime(), 1000)))) {
            socket.write(kRequest);
            QByteArray answer;
            while (!answer.contains('\n') && socket.waitForReadyRead(int(deadline.remainingTime())))
                answer += socket.readAll();
            return answer.startsWith(kAcknowledgement);
        }
        // The running instance holds the lock but may not listen yet.
        QThread::msleep(100);
    }
    return false;
}
