#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QTest>

#include <functional>
#include <optional>

// Runs the event loop until `condition` holds or `timeoutMs` passes; returns whether it holds.
inline bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 5000) {
    return QTest::qWaitFor(condition, timeoutMs);
}

// Runs the event loop for `ms` milliseconds (for checks that something does *not* happen).
inline void spinFor(int ms) {
    QTest::qWait(ms);
}

// Runs a program to its end while our event loop keeps running, as it would during a user's input: the
// order in which our X connections hear of events stays realistic, and selections we own are served
// meanwhile. Returns its standard output, or nothing when it failed or took longer than `timeoutMs`.
inline std::optional<QByteArray> runTool(const QString& program, const QStringList& arguments,
                                         int timeoutMs = 10000) {
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(program, arguments);
    if (!waitUntil([&] { return process.state() == QProcess::NotRunning; }, timeoutMs))
        return std::nullopt;
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return std::nullopt;
    return process.readAllStandardOutput();
}
