#include "platform/SettingsWriter.h"
#include "platform/UserDefaults.h"

#include "TestUtils.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <csignal>
#include <thread>

#include <cerrno>
#include <cstring>
#include <functional>
#include <limits>
#include <optional>

#include <fcntl.h>
#include <sys/file.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class UserDefaultsTest : public ::testing::Test {
protected:
    QString path() const { return m_dir.filePath(QStringLiteral("Quillora/Quillora.conf")); }
    QString valuePath(const QString& key) const {
        return m_dir.filePath(QStringLiteral("Quillora/values/") + SettingsWriter::fileNameOf(key));
    }
    QByteArray fileBytes(const QString& file) const {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QStringList corruptFiles() const {
        return QDir(m_dir.filePath(QStringLiteral("Quillora")))
            .entryList({QStringLiteral("*.corrupt-*")}, QDir::Files);
    }
    QTemporaryDir m_dir;
};

ino_t inodeOf(const QString& file) {
    struct stat info {};
    return ::stat(QFile::encodeName(file).constData(), &info) == 0 ? info.st_ino : 0;
}

// A long JSON-like list that differs from its neighbours in a few places, as a favorites list does.
QByteArray longList(int n) {
    QByteArray text = "[" + QByteArray::number(n) + ",\"";
    text += QByteArray(5000 + (n * 37) % 3000, 'x');
    return text + "\"]";
}

int numberInLongList(const QByteArray& text) {
    bool ok = false;
    const int n = text.mid(1, text.indexOf(',') - 1).toInt(&ok);
    return ok && text == longList(n) ? n : -1;
}

// A journal's first line and its records ("offset removed inserted\n" + the inserted bytes + "\n").
QByteArrayList journalParts(const QByteArray& journal) {
    QByteArrayList parts{journal.first(journal.indexOf('\n') + 1)};
    for (qsizetype at = parts[0].size(); at < journal.size();) {
        const qsizetype end = journal.indexOf('\n', at);
        const qsizetype inserted =
            end < 0 ? 0 : journal.sliced(at, end - at).split(' ').value(2).toLongLong();
        const qsizetype next = end < 0 ? journal.size() : std::min(journal.size(), end + 2 + inserted);
        parts << journal.sliced(at, next - at);
        at = next;
    }
    return parts;
}

bool setModified(const QString& file, int secondsAgo) {
    const timespec times[2] = {{0, UTIME_OMIT}, {::time(nullptr) - secondsAgo, 0}};
    return ::utimensat(AT_FDCWD, QFile::encodeName(file).constData(), times, 0) == 0;
}

TEST_F(UserDefaultsTest, MissingValuesFollowTheConventions) {
    UserDefaults defaults(path());
    EXPECT_FALSE(defaults.boolean(QStringLiteral("showFloatingBar")));
    EXPECT_FALSE(defaults.optionalString(QStringLiteral("defaultSourceLanguage")).has_value());
    EXPECT_TRUE(defaults.string(QStringLiteral("defaultSourceLanguage")).isEmpty());
    EXPECT_EQ(defaults.integer(QStringLiteral("count")), 0);
    EXPECT_TRUE(defaults.data(QStringLiteral("translationHistory")).isEmpty());
    EXPECT_FALSE(defaults.object(QStringLiteral("anything")).isValid());
}

TEST_F(UserDefaultsTest, RegisteredDefaultsAnswerButAreNeitherStoredNorWritten) {
    UserDefaults defaults(path());
    defaults.registerDefaults({{QStringLiteral("showInDock"), true}, {QStringLiteral("interfaceLanguage"), QStringLiteral("en")}});

    EXPECT_TRUE(defaults.boolean(QStringLiteral("showInDock")));
    EXPECT_EQ(defaults.string(QStringLiteral("interfaceLanguage")), QStringLiteral("en"));
    EXPECT_FALSE(defaults.contains(QStringLiteral("showInDock")));

    defaults.set(QStringLiteral("showInDock"), false);
    EXPECT_TRUE(defaults.contains(QStringLiteral("showInDock")));
    EXPECT_FALSE(defaults.boolean(QStringLiteral("showInDock")));

    defaults.remove(QStringLiteral("showInDock"));
    EXPECT_TRUE(defaults.boolean(QStringLiteral("showInDock"))) << "the registered default answers again";

    UserDefaults reopened(path());
    EXPECT_FALSE(reopened.contains(QStringLiteral("interfaceLanguage")));
}

TEST_F(UserDefaultsTest, ValuesPersistWithTheirTypesAcrossInstances) {
    const QByteArray json = R"([{"id":"A","sourceText":"a=b; c"}])";
    {
        UserDefaults defaults(path());
        defaults.set(QStringLiteral("alwaysOnTop"), true);
        defaults.set(QStringLiteral("hasEverLaunched"), false);
        defaults.set(QStringLiteral("defaultTargetLanguage"), QStringLiteral("zh-cn"));
        defaults.set(QStringLiteral("excludedApps"), QStringLiteral("org.gnome.Terminal,firefox"));
        defaults.set(QStringLiteral("favoriteTranslations"), json);
        defaults.set(QStringLiteral("count"), 42);
    }
    UserDefaults reopened(path());
    EXPECT_TRUE(reopened.boolean(QStringLiteral("alwaysOnTop")));
    EXPECT_TRUE(reopened.contains(QStringLiteral("hasEverLaunched")));
    EXPECT_FALSE(reopened.boolean(QStringLiteral("hasEverLaunched")));
    EXPECT_EQ(reopened.string(QStringLiteral("defaultTargetLanguage")), QStringLiteral("zh-cn"));
    EXPECT_EQ(reopened.string(QStringLiteral("excludedApps")), QStringLiteral("org.gnome.Terminal,firefox"));
    EXPECT_EQ(reopened.data(QStringLiteral("favoriteTranslations")), json);
    EXPECT_EQ(reopened.integer(QStringLiteral("count")), 42);
}

// A session that only reads, with a file long enough that the writer is idle before it is read: the quit
// waits for writes and must not wait for ever.
TEST_F(UserDefaultsTest, WaitingForWritesAfterOnlyReadingReturns) {
    QByteArray ini = "[General]\n";
    for (int i = 0; i < 20000; ++i)
        ini += "key" + QByteArray::number(i) + "=value\n";
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path()).absolutePath()));
    QFile file(path());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(ini);
    file.close();
    auto* defaults = new UserDefaults(path());
    EXPECT_EQ(defaults->string(QStringLiteral("key19999")), QStringLiteral("value"));
    std::atomic<bool> waited = false;
    std::thread([defaults, &waited] {
        defaults->waitForWrites();
        waited = true;
    }).detach();
    // On failure the store stays, with the thread that waits on it.
    ASSERT_TRUE(waitUntil([&] { return waited.load(); }, 20000)) << "waiting for writes never returns";
    delete defaults;
}

TEST_F(UserDefaultsTest, ChangedSignalNamesTheKey) {
    UserDefaults defaults(path());
    QSignalSpy spy(&defaults, &UserDefaults::changed);
    defaults.set(QStringLiteral("alwaysOnTop"), true);
    defaults.remove(QStringLiteral("alwaysOnTop"));
    ASSERT_EQ(spy.count(), 2);
    EXPECT_EQ(spy.at(0).at(0).toString(), QStringLiteral("alwaysOnTop"));
    EXPECT_EQ(spy.at(1).at(0).toString(), QStringLiteral("alwaysOnTop"));
}

TEST_F(UserDefaultsTest, CorruptFileGivesDefaults) {
    QDir().mkpath(m_dir.filePath(QStringLiteral("Quillora")));
    {
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[General]\nshowInDock=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\x12garbage\ncount=twelve\n");
        file.write(QByteArray("\xff\xfe\x00\x01=\n[[[\n", 10));
    }
    UserDefaults defaults(path());
    defaults.registerDefaults({{QStringLiteral("showInDock"), true}, {QStringLiteral("count"), 7}});
    EXPECT_TRUE(defaults.boolean(QStringLiteral("showInDock")));
    EXPECT_EQ(defaults.integer(QStringLiteral("count")), 7);
    defaults.set(QStringLiteral("alwaysOnTop"), true);
    EXPECT_TRUE(defaults.boolean(QStringLiteral("alwaysOnTop")));
}

