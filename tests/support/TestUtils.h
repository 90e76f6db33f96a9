#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <optional>

// Runs the event loop until `condition` holds or `timeoutMs` passes; returns whether it holds.
inline bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 10000) {
    return QTest::qWaitFor(condition, timeoutMs);
}

// Runs the event loop until the work queued so far with a delay of up to `delayMs` has run, and the work
// that queues in turn for `rounds` turns: a timer of that delay, started now, fires after theirs. The
// settled state for checks that something did not happen.
inline void runQueuedWork(int delayMs = 0, int rounds = 3) {
    for (int round = 0; round < rounds; ++round) {
        bool fired = false;
        QObject context;
        // A coarse timer of the same delay may fire up to 5 % late.
        QTimer::singleShot(round == 0 ? delayMs + delayMs / 20 + 1 : 0, Qt::PreciseTimer, &context,
                           [&fired] { fired = true; });
        waitUntil([&fired] { return fired; }, delayMs + 30000);
    }
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

// The clipboard as another application sees it: its targets and the bytes of each.
inline QMap<QString, QByteArray> clipboardSeenFromOutside() {
    QMap<QString, QByteArray> seen;
    const auto targets = runTool(QStringLiteral("xclip"), {"-selection", "clipboard", "-t", "TARGETS", "-o"});
    if (!targets)
        return seen;
    for (const QString& target : QString::fromUtf8(*targets).split(u'\n', Qt::SkipEmptyParts)) {
        if (target == QLatin1String("TARGETS") || target == QLatin1String("TIMESTAMP") ||
            target == QLatin1String("MULTIPLE") || target == QLatin1String("SAVE_TARGETS"))
            continue;
        seen.insert(target, runTool(QStringLiteral("xclip"), {"-selection", "clipboard", "-t", target, "-o"})
                                .value_or(QByteArrayLiteral("<unreadable>")));
    }
    return seen;
}

// What a run of this test binary in a child process did, by test name ("Suite.Name"), from the report the
// child writes: its exit status alone says nothing, since a filter that matches no test exits 0.
struct ChildTestRun {
    bool exitedCleanly = false; // on its own, with status 0 (no failure, no leak report)
    QStringList passed;
    QStringList failed;
};

inline ChildTestRun runTestsInChild(const QString& filter, const QProcessEnvironment& environment,
                                    int timeoutMs = 60000) {
    ChildTestRun run;
    QTemporaryDir dir;
    const QString report = dir.filePath(QStringLiteral("report.json"));
    QProcess child;
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=") + filter,
                                                          QStringLiteral("--gtest_output=json:") + report});
    if (!waitUntil([&] { return child.state() == QProcess::NotRunning; }, timeoutMs)) {
        child.kill();
        child.waitForFinished(10000);
        return run;
    }
    run.exitedCleanly = child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0;
    QFile file(report);
    if (!file.open(QIODevice::ReadOnly))
        return run;
    const QJsonArray suites =
        QJsonDocument::fromJson(file.readAll()).object()[QStringLiteral("testsuites")].toArray();
    for (const QJsonValue& suite : suites) {
        for (const QJsonValue& test : suite[QStringLiteral("testsuite")].toArray()) {
            const QString name =
                suite[QStringLiteral("name")].toString() + u'.' + test[QStringLiteral("name")].toString();
            if (!test[QStringLiteral("failures")].toArray().isEmpty())
                run.failed << name;
            else if (test[QStringLiteral("status")] == QLatin1String("RUN") &&
                     test[QStringLiteral("result")] == QLatin1String("COMPLETED"))
                run.passed << name;
        }
    }
    return run;
}
