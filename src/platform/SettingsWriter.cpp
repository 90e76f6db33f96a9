#include "platform/SettingsWriter.h"

#include "platform/IniFormat.h"
#include "platform/UserDefaults.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QUrl>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray kJournalMagic = QByteArrayLiteral("quillora-journal");
const QString kValueSuffix = QStringLiteral(".txt");
const QString kJournalSuffix = QStringLiteral(".journal");
// A journal is folded into its file beyond this many splices (each makes reading a little slower) or
// beyond an eighth of the file's size.
constexpr int kMaxJournalRecords = 512;
constexpr qsizetype kMinJournalLimit = 64 * 1024;

// A journal's first line names the file it applies to by what that file holds, so that the journal
// follows the folder wherever it is copied; a file renamed in over it holds something else.
QByteArray journalHeader(QByteArrayView base) {
    return kJournalMagic + " 2 " + QByteArray::number(base.size()) + ' ' +
           QCryptographicHash::hash(base, QCryptographicHash::Sha1).toHex() + '\n';
}

// When a file and its journal were last written, and where the file is: what names the file for a
// journal of the older form.
struct Stamps {
    ino_t fileInode;
    timespec fileModified;
    timespec journalModified;
};

bool newerThan(const timespec& a, const timespec& b) {
    return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec > b.tv_nsec;
}

// Whether a journal's first line (without its end) names `base`. An earlier version named the file by
// its inode and size, which a file renamed in over it (a rewrite, then a crash before the journal went)
// may have too: it is taken only at its inode or, in a copy of the folder (other inodes, the times kept),
// no newer than the journal, which that rewrite is. Without `stamps`, never.
bool journalNames(QByteArrayView header, QByteArrayView base, bool* older, const Stamps* stamps = nullptr) {
    const QList<QByteArray> fields = header.toByteArray().split(' ');
    *older = fields.size() == 3;
    bool ok = false;
    if (fields[0] != kJournalMagic)
        return false;
    if (*older) {
        const qulonglong inode = fields[1].toULongLong(&ok);
        return ok && inode > 0 && fields[2].toLongLong(&ok) == base.size() && ok && stamps &&
               (inode == stamps->fileInode || !newerThan(stamps->fileModified, stamps->journalModified));
    }
    // The digest is taken only of a file of the size named.
    return fields.size() == 4 && fields[1] == "2" && fields[2].toLongLong(&ok) == base.size() && ok &&
           journalHeader(base).chopped(1) == header;
}

// A file descriptor closed with its owner.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() { reset(); }
    void reset(int fd = -1) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }

private:
    int m_fd;
};

// The values folder, opened as itself: a link there, to a folder anywhere, is refused, so
// that nothing is read, written or changed through it. Sets errno when it fails, ELOOP for a link.
int openFolder(const QString& path) {
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    // A link to a folder is told as a link, not as no folder.
    struct stat info {};
    if (fd < 0 && errno == ENOTDIR && ::lstat(QFile::encodeName(path).constData(), &info) == 0 &&
        S_ISLNK(info.st_mode))
        errno = ELOOP;
    return fd;
}

// A file that could not be written, logged; gives the reason back.
int logFailure(const QString& path, int error) {
    qWarning("UserDefaults: cannot write %s: %s", qPrintable(path), std::strerror(error));
    return error;
}

// The file a path names, its links followed (one that points at nothing names where the file is to be
// made); `linked` tells whether there was one. Nothing, with errno set, when the links go round.
std::optional<QByteArray> followLinks(QByteArray path, bool* linked) {
    *linked = false;
    for (int hops = 0; hops < 40; ++hops) {
        char target[PATH_MAX];
        const ssize_t length = ::readlink(path.constData(), target, sizeof target);
        if (length < 0)
            return errno == EINVAL || errno == ENOENT ? std::optional<QByteArray>(path) : std::nullopt;
        if (length == ssize_t(sizeof target)) {
            errno = ENAMETOOLONG;
            return std::nullopt;
        }
        const QByteArray link(target, length);
        const qsizetype slash = path.lastIndexOf('/');
        path = link.startsWith('/') || slash < 0 ? link : path.first(slash + 1) + link;
        *linked = true;
    }
    errno = ELOOP;
    return std::nullopt;
}

std::atomic<SettingsWriter::WriteFunction> g_write = nullptr;

bool writeAll(int fd, QByteArrayView bytes, off_t offset) {
    const SettingsWriter::WriteFunction write = g_write.load();
    while (!bytes.isEmpty()) {
        const ssize_t written = write ? write(fd, bytes.data(), size_t(bytes.size()), offset)
                                      : ::pwrite(fd, bytes.data(), size_t(bytes.size()), offset);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            if (written == 0)
                errno = EIO;
            return false;
        }
        bytes = bytes.sliced(written);
        offset += written;
    }
    return true;
}

// A file being written is "<file>.quillora-temp-<random>", locked while it is, so that one found unlocked
// was left by a writer that died (kill -9 in a rewrite of a long history): its text is the user's, and
// no one else would remove it.
const QByteArray kTempMark = QByteArrayLiteral(".quillora-temp-");

