#include "platform/x11/X11LoginItem.h"

#include "platform/DebugLog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

const QString kTag = QStringLiteral("LoginItem");

QByteArray fallbackEntry() {
    return QByteArrayLiteral(
        "[Desktop Entry]\nType=Application\nName=Quillora\nExec=quillora\nIcon=quillora\n"
        "Terminal=false\n");
}

} // namespace

X11LoginItem::X11LoginItem(QString executablePath, QObject* parent)
    : LoginItem(parent)
    , m_executablePath(std::move(executablePath)) {}

QString X11LoginItem::entryPath() {
    const QString folder = qEnvironmentVariable("QUILLORA_AUTOSTART_DIR");
    if (!folder.isEmpty())
        return folder + QStringLiteral("/quillora.desktop");
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart/quillora.desktop");
}

QString X11LoginItem::execArgument(const QString& path) {
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    QString argument = path;
    argument.replace(QLatin1Char('%'), QStringLiteral("%%"));
    const bool needsQuotes =
        std::any_of(argument.cbegin(), argument.cend(), [](QChar c) { return reserved.contains(c); });
    if (needsQuotes) {
        QString quoted;
        for (QChar c : argument) {
            if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
                c == QLatin1Char('\\'))
                quoted += QLatin1Char('\\');
            quoted += c;
        }
        argument = QLatin1Char('"') + quoted + QLatin1Char('"');
    }
    // The key's value is itself a string value, whose backslashes are escaped once more.
    argument.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    return argument;
}

QByteArray X11LoginItem::entryText(const QString& executablePath) {
    QFile bundled(QStringLiteral(":/quillora.desktop"));
    const QByteArray source = bundled.open(QIODevice::ReadOnly) ? bundled.readAll() : fallbackEntry();
    QByteArray text;
    for (const QByteArray& line : source.split('\n')) {
        if (line.startsWith("Exec="))
            text += "Exec=" + execArgument(executablePath).toUtf8();
        else if (line.startsWith("TryExec="))
            continue;
        else
            text += line;
        text += '\n';
    }
    while (text.endsWith("\n\n"))
        text.chop(1);
    return text;
}

bool X11LoginItem::isEnabled() const {
    QFile entry(entryPath());
    if (!entry.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray& line : entry.readAll().split('\n')) {
        if (line.trimmed() == "Hidden=true")
            return false;
    }
    return true;
}

bool X11LoginItem::setEnabled(bool enabled) {
    const QString path = entryPath();
    if (!enabled) {
        if (QFileInfo::exists(path) && !QFile::remove(path)) {
            debugLog(kTag, QStringLiteral("❌ Cannot remove %1").arg(path));
            return false;
        }
        return true;
    }
    const QString program =
        m_executablePath.isEmpty() ? QCoreApplication::applicationFilePath() : m_executablePath;
    const QByteArray text = entryText(QFileInfo(program).absoluteFilePath());
    QFile current(path);
    if (current.open(QIODevice::ReadOnly) && current.size() == text.size() && current.readAll() == text)
        return true;
    current.close();
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        debugLog(kTag, QStringLiteral("❌ Cannot create %1").arg(QFileInfo(path).absolutePath()));
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(text) < 0 || !file.commit()) {
        debugLog(kTag, QStringLiteral("❌ Cannot write %1: %2").arg(path, file.errorString()));
        return false;
    }
    return true;
}
