#pragma once

#include <QString>
#include <QUrl>

#include <chrono>
#include <functional>

class QObject;

// Opens a URL with the desktop's opener (xdg-open) and reports whether it did. The opener's exit status
// is the only word on a failure (no browser, no mail client for "mailto:"); one still running after
// `patience` has handed the URL to an application that stays open, which counts as opened.
class DesktopUrlOpener {
public:
    static void open(const QUrl& url, QObject* context, std::function<void(bool opened)> done,
                     const QString& program = QStringLiteral("xdg-open"),
                     std::chrono::milliseconds patience = std::chrono::seconds(10));
};