// Locks a file just made for writing; false when a start clearing what dead writers left took it first
// (and removed it). A file system without locks leaves it unlocked, where nothing is cleared either.
bool holdTemp(int fd) {
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK)
        return false;
    struct stat info {};
    return ::fstat(fd, &info) == 0 && info.st_nlink > 0;
}

bool isLowerAlphanumeric(QByteArrayView text) {
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z');
    });
}

// Removes from the folder `dir` the files a writer that died left: those named by kTempMark after a
// name `ours` takes and, where `olderNames`, "<name>.<six letters or digits>" as an earlier version named
// them. One still locked is being written by another process.
void removeLeftoversIn(int dir, const std::function<bool(const QByteArray&)>& ours, bool olderNames) {
    // A description of its own, so that reading the folder moves nothing of `dir`'s.
    const int listed = ::openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* folder = listed >= 0 ? ::fdopendir(listed) : nullptr;
    if (!folder) {
        if (listed >= 0)
            ::close(listed);
        return;
    }
    std::vector<QByteArray> names;
    while (const dirent* entry = ::readdir(folder)) {
        const QByteArray name(entry->d_name);
        const qsizetype mark = name.lastIndexOf(kTempMark);
        const qsizetype dot = name.lastIndexOf('.');
        const bool temp = mark > 0 && isLowerAlphanumeric(name.sliced(mark + kTempMark.size()));
        const bool older =
            olderNames && dot > 0 && name.size() - dot == 7 && isLowerAlphanumeric(name.sliced(dot + 1));
        if ((temp && ours(name.first(mark))) || (older && ours(name.first(dot))))
            names.push_back(name);
    }
    ::closedir(folder);
    for (const QByteArray& name : names) {
        const Descriptor fd(::openat(dir, name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat info {};
        struct stat there {};
        if (!fd.valid() || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
            ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
            continue;
        // Still the file locked: the name of one renamed into place is gone.
        if (::fstatat(dir, name.constData(), &there, AT_SYMLINK_NOFOLLOW) == 0 &&
            there.st_ino == info.st_ino && there.st_dev == info.st_dev &&
            ::unlinkat(dir, name.constData(), 0) == 0)
            qWarning("UserDefaults: removed %s, left by a write that never finished", name.constData());
    }
}

// Replaces the file `name` of the folder `dir` (or the path `name`, with AT_FDCWD) once the new bytes
// are on the disk whole: a full disk may tell only at the flush or the sync, and the old file must then
// stay. The new file is the user's alone, or has the old one's mode when `keepMode`. Nothing when it
// worked, else the reason (an errno value).
std::optional<int> replaceFile(int dir, const QByteArray& name, const QByteArray& bytes,
                               bool keepMode = false) {
    const QString path = QFile::decodeName(name);
    struct stat old {};
    keepMode = keepMode && ::fstatat(dir, name.constData(), &old, 0) == 0 && S_ISREG(old.st_mode);
    QByteArray temp;
    int fd = -1;
    for (int tries = 0; fd < 0 && tries < 100; ++tries) {
        temp = name + kTempMark + QByteArray::number(QRandomGenerator::global()->generate64(), 36);
        fd = ::openat(dir, temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST)
            break;
        if (fd >= 0 && !holdTemp(fd)) {
            ::close(fd);
            fd = -1;
        }
    }
    if (fd < 0)
        return logFailure(path, errno);
    struct stat info {};
    bool ok = (!keepMode || ::fchmod(fd, old.st_mode & 07777) == 0) && writeAll(fd, bytes, 0) &&
              ::fsync(fd) == 0 && ::fstat(fd, &info) == 0;
    int error = errno;
    if (ok && info.st_size != bytes.size()) {
        ok = false;
        error = EIO;
    }
    if (ok && ::renameat(dir, temp.constData(), dir, name.constData()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok)
        ::unlinkat(dir, temp.constData(), 0);
    // Closed, and so let go, only once its name is gone; what it holds is on the disk already.
    ::close(fd);
    if (ok)
        return std::nullopt;
    return logFailure(path, error);
}

// Appends to a journal known to hold `size` bytes (none: it is begun afresh, where nothing is). A
// journal that is not the one counted (removed or replaced by someone else) is not appended to, nor
// one with a second name, and a link there is not followed out of the folder. A failed append leaves
// the journal as it was, so that the next change is a small append again rather than a rewrite the disk
// may have no room for.
bool appendJournal(int dir, const QByteArray& name, qsizetype size, const QByteArray& record) {
    const int fd = ::openat(dir, name.constData(),
                            O_WRONLY | O_CLOEXEC | O_NOFOLLOW | (size == 0 ? O_CREAT | O_EXCL : 0), 0600);
    if (fd < 0)
        return false;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_nlink != 1 || info.st_size != size) {
        ::close(fd);
        return false;
    }
    // A disk may take less than it says it did, which only the size after the sync tells.
    bool ok = writeAll(fd, record, off_t(size)) && ::fdatasync(fd) == 0 && ::fstat(fd, &info) == 0 &&
              info.st_size == size + record.size();
    if (!ok) {
        // A part of the record would read as a cut.
        if (size == 0) {
            ::unlinkat(dir, name.constData(), 0);
        } else {
            [[maybe_unused]] const int cut = ::ftruncate(fd, off_t(size));
        }
    }
    return ::close(fd) == 0 && ok;
}

std::atomic<SettingsWriter::ReadFunction> g_read = nullptr;

// Reads an open file whole. Only a regular file is read, and only whole: a read that
// fails partway (a failing disk, a network file system) or ends short of the size the file had when
// opened gives nothing, not the part read. Sets errno when it fails; `stat` tells what was read.
std::optional<QByteArray> readOpened(int fd, struct stat* stat = nullptr) {
    const SettingsWriter::ReadFunction read = g_read.load();
    struct stat own {};
    struct stat& info = stat ? *stat : own;
    std::optional<QByteArray> bytes;
    if (::fstat(fd, &info) != 0) {
    } else if (!S_ISREG(info.st_mode)) {
        errno = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
    } else {
        QByteArray buffer(qsizetype(info.st_size) + 1, Qt::Uninitialized);
        qsizetype length = 0;
        for (;;) {
            if (length == buffer.size())
                buffer.resize(buffer.size() * 2);
            const ssize_t got = read ? read(fd, buffer.data() + length, size_t(buffer.size() - length))
                                     : ::read(fd, buffer.data() + length, size_t(buffer.size() - length));
            if (got < 0 && errno == EINTR)
                continue;
            if (got == 0 && length < qsizetype(info.st_size)) {
                errno = EIO;
            } else if (got == 0) {
                buffer.truncate(length);
                bytes = std::move(buffer);
            }
            if (got <= 0)
                break;
            length += got;
        }
    }
    const int error = errno;
    ::close(fd);
    errno = error;
    return bytes;
}

// Reads a file of the values folder whole; a link is not followed.
std::optional<QByteArray> readPrivateFile(int dir, const QByteArray& name, struct stat* stat = nullptr) {
    const int fd = ::openat(dir, name.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return std::nullopt;
    return readOpened(fd, stat);
}

struct Edit {
    qsizetype offset;
    qsizetype removed;
    QByteArrayView inserted;
};

// Where `tail` begins with what `text` ends with, from some point on: that point, when what they share
// is most of `text`. Looks at a few places only, those where the start of `tail` is found in `text`.
std::optional<qsizetype> overlapStart(QByteArrayView text, QByteArrayView tail) {
    constexpr qsizetype kAnchor = 256;
    constexpr int kTries = 8;
    if (tail.size() < kAnchor)
        return std::nullopt;
    const QByteArrayView anchor = tail.first(kAnchor);
    qsizetype at = 0;
    for (int tries = 0; tries < kTries; ++tries) {
        at = text.indexOf(anchor, at + 1);
        if (at < 0 || text.size() - at < text.size() / 2)
            return std::nullopt;
        const qsizetype shared = text.size() - at;
        if (shared <= tail.size() && text.sliced(at) == tail.first(shared))
            return at;
    }
    return std::nullopt;
}

// The splices that make `after` of `before`: the span between what they begin and end with alike, or,
// when that span is long, an insertion at one end of it and a removal at the other, as a list that
// gains a record at its head and drops one at its tail is changed.
std::vector<Edit> editsBetween(QByteArrayView before, QByteArrayView after) {
    const qsizetype shorter = std::min(before.size(), after.size());
    const qsizetype prefix =
        std::mismatch(before.begin(), before.begin() + shorter, after.begin()).first - before.begin();
    qsizetype suffix = 0;
    while (suffix < shorter - prefix &&
           before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
        ++suffix;
    const QByteArrayView removed = before.sliced(prefix, before.size() - prefix - suffix);
    const QByteArrayView inserted = after.sliced(prefix, after.size() - prefix - suffix);
    // The insertion goes first: a journal cut between the two keeps both old and new records.
    if (const auto head = overlapStart(inserted, removed)) {
        const qsizetype kept = inserted.size() - *head;
        return {{prefix, 0, inserted.first(*head)},
                {prefix + *head + kept, removed.size() - kept, {}}};
    }
    if (const auto head = overlapStart(removed, inserted)) {
        const qsizetype kept = removed.size() - *head;
        return {{prefix + removed.size(), 0, inserted.sliced(kept)}, {prefix, *head, {}}};
    }
    return {{prefix, removed.size(), inserted}};
}

// Made if missing; something already there is taken only if it is a folder itself.
int openPrivateFolder(const QString& path) {
    if (::mkdir(QFile::encodeName(path).constData(), 0700) != 0 && errno != EEXIST)
        return -1;
    return openFolder(path);
}

struct Piece {
    bool fromBase;
    qsizetype start;
    qsizetype length;
};

// Replaces `removed` bytes at `offset` with `insert` in a list of pieces, so that many splices cost
// no copy of the whole text each.
void splice(std::vector<Piece>& pieces, qsizetype offset, qsizetype removed, const Piece& insert) {
    size_t index = 0;
    qsizetype at = 0;
    while (index < pieces.size() && at + pieces[index].length <= offset) {
        at += pieces[index].length;
        ++index;
    }
    if (index < pieces.size() && offset > at) {
        Piece& piece = pieces[index];
        const qsizetype head = offset - at;
        const Piece tail{piece.fromBase, piece.start + head, piece.length - head};
        piece.length = head;
        pieces.insert(pieces.begin() + qsizetype(++index), tail);
    }
    while (removed > 0 && index < pieces.size()) {
        Piece& piece = pieces[index];
        if (piece.length <= removed) {
            removed -= piece.length;
            pieces.erase(pieces.begin() + qsizetype(index));
        } else {
            piece.start += removed;
            piece.length -= removed;
            removed = 0;
        }
    }
    if (insert.length > 0)
        pieces.insert(pieces.begin() + qsizetype(index), insert);
}

} // namespace

SettingsWriter::SettingsWriter(QString iniPath, QString valuesDir, Outcome outcome)
    : m_iniPath(std::move(iniPath))
    , m_valuesDir(std::move(valuesDir))
    , m_outcome(std::move(outcome))
    , m_thread([this] { run(); }) {}

SettingsWriter::~SettingsWriter() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void SettingsWriter::setIniOnDisk(const QByteArray& bytes) {
    {
        std::lock_guard lock(m_mutex);
        m_pending.iniOnDisk = bytes;
    }
    // Pending until the writer takes it, which a wait for writes waits for.
    m_wake.notify_all();
}

void SettingsWriter::writeIni(const QMap<QString, QVariant>& values) {
    {
        std::lock_guard lock(m_mutex);
        m_pending.ini = values;
    }
    m_wake.notify_all();
}

void SettingsWriter::writeValue(const QString& key, std::shared_ptr<LazyText> text) {
    {
        std::lock_guard lock(m_mutex);
        m_pending.values.insert(key, std::move(text));
    }
    m_wake.notify_all();
}

void SettingsWriter::waitForWrites() {
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return m_pending.isEmpty() && !m_busy; });
}

void SettingsWriter::run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || !m_pending.isEmpty(); });
        if (m_pending.isEmpty() && m_stop)
            break;
        Pending job = std::exchange(m_pending, Pending{});
        m_busy = true;
        lock.unlock();
        write(job);
        job = Pending{};
        lock.lock();
        m_busy = false;
        if (m_pending.isEmpty())
            m_idle.notify_all();
    }
    lock.unlock();
    if (!m_failed.isEmpty()) {
        Pending last;
        write(last);
    }
}

