// Speech against the local web API stand-in, played by the fake platform's audio player.
#include "services/TextToSpeechService.h"

#include "DevApiTest.h"
#include "FakePlatform.h"
#include "ScriptedHttpServer.h"
#include "TestUtils.h"
#include "platform/UserDefaults.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace {

struct State {
    bool loading;
    bool playing;
    TTSSource source;
    bool operator==(const State&) const = default;
};

class TextToSpeechServiceTest : public DevApiTest {
protected:

    void SetUp() override {
        DevApiTest::SetUp();
        m_observer = std::make_unique<QObject>();
        auto record = [this] {
            const State state{tts().isLoading(), tts().isPlaying(), tts().activeSource()};
            if (m_states.isEmpty() || !(m_states.last() == state))
                m_states.append(state);
        };
        QObject::connect(&tts(), &TextToSpeechService::isLoadingChanged, m_observer.get(), record);
        QObject::connect(&tts(), &TextToSpeechService::isPlayingChanged, m_observer.get(), record);
        QObject::connect(&tts(), &TextToSpeechService::activeSourceChanged, m_observer.get(), record);
    }

    void TearDown() override {
        tts().stop();
        m_observer.reset();
    }

    static TextToSpeechService& tts() { return TextToSpeechService::shared(); }

    static FakeAudioPlayer* player(int index) {
        const auto& players = fakePlatform().audioPlayers;
        return index < players.size() ? players.at(index).data() : nullptr;
    }

    bool waitUntilPlaying(TTSSource source) {
        return waitUntil([source] { return tts().isPlaying(source); }, 10000);
    }

    std::unique_ptr<QObject> m_observer;
    QList<State> m_states;
};


TEST_F(TextToSpeechServiceTest, LoadsPlaysAndReturnsToIdle) {
    UserDefaults::standard().set(QStringLiteral("last_trigger_source"), QStringLiteral("floating_bar"));
    tts().speak(QStringLiteral("hello"), QStringLiteral("en"), true, TTSSource::Output);
    EXPECT_TRUE(tts().isLoading());
    EXPECT_FALSE(tts().isPlaying(TTSSource::Output)); // fetching is not playing
    ASSERT_TRUE(waitUntilPlaying(TTSSource::Output));

    EXPECT_FALSE(tts().isLoading());
    EXPECT_FALSE(tts().isPlaying(TTSSource::Input));
    EXPECT_TRUE(tts().error().isEmpty());
    ASSERT_EQ(fakePlatform().audioPlayers.size(), 1);
    EXPECT_EQ(tts().audioPlayer(), player(0));
    EXPECT_TRUE(player(0)->played.startsWith("RIFF")); // the stand-in's WAV, decoded from base64

    const QJsonObject request = s_api->lastRequest();
    EXPECT_EQ(request.value("path").toString(), QStringLiteral("/api/tts"));
    EXPECT_TRUE(request.value("signatureValid").toBool());
    const QJsonObject body = request.value("body").toObject();
    EXPECT_EQ(body.value("text").toString(), QStringLiteral("hello"));
    EXPECT_EQ(body.value("language").toString(), QStringLiteral("en"));
    EXPECT_EQ(body.value("slow").toBool(), true);
    EXPECT_EQ(body.value("process_type").toString(), QStringLiteral("tts"));
    EXPECT_EQ(body.value("trigger_source").toString(), QStringLiteral("floating_bar"));

    player(0)->finish();
    EXPECT_FALSE(tts().isPlaying());
    EXPECT_EQ(tts().activeSource(), TTSSource::Unknown);
    EXPECT_EQ(m_states, (QList<State>{{true, false, TTSSource::Unknown},
                                      {false, false, TTSSource::Unknown},
                                      {false, false, TTSSource::Output},
                                      {false, true, TTSSource::Output},
                                      {false, false, TTSSource::Output},
                                      {false, false, TTSSource::Unknown}}));
    // The finished clip's player is let go.
    EXPECT_EQ(tts().audioPlayer(), nullptr);
}

TEST_F(TextToSpeechServiceTest, EmptyTextDoesNothing) {
    tts().speak(QString(), QStringLiteral("en"), false, TTSSource::Input);
    runQueuedWork();
    EXPECT_TRUE(m_states.isEmpty());
    EXPECT_TRUE(s_api->requestLog().isEmpty());
}

