#include "platform/UserDefaults.h"

#include "platform/DebugLog.h"
#include "platform/IniFormat.h"
#include "platform/SettingsFolderLock.h"
#include "platform/SettingsWriter.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMetaMethod>
#include <QStandardPaths>
#include <QtGlobal>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Text longer than this many characters is kept in a file of its own.
constexpr qsizetype kOwnFileAbove = 4096;

QString defaultPath() {
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return base + QStringLiteral("/Quillora/Quillora.conf");
}

std::unique_ptr<UserDefaults>& standardInstance() {
    static std::unique_ptr<UserDefaults> instance;
    return instance;
}

// INI files keep no types: booleans come back as "true"/"false", numbers as text.
std::optional<bool> parseBool(const QVariant& value) {
    if (!value.isValid())
        return std::nullopt;
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool();
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Double:
        return value.toDouble() != 0.0;
    default:
        break;
    }
    const QString text = value.toString().trimmed().toLower();
    if (text == QLatin1String("true") || text == QLatin1String("yes"))
        return true;
    if (text == QLatin1String("false") || text == QLatin1String("no") || text.isEmpty())
        return false;
    bool ok = false;
    const double number = text.toDouble(&ok);
    if (ok)
        return number != 0.0;
    return std::nullopt;
}

std::optional<double> numberIn(const QVariant& value) {
    if (!value.isValid())
        return std::nullopt;
    if (value.typeId() == QMetaType::Bool)
        return value.toBool() ? 1.0 : 0.0;
    bool ok = false;
    const double number = value.toString().trimmed().toDouble(&ok);
    if (ok)
        return std::isfinite(number) ? std::optional<double>(number) : std::nullopt;
    if (auto b = parseBool(value))
        return *b ? 1.0 : 0.0;
    return std::nullopt;
}

} // namespace

std::shared_ptr<LazyText> LazyText::of(QByteArray utf8) {
    auto text = std::make_shared<LazyText>(nullptr);
    text->m_bytes = std::move(utf8);
    return text;
}

std::shared_ptr<LazyText> LazyText::reading(std::function<std::optional<QByteArray>()> read) {
    auto text = std::make_shared<LazyText>(nullptr);
    text->m_read = std::move(read);
    return text;
}

std::shared_ptr<LazyText> LazyText::spliced(std::shared_ptr<LazyText> base, Splice change) {
    auto text = std::make_shared<LazyText>(nullptr);
    text->m_spliced = SplicedFrom{std::move(base), std::move(change)};
    return text;
}

std::optional<QList<LazyText::Splice>> LazyText::splicesSince(const LazyText* base, const QByteArray* baseBytes,
                                                              int limit) {
    QList<Splice> splices;
    // Each text is held while it is looked at: the one after it may let it go once made.
    std::shared_ptr<LazyText> held;
    for (LazyText* text = this;;) {
        if (text == base) {
            std::reverse(splices.begin(), splices.end());
            return splices;
        }
        std::lock_guard lock(text->m_mutex);
        if (!text->m_spliced) {
            const bool made = !text->m_make && !text->m_read;
            // Most often the very bytes the writer holds, which need no comparing.
            if (made && baseBytes && text->m_bytes.size() == baseBytes->size() &&
                (text->m_bytes.constData() == baseBytes->constData() || text->m_bytes == *baseBytes)) {
                std::reverse(splices.begin(), splices.end());
                return splices;
            }
            return std::nullopt;
        }
        if (splices.size() >= limit)
            return std::nullopt;
        splices.append(text->m_spliced->change);
        held = text->m_spliced->base;
        text = held.get();
    }
}

namespace {

// Pieces of a text being changed, so that many changes cost one copy of it rather than one each.
struct Piece {
    const char* data;
    qsizetype length;
};

void splicePieces(std::vector<Piece>& pieces, const LazyText::Splice& change) {
    qsizetype offset = change.offset;
    size_t index = 0;
    while (index < pieces.size() && offset >= pieces[index].length) {
        offset -= pieces[index].length;
        ++index;
    }
    if (index < pieces.size() && offset > 0) {
        Piece& piece = pieces[index];
        const Piece tail{piece.data + offset, piece.length - offset};
        piece.length = offset;
        pieces.insert(pieces.begin() + qsizetype(++index), tail);
    }
    for (qsizetype removed = change.removed; removed > 0 && index < pieces.size();) {
        Piece& piece = pieces[index];
        if (piece.length <= removed) {
            removed -= piece.length;
            pieces.erase(pieces.begin() + qsizetype(index));
        } else {
            piece.data += removed;
            piece.length -= removed;
            removed = 0;
        }
    }
    if (!change.inserted.isEmpty())
        pieces.insert(pieces.begin() + qsizetype(index), Piece{change.inserted.constData(), change.inserted.size()});
}

} // namespace

