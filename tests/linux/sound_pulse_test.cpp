// PulseSoundOutput against a real PulseAudio server with a null sink; what the
// players send is recorded from the sink's monitor and analysed.
#include "actions/sound_pulse.h"
#include "tests/linux/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <numbers>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace vmkt {
namespace {

using namespace std::chrono_literals;
using test::Clock;
using test::msSince;

constexpr double kRecordRate = 22050.0;

WaveFormat pcm(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits) {
    WaveFormat f;
    f.formatTag = 1;
    f.channels = channels;
    f.samplesPerSec = rate;
    f.bitsPerSample = bits;
    f.blockAlign = static_cast<std::uint16_t>(channels * bits / 8);
    f.avgBytesPerSec = rate * f.blockAlign;
    return f;
}

// Encodes a mono signal (values in -1..1) in the given format, the same
// signal on every channel.
std::vector<std::uint8_t> encode(const WaveFormat &f, const std::vector<double> &signal) {
    std::vector<std::uint8_t> out;
    for (double v : signal) {
        for (int c = 0; c < f.channels; ++c) {
            if (f.bitsPerSample == 8) {
                out.push_back(static_cast<std::uint8_t>(std::lround(128 + 127 * v)));
            } else {
                const auto s =
                    static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(32767 * v)));
                out.push_back(static_cast<std::uint8_t>(s & 0xFF));
                out.push_back(static_cast<std::uint8_t>(s >> 8));
            }
        }
    }
    return out;
}

// A rising sweep with short fades: it matches itself at one lag only.
std::vector<double> chirp(double rate, double seconds) {
    const double f0 = 300, f1 = 3000, fade = 0.005;
    const auto n = static_cast<std::size_t>(std::lround(rate * seconds));
    std::vector<double> out(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double t = i / rate;
        const double phase = 2 * std::numbers::pi * (f0 * t + (f1 - f0) * t * t / (2 * seconds));
        const double env = std::min({1.0, t / fade, (seconds - t) / fade});
        out[i] = 0.5 * env * std::sin(phase);
    }
    return out;
}

std::vector<double> tone(double rate, double hz, std::size_t n, double amplitude) {
    std::vector<double> out(n);
    for (std::size_t i = 0; i < n; ++i) {
        out[i] = amplitude * std::sin(2 * std::numbers::pi * hz * i / rate);
    }
    return out;
}

// A recording: mono samples at 22050 Hz in -1..1.
struct Recording {
    std::vector<double> samples;
    std::size_t dataOffset = 0; // where the samples start in the file
};

Recording parseWav(const std::string &bytes) {
    Recording rec;
    std::size_t pos = 12;
    while (pos + 8 <= bytes.size()) {
        const std::string id = bytes.substr(pos, 4);
        const auto size = static_cast<std::uint32_t>(
            static_cast<unsigned char>(bytes[pos + 4]) |
            static_cast<unsigned char>(bytes[pos + 5]) << 8 |
            static_cast<unsigned char>(bytes[pos + 6]) << 16 |
            static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[pos + 7])) << 24);
        if (id == "data") {
            // parec puts the length in the header when it ends, and may leave
            // a stray byte after it; without a length take all that follows.
            rec.dataOffset = pos + 8;
            const std::size_t end = size > 0 && rec.dataOffset + size <= bytes.size()
                                        ? rec.dataOffset + size
                                        : bytes.size();
            for (std::size_t i = rec.dataOffset; i < end; ++i) {
                rec.samples.push_back((static_cast<unsigned char>(bytes[i]) - 128) / 128.0);
            }
            return rec;
        }
        pos += 8 + size + (size & 1);
    }
    return rec;
}

// Normalised cross-correlation of the reference at every lag.
std::vector<double> correlate(const std::vector<double> &x, const std::vector<double> &ref) {
    std::vector<double> out;
    if (x.size() < ref.size()) {
        return out;
    }
    double refEnergy = 0;
    for (double v : ref) {
        refEnergy += v * v;
    }
    std::vector<double> prefix(x.size() + 1, 0.0);
    for (std::size_t i = 0; i < x.size(); ++i) {
        prefix[i + 1] = prefix[i] + x[i] * x[i];
    }
    out.resize(x.size() - ref.size() + 1);
    for (std::size_t lag = 0; lag < out.size(); ++lag) {
        double dot = 0;
        for (std::size_t i = 0; i < ref.size(); ++i) {
            dot += x[lag + i] * ref[i];
        }
        const double energy = prefix[lag + ref.size()] - prefix[lag];
        out[lag] = energy > 0 ? dot / std::sqrt(energy * refEnergy) : 0.0;
    }
    return out;
}

