#pragma once

#include <QSettings>

// The INI syntax of QSettings::IniFormat, read and written by code of our own: Qt's INI writer encodes a
// value one character at a time and takes a tenth of a second for a few megabytes, which the settings
// file reaches with thousands of saved translations. Files stay interchangeable with QSettings::IniFormat
// both ways: every key is written under [General] (a "/" in a key as "\", at its end as "%2F"), values
// as Qt writes them; what Qt's reader takes from a file, ours takes alike.
class IniFormat {
public:
    // A value decode() could not read (a damaged "@Variant(" or "@DateTime(" stream, alone or in a list),
    // with the text it stood as in the file: encode() writes that text again, so that saving other
    // settings never loses its bytes. `value` is what Qt's reader makes of it, no value for the most.
    struct Unreadable {
        QVariant value;
        QByteArray text;
        bool operator==(const Unreadable& other) const { return text == other.text; }
    };
    // What was read of a value: an Unreadable one's `value`, others as they are.
    static QVariant readable(const QVariant& value);

    // The format for QSettings, registered on first use.
    static QSettings::Format format();

    // Always succeeds, keeping every value it could read: QSettings drops all a custom format read when
    // the read fails. Damage is told by takeReadDamage().
    static bool read(QIODevice& device, QSettings::SettingsMap& map);
    // Whether a read() since the last call met text it could not read (main thread).
    static bool takeReadDamage();
    static bool write(QIODevice& device, const QSettings::SettingsMap& map);

    static QByteArray encode(const QSettings::SettingsMap& map);
    // False when the text is not well-formed; what could be read is in `map` even then. Values it could
    // not read are Unreadable.
    static bool decode(QByteArrayView data, QSettings::SettingsMap& map);
};

Q_DECLARE_METATYPE(IniFormat::Unreadable)