// A value that could not be read, alone or in a list, answers as unread but keeps its bytes when other
// settings are saved; one the file ends on with a lone backslash takes no other line with it.
TEST_F(UserDefaultsTest, AValueThatCouldNotBeReadKeepsItsBytes) {
    const QByteArray count = R"(count=@Variant(\0\0\0\x7f\0\0\0\x10))";
    const QByteArray list = R"(list=a, @DateTime(\0\0\0\t\0\x45\x24\x5a\x26))";
    const QByteArray last = R"(last=@Variant(\0\0\0\x7f))";
    QDir().mkpath(m_dir.filePath(QStringLiteral("Quillora")));
    {
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[General]\n" + count + "\nfirst=1\n" + list + "\n" + last + "\\");
    }
    {
        UserDefaults defaults(path());
        defaults.registerDefaults({{QStringLiteral("count"), 7}});
        EXPECT_EQ(defaults.integer(QStringLiteral("count")), 7);
        EXPECT_TRUE(defaults.contains(QStringLiteral("count")));
        EXPECT_FALSE(defaults.object(QStringLiteral("last")).isValid());
        EXPECT_EQ(defaults.object(QStringLiteral("list")).toList().size(), 2);
        defaults.set(QStringLiteral("alwaysOnTop"), true);
    }
    const QByteArray saved = fileBytes(path());
    EXPECT_TRUE(corruptFiles().isEmpty());
    for (const QByteArray& line : {count, list, last})
        EXPECT_TRUE(saved.contains("\n" + line + "\n")) << line.constData() << " in\n" << saved.constData();
    UserDefaults reopened(path());
    EXPECT_TRUE(reopened.boolean(QStringLiteral("alwaysOnTop")));
    EXPECT_EQ(reopened.integer(QStringLiteral("first")), 1);
    EXPECT_EQ(reopened.object(QStringLiteral("list")).toList().size(), 2);
}

TEST_F(UserDefaultsTest, FileCutOffInASectionHeaderKeepsEveryValueReadAndTheDamagedFile) {
    const QByteArray damaged = "[General]\nshowInDock=false\ndefaultTargetLanguage=de\nexcludedApps=a,b\n[Gen";
    // A settings file that is a link (kept elsewhere by the user) stays one.
    for (const bool linked : {false, true}) {
        SCOPED_TRACE(linked ? "linked" : "a file");
        QDir(m_dir.filePath(QStringLiteral("Quillora"))).removeRecursively();
        QDir().mkpath(m_dir.filePath(QStringLiteral("Quillora")));
        const QString target = linked ? m_dir.filePath(QStringLiteral("dotfiles.conf")) : path();
        {
            QFile file(target);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(damaged);
        }
        if (linked) {
            ASSERT_TRUE(QFile::link(target, path()));
        }
        {
            UserDefaults defaults(path());
            defaults.registerDefaults({{QStringLiteral("showInDock"), true}});
            EXPECT_FALSE(defaults.boolean(QStringLiteral("showInDock")));
            EXPECT_EQ(defaults.string(QStringLiteral("defaultTargetLanguage")), QStringLiteral("de"));
            // An unquoted list reads as the text that was written.
            EXPECT_EQ(defaults.string(QStringLiteral("excludedApps")), QStringLiteral("a,b"));
            EXPECT_FALSE(defaults.isUnreadableString(QStringLiteral("excludedApps")));
        }
        const QStringList aside = QDir(m_dir.filePath(QStringLiteral("Quillora")))
                                      .entryList({QStringLiteral("Quillora.conf.corrupt-*")}, QDir::Files);
        ASSERT_EQ(aside.size(), 1);
        QFile kept(m_dir.filePath(QStringLiteral("Quillora/") + aside.first()));
        ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
        EXPECT_EQ(kept.readAll(), damaged);
        EXPECT_EQ(QFileInfo(path()).isSymLink(), linked);

        QSettings clean(target, QSettings::IniFormat);
        EXPECT_EQ(clean.status(), QSettings::NoError);
        EXPECT_EQ(clean.value(QStringLiteral("defaultTargetLanguage")).toString(), QStringLiteral("de"));
    }
}

TEST_F(UserDefaultsTest, AnythingButARegularFileAtThePathIsNeverOpened) {
    QDir().mkpath(m_dir.filePath(QStringLiteral("Quillora")));
    ASSERT_EQ(mkfifo(QFile::encodeName(path()).constData(), 0600), 0);
    // Opening the FIFO would block this thread until a writer came.
    UserDefaults defaults(path());
    EXPECT_FALSE(defaults.contains(QStringLiteral("showInDock")));
    defaults.set(QStringLiteral("showInDock"), true);
    EXPECT_TRUE(defaults.boolean(QStringLiteral("showInDock")));
    EXPECT_TRUE(defaults.allKeys().contains(QStringLiteral("showInDock")));
    defaults.remove(QStringLiteral("showInDock"));
    EXPECT_FALSE(defaults.contains(QStringLiteral("showInDock")));
    EXPECT_FALSE(QFileInfo(path()).isFile());
}

TEST_F(UserDefaultsTest, NumbersNoIntegerOrDoubleCanHoldGiveTheDefaults) {
    UserDefaults defaults(path());
    defaults.registerDefaults({{QStringLiteral("size"), 14}, {QStringLiteral("ratio"), 0.5}});
    defaults.set(QStringLiteral("size"), QStringLiteral("1e300"));
    defaults.set(QStringLiteral("ratio"), QStringLiteral("nan"));
    EXPECT_EQ(defaults.integer(QStringLiteral("size")), 14);
    EXPECT_EQ(defaults.doubleValue(QStringLiteral("ratio")), 0.5);
    defaults.set(QStringLiteral("size"), QStringLiteral("-3.7"));
    EXPECT_EQ(defaults.integer(QStringLiteral("size")), -3);
}

TEST_F(UserDefaultsTest, UnparsableBooleanTextIsFalse) {
    UserDefaults defaults(path());
    defaults.set(QStringLiteral("showFloatingBar"), QStringLiteral("maybe"));
    EXPECT_FALSE(defaults.boolean(QStringLiteral("showFloatingBar")));
    defaults.set(QStringLiteral("showFloatingBar"), QStringLiteral("YES"));
    EXPECT_TRUE(defaults.boolean(QStringLiteral("showFloatingBar")));
}

} // namespace

