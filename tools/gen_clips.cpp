// Synthesises the three ring sounds and writes them out as actions/clips.cpp.
//
//   vmkt-gen-clips OUTPUT.cpp [WAV_DIR]
//
// With WAV_DIR the clips are also written there as 铃声0.wav .. 铃声2.wav, for
// listening. The output is the same byte for byte on every run: there is no
// randomness apart from a fixed-seed generator of our own.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <initializer_list>
#include <iostream>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 22050;
constexpr double kTwoPi = 2.0 * std::numbers::pi;

using Signal = std::vector<double>;

double seconds(std::size_t i) {
    return static_cast<double>(i) / kRate;
}

// Half a raised cosine: 0 at x = 0, 1 at x = 1.
double rise(double x) {
    if (x <= 0.0) {
        return 0.0;
    }
    if (x >= 1.0) {
        return 1.0;
    }
    return 0.5 - 0.5 * std::cos(std::numbers::pi * x);
}

// xorshift32 with a fixed seed, so the "breath" noise is the same everywhere.
class Noise {
public:
    double next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return static_cast<double>(state_) / 2147483648.0 - 1.0;
    }

private:
    std::uint32_t state_ = 0x5EED1234u;
};

// A harmonic partial of a tone: multiple of the fundamental and its level.
struct Partial {
    double ratio;
    double level;
};

// Adds a tone with a flat body and raised-cosine edges at `start` for `length`
// seconds.
void addBeep(Signal& out, double start, double length, double freq,
             std::initializer_list<Partial> partials, double edge) {
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = seconds(i) - start;
        if (t < 0.0 || t > length) {
            continue;
        }
        const double env = rise(t / edge) * rise((length - t) / edge);
        double v = 0.0;
        for (const Partial& p : partials) {
            v += p.level * std::sin(kTwoPi * freq * p.ratio * t);
        }
        out[i] += env * v;
    }
}

// "Vemko叫": a high and a low tone a fourth apart, trilled four times, then a
// breath before the clip starts over.
Signal vemkoCall(std::size_t n) {
    Signal out(n, 0.0);
    constexpr double kHigh = 1318.51; // E6
    constexpr double kLow = 987.77;   // B5
    constexpr double kStep = 0.105;
    constexpr double kBeep = 0.085;
    for (int group = 0; group < 2; ++group) {
        for (int k = 0; k < 4; ++k) {
            const double start = 0.01 + group * 0.5 + k * kStep;
            const double freq = k % 2 == 0 ? kHigh : kLow;
            addBeep(out, start, kBeep, freq, {{1.0, 1.0}, {2.0, 0.22}, {3.0, 0.08}}, 0.006);
        }
    }
    return out;
}

// One cuckoo note: a soft, hollow tone that slides down a little as it
// starts, with a breath of noise tuned to the same pitch.
void addCuckooNote(Signal& out, Noise& noise, double start, double length, double freq) {
    constexpr double kAttack = 0.035;
    constexpr double kRelease = 0.09;
    constexpr double kSlide = 0.03; // relative pitch drop over the first 40 ms
    constexpr double kSlideTime = 0.04;
    // Two-pole resonator for the breath, centred on the note.
    const double r = 0.985;
    const double a1 = 2.0 * r * std::cos(kTwoPi * freq / kRate);
    const double a2 = -r * r;
    double y1 = 0.0;
    double y2 = 0.0;
    double phase = 0.0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = seconds(i) - start;
        if (t < 0.0 || t > length) {
            continue;
        }
        const double bend = 1.0 + kSlide * std::exp(-t / (kSlideTime / 3.0));
        phase += kTwoPi * freq * bend / kRate;
        const double body = std::exp(-std::max(0.0, t - kAttack) / 0.6);
        const double env = rise(t / kAttack) * rise((length - t) / kRelease) * body;
        const double tone =
            std::sin(phase) + 0.10 * std::sin(2.0 * phase) + 0.04 * std::sin(3.0 * phase);
        const double y = noise.next() * (1.0 - r) + a1 * y1 + a2 * y2;
        y2 = y1;
        y1 = y;
        out[i] += env * (tone + 0.7 * y);
    }
}

// "布谷鸟": the cuckoo's call, E5 falling a major third to C5.
Signal cuckoo(std::size_t n) {
    Signal out(n, 0.0);
    Noise noise;
    addCuckooNote(out, noise, 0.02, 0.27, 659.26);
    addCuckooNote(out, noise, 0.37, 0.42, 523.25);
    return out;
}

