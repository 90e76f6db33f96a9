#pragma once

#include "app/Updater.h"

#include <QMessageBox>
#include <QObject>
#include <QPointer>

// The user's side of the updater: owns the started Updater and answers its checks with dialogs. A newer
// release is always announced, with a button that opens its download page; "up to date" and "check
// failed" are said only for a check the user started.
class UpdaterController : public QObject {
    Q_OBJECT
public:
    UpdaterController(Updater::FeedUrlProvider feedUrl, QString currentVersion, QObject* parent = nullptr);

    Updater& updater() { return m_updater; }
    const Updater& updater() const { return m_updater; }

    // The "Check for Updates" action.
    void checkForUpdates();

    // The dialog on screen, if any (tests).
    QMessageBox* alert() const { return m_alert; }

private:
    void present(const Updater::CheckResult& result);

    Updater m_updater;
    QPointer<QMessageBox> m_alert;
};