void SettingsWriter::write(Pending& job) {
    if (job.leftovers)
        removeLeftoversNow();
    if (job.iniOnDisk)
        m_iniOnDisk = *job.iniOnDisk;
    // What this writer knows of a file from writing it is newer than what a reader saw.
    for (auto it = job.known.begin(); it != job.known.end(); ++it) {
        if (m_onDisk.contains(it.key()))
            continue;
        OnDisk& disk = *m_onDisk.insert(it.key(), it.value());
        // Read at the start, long before a change comes that would wait for the digest of a long file.
        if (disk.journalBytes == 0)
            disk.nextHeader = journalHeader(disk.bytes);
    }
    // What failed before goes with this round, under anything newer.
    Pending failed = std::exchange(m_failed, Pending{});
    if (!job.ini)
        job.ini = std::move(failed.ini);
    for (auto it = failed.values.cbegin(); it != failed.values.cend(); ++it) {
        if (!job.values.contains(it.key()))
            job.values.insert(it.key(), it.value());
    }
    m_results.clear();
    m_notices.clear();

    // A value leaving the INI file is in its own file first; one coming back is in the INI file before
    // its own file goes. A crash between the two leaves it in both places, where its own file counts.
    Descriptor folder;
    if (!job.values.isEmpty()) {
        folder.reset(openPrivateFolder(m_valuesDir));
        if (!folder.valid()) {
            const int error = logFailure(m_valuesDir, errno);
            for (auto it = job.values.cbegin(); it != job.values.cend(); ++it)
                m_results.insert(fileNameOf(it.key()), error);
        }
    }
    m_folder = folder.get();
    QList<Written> written;
    for (auto it = job.values.cbegin(); it != job.values.cend(); ++it) {
        if (!it.value())
            continue;
        const bool saved = folder.valid() && writeOne(it.key(), it.value());
        if (!saved)
            m_failed.values.insert(it.key(), it.value());
        else
            m_results.insert(fileNameOf(it.key()), 0);
        written.append({it.key(), it.value(), saved});
    }
    if (job.ini) {
        const QByteArray bytes = IniFormat::encode(*job.ini);
        const QString iniName = QFileInfo(m_iniPath).fileName();
        m_results.insert(iniName, 0);
        if (bytes != m_iniOnDisk) {
            // A link the user keeps there (a folder of dotfiles) stays, and what it points to is replaced.
            bool linked = false;
            const auto target = followLinks(QFile::encodeName(m_iniPath), &linked);
            if (auto error = target ? replaceFile(AT_FDCWD, *target, bytes, linked)
                                    : std::optional<int>(logFailure(m_iniPath, errno))) {
                m_results.insert(iniName, *error);
                m_failed.ini = std::move(job.ini);
            } else {
                m_iniOnDisk = bytes;
            }
        }
    }
    for (auto it = job.values.cbegin(); it != job.values.cend(); ++it) {
        if (it.value())
            continue;
        if (folder.valid() && removeValue(it.key()))
            m_results.insert(fileNameOf(it.key()), 0);
        else
            m_failed.values.insert(it.key(), nullptr);
    }
    m_folder = -1;
    // Each failure, and a success only of a file that failed before.
    QHash<QString, int> told;
    for (auto it = m_results.cbegin(); it != m_results.cend(); ++it) {
        if (it.value() != 0) {
            m_failing.insert(it.key());
            told.insert(it.key(), it.value());
        } else if (m_failing.remove(it.key())) {
            told.insert(it.key(), 0);
        }
    }
    if (m_outcome && (!told.isEmpty() || !written.isEmpty() || !m_notices.isEmpty()))
        m_outcome(told, written, m_notices);
}