namespace {

// The start-up holds its writes: they reach the disk however the hold ends, and a value leaving its own
// file is in the settings file before its own file goes, as without a hold; a value written meanwhile
// takes the settings changed before it to the disk, so that a crash never keeps the later change alone.
TEST_F(UserDefaultsTest, HeldChangesReachTheDiskHoweverTheHoldEnds) {
    enum class End { Resume, WaitForWrites, Destruction, ValueLeavesItsFile, ValueWritten };
    for (const End end :
         {End::Resume, End::WaitForWrites, End::Destruction, End::ValueLeavesItsFile, End::ValueWritten}) {
        SCOPED_TRACE(int(end));
        QDir(m_dir.filePath(QStringLiteral("Quillora"))).removeRecursively();
        auto defaults = std::make_unique<UserDefaults>(path());
        defaults->setText(QStringLiteral("favoriteTranslations"), LazyText::of(longList(1)));
        defaults->waitForWrites();
        defaults->holdWrites();
        defaults->set(QStringLiteral("showInDock"), true);
        defaults->set(QStringLiteral("hasEverLaunched"), true);
        switch (end) {
        case End::Resume:
            defaults->resumeWrites();
            defaults->waitForWrites();
            break;
        case End::WaitForWrites:
            defaults->waitForWrites();
            break;
        case End::Destruction:
            defaults.reset();
            break;
        case End::ValueLeavesItsFile:
            defaults->set(QStringLiteral("favoriteTranslations"), 5);
            ASSERT_TRUE(waitUntil([&] { return !QFileInfo::exists(valuePath(QStringLiteral("favoriteTranslations"))); }));
            EXPECT_TRUE(fileBytes(path()).contains("favoriteTranslations=5"));
            break;
        case End::ValueWritten:
            defaults->setText(QStringLiteral("favoriteTranslations"), LazyText::of(longList(2)));
            EXPECT_TRUE(waitUntil([&] {
                return SettingsWriter::readValueFile(valuePath(QStringLiteral("favoriteTranslations"))) ==
                           longList(2) &&
                       fileBytes(path()).contains("showInDock=true");
            }));
            break;
        }
        UserDefaults reopened(path());
        EXPECT_TRUE(reopened.boolean(QStringLiteral("showInDock")));
        EXPECT_TRUE(reopened.boolean(QStringLiteral("hasEverLaunched")));
    }
}

TEST_F(UserDefaultsTest, LongTextLivesInItsOwnFileWhichOtherChangesLeaveAlone) {
    const QString list = QString::fromUtf8(longList(1));
    {
        // An older file holds the long value inline: it moves without loss.
        QDir().mkpath(m_dir.filePath(QStringLiteral("Quillora")));
        QSettings old(path(), QSettings::IniFormat);
        old.setValue(QStringLiteral("favoriteTranslations"), list);
        old.setValue(QStringLiteral("alwaysOnTop"), true);
    }
    {
        UserDefaults defaults(path());
        EXPECT_EQ(defaults.string(QStringLiteral("favoriteTranslations")), list);
        defaults.waitForWrites();
        EXPECT_EQ(fileBytes(valuePath(QStringLiteral("favoriteTranslations"))), longList(1));
        EXPECT_FALSE(fileBytes(path()).contains("xxxx"));
        EXPECT_TRUE(defaults.boolean(QStringLiteral("alwaysOnTop")));

        const ino_t settingsFile = inodeOf(path());
        const ino_t listFile = inodeOf(valuePath(QStringLiteral("favoriteTranslations")));
        defaults.set(QStringLiteral("alwaysOnTop"), true);
        defaults.set(QStringLiteral("favoriteTranslations"), list);
        defaults.waitForWrites();
        EXPECT_EQ(inodeOf(path()), settingsFile) << "a change to nothing writes nothing";
        EXPECT_EQ(inodeOf(valuePath(QStringLiteral("favoriteTranslations"))), listFile);

        defaults.set(QStringLiteral("alwaysOnTop"), false);
        defaults.waitForWrites();
        EXPECT_NE(inodeOf(path()), settingsFile);
        EXPECT_EQ(inodeOf(valuePath(QStringLiteral("favoriteTranslations"))), listFile)
            << "another key's change leaves the long value's file alone";

        // A key that lives in its own file stays there whatever its length; an odd key is a safe name.
        defaults.set(QStringLiteral("favoriteTranslations"), QStringLiteral("[]"));
        defaults.setText(QStringLiteral("a/b.journal"), LazyText::of("x=y"));
    }
    UserDefaults reopened(path());
    EXPECT_EQ(reopened.data(QStringLiteral("favoriteTranslations")), "[]");
    EXPECT_EQ(reopened.object(QStringLiteral("a/b.journal")), QVariant(QStringLiteral("x=y")));
    EXPECT_TRUE(reopened.contains(QStringLiteral("favoriteTranslations")));
    EXPECT_FALSE(reopened.boolean(QStringLiteral("alwaysOnTop")));
    reopened.remove(QStringLiteral("a/b.journal"));
    reopened.waitForWrites();
    EXPECT_FALSE(QFileInfo::exists(valuePath(QStringLiteral("a/b.journal"))));
    EXPECT_FALSE(reopened.allKeys().contains(QStringLiteral("a/b.journal")));
}

// Refuses every write to a journal, as a full disk; keeps what lies beside the file written meanwhile.
struct JournalRefused {
    static ssize_t write(int fd, const void* data, size_t size, off_t offset) {
        char target[4096] = {};
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
        const ssize_t length = ::readlink(self.constData(), target, sizeof target - 1);
        if (length > 0 && QByteArrayView(target, length).endsWith(".journal")) {
            errno = ENOSPC;
            return -1;
        }
        // What a crash right after the rename of the file written here would find beside it.
        if (QFile journal(journalPath); journal.open(QIODevice::ReadOnly))
            leftBeside = journal.readAll();
        return ::pwrite(fd, data, size, offset);
    }
    static inline QString journalPath;
    static inline QByteArray leftBeside;
};

TEST_F(UserDefaultsTest, TextIsMadeByTheWriterAndSmallChangesOfALongValueGoToAJournal) {
    const QString file = valuePath(QStringLiteral("list"));
    ino_t first = 0;
    {
        UserDefaults defaults(path());
        std::atomic<bool> madeOnMainThread = true;
        const std::thread::id main = std::this_thread::get_id();
        defaults.setText(QStringLiteral("list"), std::make_shared<LazyText>([&] {
                             madeOnMainThread = std::this_thread::get_id() == main;
                             return longList(1);
                         }));
        defaults.waitForWrites();
        EXPECT_FALSE(madeOnMainThread) << "nobody asked for it on the main thread";
        first = inodeOf(file);
        for (int n = 2; n <= 20; ++n) {
            defaults.setText(QStringLiteral("list"), LazyText::of(longList(n)));
            defaults.waitForWrites();
        }
        EXPECT_EQ(inodeOf(file), first) << "small changes are appended, not rewritten";
        EXPECT_LT(QFileInfo(file + QStringLiteral(".journal")).size(), 2000);
    }
    EXPECT_EQ(inodeOf(file), first) << "a small journal stays one at the end";
    EXPECT_EQ(SettingsWriter::readValueFile(file), longList(20));

    // A journal whose last splice was cut short loses that splice only; one of another file (a file
    // renamed in whole, then a crash before the journal went) counts not, and is kept aside, as is one
    // damaged before its end, with the records after the damage; one removed by someone else while the
    // store counts it is not appended to headless. One whose file was copied (the same bytes at another
    // inode) counts, and so does one an earlier version began, named by its file's inode and size, when
    // that is its file's inode or the file is no newer than it (a copy keeping the times); the next change
    // folds it in. One not applied is kept aside when the value is removed, too.
    enum Base { Kept, Copied, Other };
    struct Case {
        const char* name;
        int cut = 0;
        Base base = Kept;
        // 0: a list of the very size of the file the journal names, and that list expected.
        int replacedBy = 0;
        bool removeJournal = false;
        bool begunBefore = false;
        int expected = 0;
        bool valueRemoved = false;
        // Its first line and records, each with its line end, changed after it was written.
        std::function<void(QByteArrayList&)> edit = {};
        bool damaged = false;
    };
    // Worked out here, not by the code: one hashing other bytes fails.
    const auto headerByHand = [&](QByteArrayList& parts) {
        const QByteArray bytes = fileBytes(file);
        parts[0] = "quillora-journal 2 " + QByteArray::number(bytes.size()) + ' ' +
                   QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex() + '\n';
    };
    // Sets a number in the first line of the record before the last.
    const auto setNumber = [](int field, const QByteArray& number) {
        return [=](QByteArrayList& parts) {
            QByteArray& record = parts[parts.size() - 2];
            QByteArrayList numbers = record.first(record.indexOf('\n')).split(' ');
            numbers[field] = number;
            record.replace(0, record.indexOf('\n'), numbers.join(' '));
        };
    };
    const Case cases[] = {{"whole", 0, Kept, 0, false, false, 23},
                          {"cut short", 5, Kept, 0, false, false, 22},
                          {"of another file", 0, Other, 19, false, false, 19},
                          {"of another file of the same size", 0, Other, 0, false, false, 0},
                          {"replaced by its whole value", 0, Other, 23, false, false, 23},
                          {"copied", 0, Copied, 0, false, false, 23},
                          {"removed", 0, Kept, 0, true, false, 24},
                          {"begun before", 0, Kept, 0, false, true, 23},
                          {"begun before, copied", 0, Copied, 0, false, true, 23},
                          {"begun before, of another file", 0, Other, 19, false, true, 19},
                          {"begun before, rewritten at the same size after it", 0, Other, 0, false, true, 0},
                          {"of another file, the value removed", 0, Other, 19, false, false, 19, true},
                          {.name = "its first line as made by hand", .expected = 23, .edit = headerByHand},
                          {.name = "cut short in its last record's first line", .expected = 22,
                           .edit = [](QByteArrayList& parts) { parts.last().truncate(3); }},
                          {.name = "a line of garbage before its last record", .expected = 22,
                           .edit = [](QByteArrayList& parts) { parts.insert(parts.size() - 1, "garbage\n"); },
                           .damaged = true},
                          {.name = "a record whose offset lies past the end", .expected = 21,
                           .edit = setNumber(0, "99999999"), .damaged = true},
                          {.name = "a record cut in the middle", .expected = 21,
                           .edit = [](QByteArrayList& parts) { parts[parts.size() - 2].remove(10, 20); },
                           .damaged = true},
                          {.name = "a record longer than what follows it", .expected = 21,
                           .edit = setNumber(2, "99999"), .damaged = true},
                          {.name = "cut short in its own first line", .expected = 20, .valueRemoved = true,
                           .edit = [](QByteArrayList& parts) { parts = {parts[0].first(30)}; }}};
    const QString values = QFileInfo(file).absolutePath();
    const auto keptAside = [&] {
        return QDir(values).entryList({QFileInfo(file).fileName() + QStringLiteral(".journal.unapplied-*")},
                                      QDir::Files);
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString journal = file + QStringLiteral(".journal");
        {
            UserDefaults defaults(path());
            // One at a time: changes waiting together are written as one.
            for (int n = 21; n <= 23; ++n) {
                defaults.setText(QStringLiteral("list"), LazyText::of(longList(n)));
                defaults.waitForWrites();
            }
            ASSERT_GT(QFileInfo(journal).size(), 0);
            if (c.removeJournal) {
                ASSERT_TRUE(QFile::remove(journal));
                defaults.setText(QStringLiteral("list"), LazyText::of(longList(24)));
            }
        }
        QFile::resize(journal, QFileInfo(journal).size() - c.cut);
        if (c.edit) {
            QByteArrayList parts = journalParts(fileBytes(journal));
            ASSERT_GE(parts.size(), 4);
            c.edit(parts);
            QSaveFile edited(journal);
            ASSERT_TRUE(edited.open(QIODevice::WriteOnly));
            edited.write(parts.join());
            ASSERT_TRUE(edited.commit());
        }
        QByteArray journaled = fileBytes(journal);
        if (c.begunBefore) {
            const qsizetype end = journaled.indexOf('\n');
            const QByteArray size = journaled.first(end).split(' ').value(2);
            journaled.replace(0, end, "quillora-journal " + QByteArray::number(inodeOf(file)) + ' ' + size);
            QSaveFile older(journal);
            ASSERT_TRUE(older.open(QIODevice::WriteOnly));
            older.write(journaled);
            ASSERT_TRUE(older.commit());
            // Last written by that version an hour ago, before the file kept here was.
            ASSERT_TRUE(setModified(journal, 3600));
        }
        int replacedBy = c.replacedBy;
        for (int n = 100; replacedBy == 0 && n < 4000; ++n)
            replacedBy = longList(n).size() == QFileInfo(file).size() ? n : 0;
        if (c.base != Kept) {
            const QByteArray bytes = c.base == Copied ? fileBytes(file) : longList(replacedBy);
            QSaveFile base(file);
            ASSERT_TRUE(base.open(QIODevice::WriteOnly));
            base.write(bytes);
            ASSERT_TRUE(base.commit());
            // A copy keeps the times, its file older than its journal.
            ASSERT_TRUE(c.base == Other || setModified(file, 7200));
        }
        UserDefaults reopened(path());
        QSignalSpy told(&reopened, &UserDefaults::writeFailed);
        EXPECT_EQ(numberInLongList(reopened.data(QStringLiteral("list"))),
                  c.expected ? c.expected : replacedBy);
        if (c.valueRemoved) {
            reopened.remove(QStringLiteral("list"));
            reopened.waitForWrites();
        }
        reopened.setText(QStringLiteral("list"), LazyText::of(longList(20)));
        reopened.waitForWrites();
        QCoreApplication::processEvents();
        if (c.begunBefore) {
            EXPECT_FALSE(QFileInfo::exists(journal)) << "appended to, not folded in";
        }
        const bool setAside = c.base == Other || c.damaged;
        if (setAside) {
            const QStringList aside = keptAside();
            EXPECT_EQ(aside.size(), 1);
            EXPECT_TRUE(fileBytes(values + QLatin1Char('/') + aside.value(0)) == journaled);
            EXPECT_EQ(told.value(0).value(0).toString(),
                      QStringLiteral("Settings: changes that did not apply are kept aside"));
            QFile::remove(values + QLatin1Char('/') + aside.value(0));
        }
        EXPECT_EQ(told.count(), setAside ? 1 : 0);
        EXPECT_TRUE(keptAside().isEmpty());
        UserDefaults again(path());
        EXPECT_EQ(numberInLongList(again.data(QStringLiteral("list"))), 20);
    }

    // A change whose append fails (a full disk) rewrites the file. One back to the very bytes the journal
    // names removes the journal before the new file is renamed in: a crash between the two would leave
    // it beside a file it names, to be applied again.
    const QString back = valuePath(QStringLiteral("back"));
    JournalRefused::journalPath = back + QStringLiteral(".journal");
    {
        UserDefaults defaults(path());
        for (const int n : {30, 31}) {
            defaults.setText(QStringLiteral("back"), LazyText::of(longList(n)));
            defaults.waitForWrites();
        }
        ASSERT_TRUE(QFileInfo::exists(JournalRefused::journalPath));
        SettingsWriter::setWriteForTesting(&JournalRefused::write);
        defaults.setText(QStringLiteral("back"), LazyText::of(longList(30)));
        defaults.waitForWrites();
        SettingsWriter::setWriteForTesting(nullptr);
    }
    if (!JournalRefused::leftBeside.isEmpty()) {
        QFile journal(JournalRefused::journalPath);
        ASSERT_TRUE(journal.open(QIODevice::WriteOnly));
        journal.write(JournalRefused::leftBeside);
    }
    EXPECT_EQ(numberInLongList(SettingsWriter::readValueFile(back).value_or(QByteArray())), 30);
}

// A full list that gains a record at one end and drops one at the other (the history at its most
// records) is journaled as the two small splices it is, not as the whole text between them. Handed over
// as those splices of the text before, it is written without being made whole, also when two changes
// wait together.
TEST_F(UserDefaultsTest, AListShiftedByOneRecordIsJournaledAsTwoSmallSplices) {
    const auto record = [](int n) {
        return "{\"id\":\"" + QByteArray::number(n) + "\",\"text\":\"" + QByteArray(200 + n % 50, char('a' + n % 26)) +
               "\"}";
    };
    const auto records = [&](int newest, bool newestFirst) {
        QByteArrayList items;
        for (int n = newest - 199; n <= newest; ++n)
            items << record(n);
        if (newestFirst)
            std::reverse(items.begin(), items.end());
        return "[" + items.join(',') + "]";
    };
    const QString key = QStringLiteral("translationHistory");
    const QString file = valuePath(key);
    struct Case {
        const char* name;
        bool newestFirst;
        bool spliced;
    };
    for (const Case& c : {Case{"newest first", true, false}, Case{"newest last", false, false},
                          Case{"spliced", true, true}}) {
        SCOPED_TRACE(c.name);
        {
            UserDefaults defaults(path());
            std::shared_ptr<LazyText> text = LazyText::of(records(200, c.newestFirst));
            defaults.setText(key, text);
            defaults.waitForWrites();
            const ino_t base = inodeOf(file);
            const qint64 journal = QFileInfo(file + QStringLiteral(".journal")).size();
            for (int n = 201; n <= 205; ++n) {
                const std::shared_ptr<LazyText> before = text;
                if (c.spliced) {
                    const QByteArray added = record(n) + ",";
                    const QByteArray dropped = "," + record(n - 200);
                    const qsizetype size = records(n - 1, true).size() + added.size();
                    text = LazyText::spliced(LazyText::spliced(before, {1, 0, added}),
                                             {size - 1 - dropped.size(), dropped.size(), {}});
                } else {
                    text = LazyText::of(records(n, c.newestFirst));
                }
                defaults.setText(key, text);
                if (n == 203)
                    continue;
                defaults.waitForWrites();
                if (c.spliced) {
                    const auto splices = text->splicesSince(before.get(), nullptr, 10);
                    EXPECT_TRUE(splices && splices->size() == 2) << n << ": not made whole";
                }
            }
            EXPECT_EQ(inodeOf(file), base) << "no change is the whole list";
            EXPECT_LT(QFileInfo(file + QStringLiteral(".journal")).size() - journal, 5 * 400);
            // A whole text after the splices is journaled as what changed since them.
            defaults.setText(key, LazyText::of(records(206, c.newestFirst)));
            defaults.waitForWrites();
            EXPECT_TRUE(text->utf8() == records(205, c.newestFirst));
        }
        UserDefaults reopened(path());
        EXPECT_TRUE(reopened.data(key) == records(206, c.newestFirst));
    }
}

// A quit after a few small changes writes them alone, however long the value they change.
TEST_F(UserDefaultsTest, AQuitAfterAFewChangesWritesLittleAtAnyListSize) {
    QFile io(QStringLiteral("/proc/self/io"));
    if (!io.open(QIODevice::ReadOnly))
        GTEST_SKIP() << "the kernel counts no bytes written per process";
    const auto bytesWritten = [&] {
        io.seek(0);
        const QByteArray text = io.readAll();
        const qsizetype at = text.indexOf("wchar: ") + 7;
        return text.mid(at, text.indexOf('\n', at) - at).toLongLong();
    };
    QByteArray list = longList(1);
    list.append(QByteArray(4 << 20, 'y'));
    {
        UserDefaults defaults(path());
        defaults.setText(QStringLiteral("favoriteTranslations"), LazyText::of(list));
    }
    const qint64 before = bytesWritten();
    {
        UserDefaults defaults(path());
        for (int change = 0; change < 3; ++change) {
            list.replace(10 + change * 100, 44, QByteArray(44, char('a' + change)));
            defaults.setText(QStringLiteral("favoriteTranslations"), LazyText::of(list));
            defaults.waitForWrites();
        }
    }
    EXPECT_LT(bytesWritten() - before, 64 * 1024);
    UserDefaults reopened(path());
    EXPECT_EQ(reopened.data(QStringLiteral("favoriteTranslations")), list);
}

// The process is killed at random moments while it writes: every file stays readable and holds a
// value that was set, never an older one than a run before saw. Every other run hands the list over as
// splices of the one before.
TEST_F(UserDefaultsTest, KillingTheProcessWhileItWritesLeavesEveryFileReadable) {
    int seen = 0, seenList = 0, seenCounter = 0;
    for (int round = 0; round < 150; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            UserDefaults defaults(path());
            std::shared_ptr<LazyText> list = LazyText::of(longList(seen));
            for (int n = seen + 1;; ++n) {
                defaults.set(QStringLiteral("counter"), n);
                if (round % 2 == 0) {
                    list = LazyText::of(longList(n));
                } else {
                    const QByteArray before = longList(n - 1);
                    list = LazyText::spliced(list, {1, before.size() - 1, longList(n).sliced(1)});
                }
                defaults.setText(QStringLiteral("list"), list);
                if (n % 5 == 0)
                    defaults.waitForWrites();
            }
        }
        // A moment to die at; nothing is asserted about what happened in it.
        std::this_thread::sleep_for(std::chrono::microseconds(QRandomGenerator::global()->bounded(500, 20000)));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);

