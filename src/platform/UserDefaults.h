#pragma once

#include <QByteArray>
#include <QObject>
#include <QSettings>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <memory>
#include <optional>

// The user's settings store: an INI file at the XDG config path (Quillora/Quillora.conf). Registered
// defaults live in memory only and answer when nothing is stored. Every write is flushed at once.
// Something other than a regular file at the path (a FIFO, a directory) is never opened: the settings
// then live in memory until the process ends.
class UserDefaults : public QObject {
    Q_OBJECT
public:
    static UserDefaults& standard();

    // Points the standard instance at another file (tests). Registered defaults are dropped.
    static void setStandardFilePath(const QString& path);

    explicit UserDefaults(const QString& filePath, QObject* parent = nullptr);
    ~UserDefaults() override;

    QString filePath() const;

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
    QByteArray data(const QString& key) const;

    // Every stored key and every key with a registered default.
    QStringList allKeys() const;

    // True when the key is stored (a registered default alone does not count).
    bool contains(const QString& key) const;
    // True when the key is stored but cannot be read as text: callers must not overwrite it with a value
    // derived from "nothing stored".
    bool isUnreadableString(const QString& key) const;

    void set(const QString& key, const QVariant& value);
    void remove(const QString& key);

    // Removes every stored value and registered default (tests).
    void resetForTesting();

Q_SIGNALS:
    void changed(const QString& key);

private:
    void open();
    void salvageDamagedFile();
    void flush();
    QVariant stored(const QString& key) const;

    QString m_path;
    std::unique_ptr<QSettings> m_settings;
    // The settings when the path is not a regular file.
    QVariantMap m_memory;
    QVariantMap m_registered;
};
