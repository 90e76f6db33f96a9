// The Qt Multimedia player behind speech. Build machines usually have no sound device: there the
// player must refuse at once and say so. The decoding paths run with the device check lifted (the
// backend then plays into nothing), so they are exercised everywhere.
#include "platform/qtaudio/QtAudioPlayer.h"

#include "PrivateSoundServer.h"
#include "TestUtils.h"

#include <QPointer>
#include <QSignalSpy>
#include <QtEndian>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <string_view>

namespace {

// A mono 16-bit WAV clip of silence.
QByteArray silentWav(int milliseconds) {
    const quint32 rate = 16000;
    const quint32 dataBytes = rate * 2 * quint32(milliseconds) / 1000;
    QByteArray wav;
    auto put32 = [&wav](quint32 v) {
        v = qToLittleEndian(v);
        wav.append(reinterpret_cast<const char*>(&v), 4);
    };
    auto put16 = [&wav](quint16 v) {
        v = qToLittleEndian(v);
        wav.append(reinterpret_cast<const char*>(&v), 2);
    };
    wav.append("RIFF");
    put32(36 + dataBytes);
    wav.append("WAVEfmt ");
    put32(16);
    put16(1);
    put16(1);
    put32(rate);
    put32(rate * 2);
    put16(2);
    put16(16);
    wav.append("data");
    put32(dataBytes);
    wav.append(QByteArray(int(dataBytes), '\0'));
    return wav;
}

// Qt Multimedia lists the sound devices once in a process, when first asked: the sound server that tests
// play through runs from before any test starts, whichever runs first, as long as one of them is to run.
class SoundServerEnvironment : public ::testing::Environment {
public:
    static PrivateSoundServer* server() { return s_server.get(); }