QByteArray LazyText::utf8() {
    std::lock_guard lock(m_mutex);
    if (m_read) {
        errno = 0;
        auto bytes = m_read();
        m_readError = bytes ? 0 : errno != 0 ? errno : EIO;
        m_bytes = bytes.value_or(QByteArray());
        m_read = nullptr;
    }
    if (m_make) {
        m_bytes = m_make();
        // Whatever it holds (a copy of a list) is let go at once.
        m_make = nullptr;
    }
    if (m_spliced) {
        // Down the texts this one was spliced from to one that is made, without making those between.
        QList<Splice> changes{m_spliced->change};
        std::shared_ptr<LazyText> base = m_spliced->base;
        for (;;) {
            std::unique_lock baseLock(base->m_mutex);
            if (!base->m_spliced)
                break;
            changes.append(base->m_spliced->change);
            std::shared_ptr<LazyText> next = base->m_spliced->base;
            baseLock.unlock();
            base = std::move(next);
        }
        const QByteArray bytes = base->utf8();
        std::vector<Piece> pieces{{bytes.constData(), bytes.size()}};
        for (auto change = changes.crbegin(); change != changes.crend(); ++change)
            splicePieces(pieces, *change);
        QByteArray made;
        qsizetype size = 0;
        for (const Piece& piece : pieces)
            size += piece.length;
        made.reserve(size);
        for (const Piece& piece : pieces)
            made.append(piece.data, piece.length);
        m_bytes = std::move(made);
        // The texts it was spliced from are let go.
        m_spliced.reset();
    }
    return m_bytes;
}

UserDefaults& UserDefaults::standard() {
    auto& instance = standardInstance();
    if (!instance)
        instance = std::make_unique<UserDefaults>(defaultPath());
    return *instance;
}

void UserDefaults::setStandardFilePath(const QString& path) {
    // The old instance's writes land before the new one reads.
    standardInstance().reset();
    standardInstance() = std::make_unique<UserDefaults>(path);
}

UserDefaults::UserDefaults(const QString& filePath, QObject* parent)
    : QObject(parent)
    , m_path(filePath)
    , m_listener(std::make_shared<Listener>()) {
    m_listener->store = this;
    open();
}

UserDefaults::~UserDefaults() {
    resumeWrites();
    std::lock_guard lock(m_listener->mutex);
    m_listener->store = nullptr;
}

QString UserDefaults::filePath() const {
    return m_path;
}

bool UserDefaults::isFileUnreadable() const {
    return m_fileUnreadable;
}

QString UserDefaults::valuesPath() const {
    return QFileInfo(m_path).absolutePath() + QStringLiteral("/values");
}

