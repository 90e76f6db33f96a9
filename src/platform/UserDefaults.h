#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class SettingsWriter;

// UTF-8 text made when first asked for, on whichever thread asks first (the store's writer, or a
// reader on the main thread), then kept. Lets a caller hand over a long list without encoding it on
// the main thread.
class LazyText {
public:
    explicit LazyText(std::function<QByteArray()> make) : m_make(std::move(make)) {}
    static std::shared_ptr<LazyText> of(QByteArray utf8);
    // Text read once from somewhere that may fail (setting errno): empty then, and unreadable.
    static std::shared_ptr<LazyText> reading(std::function<std::optional<QByteArray>()> read);

    // A change of a text: `removed` bytes at `offset` replaced by `inserted`.
    struct Splice {
        qsizetype offset = 0;
        qsizetype removed = 0;
        QByteArray inserted;
    };
    // `base` with one change, made only when asked for: a writer that holds `base` as written needs
    // only the change.
    static std::shared_ptr<LazyText> spliced(std::shared_ptr<LazyText> base, Splice change);
    // The changes, oldest first, that made this text of `base` (or of a made text holding `baseBytes`,
    // when given) through spliced(), at most `limit` of them, found without making anything; nothing when
    // it was not made so (or has been made since).
    std::optional<QList<Splice>> splicesSince(const LazyText* base, const QByteArray* baseBytes, int limit);

    QByteArray utf8();
    // Whether the last read failed, and why (an errno value).
    bool unreadable() const { return m_readError != 0; }
    int readError() const { return m_readError; }

private:
    struct SplicedFrom {
        std::shared_ptr<LazyText> base;
        Splice change;
    };
    std::mutex m_mutex;
    std::optional<SplicedFrom> m_spliced;
    std::function<QByteArray()> m_make;
    std::function<std::optional<QByteArray>()> m_read;
    QByteArray m_bytes;
    std::atomic<int> m_readError = 0;
};

// The user's settings store: an INI file at the XDG config path (Quillora/Quillora.conf), and beside it a
// folder "values" with one file per long text value (more than a few kilobytes, and every value set
// with setText()), read only when first asked for, so that changing one setting never rewrites them.
// Registered defaults live in memory only and answer when nothing is stored.
//
// Every change is handed at once to a writer thread, which replaces the files atomically; a change
// that leaves the stored text as it was writes nothing. Changes that wait behind a running write are
// written together. Destroying the store (at the latest when the process ends) waits for the writer.
// The folder and its files are readable by the user alone.
//
// A change that could not be written stays in memory and is written with the next change or at the
// end; writeFailed() tells each file's first failure of a run of them. A value whose file could not be read
// reads as empty but is never written over (what a caller made of it would replace it); the next start
// reads it again. So is a settings file that could not be read whole, or is no regular file (a FIFO,
// a folder, never waited on): its settings then live in memory until the process ends. So do all the
// settings of a store whose folder another process writes (see SettingsFolderLock).
class UserDefaults : public QObject {
    Q_OBJECT
public:
    static UserDefaults& standard();

    // Points the standard instance at another file (tests). Registered defaults are dropped.
    static void setStandardFilePath(const QString& path);

    explicit UserDefaults(const QString& filePath, QObject* parent = nullptr);
    ~UserDefaults() override;

    QString filePath() const;
    // The settings file is there but could not be read (or is no regular file): what the store answers
    // are defaults, not the user's choices, and the file is not written over in this run.
    bool isFileUnreadable() const;
    // The folder of the values kept in files of their own.
    QString valuesPath() const;

    void registerDefaults(const QVariantMap& defaults);

    // Stored value, else the registered default, else an invalid QVariant.
    QVariant object(const QString& key) const;
    // Absent when nothing is stored or registered, or the value is no text. A list (a hand-edited
    // `key=a,b`, which the INI format reads as one) is its items joined with ",".
    std::optional<QString> optionalString(const QString& key) const;
    QString string(const QString& key) const { return optionalString(key).value_or(QString()); }
    bool boolean(const QString& key) const;
    qint64 integer(const QString& key) const;
    double doubleValue(const QString& key) const;
    // Text as UTF-8 (a value of its own file without converting it).
    QByteArray data(const QString& key) const;
    // The same as text that any thread may read (a value of its own file is read then); null when
    // nothing is stored.
    std::shared_ptr<LazyText> text(const QString& key) const;

    // Every stored key and every key with a registered default.
    QStringList allKeys() const;

    // True when the key is stored (a registered default alone does not count).
    bool contains(const QString& key) const;
    // True when the key is stored but cannot be read as text: callers must not overwrite it with a value
    // derived from "nothing stored".
    bool isUnreadableString(const QString& key) const;

    void set(const QString& key, const QVariant& value);
    // Stores text in a file of its own; object() gives it as a QString, data() as these bytes.
    void setText(const QString& key, std::shared_ptr<LazyText> text);
    void remove(const QString& key);

    // Blocks until every change made so far is on disk (tests, benchmarks); ends a hold.
    void waitForWrites();
    // The settings file is written once for all the changes made until resumeWrites() (the start-up's),
    // not once for each.
    void holdWrites();
    void resumeWrites();

    // Removes every stored value and registered default (tests).
    void resetForTesting();

Q_SIGNALS:
    void changed(const QString& key);
    // The settings could not be saved: `message` tells the user what and why in a few words. Once for
    // each file until it is written again; and once for each journal of changes that could not be
    // applied, kept aside.
    void writeFailed(const QString& message);
    // Whether a text handed to setText() reached its file: told on a later turn for each text the writer
    // took (not for one replaced before that), and as not saved for one refused (its key's file could
    // not be read). The text lives at least until this returns.
    void textSaved(const QString& key, const LazyText* text, bool saved);

private:
    void open();
    void tightenPermissions();
    void salvageDamagedFile();
    // False, telling the user, when the key's file could not be read.
    bool mayWriteOver(const QString& key);
    // What the writer did of each file (the errno of its failure, or 0 once written again).
    void reportOutcome(const QHash<QString, int>& files);
    // Tells a file's failure unless it was told since the file was last written.
    void tellFailure(const QString& fileName, const QString& message);
    void tellWhenHeard(const QString& fileName, const QString& message);
    // True, telling the user once, when another process writes the folder: this store then keeps every
    // change in memory and writes nothing (see SettingsFolderLock).
    bool lockedOut();
    void writeIni();
    void handOverHeldIni();
    void writeValue(const QString& key, std::shared_ptr<LazyText> text);
    QVariant stored(const QString& key) const;
    std::shared_ptr<LazyText> ownFileValue(const QString& key) const;

    QString m_path;
    // Shared with values still to be read from their files.
    std::shared_ptr<SettingsWriter> m_writer;
    QMap<QString, QVariant> m_values;
    // Values in files of their own, null until first read.
    mutable QHash<QString, std::shared_ptr<LazyText>> m_ownFiles;
    QVariantMap m_registered;
    // The files (by name) whose failure was told and that were not written since.
    QSet<QString> m_failuresTold;
    QSet<QString> m_tellingQueued;
    bool m_fileUnreadable = false;
    bool m_lockedOut = false;
    bool m_holdingWrites = false;
    bool m_iniHeld = false;
    // Cleared when the store goes; the writer may outlive it, held by values still to be read.
    struct Listener {
        std::mutex mutex;
        UserDefaults* store = nullptr;
    };
    std::shared_ptr<Listener> m_listener;
};
