// LinuxSystem against a private D-Bus daemon with a stand-in logind, and
// against Xvfb (which has no DPMS) or no X server at all.
#include "app/system_linux.h"
#include "tests/linux/test_support.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <atomic>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include <X11/Xlib.h>
#include <X11/extensions/dpms.h>

#ifndef VMKT_TEST_SOURCE_DIR
#error "VMKT_TEST_SOURCE_DIR must name this directory"
#endif

namespace {
std::string programArgument; // argv[0] as the test program was started
} // namespace

namespace vmkt {
namespace {

using namespace std::chrono_literals;

constexpr const char* kPython = "/usr/bin/python3";

TEST(LinuxSystemPath, IsThisProgram) {
    LinuxSystem system;
    const std::string path = system.programPath();
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path, std::filesystem::canonical(programArgument).string());
    EXPECT_TRUE(std::filesystem::path(path).is_absolute());
}

// The D-Bus library reads the system bus address once per process, so all
// tests of a process use one address; each starts its own daemon there.
const std::string& busAddress() {
    static const test::TempDir dir;
    static const std::string address = "unix:path=" + dir / "bus";
    return address;
}

// A private bus posing as the system bus, and a stand-in logind on it.
class LogindTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(test::findProgram("dbus-daemon")) << "dbus-daemon is not installed (dbus)";
        ASSERT_EQ(test::run({kPython, "-c", "import dbus, gi.repository.GLib"}), 0)
            << "/usr/bin/python3 needs python3-dbus and python3-gi";
        setenv("DBUS_SYSTEM_BUS_ADDRESS", busAddress().c_str(), 1);
    }

    void TearDown() override {
        logind_.reset();
        stopBus();
    }

    void startBus() {
        const std::string out = dir_ / "dbus.out";
        ASSERT_EQ(test::run({"sh", "-c",
                             "dbus-daemon --session --fork --nopidfile --address=" + busAddress() +
                                 " --print-address=1 --print-pid=1 > '" + out + "'"}),
                  0)
            << "dbus-daemon did not start";
        std::istringstream lines(test::readFile(out));
        std::string address;
        lines >> address >> busPid_;
        ASSERT_GT(busPid_, 0) << test::readFile(out);
    }

    // The daemon forked away from us: wait until it is gone, not reap it.
    void stopBus() {
        if (busPid_ <= 0) {
            return;
        }
        kill(busPid_, SIGCONT);
        kill(busPid_, SIGTERM);
        const std::string stat = "/proc/" + std::to_string(busPid_) + "/stat";
        const bool ended = test::waitUntil(
            [&] {
                const std::string s = test::readFile(stat);
                return s.empty() || s.find(") Z") != std::string::npos;
            },
            5s);
        if (!ended) {
            kill(busPid_, SIGKILL);
        }
        busPid_ = -1;
    }

    void startLogind(bool refuse) {
        std::vector<std::string> argv = {kPython, VMKT_TEST_SOURCE_DIR "/fake_logind.py",
                                         busAddress(), record(), dir_ / "ready"};
        if (refuse) {
            argv.push_back("refuse");
        }
        logind_ = std::make_unique<test::Process>(argv, dir_ / "logind.log");
        ASSERT_TRUE(test::waitUntil([&] { return std::filesystem::exists(dir_ / "ready"); }, 10s))
            << test::readFile(dir_ / "logind.log");
    }

    std::string record() const { return dir_ / "calls.txt"; }

    // The recorded calls, once there are as many lines as expected (or after
    // the timeout).
    std::vector<std::string> calls(std::size_t expected, std::chrono::milliseconds timeout = 5s) {
        std::vector<std::string> lines;
        test::waitUntil(
            [&] {
                lines.clear();
                std::istringstream in(test::readFile(record()));
                for (std::string line; std::getline(in, line);) {
                    lines.push_back(line);
                }
                return lines.size() >= expected;
            },
            timeout);
        return lines;
    }

    test::TempDir dir_;
    pid_t busPid_ = -1;
    std::unique_ptr<test::Process> logind_;
};

TEST_F(LogindTest, PowerOffAndSuspendReachLogindAsNonInteractiveCalls) {
    startBus();
    startLogind(false);
    LinuxSystem system;
    const auto start = test::Clock::now();
    system.powerOff();
    system.suspend();
    EXPECT_LT(test::msSince(start), 100) << "the calls must not wait";
    const auto lines = calls(2);
    ASSERT_EQ(lines.size(), 2u) << test::readFile(dir_ / "logind.log");
    EXPECT_EQ(lines[0], "PowerOff b dbus.Boolean(False) no_reply=True");
    EXPECT_EQ(lines[1], "Suspend b dbus.Boolean(False) no_reply=True");
}

TEST_F(LogindTest, ARefusalChangesNothing) {
    startBus();
    startLogind(true);
    LinuxSystem system;
    system.suspend();
    ASSERT_EQ(calls(1).size(), 1u);
    // Still working after the error: the next call arrives too.
    system.powerOff();
    const auto lines = calls(2);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(lines[1].starts_with("PowerOff b dbus.Boolean(False)")) << lines[1];
}