void UserDefaults::open() {
    const QString folder = QFileInfo(m_path).absolutePath();
    QDir().mkpath(QFileInfo(folder).absolutePath());
    ::mkdir(QFile::encodeName(folder).constData(), 0700);
    bool heldElsewhere = false;
    auto folderLock = SettingsFolderLock::take(folder, &heldElsewhere);
    m_lockedOut = heldElsewhere;
    if (m_lockedOut)
        qWarning("UserDefaults: another process writes %s; changes are kept in memory only",
                 qPrintable(folder));
    else
        tightenPermissions();
    // Held by the writer, which may outlive the store: the lock goes after its last write.
    m_writer = std::make_shared<SettingsWriter>(
        m_path, valuesPath(),
        [listener = m_listener, folderLock](const QHash<QString, int>& files,
                                            const QList<SettingsWriter::Written>& values,
                                            const QStringList& notices) {
            std::lock_guard lock(listener->mutex);
            if (UserDefaults* store = listener->store) {
                QMetaObject::invokeMethod(
                    store,
                    [store, files, values, notices] {
                        // Each once, whatever failure is being told.
                        for (const QString& notice : notices)
                            Q_EMIT store->writeFailed(notice);
                        store->reportOutcome(files);
                        for (const SettingsWriter::Written& value : values)
                            Q_EMIT store->textSaved(value.key, value.text.get(), value.saved);
                    },
                    Qt::QueuedConnection);
            }
        });
    if (!m_lockedOut)
        m_writer->removeLeftovers();
    bool iniChanged = false;
    if (QFileInfo::exists(m_path)) {
        // Read whole or not at all: a part read cleanly would be saved over the rest at the next change,
        // one cut mid-line would be set aside as damaged. Neither is, nor a FIFO or a folder there.
        if (const auto bytes = SettingsWriter::readFile(m_path)) {
            if (IniFormat::decode(*bytes, m_values)) {
                m_writer->setIniOnDisk(*bytes);
            } else if (!m_lockedOut) {
                salvageDamagedFile();
                iniChanged = true;
            }
        } else {
            const int error = errno;
            qWarning("UserDefaults: cannot read %s: %s; using defaults", qPrintable(m_path),
                     std::strerror(error));
            // The defaults stand in for it in memory alone; the next start reads it again.
            m_fileUnreadable = true;
        }
    }
    for (const QString& key : m_writer->valueKeys()) {
        m_ownFiles.insert(key, nullptr);
        iniChanged |= m_values.remove(key) > 0;
    }
    // Long text from an older file moves to a file of its own.
    for (auto it = m_values.begin(); it != m_values.end();) {
        if (it.value().typeId() == QMetaType::QString && it.value().toString().size() > kOwnFileAbove) {
            writeValue(it.key(), LazyText::of(it.value().toString().toUtf8()));
            it = m_values.erase(it);
            iniChanged = true;
        } else {
            ++it;
        }
    }
    if (iniChanged)
        writeIni();
}

// Files made before they were kept private become so.
void UserDefaults::tightenPermissions() {
    // Folders 0700, files 0600; nothing else, no link, and no file with a name elsewhere is changed.
    const auto restrict = [](const QString& path, mode_t mode) {
        const QByteArray name = QFile::encodeName(path);
        struct stat info {};
        if (::lstat(name.constData(), &info) == 0 && (info.st_mode & 077) != 0 &&
            (mode == 0700 ? S_ISDIR(info.st_mode) : S_ISREG(info.st_mode) && info.st_nlink == 1))
            ::chmod(name.constData(), mode);
    };
    restrict(QFileInfo(m_path).absolutePath(), 0700);
    restrict(m_path, 0600);
    restrict(valuesPath(), 0700);
    // Through the folder itself: a link there would have files elsewhere changed.
    const int folder = ::open(QFile::encodeName(valuesPath()).constData(),
                              O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder < 0)
        return;
    for (const QString& name : QDir(valuesPath()).entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        const int fd = ::openat(folder, QFile::encodeName(name).constData(),
                                O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        struct stat info {};
        if (fd >= 0 && ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_nlink == 1 &&
            (info.st_mode & 077) != 0)
            ::fchmod(fd, 0600);
        if (fd >= 0)
            ::close(fd);
    }
    ::close(folder);
}

void UserDefaults::reportOutcome(const QHash<QString, int>& files) {
    // Files failing for the same reason at once are told in one line: a toast replaces the one before.
    QMap<int, QStringList> fresh;
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        if (it.value() == 0) {
            m_failuresTold.remove(it.key());
        } else if (!m_failuresTold.contains(it.key())) {
            m_failuresTold.insert(it.key());
            fresh[it.value()].append(it.key());
        }
    }
    for (auto it = fresh.begin(); it != fresh.end(); ++it) {
        it->sort();
        Q_EMIT writeFailed(SettingsWriter::notSaved(*it, it.key()));
    }
}

void UserDefaults::tellFailure(const QString& fileName, const QString& message) {
    if (m_failuresTold.contains(fileName))
        return;
    m_failuresTold.insert(fileName);
    Q_EMIT writeFailed(message);
}

bool UserDefaults::mayWriteOver(const QString& key) {
    const auto found = m_ownFiles.constFind(key);
    if (found == m_ownFiles.cend() || !*found || !(*found)->unreadable())
        return true;
    debugLog(QStringLiteral("UserDefaults"),
             QStringLiteral("⚠️ %1 could not be read; not written over").arg(SettingsWriter::fileNameOf(key)));
    tellFailure(SettingsWriter::fileNameOf(key),
                SettingsWriter::notRead(SettingsWriter::fileNameOf(key), (*found)->readError()));
    return false;
}

