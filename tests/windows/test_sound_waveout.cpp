// The waveOut players: each on a thread of its own, looping until stopped,
// stopAll returning at once. Without an output device (Wine with no sound
// server) a player ends at once and nothing hangs; with one, the looped clip
// really keeps playing until it is stopped.
#include "actions/clips.h"
#include "actions/sound.h"
#include "actions/sound_waveout.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <mmsystem.h>

namespace vmkt {
namespace {

// Waits until the output has no live player, for at most the given time.
bool allEnd(WaveOutSoundOutput& out, DWORD ms) {
    const ULONGLONG until = GetTickCount64() + ms;
    while (out.livePlayers() > 0) {
        if (GetTickCount64() > until)
            return false;
        Sleep(10);
    }
    return true;
}

TEST(WaveOutSoundOutput, LoopedPlayersSoundUntilStopped) {
    const auto wave = 解析波形(铃声0);
    ASSERT_TRUE(wave);
    const bool device = waveOutGetNumDevs() > 0;
    WaveOutSoundOutput out;
    out.play(wave->format, wave->samples, true);
    out.play(wave->format, wave->samples, true);
    if (device) {
        // Three clip lengths later both loops are still sounding.
        Sleep(3000);
        EXPECT_EQ(out.playersOpened(), 2);
        EXPECT_EQ(out.livePlayers(), 2);
    } else {
        // No device: the players give up by themselves, silently.
        EXPECT_TRUE(allEnd(out, 10000));
        EXPECT_EQ(out.playersOpened(), 0);
    }
    out.stopAll();
    EXPECT_TRUE(allEnd(out, 10000));
}

TEST(WaveOutSoundOutput, APlayerNotLoopedEndsByItself) {
    const auto wave = 解析波形(铃声1);
    ASSERT_TRUE(wave);
    WaveOutSoundOutput out;
    out.play(wave->format, wave->samples, false);
    EXPECT_TRUE(allEnd(out, 10000));
    // A player that finished is reaped, and the output takes new ones.
    out.play(wave->format, wave->samples, false);
    out.stopAll();
    EXPECT_TRUE(allEnd(out, 10000));
}

TEST(WaveOutSoundOutput, TheClickIsAShortStereoWave) {
    const auto& bytes = WaveOutSoundOutput::clickWave();
    const auto click = 解析波形(bytes);
    ASSERT_TRUE(click);
    EXPECT_EQ(click->format.channels, 2);
    EXPECT_EQ(click->format.samplesPerSec, 22050u);
    EXPECT_EQ(click->format.bitsPerSample, 16);
    const double ms = 1000.0 * click->samples.size() / click->format.avgBytesPerSec;
    EXPECT_NEAR(ms, 58.0, 1.0);
    WaveOutSoundOutput out;
    out.click(); // asynchronous: returns whether or not a device is there
    out.click();
}

} // namespace
} // namespace vmkt
