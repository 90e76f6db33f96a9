// Update checks against the stand-in's feed: a newer release, the same one, a broken feed and an
// unreachable site; what the user is told; when automatic checks run; and feeds that trickle or are
// built to stall their reader.
#include "DevApiTest.h"
#include "FakePlatform.h"
#include "StreamingHttpServer.h"
#include "TestUtils.h"
#include "app/AppcastFeed.h"
#include "app/UpdateManager.h"
#include "platform/UserDefaults.h"

#include <QAbstractButton>
#include <QDateTime>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// Answers every request with `body`, `bytesPerTick` bytes at a time, a tick every `tickMs`.
class PacedFeedServer : public QObject {
public:
    PacedFeedServer(QByteArray body, qsizetype bytesPerTick, int tickMs)
        : m_body(std::move(body))
        , m_bytesPerTick(bytesPerTick)
        , m_tickMs(tickMs) {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                socket->setParent(this);
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
                    if (socket->readAll().isEmpty() || socket->property("answered").toBool())
                        return;
                    socket->setProperty("answered", true);
                    socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/rss+xml\r\nContent-Length: " +
                                  QByteArray::number(m_body.size()) + "\r\nConnection: close\r\n\r\n");
                    send(socket, 0);
                });
            }
        });
    }
    bool listen() { return m_server.listen(QHostAddress::LocalHost, 0); }
    QString baseUrl() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()); }

private:
    void send(QPointer<QTcpSocket> socket, qsizetype from) {
        if (!socket || from >= m_body.size())
            return;
        socket->write(m_body.mid(from, m_bytesPerTick));
        QTimer::singleShot(m_tickMs, this, [this, socket, from] { send(socket, from + m_bytesPerTick); });
    }

    QTcpServer m_server;
    QByteArray m_body;
    qsizetype m_bytesPerTick;
    int m_tickMs;
};

// A feed announcing release 2.0, downloaded from `link`.
QByteArray feedLinkingTo(const QString& link) {
    return (QStringLiteral("<rss version=\"2.0\" xmlns:q=\"https://quillora.app/xml-namespaces/appcast\">"
                           "<channel><item><q:version>2.0</q:version><link>%1</link></item></channel></rss>")
                .arg(link))
        .toUtf8();
}

// One element with `count` attributes, in a feed under the size limit.
QByteArray feedWithAttributes(int count) {
    QByteArray feed = "<rss version=\"2.0\"><channel><item";
    for (int i = 0; i < count; ++i)
        feed += " a" + QByteArray::number(i) + "=\"\"";
    return feed + "/></channel></rss>";
}

class UpdateCheckTest : public DevApiTest {
protected:
    void SetUp() override {
        DevApiTest::SetUp();
        UserDefaults::standard().set(QStringLiteral("websiteBaseURL"), s_api->baseUrl());
    }

    // Runs one check and returns its result. A check the user asked for shows that it runs; an automatic
    // one does not.
    static Updater::CheckResult check(UpdateManager& manager, bool userInitiated) {
        QSignalSpy finished(&manager.updaterController().updater(), &Updater::checkFinished);
        QSignalSpy availability(&manager, &UpdateManager::canCheckForUpdatesChanged);
        if (userInitiated)
            manager.checkForUpdates();
        else
            manager.updaterController().updater().checkForUpdatesInBackground();
        EXPECT_FALSE(manager.canCheckForUpdates()) << "no second check while one runs";
        QPointer<QProgressDialog> progress = manager.updaterController().progress();
        EXPECT_EQ(progress && progress->isVisible(), userInitiated);
        EXPECT_TRUE(waitUntil([&] { return finished.size() == 1; }, 10000));
        EXPECT_TRUE(waitUntil([&] { return !progress; })) << "the check's window goes with it";
        EXPECT_TRUE(manager.canCheckForUpdates());
        EXPECT_EQ(availability.size(), 2);
        return finished.isEmpty() ? Updater::CheckResult{}
                                  : finished.first().at(0).value<Updater::CheckResult>();
    }
};

} // namespace