// The values read up to the damage are kept in a clean file, and the damaged one stays beside it for
// the user.
void UserDefaults::salvageDamagedFile() {
    const QString aside = m_path + QStringLiteral(".corrupt-") +
                          QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddhhmmss"));
    // A link the user keeps there stays: what it points to is copied aside, and written anew through it.
    if (QFileInfo(m_path).isSymLink())
        QFile::copy(m_path, aside);
    else
        QFile::rename(m_path, aside);
    qWarning("UserDefaults: %s is damaged; kept %lld values, moved it to %s", qPrintable(m_path),
             qlonglong(m_values.size()), qPrintable(aside));
}

void UserDefaults::writeIni() {
    if (lockedOut())
        return;
    if (m_fileUnreadable) {
        const QString name = QFileInfo(m_path).fileName();
        tellWhenHeard(name, SettingsWriter::notRead(name));
        return;
    }
    if (m_holdingWrites) {
        m_iniHeld = true;
        return;
    }
    m_writer->writeIni(m_values);
}

// Queued as the writer's outcomes are, and told once someone listens: the first changes come at start,
// before anything that could show it.
void UserDefaults::tellWhenHeard(const QString& fileName, const QString& message) {
    if (m_failuresTold.contains(fileName) || m_tellingQueued.contains(fileName))
        return;
    m_tellingQueued.insert(fileName);
    QMetaObject::invokeMethod(
        this,
        [this, fileName, message] {
            m_tellingQueued.remove(fileName);
            if (isSignalConnected(QMetaMethod::fromSignal(&UserDefaults::writeFailed)))
                tellFailure(fileName, message);
        },
        Qt::QueuedConnection);
}

bool UserDefaults::lockedOut() {
    if (m_lockedOut)
        tellWhenHeard(SettingsFolderLock::fileName(),
                      QCoreApplication::translate("UserDefaults",
                                                  "Changes not saved: another Quillora uses these settings"));
    return m_lockedOut;
}

void UserDefaults::writeValue(const QString& key, std::shared_ptr<LazyText> text) {
    m_ownFiles.insert(key, text);
    if (lockedOut()) {
        QMetaObject::invokeMethod(
            this, [this, key, text] { Q_EMIT textSaved(key, text.get(), false); }, Qt::QueuedConnection);
        return;
    }
    // The writer orders a value's own file and the settings file for a crash only when it has both.
    handOverHeldIni();
    if (m_writer)
        m_writer->writeValue(key, std::move(text));
}

void UserDefaults::handOverHeldIni() {
    if (std::exchange(m_iniHeld, false) && m_writer)
        m_writer->writeIni(m_values);
}

void UserDefaults::holdWrites() {
    m_holdingWrites = true;
}

void UserDefaults::resumeWrites() {
    m_holdingWrites = false;
    handOverHeldIni();
}

std::shared_ptr<LazyText> UserDefaults::ownFileValue(const QString& key) const {
    const auto found = m_ownFiles.find(key);
    if (found == m_ownFiles.end())
        return nullptr;
    if (!*found) {
        *found = LazyText::reading([writer = m_writer, key] { return writer->readValue(key); });
    }
    return *found;
}

std::shared_ptr<LazyText> UserDefaults::text(const QString& key) const {
    if (auto own = ownFileValue(key))
        return own;
    return contains(key) ? LazyText::of(data(key)) : nullptr;
}

QVariant UserDefaults::stored(const QString& key) const {
    if (const auto text = ownFileValue(key))
        return QString::fromUtf8(text->utf8());
    // A value the file holds but that could not be read is kept for the file, and answers as read.
    return IniFormat::readable(m_values.value(key));
}

void UserDefaults::registerDefaults(const QVariantMap& defaults) {
    for (auto it = defaults.begin(); it != defaults.end(); ++it)
        m_registered.insert(it.key(), it.value());
}

QVariant UserDefaults::object(const QString& key) const {
    const QVariant value = stored(key);
    if (value.isValid())
        return value;
    return m_registered.value(key);
}

std::optional<QString> UserDefaults::optionalString(const QString& key) const {
    const QVariant value = object(key);
    if (!value.isValid())
        return std::nullopt;
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    if (value.typeId() == QMetaType::QVariantList) {
        QStringList items;
        for (const QVariant& item : value.toList()) {
            if (!item.canConvert<QString>())
                return std::nullopt;
            items << item.toString();
        }
        return items.join(QLatin1Char(','));
    }
    if (value.typeId() == QMetaType::QVariantMap || !value.canConvert<QString>())
        return std::nullopt;
    return value.toString();
}

bool UserDefaults::isUnreadableString(const QString& key) const {
    if (!contains(key) || !optionalString(key))
        return contains(key);
    const auto own = ownFileValue(key);
    return own && own->unreadable();
}

