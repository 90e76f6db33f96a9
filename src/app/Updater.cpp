#include "app/Updater.h"

#include "platform/DebugLog.h"
#include "platform/MainQueue.h"
#include "platform/NetworkModule.h"
#include "platform/UserDefaults.h"

#include <QFuture>
#include <QPromise>
#include <QThreadPool>

namespace {

const QString kTag = QStringLiteral("Updater");
const QString kLastCheckKey = QStringLiteral("lastUpdateCheckTime");
const QString kTooSlow = QStringLiteral("The update feed did not answer in time.");
const QString kTooLarge = QStringLiteral("The update feed is too large.");

void markChecked() {
    UserDefaults::standard().set(kLastCheckKey, QDateTime::currentDateTimeUtc().toString(Qt::ISODate));
}

// Runs off the UI thread: the outcome of a downloaded feed.
Updater::CheckResult evaluate(const QByteArray& feed, const QUrl& feedUrl, const QString& currentVersion) {
    Updater::CheckResult result;
    AppcastFeed::Refusal refusal = AppcastFeed::Refusal::None;
    const std::optional<QList<AppcastItem>> items = AppcastFeed::parse(feed, feedUrl, &refusal);
    if (!items) {
        result.error = refusal == AppcastFeed::Refusal::TooLarge
                           ? kTooLarge
                           : QStringLiteral("The update feed could not be read.");
    } else if (auto update = AppcastFeed::newestUpdate(*items, currentVersion)) {
        result.outcome = Updater::Outcome::UpdateFound;
        result.item = *update;
    } else if (auto announced = AppcastFeed::newestAnnounced(*items, currentVersion)) {
        // Not "up to date": a newer release exists, only its page is not one the user may be sent to.
        result.item = *announced;
        result.error =
            QStringLiteral("The update feed announces Quillora %1, but gives no secure (https) page "
                           "to download it from.")
                .arg(announced->displayVersion());
    } else {
        result.outcome = Updater::Outcome::UpToDate;
    }
    return result;
}

} // namespace

Updater::Updater(FeedUrlProvider feedUrl, QString currentVersion, QObject* parent)
    : QObject(parent)
    , m_feedUrl(std::move(feedUrl))
    , m_currentVersion(std::move(currentVersion)) {
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &Updater::checkForUpdatesInBackground);
    m_deadline.setSingleShot(true);
    m_deadline.setInterval(checkDeadlineMs);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        if (!m_checking)
            return;
        debugLog(kTag, QStringLiteral("The check ran out of time"));
        if (m_reply)
            m_reply->abort(); // its finished signal ends the check
        else
            fail(kTooSlow);
    });
}

Updater::~Updater() {
    if (m_reply)
        m_reply->abort();
}

void Updater::start() {
    if (m_started)
        return;
    m_started = true;
    // The first launch counts as checked: the first automatic check comes one interval later.
    if (!lastCheck())
        markChecked();
    Q_EMIT canCheckForUpdatesChanged(canCheckForUpdates());
    schedule();
}

void Updater::setUpdateCheckInterval(double seconds) {
    m_intervalSeconds = std::max(1.0, seconds);
    schedule();
}

void Updater::setAutomaticallyChecksForUpdates(bool automatic) {
    m_automatic = automatic;
    schedule();
}

std::optional<QDateTime> Updater::lastCheck() const {
    const QDateTime time = QDateTime::fromString(UserDefaults::standard().string(kLastCheckKey), Qt::ISODate);
    return time.isValid() ? std::optional<QDateTime>(time) : std::nullopt;
}

std::optional<QDateTime> Updater::nextScheduledCheck() const {
    if (!m_timer.isActive())
        return std::nullopt;
    return QDateTime::currentDateTimeUtc().addMSecs(m_timer.remainingTime());
}

