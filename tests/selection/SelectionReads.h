#pragma once

#include "TestUtils.h"
#include "selection/SelectionMonitor.h"

#include <QObject>

// The reads a selection monitor started and those that answered. Settled once every started read has
// answered and what it reported has arrived: the state for checks that gestures read or reported nothing.
struct SelectionReads {
    int started = 0;
    int finished = 0;

    void watch(SelectionMonitor& monitor) {
        started = finished = 0;
        QObject::connect(&monitor, &SelectionMonitor::readStarted, &monitor, [this] { ++started; });
        QObject::connect(&monitor, &SelectionMonitor::readFinished, &monitor, [this] { ++finished; });
    }
    bool settle() {
        const bool answered = waitUntil([this] { return finished == started; });
        runQueuedWork();
        return answered;
    }
};
