// The built-in ring sounds: each must be a well-formed 8-bit mono WAVE file
// that the sound output can play as is, audible, unclipped and loopable.

#include "actions/clips.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <string>
#include <vector>

namespace vmkt {
namespace {

struct ClipCase {
    const char* name;
    const Clip* clip;
    std::size_t total;
    std::uint32_t samples;
};

const ClipCase kClips[] = {
    {"铃声0", &铃声0, 22096, 22051},
    {"铃声1", &铃声1, 22116, 22072},
    {"铃声2", &铃声2, 37090, 37045},
};

constexpr std::size_t kHeader = 44;
constexpr int kRate = 22050;

std::uint32_t u16(Clip c, std::size_t at) {
    return static_cast<std::uint32_t>(c[at] | c[at + 1] << 8);
}

std::uint32_t u32(Clip c, std::size_t at) {
    return u16(c, at) | u16(c, at + 2) << 16;
}

std::string tag(Clip c, std::size_t at) {
    return std::string(reinterpret_cast<const char*>(c.data() + at), 4);
}

Clip samplesOf(Clip c) {
    return c.subspan(kHeader, u32(c, 40));
}

TEST(Clips, AreCompleteEightBitMonoWaveFiles) {
    for (const ClipCase& tc : kClips) {
        SCOPED_TRACE(tc.name);
        const Clip c = *tc.clip;
        ASSERT_EQ(c.size(), tc.total);
        EXPECT_EQ(tag(c, 0), "RIFF");
        EXPECT_EQ(u32(c, 4), tc.total - 8);
        EXPECT_EQ(tag(c, 8), "WAVE");
        EXPECT_EQ(tag(c, 12), "fmt ");
        EXPECT_EQ(u32(c, 16), 16u);
        EXPECT_EQ(u16(c, 20), 1u); // PCM
        EXPECT_EQ(u16(c, 22), 1u); // mono
        EXPECT_EQ(u32(c, 24), 22050u);
        EXPECT_EQ(u32(c, 28), 22050u);
        EXPECT_EQ(u16(c, 32), 1u);
        EXPECT_EQ(u16(c, 34), 8u);
        EXPECT_EQ(tag(c, 36), "data");
        ASSERT_EQ(u32(c, 40), tc.samples);
        // The data chunk runs to the end of the file, padded to an even length.
        const std::size_t pad = tc.samples % 2;
        EXPECT_EQ(kHeader + tc.samples + pad, tc.total);
        if (pad != 0) {
            EXPECT_EQ(c.back(), 0u);
        }
    }
}

TEST(Clips, AreAudibleUnclippedAndLoopWithoutAClick) {
    for (const ClipCase& tc : kClips) {
        SCOPED_TRACE(tc.name);
        ASSERT_EQ(tc.clip->size(), tc.total);
        const Clip s = samplesOf(*tc.clip);
        ASSERT_EQ(s.size(), tc.samples);

        const auto [lo, hi] = std::minmax_element(s.begin(), s.end());
        EXPECT_GE(*lo, 10u);
        EXPECT_LE(*hi, 245u);
        EXPECT_GE(std::max(128 - *lo, *hi - 128), 64);

        double sum = 0.0;
        for (std::uint8_t v : s) {
            sum += (v - 128.0) * (v - 128.0);
        }
        EXPECT_GE(std::sqrt(sum / static_cast<double>(s.size())), 16.0);

        // Played in a loop, the last sample is followed by the first.
        for (std::size_t i = 0; i < 8; ++i) {
            EXPECT_NEAR(s[i], 128, 2) << "sample " << i;
            EXPECT_NEAR(s[s.size() - 1 - i], 128, 2) << "sample " << s.size() - 1 - i;
        }
    }
}

// Stretches of sound separated by at least 5 ms of near silence.
std::vector<Clip> bursts(Clip s) {
    constexpr int kLoud = 8;
    constexpr std::size_t kGap = kRate / 200;
    std::vector<Clip> out;
    std::size_t start = 0;
    std::size_t last = 0;
    bool open = false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (std::abs(s[i] - 128) <= kLoud) {
            continue;
        }
        if (open && i - last > kGap) {
            out.push_back(s.subspan(start, last + 1 - start));
            open = false;
        }
        if (!open) {
            start = i;
            open = true;
        }
        last = i;
    }
    if (open) {
        out.push_back(s.subspan(start, last + 1 - start));
    }
    return out;
}

// The strongest frequency between 200 Hz and 3 kHz, in 2 Hz steps: the peak of
// a Goertzel scan over the Hann-windowed stretch.
double strongestFrequency(Clip s) {
    const std::size_t n = s.size();
    std::vector<double> x(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double phase =
            2.0 * std::numbers::pi * static_cast<double>(i) / static_cast<double>(n - 1);
        x[i] = (0.5 - 0.5 * std::cos(phase)) * (s[i] - 128.0);
    }
    double best = 0.0;
    double bestPower = -1.0;
    for (double f = 200.0; f <= 3000.0; f += 2.0) {
        const double c = 2.0 * std::cos(2.0 * std::numbers::pi * f / kRate);
        double s1 = 0.0;
        double s2 = 0.0;
        for (double v : x) {
            const double s0 = v + c * s1 - s2;
            s2 = s1;
            s1 = s0;
        }
        const double power = s1 * s1 + s2 * s2 - c * s1 * s2;
        if (power > bestPower) {
            bestPower = power;
            best = f;
        }
    }
    return best;
}

TEST(Clips, CallsSoundTheirNotesInOrder) {
    constexpr double kE6 = 1318.51, kB5 = 987.77, kE5 = 659.26, kC5 = 523.25;
    const struct {
        const char* name;
        const Clip* clip;
        std::vector<double> notes;
    } cases[] = {
        // A high and a low tone a fourth apart, trilled twice per second.
        {"铃声0", &铃声0, {kE6, kB5, kE6, kB5, kE6, kB5, kE6, kB5}},
        // The cuckoo falls a major third.
        {"铃声1", &铃声1, {kE5, kC5}},
    };
    for (const auto& tc : cases) {
        SCOPED_TRACE(tc.name);
        const std::vector<Clip> found = bursts(samplesOf(*tc.clip));
        ASSERT_EQ(found.size(), tc.notes.size());
        for (std::size_t i = 0; i < found.size(); ++i) {
            EXPECT_GE(found[i].size(), static_cast<std::size_t>(kRate / 20)) << "note " << i;
            EXPECT_NEAR(strongestFrequency(found[i]), tc.notes[i], tc.notes[i] * 0.02)
                << "note " << i;
        }
    }
}

} // namespace
} // namespace vmkt
