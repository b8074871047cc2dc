// 解析波形 on any bytes. What it returns must be playable and lie inside the
// input: the samples are the whole blocks of a "data" chunk's body that ends
// within the file, and every byte of them can be read.
#include "actions/sound.h"
#include "fuzz/fuzz_support.h"

#include <cstdint>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A copy of its own, so that a read past the end hits the redzone at once.
    const std::vector<std::uint8_t> bytes(data, data + size);
    const auto wave = vmkt::解析波形(bytes);
    if (!wave)
        return 0;

    const std::uint8_t* begin = bytes.data();
    const std::uint8_t* end = begin + bytes.size();
    const std::uint8_t* samples = wave->samples.data();
    FUZZ_CHECK(samples >= begin + 12 + 8);
    FUZZ_CHECK(wave->samples.size() <= static_cast<std::size_t>(end - samples));
    FUZZ_CHECK(std::memcmp(samples - 8, "data", 4) == 0);
    const std::uint32_t declared = std::uint32_t{samples[-4]} | std::uint32_t{samples[-3]} << 8 |
                                   std::uint32_t{samples[-2]} << 16 |
                                   std::uint32_t{samples[-1]} << 24;
    // A chunk that runs past the end of the file makes the file unplayable.
    FUZZ_CHECK(declared <= static_cast<std::size_t>(end - samples));

    const vmkt::WaveFormat& f = wave->format;
    FUZZ_CHECK(f.formatTag == 1);
    FUZZ_CHECK(f.channels >= 1 && f.channels <= 8);
    FUZZ_CHECK(f.bitsPerSample == 8 || f.bitsPerSample == 16);
    FUZZ_CHECK(f.blockAlign == f.channels * f.bitsPerSample / 8);
    FUZZ_CHECK(!wave->samples.empty() && wave->samples.size() % f.blockAlign == 0);
    FUZZ_CHECK(wave->samples.size() == declared - declared % f.blockAlign);

    unsigned sum = 0;
    for (std::uint8_t b : wave->samples)
        sum += b;
    volatile unsigned sink = sum;
    (void)sink;
    return 0;
}
