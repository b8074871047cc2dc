// Reading a clip: the RIFF WAVE chunk walk that finds the wave format and the
// samples. Safe on any bytes: it never reads past the given length.
#pragma once

#include "app/platform.h"

#include <cstdint>
#include <optional>
#include <span>

namespace vmkt {

struct ParsedWave {
    WaveFormat format;
    std::span<const std::uint8_t> samples;
};

// The format from the first "fmt " chunk and the samples of the first "data"
// chunk, skipping unknown chunks and honouring the pad byte of odd-sized ones.
// Nothing when the bytes are not a playable PCM WAVE file.
std::optional<ParsedWave> 解析波形(std::span<const std::uint8_t> bytes);

} // namespace vmkt
