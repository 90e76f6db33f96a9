#include "TextWindowProcess.h"

#include "TestUtils.h"

#include <QGuiApplication>
#include <cstdlib>
#include <xcb/xcb.h>

TextWindowProcess::TextWindowProcess(QString programPath)
    : m_program(std::move(programPath)) {
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
}

TextWindowProcess::~TextWindowProcess() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

const QStringList& TextWindowProcess::readLines() {
    m_pending += m_process.readAllStandardOutput();
    qsizetype newline;
    while ((newline = m_pending.indexOf('\n')) >= 0) {
        m_lines.append(QString::fromUtf8(m_pending.left(newline)));
        m_pending.remove(0, newline + 1);
    }
    return m_lines;
}

bool TextWindowProcess::start(const QStringList& arguments, int timeoutMs) {
    m_process.start(m_program, arguments);
    if (!m_process.waitForStarted(timeoutMs))
        return false;
    int ready = -1;
    const bool started = waitUntil(
        [&] {
            const QStringList& all = readLines();
            for (int i = 0; i < all.size(); ++i) {
                if (all[i].startsWith(QLatin1String("ready ")))
                    ready = i;
            }
            return ready >= 0 || m_process.state() == QProcess::NotRunning;
        },
        timeoutMs);
    if (!started || ready < 0)
        return false;
    m_windowId = m_lines[ready].section(u' ', 1, 1).toUInt();
    for (const QString& line : std::as_const(m_lines)) {
        const QStringList parts = line.split(u' ');
        if (parts.size() != 6 || parts[0] != QLatin1String("geometry"))
            continue;
        const QRect rect(parts[2].toInt(), parts[3].toInt(), parts[4].toInt(), parts[5].toInt());
        (parts[1] == QLatin1String("lineedit") ? m_lineEdit : m_textEdit) = rect;
    }
    return m_windowId != 0;
}

int TextWindowProcess::waitForLine(const QString& line, int from, int timeoutMs) {
    int found = -1;
    waitUntil(
        [&] {
            found = int(readLines().indexOf(line, from));
            return found >= 0;
        },
        timeoutMs);
    return found;
}

bool xdotool(const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(QStringLiteral("xdotool"), arguments);
    return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

void settleDisplay() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (xcb_connection_t* connection = x11 ? x11->connection() : nullptr)
        std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    runQueuedWork();
}
