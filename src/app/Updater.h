#pragma once

#include "app/AppcastFeed.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <functional>
#include <optional>

class HttpClient;
class HttpTransfer;

// Looks for a newer release in the update feed: on request, and while automatic checks are on, once per
// check interval. The next automatic check is a single-shot timer counted from the last check (stored
// in "lastUpdateCheckTime", so restarts do not put it off); nothing runs in between.
class Updater : public QObject {
    Q_OBJECT
public:
    enum class Outcome { UpdateFound, UpToDate, Failed, Cancelled };
    struct CheckResult {
        Outcome outcome = Outcome::Failed;
        // The user asked for this check (as opposed to an automatic one).
        bool userInitiated = false;
        // The release found (UpdateFound); for Failed, a newer release the feed announced that cannot be
        // offered, if that was the failure.
        AppcastItem item;
        // Why the check failed (Failed).
        QString error;
    };
    // The feed's address, or none when the configured site is not acceptable.
    using FeedUrlProvider = std::function<std::optional<QUrl>()>;

    // A feed that stops sending fails after the first; one that trickles, after the second.
    static constexpr int feedTimeoutMs = 30000;
    static constexpr int checkDeadlineMs = 60000;
    static constexpr qint64 maximumFeedBytes = 1024 * 1024;

    Updater(FeedUrlProvider feedUrl, QString currentVersion, QObject* parent = nullptr);
    ~Updater() override;

    // Until started, nothing is checked and canCheckForUpdates() is false.
    void start();

    double updateCheckInterval() const { return m_intervalSeconds; }
    void setUpdateCheckInterval(double seconds);
    bool automaticallyChecksForUpdates() const { return m_automatic; }
    void setAutomaticallyChecksForUpdates(bool automatic);

    // False before start() and while a check runs.
    bool canCheckForUpdates() const { return m_started && !m_checking; }

    bool isChecking() const { return m_checking; }

    // A check the user asked for. Asked while a check runs, that check becomes the user's: its outcome is
    // reported as one the user asked for.
    void checkForUpdates();
    // An automatic check: only a found update is announced.
    void checkForUpdatesInBackground();
    // Ends the running check as Cancelled.
    void cancel();

    // When the next automatic check is due; none while automatic checks are off or not started.
    std::optional<QDateTime> nextScheduledCheck() const;

    // How long one check may take in all (tests shorten it).
    void setCheckDeadline(int ms) { m_deadline.setInterval(ms); }

Q_SIGNALS:
    void canCheckForUpdatesChanged(bool canCheck);
    void checkFinished(const Updater::CheckResult& result);

private:
    void check(bool userInitiated);
    void read(const QByteArray& feed);
    void fail(const QString& error);
    // Ends the running check; its time becomes the last check's.
    void finish(CheckResult result);
    void schedule();
    std::optional<QDateTime> lastCheck() const;

    FeedUrlProvider m_feedUrl;
    QString m_currentVersion;
    QUrl m_checkedUrl;
    // Made with the first check: the network module stays out of start-up.
    HttpClient* m_network = nullptr;
    QPointer<HttpTransfer> m_reply;
    // Counts checks, so that a feed read on a worker thread is dropped once its check is over.
    quint64 m_checkNumber = 0;
    bool m_userInitiated = false;
    bool m_checking = false;
    bool m_started = false;
    bool m_automatic = false;
    double m_intervalSeconds = 14400;
    QTimer m_timer;
    QTimer m_deadline;
};