void Updater::schedule() {
    m_timer.stop();
    if (!m_started || !m_automatic || m_checking)
        return;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QDateTime last = lastCheck().value_or(now);
    // A clock set back leaves the last check in the future: count from now instead.
    const QDateTime due = (last > now ? now : last).addMSecs(qint64(m_intervalSeconds * 1000));
    const qint64 delay = std::clamp<qint64>(now.msecsTo(due), 0, std::numeric_limits<int>::max());
    m_timer.start(int(delay));
}

void Updater::checkForUpdates() {
    if (m_checking)
        m_userInitiated = true;
    else
        check(true);
}

void Updater::checkForUpdatesInBackground() {
    check(false);
}

void Updater::cancel() {
    if (!m_checking)
        return;
    if (HttpTransfer* reply = m_reply) {
        m_reply = nullptr;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
    CheckResult result;
    result.outcome = Outcome::Cancelled;
    finish(result);
}

void Updater::check(bool userInitiated) {
    if (!canCheckForUpdates())
        return;
    m_timer.stop();
    m_checking = true;
    ++m_checkNumber;
    m_userInitiated = userInitiated;
    m_deadline.start();
    Q_EMIT canCheckForUpdatesChanged(false);
    // Answered on a later turn, like every other check.
    const auto failLater = [this](const QString& error) {
        MainQueue::async(
            [this, error, number = m_checkNumber] {
                if (m_checking && number == m_checkNumber)
                    fail(error);
            },
            this);
    };
    const std::optional<QUrl> url = m_feedUrl ? m_feedUrl() : std::nullopt;
    m_checkedUrl = url.value_or(QUrl());
    if (!url)
        return failLater(QStringLiteral("Invalid URL configuration."));
    if (!m_network)
        m_network = NetworkModule::createClient(this);
    if (!m_network)
        return failLater(QStringLiteral("The network module could not be loaded."));
    debugLog(kTag, QStringLiteral("Checking %1").arg(url->toString()));
    HttpRequest request;
    request.url = *url;
    request.transferTimeoutMs = feedTimeoutMs;
    request.redirects = HttpRequest::Redirects::NoLessSafe;
    request.maximumBytes = maximumFeedBytes;
    m_reply = m_network->send(request);
    connect(m_reply, &HttpTransfer::finished, this, [this, reply = m_reply] {
        if (!reply)
            return;
        reply->deleteLater();
        m_reply = nullptr;
        const int status = reply->status().value_or(0);
        if (reply->failure() != HttpTransfer::Failure::None || status < 200 || status > 299) {
            fail(reply->failure() == HttpTransfer::Failure::TooLarge  ? kTooLarge
                 : reply->failure() == HttpTransfer::Failure::Aborted ? kTooSlow
                                                                      : reply->errorString());
            return;
        }
        read(reply->readAll());
    });
}

void Updater::read(const QByteArray& feed) {
    // Reading a feed, even a hostile one, must not hold the UI thread.
    auto promise = std::make_shared<QPromise<CheckResult>>();
    QFuture<CheckResult> future = promise->future();
    promise->start();
    QThreadPool::globalInstance()->start([promise, feed, url = m_checkedUrl, version = m_currentVersion] {
        promise->addResult(evaluate(feed, url, version));
        promise->finish();
    });
    future.then(this, [this, number = m_checkNumber](const CheckResult& result) {
        if (m_checking && number == m_checkNumber)
            finish(result);
    });
}

void Updater::fail(const QString& error) {
    CheckResult result;
    result.error = error;
    finish(result);
}

void Updater::finish(CheckResult result) {
    m_checking = false;
    m_deadline.stop();
    result.userInitiated = m_userInitiated;
    markChecked();
    debugLog(kTag, result.outcome == Outcome::UpdateFound
                       ? QStringLiteral("Update found: %1").arg(result.item.version)
                   : result.outcome == Outcome::UpToDate ? QStringLiteral("Up to date")
                   : result.outcome == Outcome::Cancelled
                       ? QStringLiteral("Check cancelled")
                       : QStringLiteral("Check failed: %1").arg(result.error));
    Q_EMIT canCheckForUpdatesChanged(canCheckForUpdates());
    schedule();
    Q_EMIT checkFinished(result);
}
