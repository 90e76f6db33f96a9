#include "app/SingleInstanceGuard.h"

#include "platform/DebugLog.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QPointer>
#include <QThread>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kTag = QStringLiteral("SingleInstance");
const QByteArray kRequest = "reopen\n";
const QByteArray kAcknowledgement = "ok\n";
constexpr int kMaximumRequestBytes = 64;

// Why `path` is not a directory of this user's alone; empty when it is one. A symbolic link does not
// count: whoever can replace it decides where it leads.
QString whyNotPrivate(const QString& path) {
    if (path.isEmpty())
        return QStringLiteral("not set");
    if (QDir::isRelativePath(path))
        return QStringLiteral("%1 is not an absolute path").arg(path);
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
    if (S_ISLNK(info.st_mode))
        return QStringLiteral("%1 is a symbolic link").arg(path);
    if (!S_ISDIR(info.st_mode))
        return QStringLiteral("%1 is not a directory").arg(path);
    if (info.st_uid != ::geteuid())
        return QStringLiteral("%1 belongs to another user").arg(path);
    if ((info.st_mode & 07777) != 0700)
        return QStringLiteral("%1 has mode 0%2, not 0700")
            .arg(path, QString::number(info.st_mode & 07777, 8));
    return {};
}

} // namespace

SingleInstanceGuard::SingleInstanceGuard(QString runtimeDirectory, QObject* parent)
    : QObject(parent) {
    if (runtimeDirectory.isEmpty())
        runtimeDirectory = QFile::decodeName(qgetenv("XDG_RUNTIME_DIR"));
    const QString runtimeProblem = whyNotPrivate(runtimeDirectory);
    if (runtimeProblem.isEmpty()) {
        m_directory = runtimeDirectory;
    } else {
        // Never the shared temporary directory itself: another user could take the names there first.
        const QString fallback =
            QDir(QDir::tempPath()).filePath(QStringLiteral("quillora-%1").arg(::geteuid()));
        ::mkdir(QFile::encodeName(fallback).constData(), 0700);
        const QString fallbackProblem = whyNotPrivate(fallback);
        if (fallbackProblem.isEmpty()) {
            m_directory = fallback;
        } else {
            m_error = QStringLiteral("no private directory for the single-instance lock (runtime directory: "
                                     "%1; fallback: %2)")
                          .arg(runtimeProblem, fallbackProblem);
        }
    }
    connect(&m_server, &QLocalServer::newConnection, this, &SingleInstanceGuard::acceptConnections);
}

SingleInstanceGuard::~SingleInstanceGuard() {
    m_server.close();
}

// Empty without a directory: a bare name would mean the working directory, or for the socket the shared
// temporary directory.
QString SingleInstanceGuard::socketPath() const {
    return m_directory.isEmpty() ? QString() : QDir(m_directory).filePath(QStringLiteral("quillora.socket"));
}

QString SingleInstanceGuard::lockPath() const {
    return m_directory.isEmpty() ? QString() : QDir(m_directory).filePath(QStringLiteral("quillora.lock"));
}

bool SingleInstanceGuard::claim() {
    if (m_directory.isEmpty()) {
        debugLog(kTag, QStringLiteral("❌ %1").arg(m_error));
        return false;
    }
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
    if (m_directory.isEmpty())
        return false;
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