// Lags where the correlation has a peak above the threshold, strongest peak
// within each stretch of half the reference's length.
std::vector<std::size_t> peaks(const std::vector<double> &ncc, double threshold,
                               std::size_t spacing) {
    std::vector<std::size_t> found;
    for (std::size_t i = 0; i < ncc.size(); ++i) {
        if (ncc[i] < threshold) {
            continue;
        }
        if (!found.empty() && i - found.back() < spacing) {
            if (ncc[i] > ncc[found.back()]) {
                found.back() = i;
            }
            continue;
        }
        found.push_back(i);
    }
    return found;
}

// Amplitude of the frequency component of bin k over n samples from start.
double goertzel(const std::vector<double> &x, std::size_t start, std::size_t n, int k) {
    const double w = 2 * std::numbers::pi * k / n;
    const double coeff = 2 * std::cos(w);
    double s1 = 0, s2 = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double s0 = x[start + i] + coeff * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    const double power = s1 * s1 + s2 * s2 - coeff * s1 * s2;
    return 2 * std::sqrt(std::max(0.0, power)) / n;
}

class PulseTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char *program : {"pulseaudio", "pactl", "parec"}) {
            ASSERT_TRUE(test::findProgram(program))
                << program << " is not installed (Debian packages pulseaudio, pulseaudio-utils)";
        }
        dir_ = std::make_unique<test::TempDir>();
        const std::string d = dir_->path();
        setenv("HOME", d.c_str(), 1);
        setenv("XDG_RUNTIME_DIR", d.c_str(), 1);
        setenv("PULSE_SERVER", ("unix:" + d + "/native").c_str(), 1);
        server_ = std::make_unique<test::Process>(
            std::vector<std::string>{
                "pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--disable-shm=yes",
                "--load=module-null-sink sink_name=t norewinds=1",
                "--load=module-native-protocol-unix auth-anonymous=1 socket=" + d + "/native"},
            d + "/pulseaudio.log");
        ASSERT_TRUE(server_->started()) << "cannot start pulseaudio";
        ASSERT_TRUE(test::waitUntil(
            [] {
                return test::run({"pactl", "info"}) == 0;
            },
            10s))
            << "pulseaudio did not answer: " << test::readFile(d + "/pulseaudio.log");
    }

    void TearDown() override {
        recorder_.reset();
        if (server_) {
            server_->stop(SIGTERM);
        }
    }

    // Starts recording the sink's monitor and waits until samples arrive.
    void startRecording() {
        recordFile_ = *dir_ / "rec.wav";
        recorder_ = std::make_unique<test::Process>(
            std::vector<std::string>{"parec", "-d", "t.monitor", "--format=u8", "--rate=22050",
                                     "--channels=1", "--file-format=wav", "--latency-msec=10",
                                     recordFile_},
            *dir_ / "parec.log");
        ASSERT_TRUE(recorder_->started());
        ASSERT_TRUE(test::waitUntil([this] { return recordedBytes() > 1000; }, 5s))
            << "no samples from the monitor";
    }

    long recordedBytes() const {
        struct stat st {};
        return stat(recordFile_.c_str(), &st) == 0 ? static_cast<long>(st.st_size) : 0;
    }

    Recording stopRecording() {
        recorder_->stop(SIGINT);
        recorder_.reset();
        if (const char *keep = std::getenv("VMKT_KEEP_RECORDING")) {
            // Kept for listening to when a test fails.
            std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
            std::replace(name.begin(), name.end(), '/', '-');
            test::writeFile(std::string(keep) + "/" + name + ".wav", test::readFile(recordFile_));
        }
        return parseWav(test::readFile(recordFile_));
    }

    void killServer() { server_->stop(SIGKILL); }

    std::unique_ptr<test::TempDir> dir_;
    std::unique_ptr<test::Process> server_;
    std::unique_ptr<test::Process> recorder_;
    std::string recordFile_;
};