TEST_F(TextToSpeechServiceTest, StopWhilePlayingStopsThePlayerAndIgnoresItsLateEnd) {
    tts().speak(QStringLiteral("hello"), QStringLiteral("en"), false, TTSSource::Input);
    ASSERT_TRUE(waitUntilPlaying(TTSSource::Input));
    tts().stop();
    EXPECT_EQ(player(0)->stopCount, 1);
    EXPECT_FALSE(tts().isPlaying());
    EXPECT_EQ(tts().activeSource(), TTSSource::Unknown);

    // The views' own way: stop the player, then reset.
    tts().speak(QStringLiteral("world"), QStringLiteral("en"), false, TTSSource::Output);
    ASSERT_TRUE(waitUntilPlaying(TTSSource::Output));
    tts().audioPlayer()->stop();
    tts().resetPlaybackState();
    EXPECT_FALSE(tts().isPlaying(TTSSource::Output));
    player(1)->finish();
    EXPECT_FALSE(tts().isPlaying());
    EXPECT_TRUE(tts().error().isEmpty());
}

TEST_F(TextToSpeechServiceTest, NewSpeechDuringPlaybackStopsTheOldClipAndWaitsBeforeFetching) {
    tts().speak(QStringLiteral("hello"), QStringLiteral("en"), false, TTSSource::Output);
    ASSERT_TRUE(waitUntilPlaying(TTSSource::Output));
    ASSERT_TRUE(s_api->waitForRequests(1));

    QElapsedTimer clock;
    clock.start();
    tts().speak(QStringLiteral("merhaba"), QStringLiteral("tr"), false, TTSSource::Input);
    EXPECT_EQ(player(0)->stopCount, 1);
    EXPECT_FALSE(tts().isPlaying());
    EXPECT_EQ(tts().activeSource(), TTSSource::Unknown);
    // Fetched only once the old clip settled (a coarse timer may fire 5 % early).
    ASSERT_TRUE(waitUntil([] { return s_api->requestLog().size() == 2; }));
    EXPECT_GE(clock.elapsed(), TextToSpeechService::stopSettleMs * 95 / 100);

    ASSERT_TRUE(waitUntilPlaying(TTSSource::Input));
    EXPECT_EQ(s_api->requestLog().size(), 2);
    ASSERT_EQ(fakePlatform().audioPlayers.size(), 2);
    EXPECT_EQ(tts().audioPlayer(), player(1));
    // The replaced player is gone.
    EXPECT_EQ(player(0), nullptr);
}

