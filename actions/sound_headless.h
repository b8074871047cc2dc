// The headless sound output: counts the players, keeps the last one's details
// and the ones still sounding, and lets one that is not looped end after its
// length in virtual time. Players that have ended are forgotten, so a long
// run keeps no record per player.
#pragma once

#include "app/platform.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace vmkt {

class HeadlessSound : public SoundOutput {
public:
    struct Player {
        WaveFormat format;
        std::span<const std::uint8_t> samples;
        bool looped = false;
        std::int64_t startMs = 0;
        std::int64_t endMs = 0; // when it stops sounding; INT64_MAX while looping
    };

    // now gives the virtual monotonic time in milliseconds.
    explicit HeadlessSound(std::function<std::int64_t()> now);

    void play(const WaveFormat& format, std::span<const std::uint8_t> samples,
              bool looped) override;
    void stopAll() override;
    void click() override { ++clicks_; }

    // With no output device players are recorded as started but never sound.
    void setMissing(bool missing) { missing_ = missing; }

    // Players started so far.
    std::int64_t plays() const { return plays_; }
    // The player started last, as it was started.
    const std::optional<Player>& last() const { return last_; }
    int sounding() const;
    int clicks() const { return clicks_; }

private:
    std::function<std::int64_t()> now_;
    std::int64_t plays_ = 0;
    std::optional<Player> last_;
    // The players that may still sound; ended ones are dropped as found.
    mutable std::vector<Player> live_;
    bool missing_ = false;
    int clicks_ = 0;
};

} // namespace vmkt
