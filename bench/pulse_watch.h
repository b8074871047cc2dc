// Watches a PulseAudio server from outside, as a listener would: the sink
// inputs (playback streams) that come and go, and the sound that reaches the
// default sink's monitor, each with the instant on CLOCK_MONOTONIC at which
// this client saw it. The monitor is recorded in fragments of about 2 ms, so
// sound is seen at most a fragment after the sink has rendered it.
#pragma once

#include "bench/clock.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace vmkt::bench {

class PulseWatch {
public:
    enum class Kind { NewInput, RemovedInput, SoundOn, SoundOff };
    struct Event {
        Kind kind;
        // SoundOn: when the first loud sample came in. SoundOff: when the
        // last loud sample came in (reported once the silence has lasted).
        std::int64_t ns;
        std::uint32_t input; // the sink input's index, for the input events
    };

    PulseWatch();
    ~PulseWatch();
    PulseWatch(const PulseWatch&) = delete;
    PulseWatch& operator=(const PulseWatch&) = delete;

    // Called on the watch's own thread, one event at a time. Set before start.
    std::function<void(const Event&)> onEvent;

    // Connects to the server of the environment, subscribes and starts the
    // recording; returns once the recording runs, or false with the reason.
    bool start(std::string& error);
    void stop();

    // The default sink's latency as the server reports it now, in µs.
    std::int64_t sinkLatencyUs();

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace vmkt::bench
