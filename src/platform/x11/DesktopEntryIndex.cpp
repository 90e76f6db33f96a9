#include "platform/x11/DesktopEntryIndex.h"

#include <QDataStream>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>
#include <algorithm>
#include <utility>

namespace {

QString unescape(QStringView value) {
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != u'\\' || i + 1 == value.size()) {
            out.append(value[i]);
            continue;
        }
        switch (value[++i].unicode()) {
        case 's':
            out.append(u' ');
            break;
        case 'n':
            out.append(u'\n');
            break;
        case 't':
            out.append(u'\t');
            break;
        case 'r':
            out.append(u'\r');
            break;
        default:
            out.append(value[i]);
            break;
        }
    }
    return out;
}

// The program of an Exec value and whether anything but field codes (%f, %U, ...) follows it. Quoting
// is honoured only as far as the program itself needs.
void readExec(const QString& exec, DesktopEntry& entry) {
    QStringList words;
    QString word;
    bool quoted = false;
    bool inWord = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec[i];
        if (c == u'"') {
            quoted = !quoted;
            inWord = true;
        } else if (c == u'\\' && quoted && i + 1 < exec.size()) {
            word.append(exec[++i]);
        } else if (c.isSpace() && !quoted) {
            if (inWord)
                words.append(std::exchange(word, QString()));
            inWord = false;
        } else {
            word.append(c);
            inWord = true;
        }
    }
    if (inWord)
        words.append(word);
    // "env VAR=value program" starts the program.
    if (!words.isEmpty() && words.first() == QLatin1String("env")) {
        words.removeFirst();
        while (!words.isEmpty() && words.first().contains(u'='))
            words.removeFirst();
    }
    if (words.isEmpty())
        return;
    entry.program = words.first().section(u'/', -1);
    entry.programHasArguments = std::any_of(words.cbegin() + 1, words.cend(), [](const QString& argument) {
        return !(argument.size() == 2 && argument[0] == u'%');
    });
}

// Bumped whenever what a cache holds, or how entries are read, changes.
constexpr quint32 cacheFormat = 0x51444531;

struct FoundFile {
    QString root;
    QString path;
};

QDataStream& operator<<(QDataStream& out, const DesktopEntry& entry) {
    return out << entry.id << entry.path << entry.name << entry.localizedNames << entry.icon
               << entry.startupWMClass << entry.program << entry.programHasArguments;
}

QDataStream& operator>>(QDataStream& in, DesktopEntry& entry) {
    return in >> entry.id >> entry.path >> entry.name >> entry.localizedNames >> entry.icon >>
           entry.startupWMClass >> entry.program >> entry.programHasArguments;
}

} // namespace

QString DesktopEntry::localizedName(const QLocale& locale) const {
    const QString full = locale.name();
    const QString language = full.section(u'_', 0, 0);
    for (const QString& key : {full, language}) {
        const auto it = localizedNames.constFind(key);
        if (it != localizedNames.constEnd() && !it->isEmpty())
            return *it;
    }
    return name;
}

QStringList DesktopEntryIndex::standardApplicationDirs() {
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (dataHome.isEmpty())
        dataHome = QDir::homePath() + QStringLiteral("/.local/share");
    QString dataDirs = qEnvironmentVariable("XDG_DATA_DIRS");
    if (dataDirs.isEmpty())
        dataDirs = QStringLiteral("/usr/local/share:/usr/share");

    QStringList dirs{dataHome + QStringLiteral("/applications")};
    for (const QString& dir : dataDirs.split(u':', Qt::SkipEmptyParts))
        dirs.append(dir + QStringLiteral("/applications"));
    dirs.removeDuplicates();
    return dirs;
}

bool DesktopEntryIndex::parse(const QByteArray& contents, DesktopEntry& entry, bool* hidden) {
    bool inMainGroup = false;
    bool isApplication = false;
    bool isHidden = false;
    for (const QByteArray& rawLine : contents.split('\n')) {
        const QString line = QString::fromUtf8(rawLine).trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            // Only the first group matters; actions and other groups follow it.
            if (inMainGroup)
                break;
            inMainGroup = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        if (!inMainGroup)
            continue;
        const qsizetype equals = line.indexOf(u'=');
        if (equals <= 0)
            continue;
        const QString key = line.left(equals).trimmed();
        const QString value = unescape(QStringView(line).mid(equals + 1).trimmed());
        if (key == QLatin1String("Type"))
            isApplication = value == QLatin1String("Application");
        else if (key == QLatin1String("Name"))
            entry.name = value;
        else if (key.startsWith(QLatin1String("Name[")) && key.endsWith(u']'))
            entry.localizedNames.insert(key.mid(5, key.size() - 6), value);
        else if (key == QLatin1String("Icon"))
            entry.icon = value;
        else if (key == QLatin1String("StartupWMClass"))
            entry.startupWMClass = value;
        else if (key == QLatin1String("Exec"))
            readExec(value, entry);
        else if (key == QLatin1String("Hidden"))
            isHidden = value == QLatin1String("true");
    }
    if (hidden)
        *hidden = isHidden;
    return isApplication && !isHidden;
}

