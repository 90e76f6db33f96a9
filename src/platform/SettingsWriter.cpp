#include "platform/SettingsWriter.h"

#include "platform/IniFormat.h"
#include "platform/UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QUrl>

#include <algorithm>
#include <vector>

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

quint64 inodeOf(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return 0;
    return quint64(info.st_ino);
}

bool replaceFile(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        qWarning("UserDefaults: cannot write %s: %s", qPrintable(path), qPrintable(file.errorString()));
        return false;
    }
    return true;
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

SettingsWriter::SettingsWriter(QString iniPath, QString valuesDir)
    : m_iniPath(std::move(iniPath))
    , m_valuesDir(std::move(valuesDir))
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
    std::lock_guard lock(m_mutex);
    m_pending.iniOnDisk = bytes;
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
    fold();
}

void SettingsWriter::write(Pending& job) {
    if (job.iniOnDisk)
        m_iniOnDisk = *job.iniOnDisk;
    // What this writer knows of a file from writing it is newer than what a reader saw.
    for (auto it = job.known.begin(); it != job.known.end(); ++it) {
        if (!m_onDisk.contains(it.key()))
            m_onDisk.insert(it.key(), it.value());
    }
    // A value leaving the INI file is in its own file first; one coming back is in the INI file before
    // its own file goes. A crash between the two leaves it in both places, where its own file counts.
    if (!job.values.isEmpty())
        QDir().mkpath(m_valuesDir);
    for (auto it = job.values.cbegin(); it != job.values.cend(); ++it) {
        if (it.value())
            writeOne(it.key(), it.value());
    }
    if (job.ini) {
        const QByteArray bytes = IniFormat::encode(*job.ini);
        if (bytes != m_iniOnDisk && replaceFile(m_iniPath, bytes))
            m_iniOnDisk = bytes;
    }
    for (auto it = job.values.cbegin(); it != job.values.cend(); ++it) {
        if (!it.value()) {
            QFile::remove(pathOf(it.key()));
            QFile::remove(pathOf(it.key()) + kJournalSuffix);
            m_onDisk.remove(it.key());
        }
    }
}

void SettingsWriter::writeOne(const QString& key, const std::shared_ptr<LazyText>& text) {
    const QByteArray bytes = text->utf8();
    auto found = m_onDisk.find(key);
    if (found == m_onDisk.end() && QFileInfo::exists(pathOf(key))) {
        // Set before anyone read it: what is there tells whether a journal entry does.
        if (auto disk = read(pathOf(key)))
            found = m_onDisk.insert(key, *disk);
    }
    if (found == m_onDisk.end()) {
        rewrite(key, bytes);
        return;
    }
    OnDisk& disk = *found;
    if (disk.bytes == bytes)
        return;
    const QByteArrayView before(disk.bytes);
    const qsizetype shorter = std::min(before.size(), bytes.size());
    const qsizetype prefix =
        std::mismatch(before.begin(), before.begin() + shorter, bytes.begin()).first - before.begin();
    qsizetype suffix = 0;
    while (suffix < shorter - prefix &&
           before[before.size() - 1 - suffix] == bytes[bytes.size() - 1 - suffix])
        ++suffix;
    const qsizetype removed = before.size() - prefix - suffix;
    const QByteArrayView inserted = QByteArrayView(bytes).sliced(prefix, bytes.size() - prefix - suffix);

    QByteArray record;
    if (disk.journalBytes == 0) {
        record = kJournalMagic + ' ' + QByteArray::number(disk.inode) + ' ' +
                 QByteArray::number(disk.baseSize) + '\n';
    }
    record += QByteArray::number(prefix) + ' ' + QByteArray::number(removed) + ' ' +
              QByteArray::number(inserted.size()) + '\n';
    record += inserted;
    record += '\n';
    const qsizetype limit = std::max(kMinJournalLimit, disk.baseSize / 8);
    if (!disk.appendable || disk.inode == 0 || disk.journalRecords >= kMaxJournalRecords ||
        disk.journalBytes + record.size() > limit) {
        rewrite(key, bytes);
        return;
    }
    QFile journal(pathOf(key) + kJournalSuffix);
    const QIODevice::OpenMode mode =
        disk.journalBytes == 0 ? QIODevice::WriteOnly | QIODevice::Truncate : QIODevice::Append;
    if (!journal.open(mode) || journal.write(record) != record.size() || !journal.flush() ||
        ::fdatasync(journal.handle()) != 0) {
        journal.close();
        rewrite(key, bytes);
        return;
    }
    disk.bytes = bytes;
    disk.journalBytes += record.size();
    ++disk.journalRecords;
    disk.written = true;
}

