#pragma once

#include <QHash>
#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>

// One application entry of the freedesktop menu (a .desktop file).
struct DesktopEntry {
    // File name without ".desktop"; files in subfolders get the folder prefixed with '-' ("kde-foo").
    QString id;
    QString path;
    QString name;
    // Name[xx] values by locale key ("de", "pt_BR", "sr@latin").
    QHash<QString, QString> localizedNames;
    QString icon;
    QString startupWMClass;
    // The program Exec starts (file name only), and whether Exec gives it arguments beyond field codes.
    QString program;
    bool programHasArguments = false;

    // The name for `locale`: Name[lang_COUNTRY], then Name[lang], then Name.
    QString localizedName(const QLocale& locale) const;
};

// The application entries installed for this user, looked up by window class.
class DesktopEntryIndex {
public:
    // $XDG_DATA_HOME/applications, then each of $XDG_DATA_DIRS + /applications, in precedence order.
    static QStringList standardApplicationDirs();
    // Reads every application entry under `applicationDirs`; for an id found in several folders the first
    // folder wins, and an entry marked Hidden there hides the id altogether. With a `cachePath`, the
    // entries are taken from that file when the folders hold the same files, of the same sizes and times,
    // as when it was written; otherwise they are read and the file is written anew.
    static DesktopEntryIndex load(const QStringList& applicationDirs, const QString& cachePath = {});
    // $XDG_CACHE_HOME/Quillora/desktop-entries.
    static QString standardCachePath();

    // The entry of a window whose WM_CLASS is (`instance`, `windowClass`), ignoring case: an entry whose
    // StartupWMClass is the class (or the instance), else one whose id is the class or the instance, else
    // one whose reverse-domain id ends in it ("org.xfce.mousepad" for "mousepad"), else one whose Exec
    // starts a program of that name (an entry starting it without arguments first).
    const DesktopEntry* match(const QString& instance, const QString& windowClass) const;
    const DesktopEntry* entryWithId(const QString& id) const;
    const DesktopEntry* entryAtPath(const QString& path) const;
    qsizetype size() const { return m_entries.size(); }

    // Parses one .desktop file's [Desktop Entry] group; false when it is no visible application entry.
    static bool parse(const QByteArray& contents, DesktopEntry& entry, bool* hidden = nullptr);

private:
    QList<DesktopEntry> m_entries;
};