TEST_F(UpdateCheckTest, ChecksTheFeedAndTellsTheUserWhatTheyAsked) {
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const QString unreachable = QStringLiteral("http://127.0.0.1:%1").arg(closed.serverPort());
    closed.close();

    // Feeds over the size limit, sent as fast as the client takes them, with their length and without.
    constexpr qint64 eightyMegabytes = 80'000'000;
    const QByteArray head = "HTTP/1.1 200 OK\r\nContent-Type: application/rss+xml\r\nConnection: close\r\n";
    StreamingHttpServer hugeFeed(head + "Content-Length: " + QByteArray::number(eightyMegabytes) + "\r\n\r\n",
                                 eightyMegabytes);
    StreamingHttpServer hugeFeedUntilClosed(head + "\r\n", eightyMegabytes);
    ASSERT_TRUE(hugeFeed.listen() && hugeFeedUntilClosed.listen());
    QByteArray releases =
        "<rss version=\"2.0\" xmlns:q=\"https://quillora.app/xml-namespaces/appcast\"><channel>";
    for (int i = 0; i < 30000; ++i)
        releases += "<item><q:version>1.0." + QByteArray::number(i) +
                    "</q:version><link>https://quillora.app/download</link></item>";
    releases += "</channel></rss>";
    PacedFeedServer manyReleases(releases, releases.size(), 0);
    // A newer release whose page is plain http on the web.
    const QByteArray plainHttpRelease = feedLinkingTo(QStringLiteral("http://quillora.app/download"));
    PacedFeedServer plainHttp(plainHttpRelease, plainHttpRelease.size(), 0);
    ASSERT_TRUE(manyReleases.listen() && plainHttp.listen());
    const auto useSite = [](const QString& site) {
        return [site] { UserDefaults::standard().set(QStringLiteral("websiteBaseURL"), site); };
    };

    struct Case {
        const char* name;
        std::function<void()> prepare;
        Updater::Outcome outcome;
        QString alertText;
        // Part of the error, and of the alert's sentence.
        QString error = {};
        // Sends the feed; it stops sending near the limit.
        const StreamingHttpServer* source = nullptr;
    };
    const QList<Case> cases = {
        {"newer release", [] { ASSERT_TRUE(s_api->setAppcastVersion(QStringLiteral("1.0.10"))); },
         Updater::Outcome::UpdateFound, QStringLiteral("A new version of Quillora is available!")},
        {"same release", [] { ASSERT_TRUE(s_api->setAppcastVersion(QStringLiteral("1.0"))); },
         Updater::Outcome::UpToDate, QStringLiteral("You're up to date!")},
        {"older release", [] { ASSERT_TRUE(s_api->setAppcastVersion(QStringLiteral("0.9.12"))); },
         Updater::Outcome::UpToDate, QStringLiteral("You're up to date!")},
        {"malformed feed", [] { ASSERT_TRUE(s_api->serveMalformedAppcast()); }, Updater::Outcome::Failed,
         QStringLiteral("Update check failed")},
        {"unreachable site",
         [&unreachable] { UserDefaults::standard().set(QStringLiteral("websiteBaseURL"), unreachable); },
         Updater::Outcome::Failed, QStringLiteral("Update check failed")},
        {"site not allowed",
         [] {
             UserDefaults::standard().set(QStringLiteral("websiteBaseURL"),
                                          QStringLiteral("http://example.org"));
         },
         Updater::Outcome::Failed, QStringLiteral("Update check failed")},
        {"80 MB feed", useSite(hugeFeed.baseUrl()), Updater::Outcome::Failed,
         QStringLiteral("Update check failed"), QStringLiteral("The update feed is too large."), &hugeFeed},
        {"80 MB feed without its length", useSite(hugeFeedUntilClosed.baseUrl()), Updater::Outcome::Failed,
         QStringLiteral("Update check failed"), QStringLiteral("The update feed is too large."),
         &hugeFeedUntilClosed},
        {"30,000 releases", useSite(manyReleases.baseUrl()), Updater::Outcome::Failed,
         QStringLiteral("Update check failed"), QStringLiteral("The update feed is too large.")},
        {"newer release on a plain http page", useSite(plainHttp.baseUrl()), Updater::Outcome::Failed,
         QStringLiteral("A new version of Quillora cannot be offered"), QStringLiteral("Quillora 2.0")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UserDefaults::standard().set(QStringLiteral("websiteBaseURL"), s_api->baseUrl());
        c.prepare();
        UpdateManager manager(QStringLiteral("1.0.0"));
        ASSERT_TRUE(manager.canCheckForUpdates());

        // An automatic check speaks only of a newer release.
        Updater::CheckResult result = check(manager, false);
        EXPECT_EQ(result.outcome, c.outcome) << result.error.toStdString();
        EXPECT_TRUE(result.error.contains(c.error)) << result.error.toStdString();
        EXPECT_EQ(manager.updaterController().alert() != nullptr, c.outcome == Updater::Outcome::UpdateFound);
        delete manager.updaterController().alert();

        result = check(manager, true);
        EXPECT_EQ(result.outcome, c.outcome);
        QMessageBox* alert = manager.updaterController().alert();
        ASSERT_NE(alert, nullptr);
        EXPECT_EQ(alert->text(), c.alertText);
        EXPECT_TRUE(alert->informativeText().contains(c.error)) << alert->informativeText().toStdString();
        if (c.source) {
            ASSERT_TRUE(waitUntil([&] { return c.source->answered() == 2; }));
            EXPECT_LT(c.source->sent(), Updater::maximumFeedBytes + 16'000'000);
        }
        // As wide as its sentence (up to half the screen): the text under the title is not folded to the
        // title's width.
        ASSERT_TRUE(waitUntil([&] { return alert->isVisible(); }));
        const auto* sentence = alert->findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"));
        ASSERT_NE(sentence, nullptr);
        const int halfScreen = QGuiApplication::primaryScreen()->availableGeometry().width() / 2;
        EXPECT_EQ(sentence->heightForWidth(sentence->width()), sentence->heightForWidth(halfScreen))
            << sentence->width() << " wide";
        if (c.outcome == Updater::Outcome::UpdateFound) {
            EXPECT_EQ(result.item.version, QStringLiteral("1.0.10"));
            EXPECT_TRUE(alert->informativeText().contains(QLatin1String("Quillora 1.0.10 is now available")));
            // "Download" opens the release's page in the browser, and says so when no browser took it.
            const QUrl page(s_api->baseUrl() + QStringLiteral("/download"));
            for (const bool opens : {true, false}) {
                SCOPED_TRACE(opens ? "opened" : "not opened");
                if (!opens) {
                    check(manager, true);
                    alert = manager.updaterController().alert();
                    ASSERT_NE(alert, nullptr);
                }
                fakePlatform().fakeWorkspace().opensUrls = opens;
                fakePlatform().fakeWorkspace().openedUrls.clear();
                alert->buttons().first()->click();
                EXPECT_EQ(fakePlatform().fakeWorkspace().openedUrls, QList<QUrl>{page});
                runQueuedWork();
                const QMessageBox* said = manager.updaterController().alert();
                EXPECT_EQ(said ? said->text() : QString(),
                          opens ? QString()
                                : QStringLiteral("No application could open %1.").arg(page.toString()));
            }
            fakePlatform().fakeWorkspace().opensUrls = true;
        }
        delete manager.updaterController().alert();
    }
    ASSERT_TRUE(s_api->setAppcastVersion(QStringLiteral("1.0.0")));
}

TEST_F(UpdateCheckTest, AutomaticChecksRunOneIntervalAfterTheLastCheck) {
    UpdateManager manager(QStringLiteral("1.0.0"));
    Updater& updater = manager.updaterController().updater();
    EXPECT_EQ(updater.updateCheckInterval(), 14400);
    EXPECT_EQ(UpdateManager::feedURLString(), s_api->baseUrl() + QStringLiteral("/downloads/appcast.xml"));
    EXPECT_FALSE(updater.nextScheduledCheck()) << "off until the stored setting is handed over";

    updater.setAutomaticallyChecksForUpdates(true);
    ASSERT_TRUE(updater.nextScheduledCheck());
    const qint64 wait = QDateTime::currentDateTimeUtc().secsTo(*updater.nextScheduledCheck());
    EXPECT_NEAR(double(wait), 14400.0, 5.0);

    // Overdue since an earlier run: the check is due now, and after it the next is an interval away.
    UserDefaults::standard().set(QStringLiteral("lastUpdateCheckTime"),
                                 QDateTime::currentDateTimeUtc().addSecs(-20000).toString(Qt::ISODate));
    updater.setAutomaticallyChecksForUpdates(true);
    QSignalSpy finished(&updater, &Updater::checkFinished);
    ASSERT_TRUE(waitUntil([&] { return finished.size() == 1; }, 10000));
    EXPECT_FALSE(finished.first().at(0).value<Updater::CheckResult>().userInitiated);
    EXPECT_EQ(manager.updaterController().alert(), nullptr) << "nothing to say about no update";
    ASSERT_TRUE(updater.nextScheduledCheck());
    EXPECT_GT(QDateTime::currentDateTimeUtc().secsTo(*updater.nextScheduledCheck()), 14000);

    updater.setAutomaticallyChecksForUpdates(false);
    EXPECT_FALSE(updater.nextScheduledCheck());
}

TEST_F(UpdateCheckTest, AFeedThatTricklesOrStallsItsReaderEndsTheCheckWithoutHoldingTheUI) {
    // One byte every 100 ms never trips the transfer time-out; the check's own deadline ends it.
    PacedFeedServer trickle(QByteArray(4000, ' '), 1, 100);
    ASSERT_TRUE(trickle.listen());
    UserDefaults::standard().set(QStringLiteral("websiteBaseURL"), trickle.baseUrl());
    {
        UpdateManager manager(QStringLiteral("1.0.0"));
        Updater& updater = manager.updaterController().updater();
        updater.setCheckDeadline(1000);
        updater.setAutomaticallyChecksForUpdates(true);
        const Updater::CheckResult result = check(manager, true);
        EXPECT_EQ(result.outcome, Updater::Outcome::Failed);
        EXPECT_TRUE(updater.nextScheduledCheck()) << "automatic checks go on";
        delete manager.updaterController().alert();
    }

    // A feed under the size limit whose one element carries 50,000 attributes.
    const QByteArray hostile = feedWithAttributes(50000);
    ASSERT_LT(hostile.size(), Updater::maximumFeedBytes);
    PacedFeedServer stall(hostile, hostile.size(), 0);
    ASSERT_TRUE(stall.listen());
    UserDefaults::standard().set(QStringLiteral("websiteBaseURL"), stall.baseUrl());
    UpdateManager manager(QStringLiteral("1.0.0"));
    QElapsedTimer sinceTurn;
    qint64 longestTurn = 0;
    QTimer beat;
    beat.setInterval(5);
    QObject::connect(&beat, &QTimer::timeout, [&] {
        longestTurn = std::max(longestTurn, sinceTurn.restart());
    });
    sinceTurn.start();
    beat.start();
    const Updater::CheckResult result = check(manager, true);
    beat.stop();
    EXPECT_EQ(result.outcome, Updater::Outcome::Failed);
    // Far above a turn's budget, to stay clear of a slow machine; a reader on the UI thread takes seconds.
    EXPECT_LT(longestTurn, 1000);
    delete manager.updaterController().alert();
}

TEST_F(UpdateCheckTest, ACheckTheUserAskedForShowsThatItRunsUntilItEndsOrIsCancelled) {
    ASSERT_TRUE(s_api->hangAppcast());
    UpdateManager manager(QStringLiteral("1.0.0"));
    UpdaterController& controller = manager.updaterController();
    Updater& updater = controller.updater();
    QSignalSpy finished(&updater, &Updater::checkFinished);

    // An automatic check runs unseen; the user asking meanwhile makes it theirs, and shows it.
    updater.checkForUpdatesInBackground();
    ASSERT_TRUE(updater.isChecking());
    EXPECT_EQ(controller.progress(), nullptr);
    manager.checkForUpdates();
    QPointer<QProgressDialog> progress = controller.progress();
    ASSERT_TRUE(progress);
    EXPECT_TRUE(progress->isVisible());
    EXPECT_EQ(progress->labelText(), QStringLiteral("Checking for updates…"));

    // Asked again, the same window comes back from the taskbar; no second check starts.
    progress->showMinimized();
    manager.checkForUpdates();
    EXPECT_TRUE(finished.isEmpty());
    EXPECT_EQ(controller.progress(), progress.data());
    EXPECT_FALSE(progress->isMinimized());
    EXPECT_TRUE(progress->isVisible());

    // Its Cancel button and closing it both end the check at once, with nothing more to say.
    using Cancel = std::function<void(QProgressDialog*)>;
    const Cancel cancelButton = [](QProgressDialog* dialog) { dialog->findChild<QPushButton*>()->click(); };
    const Cancel closeWindow = [](QProgressDialog* dialog) { dialog->close(); };
    for (const Cancel& cancel : {cancelButton, closeWindow}) {
        if (!progress) {
            manager.checkForUpdates();
            progress = controller.progress();
            ASSERT_TRUE(progress);
        }
        const qsizetype before = finished.size();
        cancel(progress);
        ASSERT_EQ(finished.size(), before + 1);
        const auto result = finished.last().at(0).value<Updater::CheckResult>();
        EXPECT_EQ(result.outcome, Updater::Outcome::Cancelled);
        EXPECT_TRUE(result.userInitiated);
        EXPECT_TRUE(waitUntil([&] { return !progress; }));
        EXPECT_EQ(controller.alert(), nullptr);
        EXPECT_TRUE(manager.canCheckForUpdates());
    }
    ASSERT_TRUE(s_api->setAppcastVersion(QStringLiteral("1.0.0")));
}

TEST(AppcastFeedTest, VersionsCompareAsUsersExpect) {
    // Each older than the next.
    const QStringList ordered = {"0.9.12",      "1.0-alpha",  "1.0-beta", "1.0-beta.2", "1.0-beta.10",
                                 "1.0-rc1",     "1.0",        "1.0.1",    "1.0.9",      "1.0.10",
                                 "1.2",         "1.10-alpha", "1.10",     "2"};
    for (qsizetype i = 0; i < ordered.size(); ++i) {
        for (qsizetype j = 0; j < ordered.size(); ++j) {
            EXPECT_EQ(AppcastFeed::compareVersions(ordered[i], ordered[j]), (i > j) - (i < j))
                << ordered[i].toStdString() << " vs " << ordered[j].toStdString();
        }
    }
    const QList<std::tuple<QString, QString, int>> cases = {
        {"1.0", "1.0.0", 0},          {"1.0.0-beta", "1.0", -1},   {"1.0-RC.1", "1.0-rc1", 0},
        {"1.0+build.7", "1.0", 0},    {"1.0-beta", "0.9", 1},      {"v1.1", "1.0", -1},
        {"1.0.0001", "1.0.1", 0},     {"99999999999999999999", "99999999999999999998", 1},
    };
    for (const auto& [a, b, expected] : cases)
        EXPECT_EQ(AppcastFeed::compareVersions(a, b), expected) << a.toStdString() << " vs " << b.toStdString();

    // A beta user is offered the release of the same number.
    AppcastItem release;
    release.version = QStringLiteral("1.0");
    release.downloadUrl = QUrl(QStringLiteral("https://quillora.app/download"));
    EXPECT_TRUE(AppcastFeed::newestUpdate({release}, QStringLiteral("1.0-beta.2")));
    EXPECT_FALSE(AppcastFeed::newestUpdate({release}, QStringLiteral("1.0")));
}

TEST(AppcastFeedTest, ReadsTheItemsAUserCanSafelyBeSentTo) {
    const QByteArray feed = R"(<?xml version="1.0"?>
<rss version="2.0" xmlns:q="https://quillora.app/xml-namespaces/appcast">
 <channel><title>Quillora</title>
  <item><title>Old</title><q:version>1.1.0</q:version><link>https://quillora.app/download</link></item>
  <item><title>New</title><q:version>1.3.0</q:version><q:shortVersionString>1.3</q:shortVersionString>
   <q:releaseNotesLink>https://quillora.app/releases/1.3</q:releaseNotesLink>
   <enclosure url="https://quillora.app/downloads/q-1.3.tar.gz" length="0"/></item>
  <item><title>Unsafe</title><q:version>9.0</q:version><link>javascript:alert(1)</link></item>
  <item><title>Plain http</title><q:version>8.0</q:version><link>http://quillora.app/download</link></item>
  <item><title>No version</title><link>https://quillora.app/download</link></item>
 </channel>
</rss>)";
    const std::optional<QList<AppcastItem>> items = AppcastFeed::parse(feed);
    ASSERT_TRUE(items);
    ASSERT_EQ(items->size(), 4);
    // Announced, but with no page the user may be sent to: never offered, yet known to be there.
    const std::optional<AppcastItem> announced =
        AppcastFeed::newestAnnounced(*items, QStringLiteral("1.0.0"));
    ASSERT_TRUE(announced);
    EXPECT_EQ(announced->version, QStringLiteral("9.0"));
    EXPECT_TRUE(announced->downloadUrl.isEmpty());
    const std::optional<AppcastItem> update = AppcastFeed::newestUpdate(*items, QStringLiteral("1.0.0"));
    ASSERT_TRUE(update);
    EXPECT_EQ(update->version, QStringLiteral("1.3.0"));
    EXPECT_EQ(update->displayVersion(), QStringLiteral("1.3"));
    EXPECT_EQ(update->downloadUrl, QUrl(QStringLiteral("https://quillora.app/downloads/q-1.3.tar.gz")));
    EXPECT_EQ(update->releaseNotesLink, QUrl(QStringLiteral("https://quillora.app/releases/1.3")));
    EXPECT_FALSE(AppcastFeed::newestUpdate(*items, QStringLiteral("1.3")));

    for (const QByteArray& broken :
         {QByteArray(), QByteArray("<html><body>404</body></html>"),
          QByteArray("<rss><channel><item><title>cut"), QByteArray("<rss version=\"2.0\"/>")})
        EXPECT_FALSE(AppcastFeed::parse(broken)) << broken.toStdString();
    // A well-formed feed without releases is no failure: there is simply nothing newer.
    EXPECT_TRUE(AppcastFeed::parse("<rss version=\"2.0\"><channel><title>Q</title></channel></rss>"));
}

