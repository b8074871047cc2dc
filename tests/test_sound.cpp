// Reading clips: the chunk walk must find the format and samples of any
// well-formed file and be safe on every other input.
#include "actions/clips.h"
#include "actions/sound.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace vmkt {
namespace {

using Bytes = std::vector<std::uint8_t>;

void put32(Bytes& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void put16(Bytes& b, std::uint16_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void chunk(Bytes& b, const char* id, const Bytes& body) {
    b.insert(b.end(), id, id + 4);
    put32(b, static_cast<std::uint32_t>(body.size()));
    b.insert(b.end(), body.begin(), body.end());
    if (body.size() % 2)
        b.push_back(0);
}
Bytes fmt(std::uint16_t channels = 1, std::uint16_t bits = 8, std::uint16_t tag = 1) {
    Bytes f;
    put16(f, tag);
    put16(f, channels);
    put32(f, 22050);
    put32(f, 22050u * channels * bits / 8);
    put16(f, static_cast<std::uint16_t>(channels * bits / 8));
    put16(f, bits);
    return f;
}
Bytes wave(const std::vector<std::pair<const char*, Bytes>>& chunks) {
    Bytes body{'W', 'A', 'V', 'E'};
    for (const auto& [id, data] : chunks)
        chunk(body, id, data);
    Bytes file{'R', 'I', 'F', 'F'};
    put32(file, static_cast<std::uint32_t>(body.size()));
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

TEST(解析波形, ReadsTheBuiltInClips) {
    for (const auto& [clip, samples] :
         {std::pair{铃声0, 22051u}, {铃声1, 22072u}, {铃声2, 37045u}}) {
        const auto wave = 解析波形(clip);
        ASSERT_TRUE(wave);
        EXPECT_EQ(wave->format.formatTag, 1);
        EXPECT_EQ(wave->format.channels, 1);
        EXPECT_EQ(wave->format.samplesPerSec, 22050u);
        EXPECT_EQ(wave->format.bitsPerSample, 8);
        EXPECT_EQ(wave->samples.size(), samples);
        EXPECT_EQ(wave->samples.data(), clip.data() + 44);
    }
}

TEST(解析波形, SkipsUnknownChunksAndHonoursPadBytes) {
    const Bytes samples{1, 2, 3, 4, 5};
    const Bytes file = wave({{"LIST", Bytes{9, 9, 9}}, // odd: a pad byte follows
                             {"data", samples},
                             {"junk", Bytes(7, 0x55)},
                             {"fmt ", fmt()}});
    const auto parsed = 解析波形(file);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(Bytes(parsed->samples.begin(), parsed->samples.end()), samples);
    EXPECT_EQ(parsed->format.samplesPerSec, 22050u);
}

TEST(解析波形, RejectsWhatNoDeviceWouldPlay) {
    const Bytes sixteen{0, 0, 1, 1};
    const struct {
        const char* what;
        Bytes file;
    } cases[] = {
        {"no fmt", wave({{"data", sixteen}})},
        {"no data", wave({{"fmt ", fmt()}})},
        {"empty data", wave({{"fmt ", fmt()}, {"data", {}}})},
        {"short fmt", wave({{"fmt ", Bytes(14, 1)}, {"data", sixteen}})},
        {"not PCM", wave({{"fmt ", fmt(1, 8, 3)}, {"data", sixteen}})},
        {"24-bit", wave({{"fmt ", fmt(1, 24)}, {"data", Bytes(6, 0)}})},
        {"no channels", wave({{"fmt ", fmt(0)}, {"data", sixteen}})},
        {"not RIFF", Bytes{'R', 'I', 'F', 'X', 0, 0, 0, 0, 'W', 'A', 'V', 'E'}},
        {"too short", Bytes{'R', 'I', 'F', 'F'}},
    };
    for (const auto& c : cases)
        EXPECT_FALSE(解析波形(c.file)) << c.what;
}

TEST(解析波形, NeverReadsPastTheGivenLength) {
    Bytes file = wave({{"fmt ", fmt(2, 16)}, {"data", Bytes(64, 7)}});
    // Every truncation: the copy is exactly as long as the prefix, so the
    // sanitizers catch any read beyond it. Only the whole file plays.
    for (std::size_t n = 0; n <= file.size(); ++n) {
        const Bytes prefix(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(n));
        const auto parsed = 解析波形(prefix);
        if (parsed) {
            EXPECT_LE(parsed->samples.data() + parsed->samples.size(),
                      prefix.data() + prefix.size());
            EXPECT_EQ(n, file.size());
        }
    }
    // A data chunk that claims more than there is plays nothing.
    Bytes oversized = file;
    oversized[oversized.size() - 64 - 4] = 0xFF;
    EXPECT_FALSE(解析波形(oversized));
    // A RIFF size smaller than the buffer limits the walk.
    Bytes shortRiff = file;
    shortRiff[4] = 20;
    shortRiff[5] = shortRiff[6] = shortRiff[7] = 0;
    EXPECT_FALSE(解析波形(shortRiff));
    // An odd sample count in a 16-bit stereo file keeps whole frames only.
    Bytes ragged = wave({{"fmt ", fmt(2, 16)}, {"data", Bytes(10, 1)}});
    ASSERT_TRUE(解析波形(ragged));
    EXPECT_EQ(解析波形(ragged)->samples.size(), 8u);
}

TEST(解析波形, SurvivesRandomAndCorruptedInput) {
    std::mt19937 random(2024);
    std::uniform_int_distribution<int> byte(0, 255);
    const Bytes good = wave({{"fmt ", fmt()}, {"LIST", Bytes(5, 1)}, {"data", Bytes(33, 128)}});
    for (int trial = 0; trial < 20000; ++trial) {
        Bytes b;
        if (trial % 2 == 0) {
            b = good; // flip a few bytes of a good file
            for (int k = 0; k < 1 + trial % 5; ++k)
                b[static_cast<std::size_t>(byte(random)) % b.size()] =
                    static_cast<std::uint8_t>(byte(random));
            b.resize(static_cast<std::size_t>(byte(random)) % (b.size() + 1));
        } else {
            b = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
            const int extra = byte(random) % 80;
            for (int k = 0; k < extra; ++k)
                b.push_back(static_cast<std::uint8_t>(byte(random)));
            for (int k = 4; k < 8; ++k)
                b[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(byte(random));
        }
        const auto parsed = 解析波形(b);
        if (parsed) {
            ASSERT_GE(parsed->samples.data(), b.data());
            ASSERT_LE(parsed->samples.data() + parsed->samples.size(), b.data() + b.size());
            ASSERT_FALSE(parsed->samples.empty());
        }
    }
}

} // namespace
} // namespace vmkt
