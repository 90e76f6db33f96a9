#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTest>

#include <functional>

// Runs the event loop until `condition` holds or `timeoutMs` passes; returns whether it holds.
inline bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 5000) {
    return QTest::qWaitFor(condition, timeoutMs);
}

// Runs the event loop for `ms` milliseconds (for checks that something does *not* happen).
inline void spinFor(int ms) {
    QTest::qWait(ms);
}