bool SettingsWriter::writeOne(const QString& key, const std::shared_ptr<LazyText>& text) {
    const QByteArray name = QFile::encodeName(fileNameOf(key));
    auto found = m_onDisk.find(key);
    struct stat info {};
    if (found == m_onDisk.end() && ::fstatat(m_folder, name.constData(), &info, AT_SYMLINK_NOFOLLOW) == 0) {
        // Set before anyone read it: what is there tells whether a journal entry does.
        if (auto disk = read(m_folder, name))
            found = m_onDisk.insert(key, *disk);
    }
    if (found == m_onDisk.end())
        return rewrite(key, text->utf8(), text);
    OnDisk& disk = *found;
    // A text spliced from the one on the disk is written as its changes, without making it whole.
    const auto splices =
        text->splicesSince(disk.text.get(), disk.unmade ? nullptr : &disk.bytes, kMaxJournalRecords);
    QByteArray bytes;
    std::vector<Edit> edits;
    if (splices) {
        for (const LazyText::Splice& splice : *splices)
            edits.push_back({splice.offset, splice.removed, splice.inserted});
    } else {
        bytes = text->utf8();
        const QByteArray& before = contentOf(disk);
        if (before != bytes)
            edits = editsBetween(before, bytes);
    }
    if (edits.empty())
        return true;
    // Without a journal, the file holds what the store last read or wrote.
    QByteArray header;
    if (disk.journalBytes == 0)
        header = disk.nextHeader.isEmpty() ? journalHeader(contentOf(disk)) : disk.nextHeader;
    QByteArray record = header;
    for (const Edit& edit : edits) {
        record += QByteArray::number(edit.offset) + ' ' + QByteArray::number(edit.removed) + ' ' +
                  QByteArray::number(edit.inserted.size()) + '\n';
        record += edit.inserted;
        record += '\n';
    }
    const qsizetype limit = std::max(kMinJournalLimit, disk.baseSize / 8);
    const QByteArray journal = name + QFile::encodeName(kJournalSuffix);
    if (!disk.appendable || disk.journalRecords >= kMaxJournalRecords ||
        disk.journalBytes + record.size() > limit)
        return rewrite(key, splices ? text->utf8() : bytes, text);
    if (disk.journalBytes == 0)
        clearJournal(journal);
    if (!appendJournal(m_folder, journal, disk.journalBytes, record))
        return rewrite(key, splices ? text->utf8() : bytes, text);
    if (disk.journalBytes == 0)
        disk.journalHeader = header.chopped(1);
    disk.bytes = bytes;
    disk.unmade = bool(splices);
    disk.text = text;
    disk.nextHeader.clear();
    disk.journalBytes += record.size();
    disk.journalRecords += int(edits.size());
    return true;
}

