// The one clock of the Linux benchmarks: CLOCK_MONOTONIC in nanoseconds, the
// clock Python's time.monotonic_ns() reads too.
#pragma once

#include <time.h>

#include <cstdint>

namespace vmkt::bench {

inline std::int64_t monotonicNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return std::int64_t{t.tv_sec} * 1000000000 + t.tv_nsec;
}

} // namespace vmkt::bench
