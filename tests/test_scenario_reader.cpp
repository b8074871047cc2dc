// The scenario reader and the driver's reporting.
#include "sim/runner.h"
#include "sim/scenario.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace vmkt::sim {
namespace {

TEST(ParseScenario, SplitsTokensAndReadsEscapes) {
    const auto r = parseScenario("# comment\n\n  start  \r\n"
                                 "expect 标签2.caption \"剩余：\\\"0\\\"\\\\ \\r\\n\\t“ ”\"\n"
                                 "   # indented comment\n"
                                 "reg HKCU Software\\VMKT\\默认功能 = \"\"");
    ASSERT_EQ(r.error, "");
    ASSERT_EQ(r.steps.size(), 3u);
    EXPECT_EQ(r.steps[0].line, 3);
    EXPECT_EQ(r.steps[0].tokens.size(), 1u);
    EXPECT_EQ(r.steps[1].line, 4);
    ASSERT_EQ(r.steps[1].tokens.size(), 3u);
    EXPECT_TRUE(r.steps[1].tokens[2].quoted);
    EXPECT_EQ(r.steps[1].tokens[2].text, "剩余：\"0\"\\ \r\n\t“ ”");
    ASSERT_EQ(r.steps[2].tokens.size(), 5u);
    EXPECT_EQ(r.steps[2].tokens[2].text, "Software\\VMKT\\默认功能");
    EXPECT_FALSE(r.steps[2].tokens[2].quoted);
    EXPECT_EQ(r.steps[2].tokens[4].text, "");
    EXPECT_TRUE(r.steps[2].tokens[4].quoted);
}

TEST(ParseScenario, ReportsBadTexts) {
    for (const char* bad : {"paste 分1 \"abc", "paste 分1 \"a\\qb\"", "paste 分1 \"a\"b"}) {
        const auto r = parseScenario(std::string("start\n") + bad + "\n");
        EXPECT_EQ(r.errorLine, 2) << bad;
        EXPECT_FALSE(r.error.empty()) << bad;
    }
}

TEST(RunScenario, ReportsFailedStepsAndGoesOn) {
    std::ostringstream out;
    const bool passed = runScenario("s.scenario",
                                    "start\n"
                                    "expect 分1.text \"31\"\n"
                                    "expect 组合框1.selection 0\n"
                                    "expect 窗口.visible false\n"
                                    "expect reg HKCU Software\\VMKT\\默认功能 = \"1\"\n",
                                    out);
    EXPECT_FALSE(passed);
    EXPECT_EQ(out.str(), "s.scenario:2: expected 分1.text \"31\", found \"30\"\n"
                         "s.scenario:4: expected 窗口.visible false, found true\n"
                         "s.scenario:5: expected reg Software\\VMKT\\默认功能 = \"1\", "
                         "found = \"0\"\n");
}

TEST(RunScenario, AStepThatCannotRunEndsTheScenario) {
    const struct {
        const char* source;
        const char* report;
    } cases[] = {
        {"start\nfly away\nexpect 分1.text \"0\"\n", "s:2: unknown step: fly\n"},
        {"click 超级按钮开始\n", "s:1: the program has not been started\n"},
        {"start\nexpect 无此控件.text \"\"\n", "s:2: no control named 无此控件\n"},
        {"start\nchoose 组合框1 3\n", "s:2: choose: 组合框1 has no item 3\n"},
        {"start\nwait soon\n", "s:2: not a number: soon\n"},
        {"start\nstart\n", "s:2: the program has already been started\n"},
    };
    for (const auto& c : cases) {
        std::ostringstream out;
        EXPECT_FALSE(runScenario("s", c.source, out)) << c.source;
        EXPECT_EQ(out.str(), c.report) << c.source;
    }
}

// Found by fuzzing: a number beyond 64 bits (or infinity, or NaN) was
// converted to 64 bits before its range was checked, which is undefined.
TEST(RunScenario, NumbersBeyondSixtyFourBitsAreNoWholeNumbers) {
    const struct {
        const char* source;
        const char* report;
    } cases[] = {
        {"expect fn 计算毫秒 55555555555555555555 5 5 5\n",
         "s:1: not a whole number: 55555555555555555555\n"},
        {"start\nexpect plays -1e300\n", "s:2: not a whole number: -1e300\n"},
        {"start\nexpect plays inf\n", "s:2: not a whole number: inf\n"},
        {"start\nexpect plays nan\n", "s:2: not a whole number: nan\n"},
        {"expect fn 文本转数值 \"1e999\" 0\n", "s:1: expected fn 文本转数值 -> 0, found inf\n"},
    };
    for (const auto& c : cases) {
        std::ostringstream out;
        EXPECT_FALSE(runScenario("s", c.source, out)) << c.source;
        EXPECT_EQ(out.str(), c.report) << c.source;
    }
}

TEST(RunScenario, ABoxWithoutAnAnswerFailsTheScenario) {
    std::ostringstream out;
    EXPECT_FALSE(runScenario("s",
                             "reg HKCU Software\\VMKT\\闹铃时长 = \"3\"\n"
                             "start\n"
                             "click 超级按钮开始\n"
                             "expect 超级按钮开始.caption \"开始\"\n",
                             out));
    EXPECT_EQ(out.str(), "s:3: unexpected box: 响铃时间过短 / "
                         "你的闹钟响铃时间太短，只有 3 秒，点“是”继续，点“否”返回操作。\n");
}

TEST(RunScenario, AReportStaysOneLineWhenTheBoxTextHasLineBreaks) {
    std::ostringstream out;
    EXPECT_FALSE(runScenario("s", "start\nmenu 关于\n", out));
    const std::string report = out.str();
    ASSERT_TRUE(report.starts_with("s:2: unexpected box: 关于Vemko / ---")) << report;
    EXPECT_EQ(report.find('\n'), report.size() - 1) << report;
    EXPECT_EQ(report.find('\r'), std::string::npos) << report;
    EXPECT_NE(report.find("\\r\\n"), std::string::npos) << report;
}

TEST(RunFiles, CountsFilesAndSetsTheExitCode) {
    const std::string dir = ::testing::TempDir();
    const std::string good = dir + "/good.scenario", bad = dir + "/bad.scenario";
    std::ofstream(good) << "start\nexpect running\n";
    std::ofstream(bad) << "start\nexpect exited 0\n";
    std::ostringstream out;
    EXPECT_EQ(runFiles({good}, out), 0);
    EXPECT_EQ(out.str(), "1 passed, 0 failed\n");
    out.str("");
    EXPECT_EQ(runFiles({good, bad, dir + "/missing.scenario"}, out), 1);
    EXPECT_EQ(out.str(), bad + ":2: expected exited 0, found running\n" + dir +
                             "/missing.scenario:0: cannot read the file\n1 passed, 2 failed\n");
    std::remove(good.c_str());
    std::remove(bad.c_str());
}

} // namespace
} // namespace vmkt::sim
