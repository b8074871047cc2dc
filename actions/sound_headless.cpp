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
    players_.push_back(p);
}

void HeadlessSound::stopAll() {
    const std::int64_t now = now_();
    for (Player& p : players_)
        if (p.endMs > now)
            p.endMs = now;
}

int HeadlessSound::sounding() const {
    const std::int64_t now = now_();
    int n = 0;
    for (const Player& p : players_)
        n += p.endMs > now ? 1 : 0;
    return n;
}

} // namespace vmkt
