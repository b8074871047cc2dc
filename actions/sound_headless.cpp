#include "actions/sound_headless.h"

#include <limits>

namespace vmkt {

HeadlessSound::HeadlessSound(std::function<std::int64_t()> now) : now_(std::move(now)) {}

void HeadlessSound::play(const WaveFormat& format, std::span<const std::uint8_t> samples,
                         bool looped) {
    const std::int64_t start = now_();
    Player p{format, samples, looped, start, start};
    if (!missing_) {
        const std::uint64_t bytesPerSecond =
            format.avgBytesPerSec ? format.avgBytesPerSec : std::uint64_t{1};
        // Rounded up: a player sounds until its last sample has been played.
        const auto lengthMs = static_cast<std::int64_t>(
            (samples.size() * 1000 + bytesPerSecond - 1) / bytesPerSecond);
        p.endMs = looped ? std::numeric_limits<std::int64_t>::max() : start + lengthMs;
    }
    ++plays_;
    last_ = p;
    sounding(); // forget the ones that have ended
    if (p.endMs > start)
        live_.push_back(p);
}

void HeadlessSound::stopAll() {
    live_.clear();
}

int HeadlessSound::sounding() const {
    const std::int64_t now = now_();
    std::erase_if(live_, [now](const Player& p) { return p.endMs <= now; });
    return static_cast<int>(live_.size());
}

} // namespace vmkt