struct FormatCase {
    const char *name;
    WaveFormat format;
};

class PulseFormatTest : public PulseTest, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(PulseFormatTest, ClipArrivesOnceInItsOwnFormat) {
    const WaveFormat f = GetParam().format;
    const double seconds = 0.25;
    const auto clip = encode(f, chirp(f.samplesPerSec, seconds));
    startRecording();
    PulseSoundOutput out;
    out.play(f, clip, false);
    ASSERT_TRUE(test::waitUntil([&] { return out.livePlayers() == 0; }, 3s));
    std::this_thread::sleep_for(100ms);
    const Recording rec = stopRecording();

    // A wrong rate, sample type or channel count would stretch or garble the
    // sweep and the correlation would stay low.
    const auto ncc = correlate(rec.samples, chirp(kRecordRate, seconds));
    const auto found = peaks(ncc, 0.5, static_cast<std::size_t>(seconds * kRecordRate));
    ASSERT_EQ(found.size(), 1u) << "the clip should be heard exactly once";
    EXPECT_GT(ncc[found[0]], 0.9);
}

INSTANTIATE_TEST_SUITE_P(Formats, PulseFormatTest,
                         ::testing::Values(FormatCase{"u8_mono_22050", pcm(1, 22050, 8)},
                                           FormatCase{"s16_stereo_44100", pcm(2, 44100, 16)},
                                           FormatCase{"s16_mono_11025", pcm(1, 11025, 16)},
                                           FormatCase{"u8_stereo_8000", pcm(2, 8000, 8)}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(PulseTest, PlayersSoundTogether) {
    // Bins 10 and 25 of a 220-sample window: 1002 Hz and 2506 Hz.
    const WaveFormat f = pcm(1, 22050, 8);
    const double hzA = 10 * kRecordRate / 220, hzB = 25 * kRecordRate / 220;
    const auto a = encode(f, tone(22050, hzA, 8800, 0.3));
    const auto b = encode(f, tone(22050, hzB, 8800, 0.3));
    startRecording();
    PulseSoundOutput out;
    out.play(f, a, false);
    out.play(f, b, false);
    EXPECT_EQ(out.livePlayers(), 2u);
    ASSERT_TRUE(test::waitUntil([&] { return out.livePlayers() == 0; }, 3s));
    const Recording rec = stopRecording();

    int together = 0;
    for (std::size_t start = 0; start + 220 <= rec.samples.size(); start += 220) {
        const double ampA = goertzel(rec.samples, start, 220, 10);
        const double ampB = goertzel(rec.samples, start, 220, 25);
        if (ampA > 0.2 && ampB > 0.2) {
            ++together;
        }
    }
    // 0.4 s of each tone: most of its 40 windows hold both.
    EXPECT_GE(together, 25);
}

TEST_F(PulseTest, LoopedPlayerStartsAgainFromTheFirstSample) {
    const WaveFormat f = pcm(1, 22050, 8);
    const double seconds = 0.15;
    const auto clip = encode(f, chirp(22050, seconds));
    startRecording();
    PulseSoundOutput out;
    out.play(f, clip, true);
    std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<int>(seconds * 4000) + 100));
    EXPECT_EQ(out.livePlayers(), 1u) << "a looped player never ends by itself";
    out.stopAll();
    ASSERT_TRUE(test::waitUntil([&] { return out.livePlayers() == 0; }, 1s));
    const Recording rec = stopRecording();

    const auto length = static_cast<std::size_t>(std::lround(seconds * kRecordRate));
    const auto ncc = correlate(rec.samples, chirp(kRecordRate, seconds));
    const auto found = peaks(ncc, 0.9, length / 2);
    ASSERT_GE(found.size(), 4u) << "the clip should repeat at least four times";
    for (std::size_t i = 1; i < found.size(); ++i) {
        // Back to back: each repetition starts where the last one ended.
        EXPECT_NEAR(static_cast<double>(found[i] - found[i - 1]), static_cast<double>(length), 3)
            << "repetition " << i;
    }
}

