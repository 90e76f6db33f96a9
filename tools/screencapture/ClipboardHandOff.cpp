#include "ClipboardHandOff.h"

#include "ClipboardServer.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

// Generous: the server only has to connect to the display and take the selection.
constexpr int serverStartTimeoutMs = 10000;

} // namespace

ClipboardHandOff::ClipboardHandOff(QObject* parent)
    : QObject(parent) {
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, &ClipboardHandOff::fail);
}

ClipboardHandOff::~ClipboardHandOff() {
    closeImagePipe();
    closeAnswerPipe();
}

void ClipboardHandOff::start(const QByteArray& png) {
    m_png = png;
    int imagePipe[2];
    int answerPipe[2];
    if (pipe2(imagePipe, O_CLOEXEC) != 0) {
        fail();
        return;
    }
    if (pipe2(answerPipe, O_CLOEXEC) != 0) {
        ::close(imagePipe[0]);
        ::close(imagePipe[1]);
        fail();
        return;
    }

    // The server gets the image on stdin and answers on stdout; stderr goes nowhere, so it never holds
    // on to a pipe of whoever started this tool.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, imagePipe[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, answerPipe[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addchdir_np(&actions, "/");

    // Its own session: a terminal's Ctrl+C or hang-up for this tool must not take the clipboard away.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t noSignals;
    sigemptyset(&noSignals);
    sigset_t defaultSignals;
    sigemptyset(&defaultSignals);
    sigaddset(&defaultSignals, SIGPIPE);
    posix_spawnattr_setsigmask(&attributes, &noSignals);
    posix_spawnattr_setsigdefault(&attributes, &defaultSignals);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    const QByteArray program = QCoreApplication::applicationFilePath().toLocal8Bit();
    std::vector<char*> argv{const_cast<char*>(program.constData()), nullptr};
    std::vector<QByteArray> environment;
    for (char** e = environ; *e; ++e) {
        if (qstrncmp(*e, ClipboardServer::roleVariable, qstrlen(ClipboardServer::roleVariable)) != 0)
            environment.emplace_back(*e);
    }
    environment.push_back(QByteArray(ClipboardServer::roleVariable) + '=' + ClipboardServer::serverRole);
    std::vector<char*> envp;
    for (QByteArray& entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);

    const int spawned =
        posix_spawn(&m_server, program.constData(), &actions, &attributes, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(imagePipe[0]);
    ::close(answerPipe[1]);
    m_imageFd = imagePipe[1];
    m_answerFd = answerPipe[0];
    if (spawned != 0) {
        m_server = -1;
        fail();
        return;
    }

    // A server that dies early must not kill us with SIGPIPE; write() then reports EPIPE instead.
    std::signal(SIGPIPE, SIG_IGN);
    fcntl(m_imageFd, F_SETFL, fcntl(m_imageFd, F_GETFL) | O_NONBLOCK);
    m_writeNotifier = new QSocketNotifier(m_imageFd, QSocketNotifier::Write, this);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &ClipboardHandOff::writeSome);
    m_readNotifier = new QSocketNotifier(m_answerFd, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &ClipboardHandOff::readAnswer);
    m_deadline.start(serverStartTimeoutMs);
}

void ClipboardHandOff::writeSome() {
    while (m_written < m_png.size()) {
        const ssize_t n = ::write(m_imageFd, m_png.constData() + m_written, size_t(m_png.size() - m_written));
        if (n > 0) {
            m_written += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        fail();
        return;
    }
    // End of file tells the server the image is complete.
    closeImagePipe();
}

void ClipboardHandOff::readAnswer() {
    char answer = 0;
    ssize_t n;
    do {
        n = ::read(m_answerFd, &answer, 1);
    } while (n < 0 && errno == EINTR);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
        return;
    // Anything but the ready byte (including end of file: the server exited) is a failure.
    if (n == 1 && answer == ClipboardServer::readyByte)
        done(true);
    else
        fail();
}

void ClipboardHandOff::fail() {
    if (m_server > 0 && !m_finished)
        ::kill(m_server, SIGTERM);
    done(false);
}

void ClipboardHandOff::done(bool owned) {
    if (m_finished)
        return;
    m_finished = true;
    m_deadline.stop();
    closeImagePipe();
    closeAnswerPipe();
    Q_EMIT finished(owned);
}

void ClipboardHandOff::closeImagePipe() {
    if (m_writeNotifier) {
        // May run inside the notifier's own signal.
        m_writeNotifier->setEnabled(false);
        m_writeNotifier->deleteLater();
        m_writeNotifier = nullptr;
    }
    if (m_imageFd >= 0)
        ::close(m_imageFd);
    m_imageFd = -1;
}

void ClipboardHandOff::closeAnswerPipe() {
    if (m_readNotifier) {
        m_readNotifier->setEnabled(false);
        m_readNotifier->deleteLater();
        m_readNotifier = nullptr;
    }
    if (m_answerFd >= 0)
        ::close(m_answerFd);
    m_answerFd = -1;
}
