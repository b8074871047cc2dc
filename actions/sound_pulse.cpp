#include "actions/sound_pulse.h"

#include <pulse/error.h>
#include <pulse/simple.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <list>
#include <mutex>
#include <numbers>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

namespace vmkt {

namespace {

constexpr const char *kClientName = "Vemko闹钟";

// Each write hands the server about 10 ms of sound, and the server is asked
// to keep no more than 20 ms queued for the stream (sink included), so a
// stopped player falls silent within a few tens of milliseconds.
constexpr std::uint32_t kChunkMs = 10;
constexpr std::uint32_t kTargetLatencyMs = 40;

constexpr std::uint16_t kWaveFormatPcm = 1;

struct Player {
    std::atomic<bool> stop{false};
};

std::size_t bytesFor(const pa_sample_spec &spec, std::uint32_t ms) {
    const std::size_t frame = pa_frame_size(&spec);
    const std::size_t frames = std::max<std::size_t>(1, std::size_t{spec.rate} * ms / 1000);
    return frames * frame;
}

std::optional<pa_sample_spec> sampleSpecOf(const WaveFormat &format) {
    if (format.formatTag != kWaveFormatPcm) {
        return std::nullopt;
    }
    pa_sample_spec spec{};
    switch (format.bitsPerSample) {
    case 8:
        spec.format = PA_SAMPLE_U8;
        break;
    case 16:
        spec.format = PA_SAMPLE_S16LE;
        break;
    default:
        return std::nullopt;
    }
    if (format.channels == 0 || format.channels > PA_CHANNELS_MAX || format.samplesPerSec == 0 ||
        format.samplesPerSec > PA_RATE_MAX) {
        return std::nullopt;
    }
    spec.channels = static_cast<std::uint8_t>(format.channels);
    spec.rate = format.samplesPerSec;
    if (pa_sample_spec_valid(&spec) == 0) {
        return std::nullopt;
    }
    return spec;
}

// Plays the samples on a fresh stream until they end or the player is told to
// stop. Runs on the player's own thread and may block for as long as the
// server does.
void stream(Player &player, const pa_sample_spec &spec, std::span<const std::uint8_t> samples,
            bool looped) {
    if (player.stop) {
        return;
    }
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.tlength = static_cast<std::uint32_t>(bytesFor(spec, kTargetLatencyMs));
    attr.prebuf = static_cast<std::uint32_t>(-1);
    attr.minreq = static_cast<std::uint32_t>(-1);
    attr.fragsize = static_cast<std::uint32_t>(-1);
    int error = 0;
    pa_simple *s = pa_simple_new(nullptr, kClientName, PA_STREAM_PLAYBACK, nullptr, "闹铃", &spec,
                                 nullptr, &attr, &error);
    if (s == nullptr) {
        return;
    }

    const std::size_t chunk = bytesFor(spec, kChunkMs);
    std::vector<std::uint8_t> wrapped; // one chunk joined across the loop's seam
    std::size_t pos = 0;
    bool failed = false;
    while (!player.stop) {
        const std::size_t left = samples.size() - pos;
        const std::uint8_t *data = samples.data() + pos;
        std::size_t n = std::min(chunk, left);
        if (looped && left < chunk) {
            wrapped.clear();
            while (wrapped.size() < chunk) {
                const std::size_t take = std::min(chunk - wrapped.size(), samples.size() - pos);
                wrapped.insert(wrapped.end(), samples.begin() + static_cast<std::ptrdiff_t>(pos),
                               samples.begin() + static_cast<std::ptrdiff_t>(pos + take));
                pos = (pos + take) % samples.size();
            }
            data = wrapped.data();
            n = wrapped.size();
        } else {
            pos += n;
            if (looped && pos == samples.size()) {
                pos = 0;
            }
        }
        if (pa_simple_write(s, data, n, &error) < 0) {
            failed = true;
            break;
        }
        if (!looped && pos == samples.size()) {
            break;
        }
    }
    if (!failed) {
        if (player.stop) {
            pa_simple_flush(s, &error);
        } else {
            pa_simple_drain(s, &error);
        }
    }
    pa_simple_free(s);
}

std::vector<std::uint8_t> makeClick() {
    // A soft tick: two damped partials with a fast attack, then silence.
    constexpr double kRate = 22050.0;
    constexpr int kFrames = 1323; // 60 ms
    std::vector<std::uint8_t> out;
    out.reserve(kFrames * 4);
    for (int i = 0; i < kFrames; ++i) {
        const double t = i / kRate;
        const double attack = 1.0 - std::exp(-t / 0.0004);
        const double high = std::exp(-t / 0.004) * std::sin(2 * std::numbers::pi * 2300.0 * t);
        const double low = std::exp(-t / 0.008) * std::sin(2 * std::numbers::pi * 850.0 * t);
        const double v = 0.30 * attack * (0.6 * high + 0.4 * low);
        const auto sample = static_cast<std::int16_t>(std::lround(v * 32767.0));
        const auto u = static_cast<std::uint16_t>(sample);
        for (int channel = 0; channel < 2; ++channel) {
            out.push_back(static_cast<std::uint8_t>(u & 0xFF));
            out.push_back(static_cast<std::uint8_t>(u >> 8));
        }
    }
    return out;
}

} // namespace

struct PulseSoundOutput::Shared {
    mutable std::mutex mutex;
    std::list<std::shared_ptr<Player>> players;
    std::weak_ptr<Player> lastClick;

