// Figures of a periodic timer from the instants of its ticks: how far each
// tick lies from its ideal instant (start + k * period), how much the
// intervals between ticks vary, and whether the error grows over the run.
// Shared by the timer benchmarks of both front ends.
#pragma once

#include "app/platform.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace vmkt::bench {

struct TickFigures {
    int ticks = 0;
    double meanErrorMs = 0;   // mean of (tick - ideal instant)
    double maxAbsErrorMs = 0; // the worst tick
    double firstErrorMs = 0;  // the first tick
    double lastErrorMs = 0;   // the last tick: a drift shows here
    double intervalSdMs = 0;  // standard deviation of the intervals
    double p99AbsErrorMs = 0;
};

// The instants in nanoseconds on one monotonic clock; start is when the
// timer was armed, so tick k (from 1) is ideally at start + k * period.
inline double tickErrorMs(std::int64_t startNs, int periodMs, std::size_t k, std::int64_t tickNs) {
    const double ideal = static_cast<double>(startNs) + static_cast<double>(k) * periodMs * 1e6;
    return (static_cast<double>(tickNs) - ideal) / 1e6;
}

inline TickFigures tickFigures(std::int64_t startNs, int periodMs,
                               const std::vector<std::int64_t>& ticksNs) {
    TickFigures f;
    f.ticks = static_cast<int>(ticksNs.size());
    if (ticksNs.empty())
        return f;
    std::vector<double> errors;
    double sum = 0;
    for (std::size_t k = 0; k < ticksNs.size(); ++k) {
        const double e = tickErrorMs(startNs, periodMs, k + 1, ticksNs[k]);
        errors.push_back(e);
        sum += e;
        f.maxAbsErrorMs = std::max(f.maxAbsErrorMs, std::abs(e));
    }
    f.meanErrorMs = sum / static_cast<double>(errors.size());
    f.firstErrorMs = errors.front();
    f.lastErrorMs = errors.back();
    std::vector<double> absErrors;
    for (double e : errors)
        absErrors.push_back(std::abs(e));
    std::sort(absErrors.begin(), absErrors.end());
    f.p99AbsErrorMs = absErrors[std::min(absErrors.size() - 1, absErrors.size() * 99 / 100)];
    if (ticksNs.size() > 2) {
        double s = 0, s2 = 0;
        const double n = static_cast<double>(ticksNs.size() - 1);
        for (std::size_t k = 1; k < ticksNs.size(); ++k) {
            const double d = static_cast<double>(ticksNs[k] - ticksNs[k - 1]) / 1e6;
            s += d;
            s2 += d * d;
        }
        f.intervalSdMs = std::sqrt(std::max(0.0, s2 / n - (s / n) * (s / n)));
    }
    return f;
}

inline void printTickHeader() {
    std::printf("| timer | period | ticks | first tick | last tick | mean error | "
                "p99 abs error | max abs error | interval sd |\n"
                "|---|---:|---:|---:|---:|---:|---:|---:|---:|\n");
}

inline void printTickRow(const std::string& name, int periodMs, const TickFigures& f) {
    std::printf("| %s | %d ms | %d | %+.3f ms | %+.3f ms | %+.3f ms | %.3f ms | %.3f ms | "
                "%.3f ms |\n",
                name.c_str(), periodMs, f.ticks, f.firstErrorMs, f.lastErrorMs, f.meanErrorMs,
                f.p99AbsErrorMs, f.maxAbsErrorMs, f.intervalSdMs);
}

// Every tick's error, for a closer look.
inline void printEachTick(const std::string& name, std::int64_t startNs, int periodMs,
                          const std::vector<std::int64_t>& ticksNs) {
    std::printf("%s:", name.c_str());
    for (std::size_t k = 0; k < ticksNs.size(); ++k)
        std::printf(" %+.2f", tickErrorMs(startNs, periodMs, k + 1, ticksNs[k]));
    std::printf("\n");
}

// The timers of a ringing alarm, armed together by both timer benchmarks:
// the countdown's and the ring monitor's 1 s timers and the 250 ms flash.
struct ArmedTimer {
    TimerId id;
    const char* name;
    int periodMs;
    std::int64_t startNs = 0;
    std::vector<std::int64_t> ticks;
};

inline std::vector<ArmedTimer> ringingTimers() {
    return {{TimerId::倒计, "倒计 (countdown)", 1000, 0, {}},
            {TimerId::监视变量, "监视变量 (ring monitor)", 1000, 0, {}},
            {TimerId::闪烁, "闪烁 (flash)", 250, 0, {}}};
}

inline void recordTick(std::vector<ArmedTimer>& armed, TimerId id, std::int64_t nowNs) {
    for (ArmedTimer& a : armed)
        if (a.id == id)
            a.ticks.push_back(nowNs);
}

// The table of every armed timer under TITLE; with EACH, every tick's error.
inline void printTimerReport(const char* title, const std::vector<ArmedTimer>& armed, bool each) {
    std::printf("%s\n\n", title);
    printTickHeader();
    for (const ArmedTimer& a : armed)
        printTickRow(a.name, a.periodMs, tickFigures(a.startNs, a.periodMs, a.ticks));
    if (each) {
        std::printf("\nEvery tick's error in ms:\n");
        for (const ArmedTimer& a : armed)
            printEachTick(a.name, a.startNs, a.periodMs, a.ticks);
    }
}

} // namespace vmkt::bench