        UserDefaults reopened(path());
        const int list = reopened.contains(QStringLiteral("list"))
                             ? numberInLongList(reopened.data(QStringLiteral("list")))
                             : 0;
        const int counter = int(reopened.integer(QStringLiteral("counter")));
        ASSERT_TRUE(corruptFiles().isEmpty()) << "round " << round;
        // Nothing a write killed halfway left outlives the start.
        reopened.waitForWrites();
        QStringList left = QDir(QFileInfo(valuePath(QStringLiteral("list"))).absolutePath())
                               .entryList({QStringLiteral("list.txt.*")}, QDir::Files);
        left.removeIf(
            [](const QString& name) { return name.startsWith(QLatin1StringView("list.txt.journal")); });
        left += QDir(QFileInfo(path()).absolutePath()).entryList({QStringLiteral("Quillora.conf.*")});
        ASSERT_EQ(left, QStringList()) << "round " << round;
        ASSERT_GE(list, seenList) << "round " << round;
        ASSERT_GE(counter, seenCounter) << "round " << round;
        seenList = list;
        seenCounter = counter;
        seen = std::max({seen, list, counter});
    }
    EXPECT_GT(seenList, 150);
}

} // namespace

namespace {

mode_t modeOf(const QString& file) {
    struct stat info {};
    return ::stat(QFile::encodeName(file).constData(), &info) == 0 ? info.st_mode & 0777 : 0;
}

// A disk to fill: a file system of its own (mounting one takes root), or one the writer's writes are
// refused or kept short on, as a disk that says it wrote what it did not.
class FullDisk {
public:
    virtual ~FullDisk() = default;
    virtual bool ready() const = 0;
    virtual const char* error() const = 0;
    virtual QString path() const = 0;
    virtual bool fill() = 0;
    // Room for a file of `bytes` (or as much as the disk holds).
    virtual void makeRoom(qint64 bytes = -1) = 0;
};

class SmallFileSystem : public FullDisk {
public:
    SmallFileSystem() {
        QByteArray dir = QFile::encodeName(QDir::tempPath()) + "/quillora-full-XXXXXX";
        if (!::mkdtemp(dir.data())) {
            m_error = std::strerror(errno);
            return;
        }
        m_path = dir;
        if (::mount("tmpfs", dir.constData(), "tmpfs", MS_NOSUID | MS_NODEV, "size=256k,mode=0700") != 0) {
            m_error = std::strerror(errno);
            ::rmdir(dir.constData());
            m_path.clear();
        }
    }
    ~SmallFileSystem() override {
        if (m_path.isEmpty())
            return;
        ::umount2(m_path.constData(), MNT_DETACH);
        ::rmdir(m_path.constData());
    }
    bool ready() const override { return !m_path.isEmpty(); }
    const char* error() const override { return m_error; }
    QString path() const override { return QFile::decodeName(m_path); }