void SettingsWriter::removeLeftovers() {
    {
        std::lock_guard lock(m_mutex);
        m_pending.leftovers = true;
    }
    m_wake.notify_all();
}

void SettingsWriter::removeLeftoversNow() {
    // The values folder is the store's own: an earlier version's names are taken there too.
    if (const Descriptor values(openFolder(m_valuesDir)); values.valid()) {
        const auto isValueFile = [](const QByteArray& name) {
            return keyOfFileName(QFile::decodeName(name)).has_value();
        };
        removeLeftoversIn(values.get(), isValueFile, true);
    }
    // Beside the settings file, or the file its link points to, the user may keep copies of it under any
    // name: only a name no copy would have is taken there.
    bool linked = false;
    const auto target = followLinks(QFile::encodeName(m_iniPath), &linked);
    if (!target)
        return;
    const qsizetype slash = target->lastIndexOf('/');
    const QByteArray file = target->sliced(slash + 1);
    const QByteArray path = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : target->first(slash);
    const Descriptor folder(::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.valid())
        removeLeftoversIn(folder.get(), [&](const QByteArray& name) { return name == file; }, false);
}

const QByteArray& SettingsWriter::contentOf(OnDisk& disk) {
    if (disk.unmade) {
        disk.bytes = disk.text->utf8();
        disk.unmade = false;
    }
    return disk.bytes;
}