// The answer to a speech stopped or replaced while it loads is dropped.
TEST_F(TextToSpeechServiceTest, AnAnswerOutdatedWhileLoadingIsDropped) {
    // Longer than the stand-in takes to answer: a request still alive ends with its answer.
    constexpr int timeoutMs = 700;
    const struct {
        const char* name;
        std::function<void()> outdate;
        bool replaced;
    } cases[] = {
        {"stopped",
         [] {
             tts().stop();
             EXPECT_FALSE(tts().isLoading());
         },
         false},
        {"replaced",
         [this] {
             tts().speak(QStringLiteral("second"), QStringLiteral("en"), false, TTSSource::Input);
             EXPECT_TRUE(waitUntilPlaying(TTSSource::Input));
         },
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        s_api->clearRequestLog();
        const qsizetype players = fakePlatform().audioPlayers.size();
        ASSERT_TRUE(s_api->failNext(QStringLiteral("slow"), 1, 500));
        {
            WebTimeout limit(timeoutMs);
            tts().speak(QStringLiteral("first"), QStringLiteral("en"), false, TTSSource::Output);
        }
        ASSERT_TRUE(tts().isLoading());
        // The slow answer is the first request's.
        ASSERT_TRUE(waitUntil([] { return s_api->requestLog().size() == 1; }));
        c.outdate();
        // The first request, had it lived on, has ended by now with its answer.
        runQueuedWork(timeoutMs);
        EXPECT_EQ(fakePlatform().audioPlayers.size(), players + (c.replaced ? 1 : 0));
        EXPECT_EQ(tts().isPlaying(TTSSource::Input), c.replaced);
        EXPECT_FALSE(tts().isPlaying(TTSSource::Output));
        EXPECT_TRUE(tts().error().isEmpty());
        tts().stop();
    }
}

TEST_F(TextToSpeechServiceTest, ServerAndAnswerFailuresGoIntoErrorAndLeaveItIdle) {
    const struct {
        const char* mode;
        QString error;
    } cases[] = {
        {"500", QStringLiteral("Server error: Simulated server failure")},
        {"missing-field", QStringLiteral("Error processing server response.")},
        {"invalid-json", QStringLiteral("Invalid response from the server.")},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(s_api->failNext(QString::fromLatin1(c.mode)));
        tts().speak(QStringLiteral("hello"), QStringLiteral("en"), false, TTSSource::Output);
        ASSERT_TRUE(waitUntil([] { return !tts().isLoading(); })) << c.mode;
        EXPECT_EQ(tts().error(), c.error) << c.mode;
        EXPECT_FALSE(tts().isPlaying());
        EXPECT_EQ(tts().activeSource(), TTSSource::Unknown);
    }
    EXPECT_TRUE(fakePlatform().audioPlayers.isEmpty());

    // The next speech that works clears the error.
    tts().speak(QStringLiteral("hello"), QStringLiteral("en"), false, TTSSource::Output);
    ASSERT_TRUE(waitUntilPlaying(TTSSource::Output));
    EXPECT_TRUE(tts().error().isEmpty());
}

TEST_F(TextToSpeechServiceTest, UndecodableAudioGoesIntoError) {
    ScriptedHttpServer server;
    ASSERT_TRUE(server.listen());
    UserDefaults::standard().set(QStringLiteral("apiBaseURL"), server.baseUrl());
    for (const QByteArray& answer :
         {QByteArray(R"({"audioContent":"%%% not base64 %%%"})"), QByteArray(R"({"audioContent":""})"),
          QByteArray(R"({"audioContent":42})")}) {
        server.response = ScriptedHttpServer::answer(200, "OK", answer);
        tts().speak(QStringLiteral("hello"), QStringLiteral("en"), false, TTSSource::Input);
        ASSERT_TRUE(waitUntil([] { return !tts().isLoading(); })) << answer.constData();
        EXPECT_EQ(tts().error(), QStringLiteral("Error processing server response.")) << answer.constData();
        EXPECT_FALSE(tts().isPlaying());
    }
    EXPECT_TRUE(fakePlatform().audioPlayers.isEmpty());

    // Valid base64 that the player cannot decode: its failure becomes the error.
    server.response = ScriptedHttpServer::answer(
        200, "OK", R"({"audioContent":")" + QByteArray("not audio").toBase64() + R"("})");
    tts().speak(QStringLiteral("hello"), QStringLiteral("en"), false, TTSSource::Input);
    ASSERT_TRUE(waitUntilPlaying(TTSSource::Input));
    EXPECT_EQ(player(0)->played, QByteArray("not audio"));
    player(0)->fail(QStringLiteral("Could not determine type of stream"));
    EXPECT_EQ(tts().error(), QStringLiteral("Audio playback failed: Could not determine type of stream"));
    EXPECT_FALSE(tts().isPlaying());
    EXPECT_EQ(tts().activeSource(), TTSSource::Unknown);
    EXPECT_EQ(tts().audioPlayer(), nullptr);
}

TEST_F(TextToSpeechServiceTest, NoSoundDeviceOrAPlayerThatCannotStartIsAnError) {
    fakePlatform().audioPlayerAvailable = false;
    tts().speak(QStringLiteral("hello"), QStringLiteral("en"), false, TTSSource::Input);
    ASSERT_TRUE(waitUntil([] { return !tts().error().isEmpty(); }, 10000));
    EXPECT_EQ(tts().error(), QStringLiteral("No audio output device"));
    EXPECT_FALSE(tts().isPlaying());
    EXPECT_FALSE(tts().isLoading());

    fakePlatform().audioPlayerAvailable = true;
    fakePlatform().audioPlayersCanPlay = false;
    tts().speak(QStringLiteral("hello"), QStringLiteral("en"), false, TTSSource::Input);
    ASSERT_TRUE(
        waitUntil([] { return fakePlatform().audioPlayers.size() == 1 && !tts().isLoading(); }, 10000));
    EXPECT_EQ(tts().error(), QStringLiteral("Audio playback failed"));
    EXPECT_FALSE(tts().isPlaying());
    EXPECT_EQ(tts().audioPlayer(), nullptr);
}

} // namespace
