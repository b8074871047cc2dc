// Sound output through the waveform audio API: every clip gets a player of
// its own, on a thread of its own, writing to the default output device in
// the clip's format. The buttons' click goes through PlaySound.
#pragma once

#include "app/platform.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace vmkt {

class WaveOutSoundOutput : public SoundOutput {
public:
    WaveOutSoundOutput();
    ~WaveOutSoundOutput() override;
    WaveOutSoundOutput(const WaveOutSoundOutput&) = delete;
    WaveOutSoundOutput& operator=(const WaveOutSoundOutput&) = delete;

    void play(const WaveFormat& format, std::span<const std::uint8_t> samples,
              bool looped) override;
    void stopAll() override;
    void click() override;

    // Players that have not finished yet (finished ones are reaped here).
    int livePlayers();
    // How many players could open the output device so far.
    int playersOpened() const { return opened_.load(); }

    // The click: a RIFF WAVE file of about 58 ms, stereo, 22050 Hz, 16-bit.
    static const std::vector<std::uint8_t>& clickWave();

private:
    struct Player;
    static void run(Player& player, std::atomic<int>& opened);
    void reap();

    std::mutex mutex_;
    std::vector<std::unique_ptr<Player>> players_;
    std::atomic<int> opened_{0};
};

} // namespace vmkt