    bool fill() override {
        const int fd = ::open(filler().constData(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        const QByteArray chunk(4096, 'f');
        while (fd >= 0 && ::write(fd, chunk.constData(), size_t(chunk.size())) > 0) {
        }
        const bool full = errno == ENOSPC;
        ::close(fd);
        return full;
    }
    void makeRoom(qint64 bytes) override {
        struct stat info {};
        if (bytes < 0 || ::stat(filler().constData(), &info) != 0 || info.st_size <= bytes)
            ::unlink(filler().constData());
        else
            [[maybe_unused]] const int cut = ::truncate(filler().constData(), info.st_size - bytes);
    }

private:
    QByteArray filler() const { return m_path + "/filler"; }
    QByteArray m_path;
    const char* m_error = "";
};

class SimulatedDisk : public FullDisk {
public:
    // A write past the room keeps what fits and says so, as a disk does, and the next fails; or, when it
    // `lies`, it reports itself whole.
    explicit SimulatedDisk(bool lies) {
        s_lies = lies;
        s_room = std::numeric_limits<qint64>::max();
        SettingsWriter::setWriteForTesting(&write);
    }
    ~SimulatedDisk() override { SettingsWriter::setWriteForTesting(nullptr); }
    bool ready() const override { return m_dir.isValid(); }
    const char* error() const override { return "no temporary folder"; }
    QString path() const override { return m_dir.path(); }
    bool fill() override {
        s_room = 0;
        return true;
    }
    void makeRoom(qint64 bytes) override { s_room = bytes < 0 ? std::numeric_limits<qint64>::max() : bytes; }

private:
    static ssize_t write(int fd, const void* data, size_t size, off_t offset) {
        const qint64 fits = std::clamp<qint64>(s_room - qint64(offset), 0, qint64(size));
        if (fits == qint64(size))
            return ::pwrite(fd, data, size, offset);
        if (!s_lies) {
            if (fits > 0)
                return ::pwrite(fd, data, size_t(fits), offset);
            errno = ENOSPC;
            return -1;
        }
        return fits == 0 || ::pwrite(fd, data, size_t(fits), offset) >= 0 ? ssize_t(size) : -1;
    }
    static inline std::atomic<qint64> s_room = 0;
    static inline std::atomic<bool> s_lies = false;
    QTemporaryDir m_dir;
};

} // namespace

// The settings folder and every file in it are the user's alone, made so or tightened at the start.
TEST_F(UserDefaultsTest, SettingsAreReadableByTheUserAlone) {
    const QString folder = m_dir.filePath(QStringLiteral("Quillora"));
    {
        UserDefaults defaults(path());
        defaults.set(QStringLiteral("alwaysOnTop"), true);
        defaults.setText(QStringLiteral("translationHistory"), LazyText::of(longList(1)));
        defaults.waitForWrites();
        defaults.setText(QStringLiteral("translationHistory"), LazyText::of(longList(2)));
        defaults.waitForWrites();
    }
    const QString history = valuePath(QStringLiteral("translationHistory"));
    const QStringList files = {path(), history, history + QStringLiteral(".journal")};
    const auto expectPrivate = [&] {
        EXPECT_EQ(modeOf(folder), 0700u);
        EXPECT_EQ(modeOf(folder + QStringLiteral("/values")), 0700u);
        for (const QString& file : files)
            EXPECT_EQ(modeOf(file), 0600u) << file.toStdString();
    };
    {
        SCOPED_TRACE("made");
        expectPrivate();
    }
    // As an older version left them.
    ::chmod(QFile::encodeName(folder).constData(), 0755);
    ::chmod(QFile::encodeName(folder + QStringLiteral("/values")).constData(), 0755);
    for (const QString& file : files)
        ::chmod(QFile::encodeName(file).constData(), 0644);
    UserDefaults reopened(path());
    SCOPED_TRACE("tightened");
    expectPrivate();
}

// Holds the first write of the settings until released, as a long one takes its time.
struct HeldWrite {
    static ssize_t write(int fd, const void* data, size_t size, off_t offset) {
        if (!reached.exchange(true)) {
            reached.notify_all();
            released.wait(false);
        }
        return ::pwrite(fd, data, size, offset);
    }
    static void release() {
        released = true;
        released.notify_all();
        SettingsWriter::setWriteForTesting(nullptr);
    }
    static inline std::atomic<bool> reached = false;
    static inline std::atomic<bool> released = false;
};

// What a writer that died left half written (a rewrite killed) is removed at the next start, in the values
// folder and beside a settings file kept elsewhere through a link, but not what another store of the
// folder is writing, nor anything else.
TEST_F(UserDefaultsTest, AStartRemovesWhatWritersThatDiedLeftAndNothingElse) {
    const QString values = m_dir.filePath(QStringLiteral("Quillora/values/"));
    const QString dotfiles = m_dir.filePath(QStringLiteral("dotfiles/"));
    struct Case {
        QString file;
        bool removed;
    };
    const Case cases[] = {
        {values + QStringLiteral("translationHistory.txt.quillora-temp-3k8a0qz1m"), true},
        // As an earlier version named it.
        {values + QStringLiteral("favoriteTranslations.txt.k3j9xq"), true},
        {dotfiles + QStringLiteral("quillora.conf.quillora-temp-x2b"), true},
        {dotfiles + QStringLiteral("quillora.conf.k3j9xq"), false},
        {dotfiles + QStringLiteral("other.conf.quillora-temp-x2b"), false},
        {values + QStringLiteral("favoriteTranslations.txt.journal.unapplied-20250101000000"), false},
        {values + QStringLiteral("favoriteTranslations.unreadable-20250101000000.txt"), false},
        {m_dir.filePath(QStringLiteral("Quillora/Quillora.conf.corrupt-20250101000000")), false},
    };
    ASSERT_TRUE(QDir().mkpath(values) && QDir().mkpath(dotfiles));
    ASSERT_TRUE(QFile::link(dotfiles + QStringLiteral("quillora.conf"), path()));
    for (const Case& c : cases) {
        QFile file(c.file);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("the user's text");
    }
    UserDefaults writing(path());
    writing.waitForWrites();
    for (const Case& c : cases)
        EXPECT_NE(QFileInfo::exists(c.file), c.removed) << c.file.toStdString();

    SettingsWriter::setWriteForTesting(&HeldWrite::write);
    const std::unique_ptr<void, void (*)(void*)> release(&HeldWrite::reached,
                                                         [](void*) { HeldWrite::release(); });
    writing.setText(QStringLiteral("translationHistory"), LazyText::of(longList(7)));
    ASSERT_TRUE(waitUntil([] { return HeldWrite::reached.load(); }));
    UserDefaults(path()).waitForWrites();
    HeldWrite::release();
    writing.waitForWrites();
    EXPECT_EQ(SettingsWriter::readValueFile(valuePath(QStringLiteral("translationHistory"))), longList(7));
}

// A write the disk refused leaves the old file whole, stays in memory, is told once, and is written
// with the next change, or at the end, once there is room.
TEST_F(UserDefaultsTest, AFullDiskKeepsEveryFileWholeAndWritesWhatFailedOnceThereIsRoom) {
    struct Case {
        const char* name;
        std::function<std::unique_ptr<FullDisk>()> make;
        // Why, as the user is told.
        const char* why;
    };
    const Case cases[] = {
        {"a small file system", [] { return std::make_unique<SmallFileSystem>(); }, "the disk is full"},
        {"writes refused", [] { return std::make_unique<SimulatedDisk>(false); }, "the disk is full"},
        {"writes kept short but told whole", [] { return std::make_unique<SimulatedDisk>(true); },
         "the disk failed"},
    };
    std::string skipped;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::unique_ptr<FullDisk> disk = c.make();
        if (!disk->ready()) {
            skipped += std::string(skipped.empty() ? "" : "; ") + c.name + ": " + disk->error();
            continue;
        }
        const QString settings = disk->path() + QStringLiteral("/Quillora/Quillora.conf");
        const QString values = disk->path() + QStringLiteral("/Quillora/values/");
        const QString history = values + SettingsWriter::fileNameOf(QStringLiteral("translationHistory"));
        const QString favorites = values + SettingsWriter::fileNameOf(QStringLiteral("favoriteTranslations"));
        const QByteArray before(407, 'b'), after(600, 'a');
        auto defaults = std::make_unique<UserDefaults>(settings);
        QSignalSpy failures(defaults.get(), &UserDefaults::writeFailed);
        defaults->setText(QStringLiteral("translationHistory"), LazyText::of(before));
        defaults->set(QStringLiteral("count"), 1);
        defaults->waitForWrites();

        // One file after another, each tried again with the next.
        ASSERT_TRUE(disk->fill());
        defaults->setText(QStringLiteral("translationHistory"), LazyText::of(after));
        defaults->waitForWrites();
        for (int n = 1; n <= 3; ++n) {
            defaults->setText(QStringLiteral("favoriteTranslations"), LazyText::of(longList(n)));
            defaults->waitForWrites();
            defaults->set(QStringLiteral("count"), 1 + n);
            defaults->waitForWrites();
        }
        QCoreApplication::processEvents();
        EXPECT_EQ(SettingsWriter::readValueFile(history), before);
        EXPECT_EQ(fileBytes(history), before);
        EXPECT_FALSE(QFileInfo::exists(favorites));
        EXPECT_EQ(QSettings(settings, QSettings::IniFormat).value(QStringLiteral("count")).toInt(), 1);
        // Each file's failure is told once; those the writer took together, in one line.
        const QString why = QStringLiteral(" not saved: ") + QLatin1StringView(c.why);
        const auto toldSince = [&](qsizetype first) {
            QStringList what;
            for (qsizetype n = first; n < failures.count(); ++n) {
                const QString told = failures.at(n).at(0).toString();
                EXPECT_TRUE(told.endsWith(why)) << told.toStdString();
                what << told.chopped(why.size());
            }
            return what;
        };
        EXPECT_EQ(toldSince(0), QStringList({"History", "Favorites", "Settings"}));

        disk->makeRoom();
        defaults->set(QStringLiteral("alwaysOnTop"), true);
        defaults->waitForWrites();
        EXPECT_EQ(SettingsWriter::readValueFile(history), after);
        EXPECT_EQ(fileBytes(favorites), longList(3));
        EXPECT_EQ(QDir(values).entryList({QStringLiteral("*.txt"), QStringLiteral("*.journal")}, QDir::Files),
                  QDir(values).entryList(QDir::Files))
            << "nothing written aside is left behind";

        ASSERT_TRUE(disk->fill());
        const qsizetype toldBefore = failures.count();
        defaults->setText(QStringLiteral("favoriteTranslations"), LazyText::of(longList(4)));
        defaults->set(QStringLiteral("count"), 5);
        defaults->waitForWrites();
        QCoreApplication::processEvents();
        QStringList again = toldSince(toldBefore);
        again.sort();
        EXPECT_TRUE(again == QStringList({"Favorites", "Settings"}) || again == QStringList{"Changes"})
            << "told again after writes succeeded in between: " << again.join(", ").toStdString();
        disk->makeRoom();
        defaults.reset();
        {
            UserDefaults reopened(settings);
            EXPECT_EQ(reopened.data(QStringLiteral("favoriteTranslations")), longList(4));
            EXPECT_EQ(reopened.data(QStringLiteral("translationHistory")), after);
            EXPECT_EQ(reopened.integer(QStringLiteral("count")), 5);
        }

        // A long value's change that failed leaves its journal as it was: with a little room again, the
        // next change and the failed one are small appends, where a rewrite would find no room.
        const QByteArray list = longList(5) + QByteArray(100 * 1024, 'z');
        defaults = std::make_unique<UserDefaults>(settings);
        defaults->setText(QStringLiteral("favoriteTranslations"), LazyText::of(list));
        defaults->waitForWrites();
        ASSERT_TRUE(fileBytes(favorites) == list);
        ASSERT_TRUE(disk->fill());
        defaults->setText(QStringLiteral("favoriteTranslations"), LazyText::of(list + "1"));
        defaults->waitForWrites();
        disk->makeRoom(16 * 1024);
        defaults->setText(QStringLiteral("favoriteTranslations"), LazyText::of(list + "12"));
        defaults->waitForWrites();
        EXPECT_TRUE(SettingsWriter::readValueFile(favorites) == list + "12");
        // So does one only a part of which found room: the part is cut off again.
        const QString journal = favorites + QStringLiteral(".journal");
        const QByteArray journaled = fileBytes(journal);
        ASSERT_LT(journaled.size(), 4096);
        disk->fill();
        disk->makeRoom(8 * 1024);
        defaults->setText(QStringLiteral("favoriteTranslations"), LazyText::of(list + QByteArray(20 * 1024, 'p')));
        defaults->waitForWrites();
        EXPECT_TRUE(fileBytes(journal) == journaled) << "journal of " << fileBytes(journal).size() << " bytes";
        disk->makeRoom(16 * 1024);
        defaults->setText(QStringLiteral("favoriteTranslations"), LazyText::of(list + "123"));
        defaults->waitForWrites();
        EXPECT_TRUE(SettingsWriter::readValueFile(favorites) == list + "123");
        // Nor is it left for the quit, which finds no room.
        disk->fill();
        defaults.reset();
        EXPECT_TRUE(SettingsWriter::readValueFile(favorites) == list + "123");
        EXPECT_TRUE(fileBytes(favorites) == list) << "a little room is no room for a rewrite";
    }
    if (!skipped.empty())
        GTEST_SKIP() << "not run: " << skipped;
}

// While it lives, this thread is refused files as their modes say, root or not.
class WithoutFileAccessOverride {
public:
    WithoutFileAccessOverride() {
        if (::syscall(SYS_capget, &m_header, m_saved) != 0)
            return;
        __user_cap_data_struct dropped[2] = {m_saved[0], m_saved[1]};
        for (const int capability : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH})
            dropped[capability / 32].effective &= ~(1u << (capability % 32));
        m_active = ::syscall(SYS_capset, &m_header, dropped) == 0;
    }
    ~WithoutFileAccessOverride() {
        if (m_active)
            ::syscall(SYS_capset, &m_header, m_saved);
    }
    bool active() const { return m_active; }

private:
    __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_saved[2] = {};
    bool m_active = false;
};