// "风铃响": a handful of small tubes struck one after another. The partials
// of a free tube are inharmonic; the higher ones die away faster.
Signal windChimes(std::size_t n) {
    struct Strike {
        double at;
        double freq;
        double level;
    };
    // A pentatonic set of tubes: C6 D6 E6 G6 A6.
    const Strike strikes[] = {
        {0.010, 1567.98, 1.00}, {0.190, 1318.51, 0.80}, {0.330, 1760.00, 0.70},
        {0.560, 1174.66, 0.85}, {0.800, 1046.50, 0.75}, {1.000, 1567.98, 0.45},
    };
    const Partial partials[] = {{1.0, 1.0}, {2.756, 0.45}, {5.404, 0.18}, {8.933, 0.07}};
    constexpr double kDecay = 0.32; // seconds for the fundamental to fall by 1/e
    constexpr double kStrike = 0.002;

    Signal out(n, 0.0);
    for (const Strike& s : strikes) {
        for (std::size_t i = 0; i < n; ++i) {
            const double t = seconds(i) - s.at;
            if (t < 0.0) {
                continue;
            }
            double v = 0.0;
            for (const Partial& p : partials) {
                const double f = s.freq * p.ratio;
                if (f >= kRate / 2.0) {
                    continue;
                }
                const double tau = kDecay / std::sqrt(p.ratio);
                v += p.level * std::exp(-t / tau) * std::sin(kTwoPi * f * t);
            }
            out[i] += s.level * rise(t / kStrike) * v;
        }
    }
    return out;
}

// Fades both ends to silence so the clip loops without a click, scales the
// loudest point to `peak` of full range and rounds to unsigned 8 bits.
std::vector<std::uint8_t> quantise(Signal s, double peak, double fade) {
    const std::size_t n = s.size();
    const auto fadeLen = static_cast<std::size_t>(fade * kRate);
    for (std::size_t i = 0; i < n; ++i) {
        const double in = static_cast<double>(i) / static_cast<double>(fadeLen);
        const double out = static_cast<double>(n - 1 - i) / static_cast<double>(fadeLen);
        s[i] *= rise(in) * rise(out);
    }
    double max = 0.0;
    for (double v : s) {
        max = std::max(max, std::fabs(v));
    }
    const double gain = max > 0.0 ? peak * 127.0 / max : 0.0;
    std::vector<std::uint8_t> bytes(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double v = std::floor(128.0 + gain * s[i] + 0.5);
        bytes[i] = static_cast<std::uint8_t>(std::clamp(v, 1.0, 255.0));
    }
    return bytes;
}

void put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

void putTag(std::vector<std::uint8_t>& out, const char (&tag)[5]) {
    out.insert(out.end(), tag, tag + 4);
}

// A complete RIFF WAVE file: PCM, mono, 22050 Hz, unsigned 8-bit.
std::vector<std::uint8_t> wave(const std::vector<std::uint8_t>& samples) {
    const auto n = static_cast<std::uint32_t>(samples.size());
    const std::uint32_t pad = n % 2;
    std::vector<std::uint8_t> out;
    putTag(out, "RIFF");
    put32(out, 36 + n + pad);
    putTag(out, "WAVE");
    putTag(out, "fmt ");
    put32(out, 16);
    put16(out, 1);     // PCM
    put16(out, 1);     // mono
    put32(out, kRate); // samples per second
    put32(out, kRate); // bytes per second
    put16(out, 1);     // bytes per sample frame
    put16(out, 8);     // bits per sample
    putTag(out, "data");
    put32(out, n);
    out.insert(out.end(), samples.begin(), samples.end());
    if (pad != 0) {
        out.push_back(0);
    }
    return out;
}

struct Named {
    std::string name;
    std::vector<std::uint8_t> bytes;
};

std::string source(const std::vector<Named>& clips) {
    std::ostringstream os;
    os << "// Generated by tools/gen_clips.cpp: do not edit. To regenerate, build that\n"
          "// program and run it with this file's path as its argument.\n"
          "#include \"actions/clips.h\"\n\nnamespace vmkt {\n";
    char hex[8];
    for (const Named& c : clips) {
        os << "\nalignas(4) static const std::uint8_t k" << c.name << '[' << c.bytes.size()
           << "] = {\n";
        for (std::size_t i = 0; i < c.bytes.size(); ++i) {
            std::snprintf(hex, sizeof hex, "0x%02x,", c.bytes[i]);
            os << (i % 16 == 0 ? "    " : " ") << hex;
            if (i % 16 == 15 || i + 1 == c.bytes.size()) {
                os << '\n';
            }
        }
        os << "};\n";
    }
    os << '\n';
    for (const Named& c : clips) {
        os << "const Clip " << c.name << "{k" << c.name << "};\n";
    }
    os << "\n} // namespace vmkt\n";
    return os.str();
}

bool writeFile(const std::string& path, const std::string& text) {
    std::ofstream f(path, std::ios::binary);
    f.write(text.data(), static_cast<std::streamsize>(text.size()));
    f.close();
    if (!f) {
        std::cerr << "cannot write " << path << '\n';
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::cerr << "usage: " << argv[0] << " OUTPUT.cpp [WAV_DIR]\n";
        return 2;
    }
    const std::vector<Named> clips = {
        {"铃声0", wave(quantise(vemkoCall(22051), 0.78, 0.005))},
        {"铃声1", wave(quantise(cuckoo(22072), 0.72, 0.005))},
        {"铃声2", wave(quantise(windChimes(37045), 0.72, 0.12))},
    };
    if (!writeFile(argv[1], source(clips))) {
        return 1;
    }
    if (argc == 3) {
        for (const Named& c : clips) {
            const std::string path = std::string(argv[2]) + "/" + c.name + ".wav";
            if (!writeFile(path, std::string(c.bytes.begin(), c.bytes.end()))) {
                return 1;
            }
        }
    }
    return 0;
}
