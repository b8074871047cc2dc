// Sound output through the PulseAudio client library (libpulse-simple). Every
// player owns one playback stream in the clip's own format and one detached
// thread; the server mixes the players. Nothing here ever waits for a player,
// so a missing or frozen sound server cannot hold up the caller.
#pragma once

#include "app/platform.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace vmkt {

class PulseSoundOutput : public SoundOutput {
public:
    PulseSoundOutput();
    // Signals every player to stop and returns without waiting for them.
    ~PulseSoundOutput() override;
    PulseSoundOutput(const PulseSoundOutput &) = delete;
    PulseSoundOutput &operator=(const PulseSoundOutput &) = delete;

    // Formats other than PCM unsigned 8-bit or signed 16-bit are ignored.
    void play(const WaveFormat &format, std::span<const std::uint8_t> samples,
              bool looped) override;
    void stopAll() override;
    void click() override;

    // Players whose threads have not finished yet (a finished player removes
    // itself).
    std::size_t livePlayers() const;

    // The click's samples: 60 ms, stereo 22050 Hz signed 16-bit.
    static std::span<const std::uint8_t> clickSamples();
    static WaveFormat clickFormat();

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
};

} // namespace vmkt
