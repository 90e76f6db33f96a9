#include "platform/SingleInstanceGuard.h"

#include "TestUtils.h"

#include <QDir>
#include <QFile>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <atomic>
#include <cstring>
#include <functional>
#include <memory>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace {

// Sets an environment variable for the life of the object (unset when `value` is null).
class ScopedVariable {
public:
    ScopedVariable(const char* name, const QByteArray& value)
        : m_name(name)
        , m_wasSet(qEnvironmentVariableIsSet(name))
        , m_old(qgetenv(name)) {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    ~ScopedVariable() {
        if (m_wasSet)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }

private:
    const char* m_name;
    bool m_wasSet;
    QByteArray m_old;
};

bool makeDirectory(const QString& path, mode_t mode) {
    return ::mkdir(QFile::encodeName(path).constData(), 0700) == 0 &&
           ::chmod(QFile::encodeName(path).constData(), mode) == 0;
}

// Only root can hand a directory to another user; elsewhere those rows are left out.
bool giveAway(const QString& path) {
    return ::geteuid() == 0 && ::chown(QFile::encodeName(path).constData(), 65534, 65534) == 0;
}

sockaddr_un addressOf(const QString& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray encoded = QFile::encodeName(path);
    std::memcpy(address.sun_path, encoded.constData(), std::min(sizeof address.sun_path - 1, size_t(encoded.size())));
    return address;
}

// A connected client socket, -1 when nobody listens at `path`.
int connectTo(const QString& path) {
    const int descriptor = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    const sockaddr_un address = addressOf(path);
    if (::connect(descriptor, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(descriptor);
        return -1;
    }
    return descriptor;
}

// The descriptors this process has open.
int openDescriptors() {
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size());
}

// Whether the other end closed `client`.
bool closedByPeer(int client) {
    char byte;
    return ::recv(client, &byte, 1, MSG_DONTWAIT) == 0;
}

} // namespace

// The lock and socket live where no other user can reach them: the runtime directory when it is this
// user's alone, else a private directory of ours in the temporary directory, else nowhere (no start).
// In every row Qt's own fallback in the temporary directory is unusable.
TEST(SingleInstanceGuardTest, LockAndSocketOnlyInADirectoryOfThisUsersAlone) {
    enum Expected { Runtime, Fallback, Nowhere };
    struct Place {
        QString runtime; // XDG_RUNTIME_DIR; null: unset
        QString fallback;
        bool possible = true;
    };
    const struct {
        const char* name;
        std::function<void(Place&)> prepare;
        Expected expected;
    } cases[] = {
        {"private runtime directory", [](Place& p) { p.possible = makeDirectory(p.runtime, 0700); }, Runtime},
        {"no runtime directory", [](Place& p) { p.runtime = QString(); }, Fallback},
        {"empty runtime directory", [](Place& p) { p.runtime = QStringLiteral(""); }, Fallback},
        {"missing runtime directory", [](Place&) {}, Fallback},
        {"relative runtime directory", [](Place& p) { p.runtime = QStringLiteral("run"); }, Fallback},
        {"runtime directory open to others", [](Place& p) { p.possible = makeDirectory(p.runtime, 0755); },
         Fallback},
        {"runtime directory of another user",
         [](Place& p) { p.possible = makeDirectory(p.runtime, 0700) && giveAway(p.runtime); }, Fallback},
        {"fallback left by an earlier run", [](Place& p) { p.possible = makeDirectory(p.fallback, 0700); },
         Fallback},
        {"fallback open to others", [](Place& p) { p.possible = makeDirectory(p.fallback, 0755); }, Nowhere},
        {"fallback of another user",
         [](Place& p) { p.possible = makeDirectory(p.fallback, 0700) && giveAway(p.fallback); }, Nowhere},
        {"fallback is a link to a private directory",
         [](Place& p) {
             const QString target = p.fallback + QStringLiteral("-target");
             p.possible = makeDirectory(target, 0700) && QFile::link(target, p.fallback);
         },
         Nowhere},
        {"fallback is a file", [](Place& p) { p.possible = QFile(p.fallback).open(QIODevice::WriteOnly); },
         Nowhere},
    };
    const passwd* user = ::getpwuid(::geteuid());
    ASSERT_NE(user, nullptr);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir sandbox;
        ASSERT_TRUE(sandbox.isValid());
        const QString temporary = sandbox.filePath(QStringLiteral("tmp"));
        ASSERT_TRUE(makeDirectory(temporary, 01777));
        // Qt's own fallback, taken by something else.
        ASSERT_TRUE(QFile(QDir(temporary).filePath(QStringLiteral("runtime-") +
                                                   QString::fromLocal8Bit(user->pw_name)))
                        .open(QIODevice::WriteOnly));
        Place place{sandbox.filePath(QStringLiteral("run")),
                    QDir(temporary).filePath(QStringLiteral("quillora-%1").arg(::geteuid()))};
        c.prepare(place);
        if (!place.possible)
            continue;
        const ScopedVariable runtime(
            "XDG_RUNTIME_DIR", place.runtime.isNull() ? QByteArray() : QFile::encodeName(place.runtime));
        const ScopedVariable tmpdir("TMPDIR", QFile::encodeName(temporary));

        SingleInstanceGuard first;
        SingleInstanceGuard second;
        if (c.expected == Nowhere) {
            EXPECT_TRUE(first.directory().isEmpty());
            EXPECT_TRUE(first.lockPath().isEmpty());
            EXPECT_TRUE(first.socketPath().isEmpty());
            EXPECT_TRUE(first.errorString().contains(place.fallback)) << qPrintable(first.errorString());
            EXPECT_FALSE(first.claim());
            EXPECT_FALSE(first.sendReopenRequest(100));
            continue;
        }
        const QString directory = c.expected == Runtime ? place.runtime : place.fallback;
        EXPECT_EQ(first.lockPath(), directory + QStringLiteral("/quillora.lock"));
        EXPECT_EQ(first.socketPath(), directory + QStringLiteral("/quillora.socket"));
        struct stat info {};
        ASSERT_EQ(::lstat(QFile::encodeName(directory).constData(), &info), 0);
        EXPECT_TRUE(S_ISDIR(info.st_mode));
        EXPECT_EQ(info.st_mode & 07777, 0700u);
        EXPECT_EQ(info.st_uid, ::geteuid());
        EXPECT_TRUE(first.claim());
        EXPECT_EQ(second.lockPath(), first.lockPath());
        EXPECT_FALSE(second.claim()) << "one instance at a time";
    }
}

