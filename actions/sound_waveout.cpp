#include "actions/sound_waveout.h"

#include <windows.h>

#include <mmsystem.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace vmkt {

struct WaveOutSoundOutput::Player {
    WaveFormat format;
    std::span<const std::uint8_t> samples;
    bool looped = false;
    std::atomic<bool> stop{false};
    std::atomic<bool> done{false};
    std::thread thread;
};

namespace {

// Each of the two blocks holds about 50 ms, so a stop is heard at once.
constexpr int kBlockMs = 50;

class Output {
public:
    Output(HWAVEOUT device, HANDLE wake) : device_(device), wake_(wake) {}
    ~Output() {
        waveOutReset(device_);
        for (WAVEHDR& h : headers_)
            if (h.dwFlags & WHDR_PREPARED)
                waveOutUnprepareHeader(device_, &h, sizeof h);
        waveOutClose(device_);
        CloseHandle(wake_);
    }
    HWAVEOUT device_;
    HANDLE wake_;
    WAVEHDR headers_[2]{};
    std::vector<std::uint8_t> blocks_[2];
};

} // namespace

WaveOutSoundOutput::WaveOutSoundOutput() = default;

WaveOutSoundOutput::~WaveOutSoundOutput() {
    stopAll();
    std::lock_guard lock(mutex_);
    for (auto& p : players_)
        if (p->thread.joinable())
            p->thread.join();
    players_.clear();
}

void WaveOutSoundOutput::play(const WaveFormat& format, std::span<const std::uint8_t> samples,
                              bool looped) {
    reap();
    auto player = std::make_unique<Player>();
    player->format = format;
    player->samples = samples;
    player->looped = looped;
    Player& p = *player;
    {
        std::lock_guard lock(mutex_);
        players_.push_back(std::move(player));
    }
    p.thread = std::thread([&p, this] { run(p, opened_); });
}

void WaveOutSoundOutput::stopAll() {
    std::lock_guard lock(mutex_);
    for (auto& p : players_)
        p->stop = true;
}

int WaveOutSoundOutput::livePlayers() {
    reap();
    std::lock_guard lock(mutex_);
    return static_cast<int>(players_.size());
}

// Joins the threads of players that have finished; a finished thread is about
// to return, so the join takes no time.
void WaveOutSoundOutput::reap() {
    std::vector<std::unique_ptr<Player>> finished;
    {
        std::lock_guard lock(mutex_);
        auto keep = std::stable_partition(players_.begin(), players_.end(),
                                          [](const auto& p) { return !p->done.load(); });
        for (auto it = keep; it != players_.end(); ++it)
            finished.push_back(std::move(*it));
        players_.erase(keep, players_.end());
    }
    for (auto& p : finished)
        if (p->thread.joinable())
            p->thread.join();
}