TEST(AppcastFeedTest, RefusesFeedsBuiltToStallTheReader) {
    QByteArray manyElements = "<rss version=\"2.0\"><channel>";
    for (int i = 0; i < 30000; ++i)
        manyElements += "<x/>";
    manyElements += "</channel></rss>";
    const QList<std::pair<QByteArray, AppcastFeed::Refusal>> hostile = {
        {feedWithAttributes(50000), AppcastFeed::Refusal::Malformed},
        {feedWithAttributes(65), AppcastFeed::Refusal::Malformed},
        {manyElements, AppcastFeed::Refusal::TooLarge},
    };
    for (const auto& [feed, expected] : hostile) {
        AppcastFeed::Refusal refusal = AppcastFeed::Refusal::None;
        EXPECT_FALSE(AppcastFeed::parse(feed, {}, &refusal)) << feed.left(60).toStdString();
        EXPECT_EQ(refusal, expected) << feed.left(60).toStdString();
    }

    // Comments, character data and quoted values may hold any number of "=" and "<".
    const QByteArray noisy = "<?xml version=\"1.0\"?><!-- " + QByteArray(5000, '=') +
                             " --><rss version=\"2.0\" xmlns:q=\"https://quillora.app/xml-namespaces/appcast\">"
                             "<channel><item><description><![CDATA[" +
                             QByteArray(5000, '<') + "]]></description><q:version>1.1</q:version>"
                             "<link>https://quillora.app/download?" + QByteArray(100, '=').replace("==", "a=") +
                             "</link></item></channel></rss>";
    const std::optional<QList<AppcastItem>> items = AppcastFeed::parse(noisy);
    ASSERT_TRUE(items);
    EXPECT_EQ(items->size(), 1);
    EXPECT_TRUE(AppcastFeed::parse(feedWithAttributes(64)));
}