    // Registers a player and starts its thread; the thread removes the player
    // again when it ends. Gives nothing when no thread could be started.
    static std::shared_ptr<Player> start(const std::shared_ptr<Shared> &shared,
                                         const pa_sample_spec &spec,
                                         std::span<const std::uint8_t> samples, bool looped) {
        auto player = std::make_shared<Player>();
        std::list<std::shared_ptr<Player>>::iterator entry;
        {
            std::lock_guard lock(shared->mutex);
            entry = shared->players.insert(shared->players.end(), player);
        }
        try {
            std::thread([shared, player, spec, samples, looped, entry] {
                stream(*player, spec, samples, looped);
                std::lock_guard lock(shared->mutex);
                shared->players.erase(entry);
            }).detach();
        } catch (const std::system_error &) {
            std::lock_guard lock(shared->mutex);
            shared->players.erase(entry);
            return nullptr;
        }
        return player;
    }
};

PulseSoundOutput::PulseSoundOutput() : shared_(std::make_shared<Shared>()) {}

PulseSoundOutput::~PulseSoundOutput() {
    stopAll();
}

void PulseSoundOutput::play(const WaveFormat &format, std::span<const std::uint8_t> samples,
                            bool looped) {
    const auto spec = sampleSpecOf(format);
    if (!spec) {
        return;
    }
    const std::size_t frame = pa_frame_size(&*spec);
    samples = samples.first(samples.size() / frame * frame);
    if (samples.empty()) {
        return;
    }
    Shared::start(shared_, *spec, samples, looped);
}

void PulseSoundOutput::stopAll() {
    std::lock_guard lock(shared_->mutex);
    for (const auto &player : shared_->players) {
        player->stop = true;
    }
}

void PulseSoundOutput::click() {
    const auto spec = sampleSpecOf(clickFormat());
    {
        std::lock_guard lock(shared_->mutex);
        if (auto previous = shared_->lastClick.lock()) {
            previous->stop = true;
        }
    }
    auto player = Shared::start(shared_, *spec, clickSamples(), false);
    std::lock_guard lock(shared_->mutex);
    shared_->lastClick = player;
}

std::size_t PulseSoundOutput::livePlayers() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->players.size();
}

std::span<const std::uint8_t> PulseSoundOutput::clickSamples() {
    // Never freed: a detached player may still be reading it at exit.
    static const auto *const samples = new std::vector<std::uint8_t>(makeClick());
    return *samples;
}

WaveFormat PulseSoundOutput::clickFormat() {
    WaveFormat format;
    format.formatTag = kWaveFormatPcm;
    format.channels = 2;
    format.samplesPerSec = 22050;
    format.bitsPerSample = 16;
    format.blockAlign = 4;
    format.avgBytesPerSec = 22050 * 4;
    return format;
}

} // namespace vmkt