void SettingsWriter::rewrite(const QString& key, const QByteArray& bytes) {
    const QString path = pathOf(key);
    if (!replaceFile(path, bytes)) {
        m_onDisk.remove(key);
        return;
    }
    // The old journal belongs to the file just replaced, which its inode tells even if this removal
    // never happens.
    QFile::remove(path + kJournalSuffix);
    m_onDisk.insert(key, OnDisk{bytes, inodeOf(path), bytes.size(), 0, 0, true, true});
}

void SettingsWriter::fold() {
    QList<std::pair<QString, QByteArray>> journaled;
    for (auto it = m_onDisk.cbegin(); it != m_onDisk.cend(); ++it) {
        if (it->written && it->journalBytes > 0)
            journaled.append({it.key(), it->bytes});
    }
    for (const auto& [key, bytes] : journaled)
        rewrite(key, bytes);
}

QString SettingsWriter::pathOf(const QString& key) const {
    return m_valuesDir + QLatin1Char('/') + fileNameOf(key);
}

QString SettingsWriter::fileNameOf(const QString& key) {
    // "~" is kept out so that no key's file name ends like a journal's.
    return QString::fromLatin1(QUrl::toPercentEncoding(key, "-._")) + kValueSuffix;
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

std::optional<SettingsWriter::OnDisk> SettingsWriter::read(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning("UserDefaults: cannot read %s: %s", qPrintable(path), qPrintable(file.errorString()));
        return std::nullopt;
    }
    const quint64 inode = inodeOf(path);
    QByteArray bytes = file.readAll();
    OnDisk disk{bytes, inode, bytes.size(), 0, 0, true, false};
    QFile journalFile(path + kJournalSuffix);
    if (journalFile.open(QIODevice::ReadOnly)) {
        const QByteArray journal = journalFile.readAll();
        bool stale = false;
        int records = 0;
        const bool whole = applyJournal(bytes, journal, inode, &stale, &records);
        if (!stale) {
            disk.bytes = bytes;
            disk.journalBytes = journal.size();
            disk.journalRecords = records;
        }
        // The next change rewrites the file rather than append after a cut or to another file's journal.
        disk.appendable = whole;
    }
    return disk;
}

std::optional<QByteArray> SettingsWriter::readValueFile(const QString& path) {
    const auto disk = read(path);
    return disk ? std::optional<QByteArray>(disk->bytes) : std::nullopt;
}

std::optional<QByteArray> SettingsWriter::readValue(const QString& key) {
    const auto disk = read(pathOf(key));
    if (!disk)
        return std::nullopt;
    {
        std::lock_guard lock(m_mutex);
        m_pending.known.insert(key, *disk);
    }
    m_wake.notify_all();
    return disk->bytes;
}

bool SettingsWriter::applyJournal(QByteArray& base, QByteArrayView journal, quint64 inode, bool* stale,
                                  int* records) {
    *stale = false;
    *records = 0;
    qsizetype pos = journal.indexOf('\n');
    const QList<QByteArray> header =
        pos < 0 ? QList<QByteArray>() : journal.first(pos).toByteArray().split(' ');
    bool inodeOk = false, sizeOk = false;
    if (header.size() != 3 || header[0] != kJournalMagic || header[1].toULongLong(&inodeOk) != inode ||
        header[2].toLongLong(&sizeOk) != base.size() || !inodeOk || !sizeOk) {
        *stale = true;
        return false;
    }
    ++pos;
    std::vector<Piece> pieces{{true, 0, base.size()}};
    qsizetype total = base.size();
    bool whole = true;
    while (pos < journal.size()) {
        const qsizetype end = journal.indexOf('\n', pos);
        const QList<QByteArray> numbers =
            end < 0 ? QList<QByteArray>() : journal.sliced(pos, end - pos).toByteArray().split(' ');
        bool ok[3] = {false, false, false};
        const qsizetype offset = numbers.size() == 3 ? numbers[0].toLongLong(&ok[0]) : -1;
        const qsizetype removed = numbers.size() == 3 ? numbers[1].toLongLong(&ok[1]) : -1;
        const qsizetype inserted = numbers.size() == 3 ? numbers[2].toLongLong(&ok[2]) : -1;
        if (!ok[0] || !ok[1] || !ok[2] || offset < 0 || removed < 0 || inserted < 0 ||
            offset > total - removed || inserted > journal.size() - end - 2 ||
            journal[end + 1 + inserted] != '\n') {
            whole = false;
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
    return whole;
}
