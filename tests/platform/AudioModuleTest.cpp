#include "platform/AudioModule.h"

#include <gtest/gtest.h>

TEST(AudioModuleTest, LoadsFromItsPathOnDemandAndAMissingModuleMeansNoSpeech) {
    EXPECT_FALSE(AudioModule::load(QStringLiteral("/nonexistent/libquillora-audio.so")));
    EXPECT_EQ(AudioModule::createPlayer(QStringLiteral("/nonexistent/libquillora-audio.so")), nullptr);

    ASSERT_TRUE(AudioModule::load(QStringLiteral(QUILLORA_AUDIO_MODULE_PATH)));
    // A player only where there is a sound device; either way the module's code runs here.
    const std::unique_ptr<AudioPlayer> player = AudioModule::createPlayer(QStringLiteral(QUILLORA_AUDIO_MODULE_PATH));
    if (player) {
        EXPECT_FALSE(player->isPlaying());
    }
}
