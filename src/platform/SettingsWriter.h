#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include <sys/types.h>

class LazyText;

// The settings store's writer thread. The main thread hands it whole copies of what is to be written
// and goes on; a change handed over while a write runs waits, merged with any later one, for the next.
// Every file is replaced atomically (written aside, then renamed over), except that a small change of a
// long value is appended to a journal beside its file: "<file>.journal" starts with the identity of the
// file it applies to (its size and a digest of its bytes, so that a copy of the folder keeps it), then
// holds splices ("offset removed inserted\n" + the inserted bytes + "\n"). A journal cut short by a
// crash loses only its last splice; a journal of another file is not applied, and one damaged before its
// end is applied up to the damage: both are kept aside ("<file>.journal.unapplied-<time>") rather than
// removed. Journals are folded into their files when they grow past their limits, so that a quit
// writes no more than the changes it ends. Files and the values folder are the user's alone; a link at
// the folder or at a file in it is never read or written through, nor is a file with a second name
// written into or its mode changed. A settings file that is a link keeps it: the file it points to is
// replaced.
//
// A file is replaced only once its new content is on the disk whole. What could not be written stays
// here and is tried again with the next change and when the writer stops.
class SettingsWriter {
public:
    // Whether a value's text handed over reached the disk.
    struct Written {
        QString key;
        std::shared_ptr<LazyText> text;
        bool saved = false;
    };
    // Called on the writer thread after each round of writes that wrote values, failed or kept something
    // aside: each file (by name) that could not be written, with why (an errno value, see notSaved()),
    // and each that failed before and is written now, with 0; what became of each value's text; and what
    // to tell the user once of each journal kept aside.
    using Outcome = std::function<void(const QHash<QString, int>& files, const QList<Written>& values,
                                       const QStringList& notices)>;

    SettingsWriter(QString iniPath, QString valuesDir, Outcome outcome = {});
    // Writes what is pending, tries once more what failed, and stops.
    ~SettingsWriter();

    // The INI file is known to hold these bytes (read at start), so the same bytes are not written.
    void setIniOnDisk(const QByteArray& bytes);
    void writeIni(const QMap<QString, QVariant>& values);
    // A null text removes the value's files.
    void writeValue(const QString& key, std::shared_ptr<LazyText> text);
    // Removes what writers that died left half written (a rewrite killed), in the values folder and
    // beside the settings file, before the next write: a start of the process that writes the folder.
    void removeLeftovers();
    void waitForWrites();

    // Keys of the values with files of their own.
    QStringList valueKeys() const;
    // Reads a value's file with its journal (any thread, before the value is written by this writer).
    // Nothing, with errno set (ELOOP for a link in the way), when the file cannot be read.
    std::optional<QByteArray> readValue(const QString& key);

    // A value's file with its journal applied, as the store reads it (tests).
    static std::optional<QByteArray> readValueFile(const QString& path);

    // Stands in for pwrite(2) in every write of the settings (tests: a full disk, or one that keeps less
    // than it says); null puts pwrite back.
    using WriteFunction = ssize_t (*)(int fd, const void* data, size_t size, off_t offset);
    static void setWriteForTesting(WriteFunction write);
    // Stands in for read(2) in every read of the settings (tests: a disk failing partway); null puts
    // read back.
    using ReadFunction = ssize_t (*)(int fd, void* buffer, size_t size);
    static void setReadForTesting(ReadFunction read);

    // Reads a regular file whole (links followed); nothing, with errno set, when it is something else or
    // a read fails, also partway.
    static std::optional<QByteArray> readFile(const QString& path);

    static QString fileNameOf(const QString& key);
    static std::optional<QString> keyOfFileName(const QString& fileName);

    // What the user is told, in a few words that fit a toast: what was not saved (the settings, the
    // favorites or the history, after the file's name), and why.
    static QString notSaved(const QString& fileName, int error);
    // The same of several files at once, in one line ("Changes not saved: ..." when they hold several
    // things).
    static QString notSaved(const QStringList& fileNames, int error);
    // A file that could not be read for `error`: a link in the way is told as such.
    static QString notRead(const QString& fileName, int error = 0);
    static QString keptAside(const QString& fileName);

private:
    struct OnDisk {
        QByteArray bytes;
        qsizetype baseSize = 0;
        qsizetype journalBytes = 0;
        int journalRecords = 0;
        // False when the journal must not be appended to (cut short, of another file, or of an earlier
        // version).
        bool appendable = true;
        // The first line of the journal applied (none: no journal of this file is known).
        QByteArray journalHeader;
        // The text last written, of which only its changes may have been: `bytes` are then made from it
        // when first needed.
        std::shared_ptr<LazyText> text;
        bool unmade = false;
        // The first line of a journal begun on the file as it is, worked out before a change waits for it.
        QByteArray nextHeader;
    };
    struct Pending {
        std::optional<QByteArray> iniOnDisk;
        std::optional<QMap<QString, QVariant>> ini;
        QMap<QString, std::shared_ptr<LazyText>> values;
        QHash<QString, OnDisk> known;
        bool leftovers = false;
        bool isEmpty() const {
            return !iniOnDisk && !ini && values.isEmpty() && known.isEmpty() && !leftovers;
        }
    };

    // Reads the file `name` of the folder `dir` with its journal.
    static std::optional<OnDisk> read(int dir, const QByteArray& name);
    void run();
    void write(Pending& job);
    void removeLeftoversNow();
    bool writeOne(const QString& key, const std::shared_ptr<LazyText>& text);
    bool rewrite(const QString& key, const QByteArray& bytes, std::shared_ptr<LazyText> text = nullptr);
    static const QByteArray& contentOf(OnDisk& disk);
    // Takes a journal not applied out of the way of a file or journal about to be begun afresh: kept
    // aside, and the user told, when it holds anything.
    void clearJournal(const QByteArray& name);
    bool removeValue(const QString& key);

    const QString m_iniPath;
    const QString m_valuesDir;
    const Outcome m_outcome;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    Pending m_pending;
    bool m_busy = false;
    bool m_stop = false;

    // The writer thread's own.
    // The values folder while a round writes; files are written relative to it, never through a link.
    int m_folder = -1;
    QByteArray m_iniOnDisk;
    QHash<QString, OnDisk> m_onDisk;
    // What could not be written, for the next round.
    Pending m_failed;
    // What became of each file written in a round: the errno of its failure, or 0.
    QHash<QString, int> m_results;
    // The files whose last write failed.
    QSet<QString> m_failing;
    QStringList m_notices;

    std::thread m_thread;
};
