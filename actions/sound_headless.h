// The headless sound output: records every player and lets one that is not
// looped end after its length in virtual time.
#pragma once

#include "app/platform.h"

#include <cstdint>
#include <functional>
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

    const std::vector<Player>& players() const { return players_; }
    int sounding() const;
    int clicks() const { return clicks_; }

private:
    std::function<std::int64_t()> now_;
    std::vector<Player> players_;
    bool missing_ = false;
    int clicks_ = 0;
};

} // namespace vmkt
