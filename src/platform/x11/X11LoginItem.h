#pragma once

#include "platform/LoginItem.h"

#include <QString>

// Start at login through an XDG autostart entry, $XDG_CONFIG_HOME/autostart/quillora.desktop, whose Exec
// is the running program's absolute path. The entry's presence is the state; an entry marked Hidden counts
// as absent, as XDG autostart defines it. An entry that is already right is left as it is.
// QUILLORA_AUTOSTART_DIR, when set, is the folder instead: scripts/run.sh keeps a try-out's entry out of
// the user's login items with it.
class X11LoginItem : public LoginItem {
    Q_OBJECT
public:
    // `executablePath` empty: the running program.
    explicit X11LoginItem(QString executablePath = {}, QObject* parent = nullptr);

    bool isEnabled() const override;
    bool setEnabled(bool enabled) override;

    static QString entryPath();
    // The entry written for `executablePath`, from the application entry bundled in the resources.
    static QByteArray entryText(const QString& executablePath);
    // `path` as one argument of a desktop entry's Exec key, quoted and escaped where needed.
    static QString execArgument(const QString& path);

private:
    QString m_executablePath;
};