    void SetUp() override {
        const ::testing::UnitTest& tests = *::testing::UnitTest::GetInstance();
        bool needed = false;
        for (int i = 0; i < tests.total_test_suite_count(); ++i) {
            const ::testing::TestSuite& suite = *tests.GetTestSuite(i);
            needed = needed || (std::string_view(suite.name()) == "QtAudioPlayerSoundServerTest" &&
                                suite.test_to_run_count() > 0);
        }
        if (needed && PrivateSoundServer::isInstalled())
            s_server = std::make_unique<PrivateSoundServer>();
    }
    void TearDown() override { s_server.reset(); }

private:
    static inline std::unique_ptr<PrivateSoundServer> s_server;
};

[[maybe_unused]] ::testing::Environment* const soundServerEnvironment =
    ::testing::AddGlobalTestEnvironment(new SoundServerEnvironment);

class QtAudioPlayerDecodingTest : public ::testing::Test {
protected:
    void SetUp() override { QtAudioPlayer::setRequireOutputDeviceForTesting(false); }
    void TearDown() override { QtAudioPlayer::setRequireOutputDeviceForTesting(true); }
};

TEST(QtAudioPlayerTest, WithoutASoundDeviceRefusesAtOnceAndSaysWhy) {
    if (QtAudioPlayer::hasOutputDevice())
        GTEST_SKIP() << "a sound device is reachable";
    QtAudioPlayer player;
    QSignalSpy finished(&player, &AudioPlayer::finished);
    QSignalSpy failed(&player, &AudioPlayer::failed);
    EXPECT_FALSE(player.play(silentWav(200)));
    EXPECT_FALSE(player.isPlaying());
    EXPECT_EQ(failed.count(), 0); // reported on a later turn, not inside play()
    ASSERT_TRUE(waitUntil([&] { return failed.count() == 1; }));
    EXPECT_EQ(failed.at(0).at(0).toString(), QStringLiteral("No audio output device"));
    runQueuedWork();
    EXPECT_EQ(finished.count(), 0);
}

TEST_F(QtAudioPlayerDecodingTest, ValidClipPlaysToTheEnd) {
    QtAudioPlayer player;
    QSignalSpy finished(&player, &AudioPlayer::finished);
    QSignalSpy failed(&player, &AudioPlayer::failed);
    ASSERT_TRUE(player.play(silentWav(200)));
    EXPECT_TRUE(player.isPlaying());
    ASSERT_TRUE(waitUntil([&] { return finished.count() + failed.count() > 0; }, 15000));
    EXPECT_EQ(finished.count(), 1);
    EXPECT_EQ(failed.count(), 0);
    EXPECT_FALSE(player.isPlaying());
}

TEST_F(QtAudioPlayerDecodingTest, UndecodableOrEmptyDataFailsInsteadOfHanging) {
    for (const QByteArray& data : {QByteArray("this is not audio, just text"), QByteArray()}) {
        QtAudioPlayer player;
        QSignalSpy finished(&player, &AudioPlayer::finished);
        QSignalSpy failed(&player, &AudioPlayer::failed);
        player.play(data);
        ASSERT_TRUE(waitUntil([&] { return failed.count() > 0; }, 15000));
        runQueuedWork();
        EXPECT_EQ(failed.count(), 1);
        EXPECT_EQ(finished.count(), 0);
        EXPECT_FALSE(player.isPlaying());
    }
}

TEST_F(QtAudioPlayerDecodingTest, StopIsSilentAndThePlayerCanGoAwayMidClip) {
    auto player = std::make_unique<QtAudioPlayer>();
    QSignalSpy finished(player.get(), &AudioPlayer::finished);
    QSignalSpy failed(player.get(), &AudioPlayer::failed);
    player->stop(); // nothing to stop
    ASSERT_TRUE(player->play(silentWav(3000)));
    const auto* media = player->findChild<QMediaPlayer*>();
    ASSERT_NE(media, nullptr);
    // Mid clip: under way.
    ASSERT_TRUE(waitUntil([&] { return media->position() > 0; }, 15000));
    player->stop();
    EXPECT_FALSE(player->isPlaying());
    runQueuedWork();
    EXPECT_EQ(finished.count(), 0);
    EXPECT_EQ(failed.count(), 0);

    // Playing again after a stop works, and destroying it while it plays is safe.
    ASSERT_TRUE(player->play(silentWav(3000)));
    ASSERT_TRUE(waitUntil([&] { return media->position() > 0; }, 15000));
    player.reset();
    runQueuedWork();
}

// Through a sound server, as on a desktop: speech dropped mid clip (the translator closed while it
// speaks) goes while the pipeline may still run, and must never take the process down.
TEST(QtAudioPlayerSoundServerTest, PlayersDroppedMidClipGoCleanlyEveryTime) {
    if (!PrivateSoundServer::isInstalled())
        GTEST_SKIP() << "pulseaudio is not installed: no sound server to play through";
    const PrivateSoundServer& server = *SoundServerEnvironment::server();
    ASSERT_TRUE(server.isRunning()) << qPrintable(server.problem());
    ASSERT_TRUE(QtAudioPlayer::hasOutputDevice());
    const QByteArray clip = silentWav(3000);
    for (int round = 0; round < 24; ++round) {
        SCOPED_TRACE(round);
        auto* player = new QtAudioPlayer;
        ASSERT_TRUE(player->play(clip));
        auto* media = player->findChild<QMediaPlayer*>();
        ASSERT_NE(media, nullptr);
        // The pipeline reads its source until the player is gone: the source must go last.
        const QPointer<QMediaPlayer> mediaAlive(media);
        auto* source = const_cast<QIODevice*>(media->sourceDevice());
        ASSERT_NE(source, nullptr);
        std::optional<bool> playerWentFirst;
        QObject::connect(source, &QObject::destroyed, [&] { playerWentFirst = mediaAlive.isNull(); });
        // At every stage: before the pipeline runs, as it starts, and well into the clip; stopped first
        // (the translator closed) or not.
        if (round % 3 > 0) {
            ASSERT_TRUE(waitUntil([&] { return media->position() > (round % 3 - 1) * 1200; }, 15000));
        }
        if (round % 2 == 0) {
            player->stop();
            runQueuedWork();
        }
        delete player;
        ASSERT_TRUE(playerWentFirst.has_value());
        EXPECT_TRUE(*playerWentFirst);
        runQueuedWork(50);
    }
}

} // namespace