TEST(AppcastFeedTest, LoopbackLinksOnlyFromAFeedOnThisMachine) {
    // A feed served from this machine (the local stand-in) may send the browser there; one from the web
    // may not, in any build.
    const QStringList loopback = {"http://127.0.0.1:8080/download", "http://127.1/download",
                                  "http://0x7f000001/download",     "http://[::1]/download",
                                  "http://localhost/download"};
    const QUrl webFeed(QStringLiteral("https://quillora.app/downloads/appcast.xml"));
    const QList<QUrl> localFeeds = {QUrl(QStringLiteral("http://127.0.0.1:4321/downloads/appcast.xml")),
                                    QUrl(QStringLiteral("http://localhost:4321/downloads/appcast.xml")),
                                    QUrl(QStringLiteral("https://[::1]/downloads/appcast.xml"))};
    for (const QString& link : loopback) {
        for (const QUrl& feed : {webFeed, QUrl()}) {
            const std::optional<QList<AppcastItem>> items = AppcastFeed::parse(feedLinkingTo(link), feed);
            ASSERT_TRUE(items);
            ASSERT_EQ(items->size(), 1);
            EXPECT_TRUE(items->first().downloadUrl.isEmpty())
                << link.toStdString() << " from " << feed.toString().toStdString();
        }
        for (const QUrl& feed : localFeeds)
            EXPECT_EQ(AppcastFeed::parse(feedLinkingTo(link), feed)->first().downloadUrl, QUrl(link))
                << link.toStdString() << " from " << feed.toString().toStdString();
    }
    for (const QUrl& feed : localFeeds)
        EXPECT_TRUE(AppcastFeed::parse(feedLinkingTo(QStringLiteral("http://example.org/download")), feed)
                        ->first()
                        .downloadUrl.isEmpty());
}