QString DesktopEntryIndex::standardCachePath() {
    QString cacheHome = qEnvironmentVariable("XDG_CACHE_HOME");
    if (cacheHome.isEmpty())
        cacheHome = QDir::homePath() + QStringLiteral("/.cache");
    return cacheHome + QStringLiteral("/Quillora/desktop-entries");
}

DesktopEntryIndex DesktopEntryIndex::load(const QStringList& applicationDirs, const QString& cachePath) {
    // What the folders hold, told by each file's path, size and modification time: the listing stats every
    // file anyway, so this costs no more than finding them.
    QList<FoundFile> files;
    QByteArray key;
    {
        QDataStream stamp(&key, QIODevice::WriteOnly);
        stamp.setVersion(QDataStream::Qt_6_0);
        stamp << cacheFormat << applicationDirs;
        for (const QString& root : applicationDirs) {
            QList<QFileInfo> found;
            // Suffixes compared here: a name filter would bring in the regular expression engine for it.
            QDirIterator it(root, QDir::Files | QDir::Readable,
                            QDirIterator::Subdirectories | QDirIterator::FollowSymlinks);
            while (it.hasNext()) {
                QFileInfo info = it.nextFileInfo();
                if (info.fileName().endsWith(QLatin1String(".desktop"), Qt::CaseInsensitive))
                    found.append(std::move(info));
            }
            std::sort(found.begin(), found.end(), [](const QFileInfo& a, const QFileInfo& b) {
                return a.filePath() < b.filePath();
            });
            for (const QFileInfo& info : found) {
                stamp << info.filePath() << info.size()
                      << info.lastModified().toMSecsSinceEpoch();
                files.append({root, info.filePath()});
            }
        }
    }

    DesktopEntryIndex index;
    if (!cachePath.isEmpty()) {
        QFile cache(cachePath);
        if (cache.open(QIODevice::ReadOnly) && cache.read(key.size()) == key) {
            QDataStream in(&cache);
            in.setVersion(QDataStream::Qt_6_0);
            qint64 count = 0;
            in >> count;
            for (qint64 i = 0; i < count && in.status() == QDataStream::Ok; ++i)
                in >> index.m_entries.emplace_back();
            if (in.status() == QDataStream::Ok && in.atEnd())
                return index;
            index.m_entries.clear();
        }
    }

    QSet<QString> seenIds;
    for (const FoundFile& found : files) {
        QString id = QDir(found.root).relativeFilePath(found.path);
        id.chop(int(qstrlen(".desktop")));
        id.replace(u'/', u'-');
        if (seenIds.contains(id))
            continue;
        seenIds.insert(id);
        QFile file(found.path);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        DesktopEntry entry;
        entry.id = id;
        entry.path = found.path;
        if (parse(file.readAll(), entry))
            index.m_entries.append(std::move(entry));
    }

    if (!cachePath.isEmpty() && QDir().mkpath(QFileInfo(cachePath).path())) {
        QSaveFile cache(cachePath);
        if (cache.open(QIODevice::WriteOnly)) {
            cache.write(key);
            QDataStream out(&cache);
            out.setVersion(QDataStream::Qt_6_0);
            out << qint64(index.m_entries.size());
            for (const DesktopEntry& entry : index.m_entries)
                out << entry;
            cache.commit();
        }
    }
    return index;
}

const DesktopEntry* DesktopEntryIndex::match(const QString& instance, const QString& windowClass) const {
    const auto find = [this](const auto& predicate) -> const DesktopEntry* {
        const auto it = std::find_if(m_entries.cbegin(), m_entries.cend(), predicate);
        return it == m_entries.cend() ? nullptr : &*it;
    };
    const auto same = [](const QString& a, const QString& b) {
        return !a.isEmpty() && a.compare(b, Qt::CaseInsensitive) == 0;
    };
    for (const QString& name : {windowClass, instance}) {
        if (const DesktopEntry* entry =
                find([&](const DesktopEntry& e) { return same(e.startupWMClass, name); }))
            return entry;
    }
    for (const QString& name : {windowClass, instance}) {
        if (const DesktopEntry* entry = find([&](const DesktopEntry& e) { return same(e.id, name); }))
            return entry;
    }
    for (const QString& name : {windowClass, instance}) {
        if (const DesktopEntry* entry = find([&](const DesktopEntry& e) {
                return e.id.contains(u'.') && same(e.id.section(u'.', -1), name);
            }))
            return entry;
    }
    for (const bool withArguments : {false, true}) {
        for (const QString& name : {instance, windowClass}) {
            if (const DesktopEntry* entry = find([&](const DesktopEntry& e) {
                    return e.programHasArguments == withArguments && same(e.program, name);
                }))
                return entry;
        }
    }
    return nullptr;
}

const DesktopEntry* DesktopEntryIndex::entryWithId(const QString& id) const {
    for (const DesktopEntry& entry : m_entries) {
        if (entry.id == id)
            return &entry;
    }
    return nullptr;
}

const DesktopEntry* DesktopEntryIndex::entryAtPath(const QString& path) const {
    for (const DesktopEntry& entry : m_entries) {
        if (entry.path == path)
            return &entry;
    }
    return nullptr;
}
