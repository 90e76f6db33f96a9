#pragma once

#include "settings/UpdateChecks.h"

// Update checks that record what the settings ask of them; installed while it lives.
class FakeUpdateChecks : public UpdateChecks {
    Q_OBJECT
public:
    FakeUpdateChecks() { install(this); }

    bool canCheckForUpdates() const override { return canCheck; }
    void checkForUpdates() override { ++checks; }
    void setAutomaticallyChecksForUpdates(bool value) override { automatic = value; }

    void setCanCheck(bool value) {
        canCheck = value;
        Q_EMIT canCheckForUpdatesChanged(value);
    }

    bool canCheck = true;
    bool automatic = false;
    int checks = 0;
};
