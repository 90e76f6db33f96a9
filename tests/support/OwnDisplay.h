#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// An X server of a test's own (Xvfb, 1280x900), for a display unlike the shared one: without a tray or a
// window manager, or with `extraArguments` such as {"-extension", "XTEST"}. display() is empty when it did
// not start.
class OwnDisplay {
public:
    explicit OwnDisplay(const QStringList& extraArguments = {});
    ~OwnDisplay();
    OwnDisplay(const OwnDisplay&) = delete;
    OwnDisplay& operator=(const OwnDisplay&) = delete;

    QString display() const { return m_display; }

private:
    QProcess m_server;
    QString m_display;
};
