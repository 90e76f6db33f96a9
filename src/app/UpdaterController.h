#pragma once

#include "app/Updater.h"

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QProgressDialog>

// The user's side of the updater: owns the started Updater and answers its checks with dialogs. A newer
// release is always announced, with a button that opens its download page; "up to date" and "check
// failed" are said only for a check the user started. While a check the user started runs, a window says
// so and offers to cancel it; asking again brings that window forward. Automatic checks run unseen.
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
    // The window of the running check, if any (tests).
    QProgressDialog* progress() const { return m_progress; }

private:
    void showProgress();
    void present(const Updater::CheckResult& result);
    void reportUnopened(const QUrl& page);

    Updater m_updater;
    QPointer<QMessageBox> m_alert;
    QPointer<QProgressDialog> m_progress;
};
