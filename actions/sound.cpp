#include "actions/sound.h"

#include "app/program.h"

#include <cstring>

namespace vmkt {

namespace {

std::uint32_t le32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

std::uint16_t le16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

bool isId(const std::uint8_t* p, const char* id) {
    return std::memcmp(p, id, 4) == 0;
}

} // namespace

std::optional<ParsedWave> 解析波形(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 12 || !isId(bytes.data(), "RIFF") || !isId(bytes.data() + 8, "WAVE"))
        return std::nullopt;
    // The RIFF size may claim less than the buffer holds; never more is read.
    const std::uint64_t riffEnd = std::uint64_t{le32(bytes.data() + 4)} + 8;
    const std::uint64_t end = riffEnd < bytes.size() ? riffEnd : bytes.size();

    std::optional<WaveFormat> format;
    std::optional<std::span<const std::uint8_t>> samples;
    std::uint64_t offset = 12;
    while (offset + 8 <= end && !(format && samples)) {
        const std::uint8_t* header = bytes.data() + offset;
        const std::uint64_t size = le32(header + 4);
        const std::uint64_t body = offset + 8;
        if (size > end - body)
            return std::nullopt; // the chunk runs past the end of the file
        const std::uint8_t* p = bytes.data() + body;
        if (isId(header, "fmt ") && !format) {
            if (size < 16)
                return std::nullopt;
            WaveFormat f;
            f.formatTag = le16(p);
            f.channels = le16(p + 2);
            f.samplesPerSec = le32(p + 4);
            f.avgBytesPerSec = le32(p + 8);
            f.blockAlign = le16(p + 12);
            f.bitsPerSample = le16(p + 14);
            format = f;
        } else if (isId(header, "data") && !samples) {
            samples = bytes.subspan(static_cast<std::size_t>(body), static_cast<std::size_t>(size));
        }
        offset = body + size + (size & 1);
    }
    if (!format || !samples)
        return std::nullopt;

    // Only PCM that an output device takes: 8 or 16 bits, 1 to 8 channels,
    // a sensible rate and a block size that matches.
    const WaveFormat& f = *format;
    if (f.formatTag != 1 || f.channels < 1 || f.channels > 8 ||
        (f.bitsPerSample != 8 && f.bitsPerSample != 16) || f.samplesPerSec < 1000 ||
        f.samplesPerSec > 192000 || f.blockAlign != f.channels * f.bitsPerSample / 8)
        return std::nullopt;
    const std::size_t whole = samples->size() - samples->size() % f.blockAlign;
    if (whole == 0)
        return std::nullopt;
    return ParsedWave{f, samples->first(whole)};
}

void Program::播放片段(Clip clip, bool looped) {
    if (const auto wave = 解析波形(clip))
        platform().sound.play(wave->format, wave->samples, looped);
}

void Program::停止全部声音() {
    platform().sound.stopAll();
}

} // namespace vmkt
