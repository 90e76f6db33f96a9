#include "platform/SingleInstanceGuard.h"

#include "platform/DebugLog.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

const QString kTag = QStringLiteral("SingleInstance");
const QByteArray kRequest = "reopen\n";
const QByteArray kAcknowledgement = "ok\n";
constexpr int kMaximumRequestBytes = 64;
// A launch sends its request as soon as it is connected; a peer silent for this long is not one.
constexpr int kSilenceMs = 3000;
// Held at once; the oldest goes for a newer one.
constexpr size_t kMaximumConnections = 16;
constexpr int kFirstAcceptRetryMs = 100;
constexpr int kLastAcceptRetryMs = 2000;

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

QString lastError() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

// False when the path does not fit a socket address.
bool socketAddress(const QString& path, sockaddr_un& address) {
    const QByteArray encoded = QFile::encodeName(path);
    address = {};
    address.sun_family = AF_UNIX;
    if (encoded.isEmpty() || size_t(encoded.size()) >= sizeof(address.sun_path))
        return false;
    std::memcpy(address.sun_path, encoded.constData(), size_t(encoded.size()));
    return true;
}

bool sendAll(int descriptor, const QByteArray& bytes) {
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(descriptor, bytes.constData() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        sent += n;
    }
    return true;
}

// The first line the other end sends before `deadline`, empty when it sends none.
QByteArray receiveLine(int descriptor, const QDeadlineTimer& deadline) {
    QByteArray answer;
    while (!answer.contains('\n') && answer.size() <= kMaximumRequestBytes) {
        pollfd entry{descriptor, POLLIN, 0};
        const int ready = ::poll(&entry, 1, int(std::max<qint64>(0, deadline.remainingTime())));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return {};
        char buffer[kMaximumRequestBytes];
        const ssize_t n = ::recv(descriptor, buffer, sizeof buffer, 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            return {};
        answer.append(buffer, n);
    }
    return answer;
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
}

SingleInstanceGuard::~SingleInstanceGuard() {
    while (!m_connections.empty())
        closeConnection(m_connections.back().descriptor);
    if (m_listener >= 0) {
        delete m_listenerNotifier;
        ::close(m_listener);
        ::unlink(QFile::encodeName(socketPath()).constData());
    }
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
    if (!listen())
        debugLog(kTag, QStringLiteral("❌ Cannot listen on %1: %2").arg(socketPath(), m_error));
    return true;
}

bool SingleInstanceGuard::listen() {
    if (m_listener >= 0)
        return true;
    sockaddr_un address;
    if (!socketAddress(socketPath(), address)) {
        m_error = QStringLiteral("the path is too long for a socket");
        return false;
    }
    const int descriptor = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (descriptor < 0) {
        m_error = lastError();
        return false;
    }
    // The socket of a crashed instance would refuse our bind; we hold the lock, so it is nobody's.
    ::unlink(address.sun_path);
    if (::bind(descriptor, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::chmod(address.sun_path, 0600) != 0 || ::listen(descriptor, SOMAXCONN) != 0) {
        m_error = lastError();
        ::close(descriptor);
        return false;
    }
    m_listener = descriptor;
    m_listenerNotifier = new QSocketNotifier(descriptor, QSocketNotifier::Read, this);
    connect(m_listenerNotifier, &QSocketNotifier::activated, this, &SingleInstanceGuard::acceptConnections);
    return true;
}

void SingleInstanceGuard::acceptConnections() {
    for (;;) {
        const int descriptor = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (descriptor < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                m_acceptRetryMs = 0;
                return;
            }
            // Out of descriptors or memory: the connection stays queued, and the listener would report it
            // again at once.
            m_acceptRetryMs = m_acceptRetryMs == 0 ? kFirstAcceptRetryMs
                                                   : std::min(2 * m_acceptRetryMs, kLastAcceptRetryMs);
            debugLog(kTag, QStringLiteral("⚠️ Cannot accept a connection (%1); trying again in %2 ms")
                               .arg(lastError())
                               .arg(m_acceptRetryMs));
            m_listenerNotifier->setEnabled(false);
            if (!m_acceptRetry) {
                m_acceptRetry = new QTimer(this);
                m_acceptRetry->setSingleShot(true);
                connect(m_acceptRetry, &QTimer::timeout, this, [this] {
                    m_listenerNotifier->setEnabled(true);
                    acceptConnections();
                });
            }
            m_acceptRetry->start(m_acceptRetryMs);
            return;
        }
        if (m_connections.size() >= kMaximumConnections)
            closeConnection(m_connections.front().descriptor);
        auto* notifier = new QSocketNotifier(descriptor, QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, [this, descriptor] { readFrom(descriptor); });
        m_connections.push_back({descriptor, notifier, {}, QDeadlineTimer(kSilenceMs)});
        armSilenceTimer();
        // A launch has usually sent its request by now: answer it before a newer peer could push it out.
        readFrom(descriptor);
    }
}

void SingleInstanceGuard::armSilenceTimer() {
    if (m_connections.empty()) {
        if (m_silenceTimer)
            m_silenceTimer->stop();
        return;
    }
    if (!m_silenceTimer) {
        m_silenceTimer = new QTimer(this);
        m_silenceTimer->setSingleShot(true);
        connect(m_silenceTimer, &QTimer::timeout, this, &SingleInstanceGuard::dropSilentConnections);
    }
    // The oldest connection is the first to fall silent for too long.
    m_silenceTimer->start(int(std::max<qint64>(0, m_connections.front().deadline.remainingTime())));
}

void SingleInstanceGuard::dropSilentConnections() {
    while (!m_connections.empty() && m_connections.front().deadline.hasExpired())
        closeConnection(m_connections.front().descriptor);
    armSilenceTimer();
}

void SingleInstanceGuard::readFrom(int descriptor) {
    auto it = std::find_if(m_connections.begin(), m_connections.end(),
                           [descriptor](const Connection& c) { return c.descriptor == descriptor; });
    if (it == m_connections.end())
        return;
    char buffer[kMaximumRequestBytes];
    for (;;) {
        const ssize_t n = ::recv(descriptor, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN)
            break;
        if (n <= 0) {
            closeConnection(descriptor);
            return;
        }
        it->received.append(buffer, n);
        if (it->received.contains('\n') || it->received.size() > kMaximumRequestBytes)
            break;
    }
    const qsizetype end = it->received.indexOf('\n');
    if (end < 0) {
        // A sender that never ends its line is not one of ours.
        if (it->received.size() > kMaximumRequestBytes)
            closeConnection(descriptor);
        return;
    }
    const bool reopen = it->received.left(end + 1) == kRequest;
    if (reopen)
        sendAll(descriptor, kAcknowledgement);
    closeConnection(descriptor);
    if (reopen)
        Q_EMIT reopenRequested();
}

void SingleInstanceGuard::closeConnection(int descriptor) {
    auto it = std::find_if(m_connections.begin(), m_connections.end(),
                           [descriptor](const Connection& c) { return c.descriptor == descriptor; });
    if (it == m_connections.end())
        return;
    delete it->notifier;
    ::close(it->descriptor);
    m_connections.erase(it);
    armSilenceTimer();
}

bool SingleInstanceGuard::sendReopenRequest(int timeoutMs) {
    sockaddr_un address;
    if (m_directory.isEmpty() || !socketAddress(socketPath(), address))
        return false;
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        const int descriptor = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (descriptor < 0)
            return false;
        if (::connect(descriptor, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
            const bool acknowledged =
                sendAll(descriptor, kRequest) && receiveLine(descriptor, deadline).startsWith(kAcknowledgement);
            ::close(descriptor);
            return acknowledged;
        }
        ::close(descriptor);
        // The running instance holds the lock but may not listen yet, or its queue is full.
        QThread::msleep(ulong(std::clamp<qint64>(deadline.remainingTime(), 0, 100)));
    }
    return false;
}