// A second launch hands over to the first, which may have been left a crashed instance's socket; the first
// answers only its own request, however it arrives, and gives the socket up when it ends.
TEST(SingleInstanceGuardTest, SecondLaunchHandsOverToTheRunningInstance) {
    QTemporaryDir runtime;
    ASSERT_TRUE(runtime.isValid());
    {
        // What a crashed instance leaves: a socket file nobody listens on.
        SingleInstanceGuard crashed(runtime.path());
        const int stale = ::socket(AF_UNIX, SOCK_STREAM, 0);
        const sockaddr_un address = addressOf(crashed.socketPath());
        ASSERT_EQ(::bind(stale, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
        ::close(stale);
        ASSERT_EQ(connectTo(crashed.socketPath()), -1);
        EXPECT_FALSE(crashed.sendReopenRequest(300)) << "nobody answers";
    }

    auto first = std::make_unique<SingleInstanceGuard>(runtime.path());
    int reopens = 0;
    QObject::connect(first.get(), &SingleInstanceGuard::reopenRequested, [&reopens] { ++reopens; });
    ASSERT_TRUE(first->claim());
    ASSERT_TRUE(first->isListening());
    const QString socket = first->socketPath();
    struct stat info {};
    ASSERT_EQ(::lstat(QFile::encodeName(socket).constData(), &info), 0);
    EXPECT_TRUE(S_ISSOCK(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    // Another launch blocks while it asks, as it would in its own process.
    SingleInstanceGuard second(runtime.path());
    EXPECT_FALSE(second.claim());
    std::atomic<int> acknowledged = -1;
    std::thread launch([&] { acknowledged = second.sendReopenRequest() ? 1 : 0; });
    EXPECT_TRUE(waitUntil([&] { return acknowledged != -1; }));
    launch.join();
    EXPECT_EQ(acknowledged, 1);
    EXPECT_EQ(reopens, 1);

    // Strangers' words: no answer, no reopen; the connection is closed.
    const struct {
        const char* name;
        std::vector<QByteArray> pieces;
        bool thenStopsSending;
        bool reopens;
    } requests[] = {
        {"the request in two pieces", {"reo", "pen\n"}, false, true},
        {"another line", {"quit\n"}, false, false},
        {"the request with more on its line", {"reopen now\n"}, false, false},
        {"a line that never ends", {QByteArray(100, 'x')}, false, false},
        {"a request cut short", {"reop"}, true, false},
    };
    for (const auto& r : requests) {
        SCOPED_TRACE(r.name);
        reopens = 0;
        const int client = connectTo(socket);
        ASSERT_GE(client, 0);
        for (const QByteArray& piece : r.pieces) {
            ASSERT_EQ(::send(client, piece.constData(), size_t(piece.size()), MSG_NOSIGNAL), piece.size());
            runQueuedWork();
        }
        if (r.thenStopsSending)
            ::shutdown(client, SHUT_WR);
        QByteArray answer;
        bool closed = false;
        EXPECT_TRUE(waitUntil([&] {
            char buffer[16];
            const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
            if (n > 0)
                answer.append(buffer, n);
            closed = n == 0;
            return closed;
        }));
        ::close(client);
        EXPECT_EQ(answer, r.reopens ? QByteArray("ok\n") : QByteArray());
        EXPECT_EQ(reopens, r.reopens ? 1 : 0);
    }

    first.reset();
    EXPECT_FALSE(QFile::exists(socket));
    SingleInstanceGuard next(runtime.path());
    EXPECT_TRUE(next.claim()) << "the lock is free again";
}

// Peers that connect and say nothing, and a process out of descriptors, must neither hold the running
// instance's socket nor keep its event loop busy: a later launch still gets its answer.
TEST(SingleInstanceGuardTest, IdlePeersAndRunningOutOfDescriptorsDoNotStopTheHandOver) {
    QTemporaryDir runtime;
    ASSERT_TRUE(runtime.isValid());
    SingleInstanceGuard guard(runtime.path());
    ASSERT_TRUE(guard.claim());
    int reopens = 0;
    QObject::connect(&guard, &SingleInstanceGuard::reopenRequested, [&reopens] { ++reopens; });
    auto handOver = [&guard] {
        SingleInstanceGuard launch(guard.directory());
        std::atomic<int> acknowledged = -1;
        std::thread thread([&] { acknowledged = launch.sendReopenRequest(20000) ? 1 : 0; });
        waitUntil([&] { return acknowledged != -1; }, 25000);
        thread.join();
        return acknowledged == 1;
    };

    // A few silent peers, fewer than are held: nothing newer pushes them out, their silence does.
    std::vector<int> few;
    for (int i = 0; i < 3; ++i) {
        few.push_back(connectTo(guard.socketPath()));
        ASSERT_GE(few.back(), 0);
    }
    EXPECT_TRUE(waitUntil([&] { return std::all_of(few.begin(), few.end(), closedByPeer); }, 20000))
        << "a few silent peers are dropped";
    for (int client : few)
        ::close(client);

    // Many silent peers, one with half a request: only a few are held at a time, each for a few seconds.
    const int before = openDescriptors();
    std::vector<int> idle;
    for (int i = 0; i < 200; ++i) {
        idle.push_back(connectTo(guard.socketPath()));
        ASSERT_GE(idle.back(), 0);
    }
    ASSERT_EQ(::send(idle.front(), "reo", 3, MSG_NOSIGNAL), 3);
    runQueuedWork(100);
    EXPECT_LE(openDescriptors() - before - int(idle.size()), 32) << "held connections are capped";
    EXPECT_TRUE(handOver()) << "a launch among silent peers";
    EXPECT_EQ(reopens, 1);
    EXPECT_TRUE(waitUntil([&] { return std::all_of(idle.begin(), idle.end(), closedByPeer); }, 20000))
        << "silent peers are dropped";
    for (int client : idle)
        ::close(client);

    // Out of descriptors: connections wait in the queue; the listener neither spins nor gives up.
    auto* listener = [&]() -> QSocketNotifier* {
        for (QSocketNotifier* notifier : guard.findChildren<QSocketNotifier*>()) {
            int listening = 0;
            socklen_t size = sizeof listening;
            if (::getsockopt(int(notifier->socket()), SOL_SOCKET, SO_ACCEPTCONN, &listening, &size) == 0 &&
                listening)
                return notifier;
        }
        return nullptr;
    }();
    ASSERT_NE(listener, nullptr);
    int wakeUps = 0;
    QObject::connect(listener, &QSocketNotifier::activated, [&wakeUps] { ++wakeUps; });
    rlimit limit{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &limit), 0);
    int highest = 0;
    for (const QString& entry : QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System))
        highest = std::max(highest, entry.toInt());
    const rlimit lowered{rlim_t(highest + 64), limit.rlim_max};
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &lowered), 0);
    std::vector<int> waiting;
    for (int client; (client = connectTo(guard.socketPath())) >= 0;)
        waiting.push_back(client);
    ASSERT_FALSE(waiting.empty());
    runQueuedWork(1000);
    EXPECT_LT(wakeUps, 20) << "the event loop is not kept busy";
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &limit), 0);
    for (int client : waiting)
        ::close(client);
    EXPECT_TRUE(handOver()) << "descriptors free again";
    EXPECT_EQ(reopens, 2);
}