TEST_F(PulseTest, StopAllSilencesEveryPlayerWithin50ms) {
    const WaveFormat f = pcm(1, 22050, 8);
    // Silence played by a second output keeps the monitor streaming, so the
    // recording's length keeps pace with the clock after the stop.
    const std::vector<std::uint8_t> silence(2205, 128);
    const auto toneA = encode(f, tone(22050, 1002.27, 4400, 0.5));
    const auto toneB = encode(pcm(2, 44100, 16), tone(44100, 660, 8820, 0.3));
    PulseSoundOutput keepAlive;
    keepAlive.play(f, silence, true);
    startRecording();

    // Samples written so far, against the clock, every millisecond.
    std::vector<std::pair<Clock::time_point, long>> progress;
    std::atomic<bool> polling{true};
    std::thread poller([&] {
        while (polling) {
            progress.emplace_back(Clock::now(), recordedBytes());
            std::this_thread::sleep_for(1ms);
        }
    });
    std::this_thread::sleep_for(50ms);
    PulseSoundOutput out;
    const auto played = Clock::now();
    out.play(f, toneA, true);
    out.play(pcm(2, 44100, 16), toneB, true);
    std::this_thread::sleep_for(600ms);
    const auto stopped = Clock::now();
    out.stopAll();
    const double stopCallMs = msSince(stopped);
    std::this_thread::sleep_for(400ms);
    polling = false;
    poller.join();
    EXPECT_LT(stopCallMs, 100) << "stopAll must return at once";
    EXPECT_TRUE(test::waitUntil([&] { return out.livePlayers() == 0; }, 1s));
    keepAlive.stopAll();
    const Recording rec = stopRecording();

    // The clock time of the first sample: a sample reaches the file no sooner
    // than the server mixes it, so the earliest "time minus samples written"
    // bounds it from above (the estimate errs towards a later silence).
    double firstSampleMs = 1e18; // from the stop
    for (const auto &[when, bytes] : progress) {
        const double written = static_cast<double>(bytes - static_cast<long>(rec.dataOffset));
        if (written > 0) {
            firstSampleMs = std::min(
                firstSampleMs, std::chrono::duration<double, std::milli>(when - stopped).count() -
                                   written * 1000 / kRecordRate);
        }
    }
    std::size_t lastLoud = 0, firstLoud = rec.samples.size();
    for (std::size_t i = 0; i < rec.samples.size(); ++i) {
        if (std::abs(rec.samples[i]) > 0.05) {
            lastLoud = i;
            firstLoud = std::min(firstLoud, i);
        }
    }
    ASSERT_GT(lastLoud, firstLoud + static_cast<std::size_t>(0.5 * kRecordRate))
        << "the tones should sound for over half a second";
    const double playMs = std::chrono::duration<double, std::milli>(played - stopped).count();
    const double soundFromMs = firstSampleMs + firstLoud * 1000 / kRecordRate - playMs;
    const double silentAfterMs = firstSampleMs + (lastLoud + 1) * 1000 / kRecordRate;
    RecordProperty("stop_to_silence_ms", std::to_string(silentAfterMs));
    std::cout << "play to sound: " << soundFromMs << " ms, stop to silence: " << silentAfterMs
              << " ms\n";
    EXPECT_LT(silentAfterMs, 50);
    // The same time line puts the first sound after the call to play: the
    // server mixes a little ahead of the clock, never by much.
    EXPECT_GT(soundFromMs, -25) << "the time line of the recording is off";
}

double energy(const std::vector<double> &x) {
    double sum = 0;
    for (double v : x) {
        sum += v * v;
    }
    return sum;
}

TEST_F(PulseTest, ClickIsAShortTick) {
    startRecording();
    PulseSoundOutput out;
    out.click();
    ASSERT_TRUE(test::waitUntil([&] { return out.livePlayers() == 0; }, 2s));
    std::this_thread::sleep_for(100ms);
    const Recording rec = stopRecording();
    std::size_t first = rec.samples.size(), last = 0;
    double peak = 0;
    for (std::size_t i = 0; i < rec.samples.size(); ++i) {
        const double v = std::abs(rec.samples[i]);
        peak = std::max(peak, v);
        if (v > 0.02) {
            first = std::min(first, i);
            last = i;
        }
    }
    EXPECT_GT(peak, 0.1) << "the click should be heard";
    EXPECT_LT(peak, 0.5) << "a soft tick";
    ASSERT_LE(first, last);
    EXPECT_LT((last - first) * 1000 / kRecordRate, 60) << "a tick, not a tone";
}

