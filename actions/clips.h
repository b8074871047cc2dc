// The three ring sounds the program carries inside itself: complete RIFF WAVE
// files, PCM mono 22050 Hz unsigned 8-bit, constant data that is never
// modified or freed. actions/clips.cpp is written by tools/gen_clips.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace vmkt {

using Clip = std::span<const std::uint8_t>;

extern const Clip 铃声0; // "Vemko叫": a bright two-tone call, 22096 bytes
extern const Clip 铃声1; // "布谷鸟": a cuckoo's falling two-note call, 22116 bytes
extern const Clip 铃声2; // "风铃响": soft wind chimes, 37090 bytes

} // namespace vmkt