// While it lives, reads of one file give `bytes` bytes, then fail as a failing disk does (EIO), or, when
// it `ends`, find the end, as in a file cut shorter since it was opened.
class ReadFailingPartway {
public:
    ReadFailingPartway(const QString& file, qsizetype bytes, bool ends = false) {
        struct stat info {};
        s_inode = ::stat(QFile::encodeName(file).constData(), &info) == 0 ? info.st_ino : 0;
        s_left = bytes;
        s_ends = ends;
        SettingsWriter::setReadForTesting(&read);
    }
    ~ReadFailingPartway() { SettingsWriter::setReadForTesting(nullptr); }

private:
    static ssize_t read(int fd, void* buffer, size_t size) {
        struct stat info {};
        if (::fstat(fd, &info) != 0 || info.st_ino != s_inode)
            return ::read(fd, buffer, size);
        if (s_left == 0 && s_ends)
            return 0;
        if (s_left == 0) {
            errno = EIO;
            return -1;
        }
        const ssize_t got = ::read(fd, buffer, std::min(size, size_t(s_left)));
        s_left -= got > 0 ? got : 0;
        return got;
    }
    static inline std::atomic<ino_t> s_inode = 0;
    static inline std::atomic<qsizetype> s_left = 0;
    static inline std::atomic<bool> s_ends = false;
};