void WaveOutSoundOutput::run(Player& p, std::atomic<int>& opened) {
    struct Done {
        Player& p;
        ~Done() { p.done = true; }
    } done{p};

    WAVEFORMATEX wfx{};
    wfx.wFormatTag = WAVE_FORMAT_PCM;
    wfx.nChannels = p.format.channels;
    wfx.nSamplesPerSec = p.format.samplesPerSec;
    wfx.nAvgBytesPerSec = p.format.avgBytesPerSec;
    wfx.nBlockAlign = p.format.blockAlign;
    wfx.wBitsPerSample = p.format.bitsPerSample;
    wfx.cbSize = 0;
    if (p.samples.empty() || wfx.nBlockAlign == 0)
        return;

    HANDLE wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!wake)
        return;
    HWAVEOUT device = nullptr;
    // No device (or none that takes this format) means the clip is not heard.
    if (waveOutOpen(&device, WAVE_MAPPER, &wfx, reinterpret_cast<DWORD_PTR>(wake), 0,
                    CALLBACK_EVENT) != MMSYSERR_NOERROR) {
        CloseHandle(wake);
        return;
    }
    ++opened;
    Output out(device, wake);

    const std::size_t frame = wfx.nBlockAlign;
    std::size_t blockBytes = wfx.nSamplesPerSec * kBlockMs / 1000 * frame;
    if (blockBytes == 0)
        blockBytes = frame;
    std::size_t position = 0;
    bool finished = false; // the last pass has been queued in full

    // Fills one block from the current position, wrapping round for a loop.
    auto fill = [&](int i) {
        std::vector<std::uint8_t>& b = out.blocks_[i];
        b.resize(blockBytes);
        std::size_t filled = 0;
        while (filled < blockBytes && !finished) {
            const std::size_t take = std::min(blockBytes - filled, p.samples.size() - position);
            std::memcpy(b.data() + filled, p.samples.data() + position, take);
            filled += take;
            position += take;
            if (position == p.samples.size()) {
                position = 0;
                finished = !p.looped;
            }
        }
        b.resize(filled);
        return filled > 0;
    };
    auto queue = [&](int i) {
        WAVEHDR& h = out.headers_[i];
        if (h.dwFlags & WHDR_PREPARED)
            waveOutUnprepareHeader(device, &h, sizeof h);
        h = WAVEHDR{};
        if (!fill(i))
            return false;
        h.lpData = reinterpret_cast<LPSTR>(out.blocks_[i].data());
        h.dwBufferLength = static_cast<DWORD>(out.blocks_[i].size());
        if (waveOutPrepareHeader(device, &h, sizeof h) != MMSYSERR_NOERROR)
            return false;
        return waveOutWrite(device, &h, sizeof h) == MMSYSERR_NOERROR;
    };

    bool queued[2] = {queue(0), queue(1)};
    while (!p.stop && (queued[0] || queued[1])) {
        WaitForSingleObject(wake, kBlockMs / 2);
        for (int i = 0; i < 2 && !p.stop; ++i)
            if (queued[i] && (out.headers_[i].dwFlags & WHDR_DONE))
                queued[i] = queue(i);
    }
    // Output's destructor resets the device, which ends a stopped sound at
    // once, and closes it.
}

const std::vector<std::uint8_t>& WaveOutSoundOutput::clickWave() {
    static const std::vector<std::uint8_t> wave = [] {
        constexpr int rate = 22050;
        constexpr int frames = rate * 58 / 1000;
        constexpr int channels = 2;
        constexpr int bytes = frames * channels * 2;
        std::vector<std::uint8_t> w;
        w.reserve(44 + bytes);
        auto u32 = [&w](std::uint32_t v) {
            for (int i = 0; i < 4; ++i)
                w.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
        };
        auto u16 = [&w](std::uint16_t v) {
            w.push_back(static_cast<std::uint8_t>(v));
            w.push_back(static_cast<std::uint8_t>(v >> 8));
        };
        auto id = [&w](const char* s) {
            for (int i = 0; i < 4; ++i)
                w.push_back(static_cast<std::uint8_t>(s[i]));
        };
        id("RIFF");
        u32(36 + bytes);
        id("WAVE");
        id("fmt ");
        u32(16);
        u16(1);
        u16(channels);
        u32(rate);
        u32(rate * channels * 2);
        u16(channels * 2);
        u16(16);
        id("data");
        u32(bytes);
        // A short wooden tick: a high partial and a lower body, both dying
        // away fast, with a soft attack so that it does not crackle.
        for (int i = 0; i < frames; ++i) {
            const double t = static_cast<double>(i) / rate;
            const double attack = std::min(1.0, t / 0.0015);
            const double body = std::sin(2 * std::numbers::pi * 1400 * t) * std::exp(-t / 0.010);
            const double high = std::sin(2 * std::numbers::pi * 3800 * t) * std::exp(-t / 0.004);
            const double fade = std::min(1.0, (frames - i) / (rate * 0.005));
            const double v = attack * fade * (0.55 * body + 0.35 * high);
            const auto s = static_cast<std::int16_t>(std::lround(v * 32767 * 0.6));
            for (int c = 0; c < channels; ++c)
                u16(static_cast<std::uint16_t>(s));
        }
        return w;
    }();
    return wave;
}

// Asynchronous and from memory: a new click cuts off one still playing, and a
// busy device gives up at once.
void WaveOutSoundOutput::click() {
    PlaySoundW(reinterpret_cast<LPCWSTR>(clickWave().data()), nullptr,
               SND_MEMORY | SND_ASYNC | SND_NOWAIT | SND_NODEFAULT);
}

} // namespace vmkt
