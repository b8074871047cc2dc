// Costs of the clock's own work per tick, on the headless platform. An armed
// clock must cost next to nothing while it waits; these figures show what a
// tick costs before any window system is involved.
//
//   cmake -S . -B build -DVMKT_BENCH=ON && cmake --build build --target vmkt-bench
//   build/bench/vmkt-bench
#include "app/platform_headless.h"
#include "app/program.h"

#include <benchmark/benchmark.h>

namespace vmkt {
namespace {

// One second of an armed 整点 clock: its tick writes the time into the
// status label and compares the minute.
void HourlyArmedSecond(benchmark::State& state) {
    HeadlessPlatform world;
    Program program(world.platform());
    world.attach(program);
    program.start();
    program.组合框1.userChoose(2);
    world.settle();
    program.分1.setText("59");
    program.超级按钮开始.userClick();
    for (auto _ : state)
        world.advance(1000);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(HourlyArmedSecond);

// A second of ringing: four flash ticks, a monitor tick and a looping player.
void RingingSecond(benchmark::State& state) {
    HeadlessPlatform world;
    Program program(world.platform());
    world.attach(program);
    program.start();
    program.无操作时长鸣.setChecked(true);
    program.分1.setText("0");
    program.秒1.setText("1");
    program.超级按钮开始.userClick();
    world.advance(1000);
    if (program.时钟闪烁.period() != 250 || world.sound().sounding() != 1)
        state.SkipWithError("the alarm is not ringing");
    for (auto _ : state)
        world.advance(1000);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(RingingSecond);

// The worst tick of 指定: the wall clock jumped a whole day forward, so the
// tick compares the fields with every second of the last 24 hours.
void SpecifiedDayLookBack(benchmark::State& state) {
    HeadlessPlatform world;
    Program program(world.platform());
    world.attach(program);
    program.start();
    program.组合框1.userChoose(1);
    world.settle();
    program.时1.setText("99"); // never matches: the whole day is compared
    program.超级按钮开始.userClick();
    for (auto _ : state) {
        state.PauseTiming();
        world.setTimeOfDay(8 * 3600000 + 86400000); // this time tomorrow
        state.ResumeTiming();
        program.tick(TimerId::指定);
    }
}
BENCHMARK(SpecifiedDayLookBack);

} // namespace
} // namespace vmkt

BENCHMARK_MAIN();