// A settings file that could not be read, whole or at all, or that is no file, is not written over: its
// defaults stand in for it in memory, the user is told once, and the next start reads it again.
TEST_F(UserDefaultsTest, ASettingsFileThatCouldNotBeReadIsNotWrittenOver) {
    const QString favorites = QStringLiteral("favoriteTranslations");
    const QString aside = path() + QStringLiteral(".aside");
    QByteArray settings;
    struct Case {
        const char* name;
        std::function<void()> spoil;
        std::function<void()> mend;
        bool asUser = false;
    };
    std::optional<ReadFailingPartway> failingRead;
    const auto putAside = [&] { ASSERT_TRUE(QFile::rename(path(), aside)); };
    const auto putBack = [&] { ASSERT_TRUE(QFile::rename(aside, path())); };
    const Case cases[] = {
        {"no permission", [&] { ASSERT_EQ(::chmod(QFile::encodeName(path()).constData(), 0), 0); },
         [&] { ASSERT_EQ(::chmod(QFile::encodeName(path()).constData(), 0600), 0); }, true},
        // The part read is a whole file of its own, but for the value after it.
        {"a read failing at a line's end",
         [&] { failingRead.emplace(path(), settings.indexOf("launchAtLogin")); }, [&] { failingRead.reset(); }},
        {"a read failing mid-line",
         [&] { failingRead.emplace(path(), settings.indexOf("launchAtLogin") + 6); }, [&] { failingRead.reset(); }},
        // Only the size it had when opened tells these.
        {"a file cut short after it was opened, at a line's end",
         [&] { failingRead.emplace(path(), settings.indexOf("launchAtLogin"), true); }, [&] { failingRead.reset(); }},
        {"a file cut one byte short after it was opened",
         [&] { failingRead.emplace(path(), settings.size() - 1, true); }, [&] { failingRead.reset(); }},
        // Opening a FIFO to read would block this thread until a writer came.
        {"a FIFO",
         [&] {
             putAside();
             ASSERT_EQ(::mkfifo(QFile::encodeName(path()).constData(), 0600), 0);
         },
         [&] {
             ASSERT_TRUE(QFile::remove(path()));
             putBack();
         }},
        {"a folder",
         [&] {
             putAside();
             ASSERT_TRUE(QDir().mkdir(path()));
         },
         [&] {
             ASSERT_TRUE(QDir().rmdir(path()));
             putBack();
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(m_dir.filePath(QStringLiteral("Quillora"))).removeRecursively();
        {
            UserDefaults defaults(path());
            defaults.set(QStringLiteral("launchAtLogin"), false);
            defaults.set(QStringLiteral("checkForUpdatesAutomatically"), false);
        }
        settings = fileBytes(path());
        ASSERT_TRUE(settings.contains("\nlaunchAtLogin=false\n"));
        c.spoil();
        const ino_t spoiled = inodeOf(path());
        {
            std::optional<WithoutFileAccessOverride> asUser;
            if (c.asUser) {
                ASSERT_TRUE(asUser.emplace().active());
            }
            UserDefaults defaults(path());
            EXPECT_TRUE(defaults.isFileUnreadable());
            EXPECT_FALSE(defaults.contains(QStringLiteral("launchAtLogin")));
            // Before anyone listens, as at start: told once someone does.
            defaults.set(QStringLiteral("launchAtLogin"), true);
            QCoreApplication::processEvents();
            QSignalSpy failures(&defaults, &UserDefaults::writeFailed);
            defaults.set(QStringLiteral("hasEverLaunched"), true);
            // The values of their own files are no part of it.
            defaults.setText(favorites, LazyText::of(longList(1)));
            defaults.waitForWrites();
            QCoreApplication::processEvents();
            defaults.set(QStringLiteral("count"), 2);
            QCoreApplication::processEvents();
            EXPECT_TRUE(defaults.boolean(QStringLiteral("launchAtLogin")));
            EXPECT_EQ(failures.count(), 1);
            EXPECT_EQ(failures.value(0).value(0).toString(),
                      QStringLiteral("Settings not saved: the file could not be read"));
        }
        EXPECT_EQ(inodeOf(path()), spoiled) << "nothing put in its place";
        EXPECT_TRUE(corruptFiles().isEmpty()) << "nothing set aside as damaged";
        c.mend();
        EXPECT_EQ(fileBytes(path()), settings);
        UserDefaults restarted(path());
        EXPECT_FALSE(restarted.isFileUnreadable());
        EXPECT_FALSE(restarted.boolean(QStringLiteral("launchAtLogin")));
        EXPECT_FALSE(restarted.boolean(QStringLiteral("checkForUpdatesAutomatically")));
        EXPECT_EQ(restarted.data(favorites), longList(1));
    }
}

// A link placed in the settings folder while the program runs, or at the folder of the values, is never
// read or written through: what it points to, outside, stays as it was, modes included, though it holds
// what the link replaced. Nor is a second name of a file there, outside, written into or its mode
// changed. A link at the settings file is the user's way to keep it elsewhere: it stays, and what it
// points to is replaced, its mode kept.
TEST_F(UserDefaultsTest, ALinkInTheSettingsFolderIsNeverWrittenThrough) {
    const QString favorites = QStringLiteral("favoriteTranslations");
    struct Case {
        const char* name;
        QString link;
        // A link at the value file is not read either.
        bool readsBack;
        bool failureTold;
        bool secondName = false;
        // Placed while the program is not running, as the user does: a start meets it.
        bool beforeAStart = false;
        bool writtenThrough = false;
    };
    const Case cases[] = {
        {"at the journal", valuePath(favorites) + QStringLiteral(".journal"), true, false},
        {"at the value file", valuePath(favorites), false, false},
        {"at the settings file", path(), true, false, false, true, true},
        {"at the values folder", m_dir.filePath(QStringLiteral("Quillora/values")), false, true},
        {"a second name of the journal", valuePath(favorites) + QStringLiteral(".journal"), true, false, true},
        {"a second name of the value file", valuePath(favorites), true, false, true},
        {"a second name of the settings file", path(), true, false, true, true},
    };
    const QString outside = m_dir.filePath(QStringLiteral("outside"));
    // Each file there with its mode and bytes.
    const auto outsideAsItIs = [&] {
        QStringList files;
        const QFileInfo info(outside);
        const QStringList names = info.isDir() ? QDir(outside).entryList(QDir::Files | QDir::Hidden)
                                               : QStringList{QString()};
        for (const QString& name : names) {
            const QString file = info.isDir() ? outside + QLatin1Char('/') + name : outside;
            files << name + QLatin1Char(' ') + QString::number(modeOf(file), 8) + QLatin1Char(' ') +
                         QString::fromLatin1(fileBytes(file).toHex());
        }
        return files;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(m_dir.filePath(QStringLiteral("Quillora"))).removeRecursively();
        auto defaults = std::make_unique<UserDefaults>(path());
        QSignalSpy failures(defaults.get(), &UserDefaults::writeFailed);
        // The second change begins the journal.
        for (int n = 1; n <= 2; ++n) {
            defaults->setText(favorites, LazyText::of(longList(n)));
            defaults->set(QStringLiteral("count"), n);
            defaults->waitForWrites();
        }
        ASSERT_TRUE(QFileInfo::exists(valuePath(favorites) + QStringLiteral(".journal")));
        QStringList before;
        const auto place = [&] {
            // What the link points to is what it replaced, so that it looks the part.
            ASSERT_TRUE(QFile::rename(c.link, outside));
            if (c.secondName) {
                ASSERT_EQ(::link(QFile::encodeName(outside).constData(), QFile::encodeName(c.link).constData()), 0);
            } else {
                ASSERT_TRUE(QFile::link(outside, c.link));
            }
            if (QFileInfo(outside).isDir()) {
                QFile other(outside + QStringLiteral("/notes.txt"));
                ASSERT_TRUE(other.open(QIODevice::WriteOnly));
                other.write("someone else's\n");
                other.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
            } else {
                ASSERT_EQ(::chmod(QFile::encodeName(outside).constData(), 0644), 0);
            }
            before = outsideAsItIs();
        };
        if (!c.beforeAStart)
            place();
        for (int n = 3; n <= 4; ++n) {
            defaults->setText(favorites, LazyText::of(longList(n)));
            defaults->set(QStringLiteral("count"), n);
            defaults->waitForWrites();
        }
        QCoreApplication::processEvents();
        EXPECT_EQ(failures.count(), c.failureTold ? 1 : 0);
        if (c.failureTold) {
            EXPECT_EQ(failures.value(0).value(0).toString(),
                      QStringLiteral("Favorites not saved: a link is in the way"));
        }
        if (c.readsBack)
            EXPECT_EQ(SettingsWriter::readValueFile(valuePath(favorites)), longList(4));
        else
            EXPECT_FALSE(SettingsWriter::readValueFile(valuePath(favorites)));
        // The quit tries again what failed, and the next start tightens the folder's modes. A link a start
        // meets in the values' way is told as one, once, when the value read at start is to be replaced.
        defaults.reset();
        if (c.beforeAStart)
            place();
        const bool linkInTheWay = c.link != path() && QFileInfo(c.link).isSymLink();
        {
            UserDefaults restarted(path());
            QSignalSpy told(&restarted, &UserDefaults::writeFailed);
            restarted.data(favorites);
            restarted.setText(favorites, LazyText::of(longList(5)));
            restarted.set(QStringLiteral("count"), 5);
            restarted.waitForWrites();
            QCoreApplication::processEvents();
            EXPECT_EQ(told.count(), linkInTheWay ? 1 : 0);
            if (linkInTheWay) {
                EXPECT_EQ(told.value(0).value(0).toString(),
                          QStringLiteral("Favorites not saved: a link is in the way"));
            }
        }
        if (c.writtenThrough) {
            EXPECT_TRUE(QFileInfo(c.link).isSymLink());
            EXPECT_EQ(modeOf(outside), 0644u);
            EXPECT_TRUE(fileBytes(outside).contains("\ncount=5\n"));
        } else {
            EXPECT_EQ(outsideAsItIs(), before);
        }
        QFile::remove(c.link);
        QDir(outside).removeRecursively();
        QFile::remove(outside);
    }
}

// A journal is begun as a new file: one put at its name in the moment between the removal of the old
// one and the beginning (a link to a file of someone else's, as empty as a new journal) is not written
// into. Each other change is too long for the journal and rewrites the file, so that the next begins one.
TEST_F(UserDefaultsTest, AJournalIsBegunAsANewFileNeverIntoOneFoundThere) {
    const QString key = QStringLiteral("favoriteTranslations");
    const QByteArray journal = QFile::encodeName(valuePath(key) + QStringLiteral(".journal"));
    const QByteArray outside = QFile::encodeName(m_dir.filePath(QStringLiteral("outside")));
    ASSERT_TRUE(QFile(QFile::decodeName(outside)).open(QIODevice::WriteOnly));
    const auto value = [](int n) {
        QByteArray text(100 * 1024, 'a');
        text.replace(1000, 70 * 1024, QByteArray(70 * 1024, char('b' + n / 2 % 20)));
        return text + QByteArray::number(n % 2);
    };
    UserDefaults defaults(path());
    defaults.setText(key, LazyText::of(value(0)));
    defaults.waitForWrites();
    std::atomic<bool> stop = false;
    std::thread other([&] {
        while (!stop)
            ::link(outside.constData(), journal.constData());
    });
    for (int n = 1; n <= 100 && QFileInfo(QFile::decodeName(outside)).size() == 0; ++n) {
        defaults.setText(key, LazyText::of(value(n)));
        defaults.waitForWrites();
    }
    stop = true;
    other.join();
    EXPECT_EQ(QFileInfo(QFile::decodeName(outside)).size(), 0);
}

// A value whose files could not be read (here its journal, which is no file) is not empty: nothing a
// caller made of it is written over it, and the next start reads it again.
TEST_F(UserDefaultsTest, AValueThatCouldNotBeReadIsNotWrittenOver) {
    const QString favorites = QStringLiteral("favoriteTranslations");
    const QString journal = valuePath(favorites) + QStringLiteral(".journal");
    {
        UserDefaults defaults(path());
        defaults.setText(favorites, LazyText::of(longList(1)));
    }
    ASSERT_TRUE(QDir().mkdir(journal));
    {
        UserDefaults defaults(path());
        QSignalSpy failures(&defaults, &UserDefaults::writeFailed);
        const QByteArray read = defaults.data(favorites);
        EXPECT_TRUE(read.isEmpty());
        EXPECT_TRUE(defaults.isUnreadableString(favorites));

        defaults.setText(favorites, LazyText::of("[" + read + "]"));
        defaults.remove(favorites);
        defaults.waitForWrites();
        QCoreApplication::processEvents();
        EXPECT_EQ(failures.count(), 1);
        EXPECT_EQ(failures.value(0).value(0).toString(),
                  QStringLiteral("Favorites not saved: the file could not be read"));
        EXPECT_EQ(fileBytes(valuePath(favorites)), longList(1));
    }
    ASSERT_TRUE(QDir().rmdir(journal));
    UserDefaults restarted(path());
    EXPECT_EQ(restarted.data(favorites), longList(1));
    EXPECT_FALSE(restarted.isUnreadableString(favorites));
    restarted.setText(favorites, LazyText::of(longList(2)));
    restarted.waitForWrites();
    EXPECT_EQ(SettingsWriter::readValueFile(valuePath(favorites)), longList(2));
}

// While another process (another login, another machine on the same home) holds the settings folder,
// this one keeps its changes in memory, writes none of the store's files, tells no text as saved, and
// says why once. A holder that was killed keeps nobody out, nor does another store of this process; the
// lock goes with the last store.
TEST_F(UserDefaultsTest, AFolderAnotherProcessWritesIsNotWritten) {
    const QString folder = m_dir.filePath(QStringLiteral("Quillora"));
    const QByteArray lockFile = QFile::encodeName(folder + QStringLiteral("/Quillora.lock"));
    const QString favorites = QStringLiteral("favoriteTranslations");
    enum Holder { Living, Killed, ThisProcess };
    const struct {
        const char* name;
        Holder holder;
    } cases[] = {{"another process", Living}, {"a process killed", Killed}, {"this process", ThisProcess}};
    // Every file with its bytes.
    const auto asItIs = [&] {
        QStringList files;
        for (QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
             it.hasNext();) {
            const QString file = it.next();
            files << file + QLatin1Char(' ') + QString::fromLatin1(fileBytes(file).toHex());
        }
        files.sort();
        return files;
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(folder).removeRecursively();
        {
            UserDefaults first(path());
            first.set(QStringLiteral("count"), 1);
            first.setText(favorites, LazyText::of(longList(1)));
        }
        std::optional<UserDefaults> other;
        pid_t holder = -1;
        if (c.holder == ThisProcess) {
            other.emplace(path());
        } else {
            int ready[2];
            ASSERT_EQ(::pipe(ready), 0);
            holder = ::fork();
            ASSERT_GE(holder, 0);
            if (holder == 0) {
                const int fd = ::open(lockFile.constData(), O_RDWR | O_CREAT, 0600);
                ::_exit(::flock(fd, LOCK_EX) != 0 || ::write(ready[1], "x", 1) != 1 || ::pause());
            }
            char byte = 0;
            ASSERT_EQ(::read(ready[0], &byte, 1), 1);
            ::close(ready[0]);
            ::close(ready[1]);
            if (c.holder == Killed) {
                ::kill(holder, SIGKILL);
                ASSERT_EQ(::waitpid(holder, nullptr, 0), holder);
            }
        }
        const bool lockedOut = c.holder == Living;
        const QStringList before = asItIs();
        {
            UserDefaults defaults(path());
            QSignalSpy told(&defaults, &UserDefaults::writeFailed);
            QSignalSpy saved(&defaults, &UserDefaults::textSaved);
            defaults.set(QStringLiteral("count"), 2);
            for (int n = 2; n <= 3; ++n)
                defaults.setText(favorites, LazyText::of(longList(n)));
            defaults.set(QStringLiteral("launchAtLogin"), true);
            defaults.waitForWrites();
            QCoreApplication::processEvents();
            EXPECT_EQ(defaults.integer(QStringLiteral("count")), 2);
            EXPECT_EQ(defaults.data(favorites), longList(3));
            EXPECT_EQ(told.count(), lockedOut ? 1 : 0);
            if (lockedOut) {
                EXPECT_EQ(told.value(0).value(0).toString(),
                          QStringLiteral("Changes not saved: another Quillora uses these settings"));
            }
            EXPECT_FALSE(saved.isEmpty());
            for (const QList<QVariant>& text : saved)
                EXPECT_EQ(text.at(2).toBool(), !lockedOut);
        }
        EXPECT_EQ(asItIs() == before, lockedOut) << "nothing written, at the quit neither";
        other.reset();
        if (holder > 0 && c.holder == Living) {
            ::kill(holder, SIGKILL);
            ASSERT_EQ(::waitpid(holder, nullptr, 0), holder);
        }
        const int fd = ::open(lockFile.constData(), O_RDWR | O_CLOEXEC);
        EXPECT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0) << "let go";
        ::close(fd);
    }
}