bool SettingsWriter::rewrite(const QString& key, const QByteArray& bytes, std::shared_ptr<LazyText> text) {
    const QByteArray name = QFile::encodeName(fileNameOf(key));
    const QByteArray journal = name + QFile::encodeName(kJournalSuffix);
    const auto known = m_onDisk.constFind(key);
    const QByteArray applied = known != m_onDisk.cend() ? known->journalHeader : QByteArray();
    bool older = false;
    // The journal applied belongs to the file about to be replaced, which its first line tells even if
    // its removal after never happens; one that would name the new file too goes first. One not applied
    // is kept aside before the new file could be taken for its own.
    if (applied.isEmpty())
        clearJournal(journal);
    else if (journalNames(applied, bytes, &older))
        ::unlinkat(m_folder, journal.constData(), 0);
    if (auto error = replaceFile(m_folder, name, bytes)) {
        m_results.insert(fileNameOf(key), *error);
        // What is on disk is read again before the next change.
        m_onDisk.remove(key);
        return false;
    }
    if (!applied.isEmpty())
        ::unlinkat(m_folder, journal.constData(), 0);
    // The next change, often a small one the user waits for, begins a journal naming this file.
    m_onDisk.insert(key, OnDisk{bytes, bytes.size(), 0, 0, true, {}, std::move(text), false, journalHeader(bytes)});
    return true;
}

