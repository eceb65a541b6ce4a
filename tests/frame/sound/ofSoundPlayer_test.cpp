// The sound module's failures: each is one console line, never a stop. What a
// player hears is checked by the end-to-end test on SDL's disk driver.
#include "ofSoundPlayer.h"

#include <gtest/gtest.h>

#include <cstdlib>

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

TEST(ofSound, WithNoDeviceEveryCallIsANoOpAfterOneLine) {
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    CaptureStdout();
    EXPECT_FALSE(ofSoundOpen());
    ofSoundPlayer beep;
    EXPECT_FALSE(beep.loadSound(DATA_DIR "/countdown.wav"));
    beep.setVolume(0.5f);
    beep.play();
    beep.stop();
    ofSoundStopAll();
    EXPECT_FALSE(ofSoundOpen() || ofSoundIsOpen() || beep.bLoaded);
    const std::string console = GetCapturedStdout();
    EXPECT_EQ(console.rfind("sound: no audio device (", 0), 0u) << console;
    EXPECT_EQ(console.find('\n'), console.size() - 1) << console;
    ofSoundClose();
}

TEST(ofSound, AMissingFileIsOneLineAndTheDeviceStaysInUse) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    ASSERT_TRUE(ofSoundOpen());
    ofSoundPlayer missing, beep;
    CaptureStdout();
    EXPECT_FALSE(missing.loadSound("no-such.wav") || missing.bLoaded);
    missing.play();
    EXPECT_EQ(GetCapturedStdout(), "sound: cannot load data/no-such.wav\n");
    EXPECT_TRUE(beep.loadSound(DATA_DIR "/countdown.wav") && beep.bLoaded);
    ofSoundClose();
}