// A stored value that cannot be read as the asked type (a damaged file) falls back to the registered
// default, so one bad line never turns a setting the user never changed into false or 0.
bool UserDefaults::boolean(const QString& key) const {
    if (auto value = parseBool(stored(key)))
        return *value;
    if (contains(key))
        debugLog(QStringLiteral("UserDefaults"), QStringLiteral("⚠️ unreadable boolean under %1").arg(key));
    return parseBool(m_registered.value(key)).value_or(false);
}

double UserDefaults::doubleValue(const QString& key) const {
    for (const QVariant& value : {stored(key), m_registered.value(key)}) {
        if (const auto number = numberIn(value))
            return *number;
    }
    return 0.0;
}

qint64 UserDefaults::integer(const QString& key) const {
    // Converting a number beyond 64 bits is undefined; from a damaged file it is as unreadable as text.
    constexpr double kLimit = 9.2e18;
    for (const QVariant& value : {stored(key), m_registered.value(key)}) {
        if (const auto number = numberIn(value); number && std::abs(*number) < kLimit)
            return qint64(*number);
    }
    return 0;
}

QByteArray UserDefaults::data(const QString& key) const {
    if (const auto text = ownFileValue(key))
        return text->utf8();
    const QVariant value = object(key);
    if (value.typeId() == QMetaType::QByteArray)
        return value.toByteArray();
    if (value.typeId() == QMetaType::QString)
        return value.toString().toUtf8();
    return {};
}

QStringList UserDefaults::allKeys() const {
    QStringList keys = m_values.keys();
    for (auto it = m_ownFiles.cbegin(); it != m_ownFiles.cend(); ++it)
        keys.append(it.key());
    for (auto it = m_registered.cbegin(); it != m_registered.cend(); ++it) {
        if (!contains(it.key()))
            keys.append(it.key());
    }
    return keys;
}

bool UserDefaults::contains(const QString& key) const {
    return m_values.contains(key) || m_ownFiles.contains(key);
}

void UserDefaults::set(const QString& key, const QVariant& value) {
    if (!value.isValid()) {
        remove(key);
        return;
    }
    if (!mayWriteOver(key))
        return;
    const bool isText = value.typeId() == QMetaType::QString || value.typeId() == QMetaType::QByteArray;
    if (isText && (m_ownFiles.contains(key) ||
                   (value.typeId() == QMetaType::QString && value.toString().size() > kOwnFileAbove))) {
        setText(key, LazyText::of(value.typeId() == QMetaType::QString ? value.toString().toUtf8()
                                                                        : value.toByteArray()));
        return;
    }
    const auto found = m_values.constFind(key);
    if (found == m_values.cend() || found->typeId() != value.typeId() || *found != value) {
        m_values.insert(key, value);
        writeIni();
    }
    // A value moving into a settings file that is not written keeps its own file.
    if (m_ownFiles.remove(key) > 0 && m_writer && !m_fileUnreadable && !lockedOut()) {
        handOverHeldIni();
        m_writer->writeValue(key, nullptr);
    }
    Q_EMIT changed(key);
}

void UserDefaults::setText(const QString& key, std::shared_ptr<LazyText> text) {
    if (!mayWriteOver(key)) {
        QMetaObject::invokeMethod(
            this, [this, key, text] { Q_EMIT textSaved(key, text.get(), false); }, Qt::QueuedConnection);
        return;
    }
    writeValue(key, std::move(text));
    if (m_values.remove(key) > 0)
        writeIni();
    Q_EMIT changed(key);
}

void UserDefaults::remove(const QString& key) {
    if (!mayWriteOver(key))
        return;
    if (m_values.remove(key) > 0)
        writeIni();
    if (m_ownFiles.remove(key) > 0 && m_writer && !lockedOut()) {
        handOverHeldIni();
        m_writer->writeValue(key, nullptr);
    }
    Q_EMIT changed(key);
}

void UserDefaults::waitForWrites() {
    resumeWrites();
    if (m_writer)
        m_writer->waitForWrites();
}

void UserDefaults::resetForTesting() {
    resumeWrites();
    m_values.clear();
    writeIni();
    for (auto it = m_ownFiles.cbegin(); it != m_ownFiles.cend(); ++it) {
        if (m_writer && !lockedOut())
            m_writer->writeValue(it.key(), nullptr);
    }
    m_ownFiles.clear();
    m_registered.clear();
}
