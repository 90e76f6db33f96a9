#include "platform/SettingsFolderLock.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The locks this process holds, by the lock file's device and inode: the descriptor holding each, and
// how many stores share it. One descriptor per file: a second flock of the same file through another
// would be refused.
struct Held {
    int fd = -1;
    int users = 0;
};

// Never destroyed: the standard store, a static too, lets its lock go as the process exits.
std::mutex& heldMutex() {
    static auto* mutex = new std::mutex;
    return *mutex;
}

std::map<std::pair<dev_t, ino_t>, Held>& held() {
    static auto* locks = new std::map<std::pair<dev_t, ino_t>, Held>;
    return *locks;
}

} // namespace

QString SettingsFolderLock::fileName() {
    return QStringLiteral("Quillora.lock");
}

std::shared_ptr<SettingsFolderLock> SettingsFolderLock::take(const QString& folder, bool* heldElsewhere) {
    *heldElsewhere = false;
    const QByteArray path = QFile::encodeName(folder + QLatin1Char('/') + fileName());
    // Not through a link, and not blocking on a FIFO; not handed to a program this one starts, which
    // would hold the lock past our quit.
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        const int error = fd < 0 ? errno : EINVAL;
        if (fd >= 0)
            ::close(fd);
        qWarning("UserDefaults: no lock at %s: %s", path.constData(), std::strerror(error));
        return nullptr;
    }
    std::lock_guard lock(heldMutex());
    Held& entry = held()[{info.st_dev, info.st_ino}];
    if (entry.users > 0) {
        ::close(fd);
    } else if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        entry.fd = fd;
    } else {
        const int error = errno;
        ::close(fd);
        held().erase({info.st_dev, info.st_ino});
        *heldElsewhere = error == EWOULDBLOCK;
        if (!*heldElsewhere)
            qWarning("UserDefaults: no lock at %s: %s", path.constData(), std::strerror(error));
        return nullptr;
    }
    ++entry.users;
    return std::shared_ptr<SettingsFolderLock>(new SettingsFolderLock(info.st_dev, info.st_ino));
}

SettingsFolderLock::~SettingsFolderLock() {
    std::lock_guard lock(heldMutex());
    const auto found = held().find({m_device, m_inode});
    if (found == held().end() || --found->second.users > 0)
        return;
    // Closing it lets the lock go.
    ::close(found->second.fd);
    held().erase(found);
}