void SettingsWriter::clearJournal(const QByteArray& name) {
    struct stat info {};
    if (::fstatat(m_folder, name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return;
    // Nothing a journal could hold.
    if (!S_ISREG(info.st_mode) || info.st_size == 0) {
        ::unlinkat(m_folder, name.constData(), 0);
        return;
    }
    const QByteArray stamp =
        QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddhhmmss")).toLatin1();
    for (int n = 1; n < 100; ++n) {
        const QByteArray aside =
            name + ".unapplied-" + stamp + (n > 1 ? '-' + QByteArray::number(n) : QByteArray());
        // Never over one kept before.
        int moved = ::renameat2(m_folder, name.constData(), m_folder, aside.constData(), RENAME_NOREPLACE);
        if (moved != 0 && errno == EINVAL && ::fstatat(m_folder, aside.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0)
            moved = ::renameat(m_folder, name.constData(), m_folder, aside.constData());
        if (moved == 0) {
            qWarning("UserDefaults: %s/%s could not be applied; kept it as %s", qPrintable(m_valuesDir),
                     name.constData(), aside.constData());
            m_notices << keptAside(QFile::decodeName(name));
            return;
        }
        if (errno != EEXIST)
            break;
    }
    // Left where it is: the file begun after it is not the one it names.
    qWarning("UserDefaults: %s/%s could not be applied nor kept aside: %s", qPrintable(m_valuesDir),
             name.constData(), std::strerror(errno));
}

bool SettingsWriter::removeValue(const QString& key) {
    // Whether the journal there was applied, read now if nobody read the value.
    const QByteArray name = QFile::encodeName(fileNameOf(key));
    auto known = m_onDisk.constFind(key);
    std::optional<OnDisk> found;
    if (known == m_onDisk.cend())
        found = read(m_folder, name);
    const bool applied = known != m_onDisk.cend() ? !known->journalHeader.isEmpty()
                                                  : found && !found->journalHeader.isEmpty();
    m_onDisk.remove(key);
    if (::unlinkat(m_folder, name.constData(), 0) != 0 && errno != ENOENT) {
        m_results.insert(fileNameOf(key),
                         logFailure(m_valuesDir + QLatin1Char('/') + fileNameOf(key), errno));
        return false;
    }
    const QByteArray journal = name + QFile::encodeName(kJournalSuffix);
    if (!applied) {
        clearJournal(journal);
    } else if (::unlinkat(m_folder, journal.constData(), 0) != 0 && errno != ENOENT) {
        m_results.insert(fileNameOf(key),
                         logFailure(m_valuesDir + QLatin1Char('/') + QFile::decodeName(journal), errno));
        return false;
    }
    return true;
}

namespace {

// What a file of the settings holds, as the user knows it.
QString whatIsIn(const QString& fileName) {
    if (fileName.startsWith(QLatin1StringView("favoriteTranslations")))
        return QCoreApplication::translate("UserDefaults", "Favorites");
    if (fileName.startsWith(QLatin1StringView("translationHistory")))
        return QCoreApplication::translate("UserDefaults", "History");
    return QCoreApplication::translate("UserDefaults", "Settings");
}

} // namespace

QString SettingsWriter::notSaved(const QString& fileName, int error) {
    return notSaved(QStringList{fileName}, error);
}

QString SettingsWriter::notSaved(const QStringList& fileNames, int error) {
    const char* why = nullptr;
    switch (error) {
    case ENOSPC:
        why = QT_TRANSLATE_NOOP("UserDefaults", "the disk is full");
        break;
    case EDQUOT:
        why = QT_TRANSLATE_NOOP("UserDefaults", "the disk quota is used up");
        break;
    case EIO:
        why = QT_TRANSLATE_NOOP("UserDefaults", "the disk failed");
        break;
    case EROFS:
        why = QT_TRANSLATE_NOOP("UserDefaults", "the disk is read-only");
        break;
    case EACCES:
    case EPERM:
        why = QT_TRANSLATE_NOOP("UserDefaults", "no permission");
        break;
    case ELOOP:
        why = QT_TRANSLATE_NOOP("UserDefaults", "a link is in the way");
        break;
    case ENOTDIR:
        why = QT_TRANSLATE_NOOP("UserDefaults", "a file is in the way");
        break;
    case EISDIR:
        why = QT_TRANSLATE_NOOP("UserDefaults", "a folder is in the way");
        break;
    case EMFILE:
    case ENFILE:
        why = QT_TRANSLATE_NOOP("UserDefaults", "too many open files");
        break;
    case ENOMEM:
        why = QT_TRANSLATE_NOOP("UserDefaults", "out of memory");
        break;
    case EFBIG:
    case EOVERFLOW:
        why = QT_TRANSLATE_NOOP("UserDefaults", "the file is too large");
        break;
    case EAGAIN:
    case EBUSY:
    case ETXTBSY:
        why = QT_TRANSLATE_NOOP("UserDefaults", "the file is busy");
        break;
    case ENAMETOOLONG:
        why = QT_TRANSLATE_NOOP("UserDefaults", "the name is too long");
        break;
    case ENOENT:
        why = QT_TRANSLATE_NOOP("UserDefaults", "its folder is missing");
        break;
    default:
        break;
    }
    const QString reason =
        why ? QCoreApplication::translate("UserDefaults", why) : QString::fromLocal8Bit(std::strerror(error));
    QStringList whats;
    for (const QString& fileName : fileNames) {
        if (const QString what = whatIsIn(fileName); !whats.contains(what))
            whats << what;
    }
    // Naming several would not fit the toast.
    const QString what = whats.size() == 1 ? whats[0] : QCoreApplication::translate("UserDefaults", "Changes");
    return QCoreApplication::translate("UserDefaults", "%1 not saved: %2").arg(what, reason);
}

QString SettingsWriter::notRead(const QString& fileName, int error) {
    if (error == ELOOP)
        return notSaved(fileName, error);
    return QCoreApplication::translate("UserDefaults", "%1 not saved: the file could not be read")
        .arg(whatIsIn(fileName));
}

QString SettingsWriter::keptAside(const QString& fileName) {
    return QCoreApplication::translate("UserDefaults", "%1: changes that did not apply are kept aside")
        .arg(whatIsIn(fileName));
}

QString SettingsWriter::fileNameOf(const QString& key) {
    // "~" is kept out so that no key's file name ends like a journal's.
    return QString::fromLatin1(QUrl::toPercentEncoding(key, "-._")) + kValueSuffix;
}

void SettingsWriter::setWriteForTesting(WriteFunction write) {
    g_write = write;
}

void SettingsWriter::setReadForTesting(ReadFunction read) {
    g_read = read;
}

std::optional<QByteArray> SettingsWriter::readFile(const QString& path) {
    // Not blocking on a FIFO, which is refused once open.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return std::nullopt;
    return readOpened(fd);
}

std::optional<QString> SettingsWriter::keyOfFileName(const QString& fileName) {
    if (!fileName.endsWith(kValueSuffix))
        return std::nullopt;
    const QString key =
        QUrl::fromPercentEncoding(fileName.chopped(kValueSuffix.size()).toLatin1());
    if (key.isEmpty() || fileNameOf(key) != fileName)
        return std::nullopt;
    return key;
}

QStringList SettingsWriter::valueKeys() const {
    QStringList keys;
    const QStringList names =
        QDir(m_valuesDir).entryList({QLatin1Char('*') + kValueSuffix}, QDir::Files | QDir::Hidden);
    for (const QString& name : names) {
        if (const auto key = keyOfFileName(name))
            keys << *key;
    }
    return keys;
}

namespace {

// How far a journal applied.
enum class Applied {
    Whole,
    // Its last record cut short by a crash while it was appended, with nothing after it: a change that
    // was never acknowledged.
    CutShort,
    // Stopped at damage that records may follow.
    Damaged,
    // Of another file: nothing applied.
    OfAnotherFile,
};

// Whether the bytes of a last record end where a record's first line could go on: digits, at most three
// numbers.
bool isFirstLineBegun(QByteArrayView rest) {
    return rest.count(' ') <= 2 && std::all_of(rest.begin(), rest.end(), [](char c) {
               return c == ' ' || (c >= '0' && c <= '9');
           });
}

// Applies a journal's splices to `base`, counting them in `records`. `older` tells a journal begun by an
// earlier version.
Applied applyJournal(QByteArray& base, QByteArrayView journal, int* records, const Stamps& stamps,
                     bool* older) {
    *records = 0;
    qsizetype pos = journal.indexOf('\n');
    *older = false;
    // Begun by a crash within its first write (a torn write, or one the disk never got): nothing in it
    // was acknowledged.
    if (pos < 0 && journalHeader(base).startsWith(journal))
        return Applied::CutShort;
    if (pos < 0 || !journalNames(journal.first(pos), base, older, &stamps))
        return Applied::OfAnotherFile;
    ++pos;
    std::vector<Piece> pieces{{true, 0, base.size()}};
    qsizetype total = base.size();
    Applied applied = Applied::Whole;
    while (pos < journal.size()) {
        const qsizetype end = journal.indexOf('\n', pos);
        if (end < 0) {
            applied = isFirstLineBegun(journal.sliced(pos)) ? Applied::CutShort : Applied::Damaged;
            break;
        }
        const QList<QByteArray> numbers = journal.sliced(pos, end - pos).toByteArray().split(' ');
        bool ok[3] = {false, false, false};
        const qsizetype offset = numbers.size() == 3 ? numbers[0].toLongLong(&ok[0]) : -1;
        const qsizetype removed = numbers.size() == 3 ? numbers[1].toLongLong(&ok[1]) : -1;
        const qsizetype inserted = numbers.size() == 3 ? numbers[2].toLongLong(&ok[2]) : -1;
        if (!ok[0] || !ok[1] || !ok[2] || offset < 0 || removed < 0 || inserted < 0 ||
            offset > total - removed) {
            applied = Applied::Damaged;
            break;
        }
        if (inserted > journal.size() - end - 2) {
            // Running past the end is a cut, unless a line ends in what it would hold: a record after it.
            applied = journal.sliced(end + 1).indexOf('\n') < 0 ? Applied::CutShort : Applied::Damaged;
            break;
        }
        if (journal[end + 1 + inserted] != '\n') {
            applied = Applied::Damaged;
            break;
        }
        splice(pieces, offset, removed, Piece{false, end + 1, inserted});
        total += inserted - removed;
        pos = end + 2 + inserted;
        ++*records;
    }
    QByteArray result;
    result.reserve(total);
    for (const Piece& piece : pieces) {
        result += piece.fromBase ? QByteArrayView(base).sliced(piece.start, piece.length)
                                 : journal.sliced(piece.start, piece.length);
    }
    base = result;
    return applied;
}

} // namespace

std::optional<SettingsWriter::OnDisk> SettingsWriter::read(int dir, const QByteArray& name) {
    const auto cannotRead = [](const QByteArray& file) {
        const int error = errno;
        qWarning("UserDefaults: cannot read %s: %s", file.constData(), std::strerror(error));
        errno = error;
        return std::nullopt;
    };
    struct stat file {};
    auto bytes = readPrivateFile(dir, name, &file);
    if (!bytes)
        return cannotRead(name);
    OnDisk disk{*bytes, bytes->size(), 0, 0, true, {}, nullptr, false, {}};
    // Without its journal the file is an older value, as unreadable as none.
    const QByteArray journalName = name + QFile::encodeName(kJournalSuffix);
    struct stat journaled {};
    const auto journal = readPrivateFile(dir, journalName, &journaled);
    if (!journal)
        return errno == ENOENT ? std::optional<OnDisk>(disk) : cannotRead(journalName);
    bool older = false;
    int records = 0;
    const Stamps stamps{file.st_ino, file.st_mtim, journaled.st_mtim};
    const Applied applied = applyJournal(*bytes, *journal, &records, stamps, &older);
    if (applied != Applied::OfAnotherFile) {
        disk.bytes = *bytes;
        disk.journalBytes = journal->size();
        disk.journalRecords = records;
    }
    // Only a journal applied to its end, or to a cut its crash left, goes when its file is replaced; one
    // that stopped at damage, with the records after it, is kept aside then, as another file's is.
    // (One torn within its first line holds nothing else, and goes as well.)
    if (applied == Applied::Whole || applied == Applied::CutShort)
        disk.journalHeader = journal->contains('\n') ? journal->first(journal->indexOf('\n')) : *journal;
    // The next change rewrites the file rather than append after a cut or damage, to another file's
    // journal or to one an earlier version began.
    disk.appendable = applied == Applied::Whole && !older;
    return disk;
}

std::optional<QByteArray> SettingsWriter::readValueFile(const QString& path) {
    const QFileInfo file(path);
    const Descriptor folder(openFolder(file.absolutePath()));
    const auto disk = folder.valid() ? read(folder.get(), QFile::encodeName(file.fileName())) : std::nullopt;
    return disk ? std::optional<QByteArray>(disk->bytes) : std::nullopt;
}

std::optional<QByteArray> SettingsWriter::readValue(const QString& key) {
    const Descriptor folder(openFolder(m_valuesDir));
    if (!folder.valid()) {
        const int error = errno;
        qWarning("UserDefaults: cannot read %s: %s", qPrintable(m_valuesDir), std::strerror(error));
        errno = error;
        return std::nullopt;
    }
    const auto disk = read(folder.get(), QFile::encodeName(fileNameOf(key)));
    if (!disk)
        return std::nullopt;
    {
        std::lock_guard lock(m_mutex);
        m_pending.known.insert(key, *disk);
    }
    m_wake.notify_all();
    return disk->bytes;
}