TEST_F(PulseTest, ANewClickCutsOffTheOneStillPlaying) {
    PulseSoundOutput out;
    startRecording();
    out.click();
    ASSERT_TRUE(test::waitUntil([&] { return out.livePlayers() == 0; }, 2s));
    std::this_thread::sleep_for(100ms);
    const double one = energy(stopRecording().samples);

    // Clicks made while the server is frozen all wait to start; once it
    // thaws, only the last of them may sound.
    startRecording();
    server_->signal(SIGSTOP);
    for (int i = 0; i < 5; ++i) {
        out.click();
        std::this_thread::sleep_for(5ms);
    }
    server_->signal(SIGCONT);
    ASSERT_TRUE(test::waitUntil([&] { return out.livePlayers() == 0; }, 5s));
    std::this_thread::sleep_for(100ms);
    const double burst = energy(stopRecording().samples);
    EXPECT_GT(burst, 0.5 * one) << "the last click sounds";
    EXPECT_LT(burst, 1.5 * one) << "the earlier clicks were cut off";
}

TEST_F(PulseTest, UnsupportedFormatsStartNoPlayer) {
    const std::vector<std::uint8_t> bytes(4000, 0);
    WaveFormat float32 = pcm(1, 22050, 32);
    float32.formatTag = 3;
    WaveFormat adpcm = pcm(1, 22050, 8);
    adpcm.formatTag = 2;
    PulseSoundOutput out;
    for (const WaveFormat &f :
         {float32, adpcm, pcm(1, 22050, 24), pcm(0, 22050, 16), pcm(1, 0, 16), pcm(64, 22050, 8)}) {
        out.play(f, bytes, true);
        EXPECT_EQ(out.livePlayers(), 0u)
            << "tag " << f.formatTag << " bits " << f.bitsPerSample << " channels " << f.channels
            << " rate " << f.samplesPerSec;
    }
    // Too short for a single frame.
    out.play(pcm(2, 22050, 16), std::span(bytes).first(3), false);
    EXPECT_EQ(out.livePlayers(), 0u);
}

TEST_F(PulseTest, WithTheServerGonePlayReturnsAtOnceAndPlayersEnd) {
    const WaveFormat f = pcm(1, 22050, 8);
    const auto clip = encode(f, tone(22050, 440, 2205, 0.3));
    killServer();
    PulseSoundOutput out;
    for (int i = 0; i < 20; ++i) {
        const auto start = Clock::now();
        out.play(f, clip, i % 2 == 0);
        EXPECT_LT(msSince(start), 100) << "play " << i;
    }
    for (int i = 0; i < 2000; ++i) {
        out.play(f, clip, i % 2 == 0);
        if (i % 100 == 0) {
            out.click();
        }
    }
    // Finished players are gone: no growth over thousands of plays.
    EXPECT_TRUE(test::waitUntil([&] { return out.livePlayers() == 0; }, 5s))
        << out.livePlayers() << " players left";
}

TEST_F(PulseTest, AFrozenServerHoldsUpNothing) {
    const WaveFormat f = pcm(1, 22050, 8);
    const auto clip = encode(f, tone(22050, 440, 2205, 0.3));
    server_->signal(SIGSTOP);

    auto start = Clock::now();
    auto doomed = std::make_unique<PulseSoundOutput>();
    doomed->play(f, clip, true);
    doomed->click();
    doomed.reset();
    EXPECT_LT(msSince(start), 100) << "play, click and the destructor must not wait";

    PulseSoundOutput out;
    start = Clock::now();
    out.play(f, clip, true);
    out.play(f, clip, false);
    out.stopAll();
    EXPECT_LT(msSince(start), 100);
    EXPECT_EQ(out.livePlayers(), 2u) << "both players are still waiting for the server";

    // Once the server is gone for good the stuck players end by themselves.
    server_->signal(SIGKILL);
    server_->signal(SIGCONT);
    EXPECT_TRUE(test::waitUntil([&] { return out.livePlayers() == 0; }, 5s));
}

} // namespace
} // namespace vmkt