TEST_F(LogindTest, NoBusHoldsUpNothing) {
    LinuxSystem system;
    for (int i = 0; i < 5; ++i) {
        const auto start = test::Clock::now();
        system.powerOff();
        system.suspend();
        EXPECT_LT(test::msSince(start), 100);
    }
}

// A daemon that takes connections but never answers, here a stopped one,
// would hold a connecting caller for the D-Bus library's 25 seconds.
TEST_F(LogindTest, ABusThatDoesNotAnswerHoldsUpNothing) {
    startBus();
    startLogind(false);
    ASSERT_EQ(kill(busPid_, SIGSTOP), 0);
    LinuxSystem system;
    std::atomic<bool> returned{false};
    std::thread caller([&] {
        system.powerOff();
        system.suspend();
        returned = true;
    });
    EXPECT_TRUE(test::waitUntil([&] { return returned.load(); }, 5s))
        << "the calls wait for a bus that does not answer";
    // Answering again (which also frees a caller that waited), the bus is
    // used again.
    ASSERT_EQ(kill(busPid_, SIGCONT), 0);
    caller.join();
    system.suspend();
    const auto lines = calls(1);
    ASSERT_EQ(lines.size(), 1u) << test::readFile(dir_ / "logind.log");
    EXPECT_TRUE(lines[0].starts_with("Suspend")) << lines[0];
}

TEST_F(LogindTest, ABusThatComesBackIsUsedAgain) {
    LinuxSystem system;
    system.suspend(); // no bus yet: lost
    std::this_thread::sleep_for(300ms);
    startBus();
    startLogind(false);
    // The failed attempt is not remembered.
    system.powerOff();
    const auto lines = calls(1);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(lines[0].starts_with("PowerOff")) << lines[0];
}

// An Xvfb of its own on the first free display number from 90.
class XvfbServer {
public:
    XvfbServer(const std::string& logFile) {
        for (int n = 90; n < 190 && !display_; ++n) {
            const std::string name = ":" + std::to_string(n);
            if (std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(n)) ||
                std::filesystem::exists("/tmp/.X" + std::to_string(n) + "-lock")) {
                continue;
            }
            auto server = std::make_unique<test::Process>(
                std::vector<std::string>{"Xvfb", name, "-nolisten", "tcp", "-noreset", "-screen",
                                         "0", "320x240x24"},
                logFile);
            const bool up = test::waitUntil(
                [&] {
                    if (server->wait(0ms)) {
                        return true; // ended: the number was taken after all
                    }
                    Display* d = XOpenDisplay(name.c_str());
                    if (d != nullptr) {
                        XCloseDisplay(d);
                        display_ = name;
                    }
                    return d != nullptr;
                },
                10s);
            if (up && display_) {
                server_ = std::move(server);
            }
        }
    }
    const std::optional<std::string>& display() const { return display_; }
    bool running() { return server_ && !server_->wait(0ms); }

private:
    std::optional<std::string> display_;
    std::unique_ptr<test::Process> server_;
};

TEST(LinuxSystemDisplay, WithoutDpmsOrWithoutXNothingHappens) {
    ASSERT_TRUE(test::findProgram("Xvfb")) << "Xvfb is not installed (xvfb)";
    test::TempDir dir;
    XvfbServer xvfb(dir / "xvfb.log");
    ASSERT_TRUE(xvfb.display()) << test::readFile(dir / "xvfb.log");

    LinuxSystem system;
    for (const char* display : {static_cast<const char*>(nullptr), ":4077", "nonsense"}) {
        if (display != nullptr) {
            setenv("DISPLAY", display, 1);
        } else {
            unsetenv("DISPLAY");
        }
        const auto start = test::Clock::now();
        system.displayOff();
        EXPECT_LT(test::msSince(start), 1000) << (display ? display : "no DISPLAY");
    }

    setenv("DISPLAY", xvfb.display()->c_str(), 1);
    Display* d = XOpenDisplay(nullptr);
    ASSERT_NE(d, nullptr);
    int eventBase = 0, errorBase = 0;
    EXPECT_FALSE(DPMSQueryExtension(d, &eventBase, &errorBase))
        << "this Xvfb has DPMS after all: the test no longer covers what it says";
    XCloseDisplay(d);
    // More calls than the server takes clients: each one closes its
    // connection again.
    for (int i = 0; i < 300; ++i) {
        system.displayOff();
    }
    EXPECT_TRUE(xvfb.running());
    d = XOpenDisplay(nullptr);
    EXPECT_NE(d, nullptr) << "the server still takes clients";
    if (d != nullptr) {
        XCloseDisplay(d);
    }
}

} // namespace
} // namespace vmkt

int main(int argc, char** argv) {
    programArgument = argv[0];
    // As in the program, QtDBus runs beside a Qt application object.
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
