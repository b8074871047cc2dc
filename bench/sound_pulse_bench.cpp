// The Linux sound output on a PulseAudio server, timed from outside: from
// play() to the new playback stream and to its first sample at the sink's
// monitor, and from stopAll() to the last sample there and to the stream's
// end. Run it against a server with a null sink as its default sink.
//
//   vmkt-bench-sound [ROUNDS]     (default 10)
#include "actions/clips.h"
#include "actions/sound.h"
#include "actions/sound_pulse.h"
#include "bench/pulse_watch.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <numbers>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using vmkt::bench::monotonicNs;
using vmkt::bench::PulseWatch;

class Events {
public:
    void push(const PulseWatch::Event& e) {
        std::lock_guard lock(mutex_);
        events_.push_back(e);
        changed_.notify_all();
    }
    void clear() {
        std::lock_guard lock(mutex_);
        events_.clear();
    }
    // The first event of the kind, waiting up to the timeout for it.
    std::optional<PulseWatch::Event> first(PulseWatch::Kind kind, int timeoutMs) {
        std::unique_lock lock(mutex_);
        std::optional<PulseWatch::Event> found;
        changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
            for (const auto& e : events_)
                if (e.kind == kind) {
                    found = e;
                    return true;
                }
            return false;
        });
        return found;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<PulseWatch::Event> events_;
};

void sleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// A steady tone in the clips' own format (PCM mono 22050 Hz unsigned 8-bit),
// loud from its first sample to its last.
std::vector<std::uint8_t> tone() {
    std::vector<std::uint8_t> out(22050);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double v = std::sin(2 * std::numbers::pi * 441.0 * static_cast<double>(i) / 22050.0 +
                                  std::numbers::pi / 2);
        out[i] = static_cast<std::uint8_t>(128 + std::lround(60 * v));
    }
    return out;
}

vmkt::WaveFormat toneFormat() {
    vmkt::WaveFormat f;
    f.formatTag = 1;
    f.channels = 1;
    f.samplesPerSec = 22050;
    f.avgBytesPerSec = 22050;
    f.blockAlign = 1;
    f.bitsPerSample = 8;
    return f;
}

struct Series {
    const char* name;
    const char* target;
    std::vector<double> ms;
    int missing = 0;
    void add(std::optional<PulseWatch::Event> e, std::int64_t fromNs, double offsetMs = 0) {
        if (e)
            ms.push_back(static_cast<double>(e->ns - fromNs) / 1e6 - offsetMs);
        else
            ++missing;
    }
    void print(double limitMs) const {
        if (ms.empty()) {
            std::printf("| %s | 0 of %d | – | – | – | %s | missed |\n", name, missing, target);
            return;
        }
        std::vector<double> v = ms;
        std::sort(v.begin(), v.end());
        double sum = 0;
        for (double x : v)
            sum += x;
        const double median = v[v.size() / 2];
        const char* verdict = limitMs <= 0 ? "" : (v.back() <= limitMs ? "met" : "missed");
        std::printf("| %s | %zu of %zu | %.1f ms | %.1f ms | %.1f ms | %s | %s |\n", name, v.size(),
                    v.size() + static_cast<std::size_t>(missing), median,
                    sum / static_cast<double>(v.size()), v.back(), target, verdict);
    }
};

// The silent frames a clip begins with: its first sound comes that much after
// its first sample.
double leadMs(const vmkt::ParsedWave& wave) {
    const std::uint8_t silence = wave.format.bitsPerSample == 8 ? 0x80 : 0;
    std::size_t i = 0;
    while (i < wave.samples.size() && wave.samples[i] == silence)
        ++i;
    return static_cast<double>(i / wave.format.blockAlign) * 1000.0 / wave.format.samplesPerSec;
}

} // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 10;
    if (rounds <= 0) {
        std::fprintf(stderr, "usage: vmkt-bench-sound [ROUNDS]\n");
        return 2;
    }
    Events events;
    PulseWatch watch;
    watch.onEvent = [&](const PulseWatch::Event& e) {
        events.push(e);
    };
    std::string error;
    if (!watch.start(error)) {
        std::fprintf(stderr, "vmkt-bench-sound: no sound server: %s\n", error.c_str());
        return 1;
    }
    sleepMs(300);

    vmkt::PulseSoundOutput sound;
    const std::vector<std::uint8_t> steady = tone();
    const auto clip = vmkt::解析波形(vmkt::铃声0);
    if (!clip) {
        std::fprintf(stderr, "vmkt-bench-sound: the clip does not parse\n");
        return 1;
    }
    const double clipLead = leadMs(*clip);

    Series toStream{"play() → new playback stream", "", {}, 0};
    Series toSound{"play() → first sample at the monitor", "≤ 30 ms", {}, 0};
    Series clipSound{
        "play(铃声0) → its first sound at the monitor, lead taken off", "≤ 30 ms", {}, 0};
    Series toSilence{"stopAll() → last sample at the monitor", "≤ 30 ms", {}, 0};
    Series toEnd{"stopAll() → playback stream removed", "", {}, 0};
    std::int64_t latencyUs = -1;
    for (int r = 0; r < rounds; ++r) {
        const bool useClip = r % 2 == 1;
        events.clear();
        const std::int64_t played = monotonicNs();
        if (useClip)
            sound.play(clip->format, clip->samples, true);
        else
            sound.play(toneFormat(), steady, true);
        const auto stream = events.first(PulseWatch::Kind::NewInput, 2000);
        const auto on = events.first(PulseWatch::Kind::SoundOn, 2000);
        if (useClip) {
            clipSound.add(on, played, clipLead);
        } else {
            toStream.add(stream, played);
            toSound.add(on, played);
        }
        sleepMs(400);
        if (latencyUs < 0)
            latencyUs = watch.sinkLatencyUs();
        if (useClip) {
            // The clip has pauses of its own: only the tone times the stop.
            sound.stopAll();
            events.first(PulseWatch::Kind::RemovedInput, 2000);
            sleepMs(200);
            continue;
        }
        events.clear();
        const std::int64_t stopped = monotonicNs();
        sound.stopAll();
        toSilence.add(events.first(PulseWatch::Kind::SoundOff, 2000), stopped);
        toEnd.add(events.first(PulseWatch::Kind::RemovedInput, 2000), stopped);
        sleepMs(200);
    }
    watch.stop();

    std::printf("Sound through PulseSoundOutput on a null sink, %d rounds (tone and clip "
                "alternately); the sink's configured latency while recorded: %.1f ms; "
                "铃声0 begins with %.1f ms of silence\n\n",
                rounds, static_cast<double>(latencyUs) / 1000.0, clipLead);
    std::printf("| from → to | rounds | median | mean | max | target | |\n"
                "|---|---:|---:|---:|---:|---|---|\n");
    toStream.print(0);
    toSound.print(30);
    clipSound.print(30);
    toSilence.print(30);
    toEnd.print(0);
    return 0;
}
