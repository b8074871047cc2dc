#include "bench/pulse_watch.h"

#include <pulse/pulseaudio.h>

#include <cstdlib>

namespace vmkt::bench {

namespace {

constexpr std::uint32_t kRate = 44100;
constexpr std::uint8_t kChannels = 2;
constexpr std::uint32_t kFragmentMs = 2;
// A sample louder than this is sound (about -60 dBFS); silence from the
// players is exact zeros.
constexpr int kLoud = 32;
// Sound has ended once this much silence has followed it.
constexpr std::uint32_t kSilenceHoldMs = 50;

} // namespace

struct PulseWatch::State {
    PulseWatch* owner = nullptr;
    pa_threaded_mainloop* loop = nullptr;
    pa_context* context = nullptr;
    pa_stream* record = nullptr;
    bool sounding = false;
    std::int64_t lastLoudNs = 0;
    std::uint64_t silentFrames = 0;
    std::int64_t sinkLatencyUs = -1;

    void emit(Kind kind, std::int64_t ns, std::uint32_t input = 0) {
        if (owner->onEvent)
            owner->onEvent(Event{kind, ns, input});
    }

    static void contextState(pa_context*, void* self) {
        pa_threaded_mainloop_signal(static_cast<State*>(self)->loop, 0);
    }
    static void streamState(pa_stream*, void* self) {
        pa_threaded_mainloop_signal(static_cast<State*>(self)->loop, 0);
    }
    static void subscribed(pa_context*, pa_subscription_event_type_t type, std::uint32_t index,
                           void* self) {
        const std::int64_t now = monotonicNs();
        auto* s = static_cast<State*>(self);
        if ((type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK) != PA_SUBSCRIPTION_EVENT_SINK_INPUT)
            return;
        const auto what = type & PA_SUBSCRIPTION_EVENT_TYPE_MASK;
        if (what == PA_SUBSCRIPTION_EVENT_NEW)
            s->emit(Kind::NewInput, now, index);
        else if (what == PA_SUBSCRIPTION_EVENT_REMOVE)
            s->emit(Kind::RemovedInput, now, index);
    }
    static void readable(pa_stream* stream, std::size_t, void* self) {
        const std::int64_t now = monotonicNs();
        auto* s = static_cast<State*>(self);
        const void* data = nullptr;
        std::size_t bytes = 0;
        while (pa_stream_readable_size(stream) > 0) {
            if (pa_stream_peek(stream, &data, &bytes) < 0 || bytes == 0)
                return;
            if (data)
                s->look(static_cast<const std::int16_t*>(data), bytes / sizeof(std::int16_t), now);
            else // a hole: as much silence
                s->quiet(bytes / sizeof(std::int16_t) / kChannels);
            pa_stream_drop(stream);
        }
    }
    void look(const std::int16_t* samples, std::size_t count, std::int64_t now) {
        const std::size_t frames = count / kChannels;
        for (std::size_t f = 0; f < frames; ++f) {
            bool loud = false;
            for (std::size_t c = 0; c < kChannels; ++c) {
                const int v = samples[f * kChannels + c];
                loud = loud || v > kLoud || v < -kLoud;
            }
            if (loud) {
                if (!sounding) {
                    sounding = true;
                    emit(Kind::SoundOn, now);
                }
                lastLoudNs = now;
                silentFrames = 0;
            } else {
                quiet(1);
            }
        }
    }
    void quiet(std::uint64_t frames) {
        silentFrames += frames;
        if (sounding && silentFrames >= std::uint64_t{kRate} * kSilenceHoldMs / 1000) {
            sounding = false;
            emit(Kind::SoundOff, lastLoudNs);
        }
    }
    static void sinkInfo(pa_context*, const pa_sink_info* info, int eol, void* self) {
        auto* s = static_cast<State*>(self);
        if (info)
            s->sinkLatencyUs = static_cast<std::int64_t>(info->configured_latency);
        if (eol)
            pa_threaded_mainloop_signal(s->loop, 0);
    }
};

PulseWatch::PulseWatch() : state_(std::make_unique<State>()) {
    state_->owner = this;
}

PulseWatch::~PulseWatch() {
    stop();
}

bool PulseWatch::start(std::string& error) {
    State& s = *state_;
    s.loop = pa_threaded_mainloop_new();
    if (!s.loop) {
        error = "no main loop";
        return false;
    }
    pa_threaded_mainloop_lock(s.loop);
    s.context = pa_context_new(pa_threaded_mainloop_get_api(s.loop), "vmkt-bench");
    pa_context_set_state_callback(s.context, &State::contextState, &s);
    if (pa_context_connect(s.context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 ||
        pa_threaded_mainloop_start(s.loop) < 0) {
        error = pa_strerror(pa_context_errno(s.context));
        pa_threaded_mainloop_unlock(s.loop);
        return false;
    }
    for (;;) {
        const pa_context_state_t cs = pa_context_get_state(s.context);
        if (cs == PA_CONTEXT_READY)
            break;
        if (!PA_CONTEXT_IS_GOOD(cs)) {
            error = pa_strerror(pa_context_errno(s.context));
            pa_threaded_mainloop_unlock(s.loop);
            return false;
        }
        pa_threaded_mainloop_wait(s.loop);
    }
    pa_context_set_subscribe_callback(s.context, &State::subscribed, &s);
    if (pa_operation* op =
            pa_context_subscribe(s.context, PA_SUBSCRIPTION_MASK_SINK_INPUT, nullptr, nullptr))
        pa_operation_unref(op);

    const pa_sample_spec spec{PA_SAMPLE_S16LE, kRate, kChannels};
    s.record = pa_stream_new(s.context, "monitor", &spec, nullptr);
    pa_stream_set_state_callback(s.record, &State::streamState, &s);
    pa_stream_set_read_callback(s.record, &State::readable, &s);
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.fragsize = static_cast<std::uint32_t>(pa_usec_to_bytes(kFragmentMs * 1000, &spec));
    const auto flags =
        static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_DONT_MOVE);
    if (pa_stream_connect_record(s.record, "@DEFAULT_MONITOR@", &attr, flags) < 0) {
        error = pa_strerror(pa_context_errno(s.context));
        pa_threaded_mainloop_unlock(s.loop);
        return false;
    }
    for (;;) {
        const pa_stream_state_t ss = pa_stream_get_state(s.record);
        if (ss == PA_STREAM_READY)
            break;
        if (!PA_STREAM_IS_GOOD(ss)) {
            error = pa_strerror(pa_context_errno(s.context));
            pa_threaded_mainloop_unlock(s.loop);
            return false;
        }
        pa_threaded_mainloop_wait(s.loop);
    }
    pa_threaded_mainloop_unlock(s.loop);
    return true;
}

std::int64_t PulseWatch::sinkLatencyUs() {
    State& s = *state_;
    if (!s.loop || !s.context)
        return -1;
    pa_threaded_mainloop_lock(s.loop);
    s.sinkLatencyUs = -1;
    if (pa_operation* op =
            pa_context_get_sink_info_by_name(s.context, "@DEFAULT_SINK@", &State::sinkInfo, &s)) {
        while (pa_operation_get_state(op) == PA_OPERATION_RUNNING)
            pa_threaded_mainloop_wait(s.loop);
        pa_operation_unref(op);
    }
    const std::int64_t latency = s.sinkLatencyUs;
    pa_threaded_mainloop_unlock(s.loop);
    return latency;
}

void PulseWatch::stop() {
    State& s = *state_;
    if (!s.loop)
        return;
    pa_threaded_mainloop_stop(s.loop);
    if (s.record) {
        pa_stream_disconnect(s.record);
        pa_stream_unref(s.record);
    }
    if (s.context) {
        pa_context_disconnect(s.context);
        pa_context_unref(s.context);
    }
    pa_threaded_mainloop_free(s.loop);
    s = State{};
    s.owner = this;
}

} // namespace vmkt::bench
