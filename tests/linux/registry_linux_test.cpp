// LinuxRegistry on real files in a temporary XDG tree.
#include "settings/registry_linux.h"
#include "tests/linux/test_support.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QSettings>

#include <csignal>
#include <cstdlib>
#include <map>
#include <random>
#include <sched.h>
#include <sstream>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utime.h>

#ifndef VMKT_REGISTRY_WRITER
#error "VMKT_REGISTRY_WRITER must name the writer program"
#endif
#ifndef VMKT_TEST_SOURCE_DIR
#error "VMKT_TEST_SOURCE_DIR must name this directory"
#endif

namespace vmkt {
namespace {

using namespace std::chrono_literals;

const std::string kAppKey = "Software\\VMKT";
const std::string kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::vector<std::string> kNames = {"气球提示", "长鸣", "闹铃时长", "默认功能", "默认事件"};

bool exists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

class RegistryTest : public ::testing::Test {
protected:
    std::string userDir() const { return dir_ / "config"; }
    std::string machineDir() const { return dir_ / "xdg"; }
    LinuxRegistry fresh() const { return LinuxRegistry(userDir(), machineDir()); }

    // Whether QSettings parses the file without complaint.
    static bool parses(const std::string& path) {
        QSettings settings(QString::fromStdString(path), QSettings::IniFormat);
        return settings.status() == QSettings::NoError;
    }

    test::TempDir dir_;
    LinuxRegistry reg_{userDir(), machineDir()};
};

TEST_F(RegistryTest, EveryValueNameKeepsEveryText) {
    const std::vector<std::string> texts = {
        "1",
        "0",
        "300",
        "闹钟响了，该起床了！",
        "key=value",
        "a;b ; c",
        "say \"hi\"",
        "C:\\Program Files\\VMKT\\",
        "two  inner  spaces",
        "  leading",
        "trailing  ",
        " ",
        "",
        "a, b",
        "@Variant(not really)",
        "@ByteArray(no)",
        "[General]",
        "#not a comment",
        "tab\tand\nnewline",
        "%U4E2D%25",
        "true",
    };
    std::map<std::string, std::string> expected;
    for (std::size_t t = 0; t < texts.size(); ++t) {
        for (std::size_t n = 0; n < kNames.size(); ++n) {
            // Each name gets each text, the others keep theirs meanwhile.
            const std::string& text = texts[(t + n) % texts.size()];
            for (RegRoot root : {RegRoot::CurrentUser, RegRoot::LocalMachine}) {
                ASSERT_TRUE(reg_.writeText(root, kAppKey, kNames[n], text));
            }
            expected[kNames[n]] = text;
            LinuxRegistry reader = fresh();
            for (const auto& [name, value] : expected) {
                for (RegRoot root : {RegRoot::CurrentUser, RegRoot::LocalMachine}) {
                    EXPECT_EQ(reader.readText(root, kAppKey, name), value)
                        << name << " after writing \"" << text << "\" to " << kNames[n];
                }
            }
        }
    }
    EXPECT_TRUE(exists(userDir() + "/VMKT/VMKT.ini"));
    EXPECT_TRUE(exists(machineDir() + "/VMKT/VMKT.ini"));
}

TEST_F(RegistryTest, AbsentIsDistinctFromEmpty) {
    EXPECT_EQ(reg_.readText(RegRoot::CurrentUser, kAppKey, "长鸣"), std::nullopt);
    EXPECT_FALSE(exists(userDir())) << "reading creates nothing";
    ASSERT_TRUE(reg_.writeText(RegRoot::CurrentUser, kAppKey, "长鸣", ""));
    EXPECT_EQ(fresh().readText(RegRoot::CurrentUser, kAppKey, "长鸣"),
              std::optional<std::string>(""));
    EXPECT_EQ(fresh().readText(RegRoot::CurrentUser, kAppKey, "气球提示"), std::nullopt);
    EXPECT_EQ(fresh().readText(RegRoot::CurrentUser, "Software\\Other", "长鸣"), std::nullopt);
    EXPECT_EQ(fresh().readText(RegRoot::LocalMachine, kAppKey, "长鸣"), std::nullopt);
    EXPECT_TRUE(reg_.deleteValue(RegRoot::CurrentUser, kAppKey, "长鸣"));
    EXPECT_EQ(fresh().readText(RegRoot::CurrentUser, kAppKey, "长鸣"), std::nullopt);
    EXPECT_FALSE(reg_.deleteValue(RegRoot::CurrentUser, kAppKey, "长鸣"))
        << "nothing left to remove";
}

TEST_F(RegistryTest, WritesFromTwoInstancesAndAnEditorAllSurvive) {
    LinuxRegistry other = fresh();
    ASSERT_TRUE(reg_.writeText(RegRoot::CurrentUser, kAppKey, "长鸣", "1"));
    ASSERT_TRUE(other.writeText(RegRoot::CurrentUser, kAppKey, "闹铃时长", "45"));
    // Someone edits the file by hand in between.
    const std::string ini = userDir() + "/VMKT/VMKT.ini";
    test::writeFile(ini, test::readFile(ini) + "[Hand]\nedited=yes\n");
    ASSERT_TRUE(reg_.writeText(RegRoot::CurrentUser, kAppKey, "默认功能", "2"));
    LinuxRegistry reader = fresh();
    EXPECT_EQ(reader.readText(RegRoot::CurrentUser, kAppKey, "长鸣"), "1");
    EXPECT_EQ(reader.readText(RegRoot::CurrentUser, kAppKey, "闹铃时长"), "45");
    EXPECT_EQ(reader.readText(RegRoot::CurrentUser, kAppKey, "默认功能"), "2");
    EXPECT_EQ(reader.readText(RegRoot::CurrentUser, "Hand", "edited"), "yes");
}

TEST_F(RegistryTest, ValuesThatAreNoTextReadAsAbsent) {
    const std::string ini = userDir() + "/VMKT/VMKT.ini";
    ASSERT_TRUE(reg_.writeText(RegRoot::CurrentUser, kAppKey, "默认事件", "x"));
    test::writeFile(ini, "[Software]\n"
                         "VMKT\\list=a, b\n"
                         "VMKT\\bytes=@ByteArray(abc)\n"
                         "VMKT\\rect=@Rect(1 2 3 4)\n"
                         "VMKT\\invalid=@Invalid()\n"
                         "VMKT\\quoted=\"a, b\"\n"
                         "VMKT\\number=5\n");
    for (const char* name : {"list", "bytes", "rect", "invalid"}) {
        EXPECT_EQ(reg_.readText(RegRoot::CurrentUser, kAppKey, name), std::nullopt) << name;
    }
    EXPECT_EQ(reg_.readText(RegRoot::CurrentUser, kAppKey, "quoted"), "a, b");
    EXPECT_EQ(reg_.readText(RegRoot::CurrentUser, kAppKey, "number"), "5");
}

TEST_F(RegistryTest, ACorruptFileReadsAsAbsentAndALaterWriteWorks) {
    std::mt19937 random(20240601);
    std::string noise(4096, '\0');
    for (char& c : noise) {
        c = static_cast<char>(random());
    }
    const std::vector<std::pair<const char*, std::string>> corruptions = {
        {"random bytes", noise},
        {"random bytes after a good start", "[Software]\nVMKT\\%U957F%U9E23=1\n" + noise},
        {"zeros", std::string(512, '\0')},
        {"bad UTF-8", "[Software]\nVMKT\\%U957F%U9E23=\xff\xfe\xc3\n[\xc3"},
    };
    const std::string ini = userDir() + "/VMKT/VMKT.ini";
    for (const auto& [what, contents] : corruptions) {
        ASSERT_TRUE(reg_.writeText(RegRoot::CurrentUser, kAppKey, "闹铃时长", "30"));
        test::writeFile(ini, contents);
        for (const auto& name : kNames) {
            EXPECT_EQ(fresh().readText(RegRoot::CurrentUser, kAppKey, name), std::nullopt)
                << what << ": " << name;
        }
        EXPECT_TRUE(reg_.writeText(RegRoot::CurrentUser, kAppKey, "默认功能", "3")) << what;
        EXPECT_TRUE(parses(ini)) << what;
        EXPECT_EQ(fresh().readText(RegRoot::CurrentUser, kAppKey, "默认功能"), "3") << what;
    }
}

// Tests run as root, whom permission bits do not stop. Nobody can create a
// directory below a regular file (ENOTDIR), and nobody can replace a directory
// with a file: those two make the unwritable locations here.
TEST_F(RegistryTest, UnwritableLocationsStoreNothing) {
    test::writeFile(dir_ / "plain-file", "not a directory");
    LinuxRegistry blocked(dir_ / "plain-file/config", dir_ / "plain-file/xdg");
    for (RegRoot root : {RegRoot::CurrentUser, RegRoot::LocalMachine}) {
        EXPECT_FALSE(blocked.writeText(root, kAppKey, "长鸣", "1"));
        EXPECT_EQ(blocked.readText(root, kAppKey, "长鸣"), std::nullopt);
        EXPECT_FALSE(blocked.deleteValue(root, kAppKey, "长鸣"));
        EXPECT_FALSE(blocked.deleteKey(root, kAppKey));
    }
    EXPECT_FALSE(blocked.writeText(RegRoot::LocalMachine, kRunKey, "VMKT", "/usr/bin/vmkt"));
    EXPECT_EQ(blocked.readText(RegRoot::LocalMachine, kRunKey, "VMKT"), std::nullopt);

    // The file's place is taken by a directory: unreadable, and not replaced.
    ASSERT_EQ(mkdir(userDir().c_str(), 0755), 0);
    ASSERT_EQ(mkdir((userDir() + "/VMKT").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((userDir() + "/VMKT/VMKT.ini").c_str(), 0755), 0);
    EXPECT_FALSE(reg_.writeText(RegRoot::CurrentUser, kAppKey, "长鸣", "1"));
    EXPECT_EQ(reg_.readText(RegRoot::CurrentUser, kAppKey, "长鸣"), std::nullopt);
    ASSERT_EQ(mkdir(machineDir().c_str(), 0755), 0);
    ASSERT_EQ(mkdir((machineDir() + "/autostart").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((machineDir() + "/autostart/vmkt.desktop").c_str(), 0755), 0);
    EXPECT_FALSE(reg_.writeText(RegRoot::LocalMachine, kRunKey, "VMKT", "/usr/bin/vmkt"));
    EXPECT_FALSE(reg_.deleteValue(RegRoot::LocalMachine, kRunKey, "VMKT"));
}

// A read-only file system stops root as well. The test's child makes the
// settings folder one with a read-only bind mount in a mount namespace of its
// own; where that is not allowed the test is skipped. Exit codes of the
// child: 0 all held, 77 no mount, otherwise the step that failed.
TEST_F(RegistryTest, AFailedWriteLosesNothingThatWasStored) {
    ASSERT_TRUE(reg_.writeText(RegRoot::CurrentUser, kAppKey, "闹铃时长", "4"));
    ASSERT_TRUE(reg_.writeText(RegRoot::CurrentUser, kAppKey, "默认事件", "1"));
    const std::string ini = userDir() + "/VMKT/VMKT.ini";
    const std::string before = test::readFile(ini);
    const std::string dir = userDir();

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (unshare(CLONE_NEWNS) != 0 ||
            mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount(dir.c_str(), dir.c_str(), nullptr, MS_BIND, nullptr) != 0 ||
            mount(nullptr, dir.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0)
            _exit(77);
        LinuxRegistry registry(userDir(), machineDir());
        const auto stored = [&registry] {
            return registry.readText(RegRoot::CurrentUser, kAppKey, "闹铃时长") == "4" &&
                   registry.readText(RegRoot::CurrentUser, kAppKey, "默认事件") == "1";
        };
        if (!stored())
            _exit(1);
        if (registry.writeText(RegRoot::CurrentUser, kAppKey, "默认功能", "0"))
            _exit(2);
        if (!stored())
            _exit(3);
        if (registry.deleteValue(RegRoot::CurrentUser, kAppKey, "闹铃时长"))
            _exit(4);
        if (!stored())
            _exit(5);
        if (registry.deleteKey(RegRoot::CurrentUser, kAppKey))
            _exit(6);
        if (!stored() || !LinuxRegistry(userDir(), machineDir())
                              .readText(RegRoot::CurrentUser, kAppKey, "默认事件"))
            _exit(7);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77)
        GTEST_SKIP() << "no read-only bind mount here";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the step that failed";
    EXPECT_EQ(test::readFile(ini), before);
    EXPECT_EQ(fresh().readText(RegRoot::CurrentUser, kAppKey, "默认事件"), "1");
}

TEST_F(RegistryTest, KeysAreGroupsAndOnlyKeysWithoutSubkeysGo) {
    const std::string sub = kAppKey + "\\Sub";
    ASSERT_TRUE(reg_.writeText(RegRoot::CurrentUser, kAppKey, "长鸣", "1"));
    ASSERT_TRUE(reg_.writeText(RegRoot::CurrentUser, sub, "a", "x"));
    ASSERT_TRUE(reg_.writeText(RegRoot::CurrentUser, "Software\\Other", "b", "y"));
    // The same name under different keys holds different values.
    ASSERT_TRUE(reg_.writeText(RegRoot::CurrentUser, sub, "长鸣", "0"));
    EXPECT_EQ(reg_.readText(RegRoot::CurrentUser, kAppKey, "长鸣"), "1");

    EXPECT_FALSE(reg_.deleteKey(RegRoot::CurrentUser, kAppKey)) << "it has a subkey";
    EXPECT_EQ(reg_.readText(RegRoot::CurrentUser, kAppKey, "长鸣"), "1");
    EXPECT_TRUE(reg_.deleteKey(RegRoot::CurrentUser, sub));
    EXPECT_EQ(reg_.readText(RegRoot::CurrentUser, sub, "a"), std::nullopt);
    EXPECT_FALSE(reg_.deleteKey(RegRoot::CurrentUser, sub)) << "already gone";
    EXPECT_TRUE(reg_.deleteKey(RegRoot::CurrentUser, kAppKey));
    EXPECT_EQ(reg_.readText(RegRoot::CurrentUser, kAppKey, "长鸣"), std::nullopt);
    EXPECT_EQ(reg_.readText(RegRoot::CurrentUser, "Software\\Other", "b"), "y");
    EXPECT_FALSE(reg_.deleteKey(RegRoot::CurrentUser, "Software\\Missing"));
    EXPECT_FALSE(reg_.deleteKey(RegRoot::LocalMachine, "Software\\Other")) << "other scope";

    // Paths the file cannot hold are refused, not bent into other keys.
    for (const char* bad : {"Software\\\\VMKT", "Software/VMKT", "Software\\VMKT\\"}) {
        EXPECT_FALSE(reg_.writeText(RegRoot::CurrentUser, bad, "x", "1")) << bad;
        EXPECT_EQ(reg_.readText(RegRoot::CurrentUser, bad, "x"), std::nullopt) << bad;
    }
    EXPECT_FALSE(reg_.writeText(RegRoot::CurrentUser, kAppKey, "a/b", "1"));
    EXPECT_FALSE(reg_.writeText(RegRoot::CurrentUser, kAppKey, "", "1"));
}

// Found by fuzzing: a value and a key of the same name live side by side, as
// in the registry, but deleting the value took the key's values with it.
TEST_F(RegistryTest, DeletingAValueKeepsTheKeyOfTheSameName) {
    const RegRoot user = RegRoot::CurrentUser;
    ASSERT_TRUE(reg_.writeText(user, kAppKey, "长鸣", "1"));
    test::writeFile(userDir() + "/VMKT/VMKT.ini", "KT=\nKT\\s=\n="); // the fuzzer's input
    ASSERT_TRUE(reg_.writeText(user, "", "KT", "1"));
    EXPECT_TRUE(reg_.deleteValue(user, "", "KT"));
    EXPECT_EQ(reg_.readText(user, "", "KT"), std::nullopt);
    EXPECT_EQ(reg_.readText(user, "KT", "s"), "");

    ASSERT_TRUE(reg_.writeText(user, kAppKey, "长鸣", "1"));
    ASSERT_TRUE(reg_.writeText(user, kAppKey + "\\长鸣\\Sub", "a", "x"));
    ASSERT_TRUE(reg_.writeText(user, kAppKey + "\\长鸣", "b", "y"));
    EXPECT_TRUE(reg_.deleteValue(user, kAppKey, "长鸣"));
    EXPECT_EQ(reg_.readText(user, kAppKey, "长鸣"), std::nullopt);
    EXPECT_EQ(reg_.readText(user, kAppKey + "\\长鸣\\Sub", "a"), "x");
    EXPECT_EQ(reg_.readText(user, kAppKey + "\\长鸣", "b"), "y");
}

TEST_F(RegistryTest, DirectoriesComeFromTheXdgVariables) {
    struct Case {
        const char* configHome;
        const char* configDirs;
        std::string userIni;
        std::string autostart;
    };
    const std::string home = dir_ / "home";
    const std::vector<Case> cases = {
        {nullptr, nullptr, home + "/.config/VMKT/VMKT.ini", "/etc/xdg/autostart/vmkt.desktop"},
        {"", "", home + "/.config/VMKT/VMKT.ini", "/etc/xdg/autostart/vmkt.desktop"},
        {"/c", "/d1:/d2", "/c/VMKT/VMKT.ini", "/d1/autostart/vmkt.desktop"},
        {"relative", "rel:/d2", home + "/.config/VMKT/VMKT.ini", "/d2/autostart/vmkt.desktop"},
        {"/c", ":/d2", "/c/VMKT/VMKT.ini", "/d2/autostart/vmkt.desktop"},
    };
    const auto set = [](const char* name, const char* value) {
        if (value != nullptr) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    };
    setenv("HOME", home.c_str(), 1);
    for (const auto& c : cases) {
        set("XDG_CONFIG_HOME", c.configHome);
        set("XDG_CONFIG_DIRS", c.configDirs);
        LinuxRegistry reg;
        EXPECT_EQ(reg.iniPath(RegRoot::CurrentUser), c.userIni);
        EXPECT_EQ(reg.autostartPath(), c.autostart);
    }
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("XDG_CONFIG_DIRS");
}

TEST_F(RegistryTest, AutostartEntryHoldsThePathExactly) {
    ASSERT_TRUE(test::findProgram("python3")) << "python3 (with python3-gi) is needed";
    struct Case {
        std::string path;
        const char* exec; // as the file must hold it; null: not checked by hand
    };
    const std::vector<Case> cases = {
        {"/usr/bin/vmkt", "/usr/bin/vmkt"},
        {"/opt/my apps/Vemko 闹钟/vmkt", "\"/opt/my apps/Vemko 闹钟/vmkt\""},
        {"/opt/100%/vmkt", "/opt/100%%/vmkt"},
        {"/opt/$HOME/vmkt", "\"/opt/\\\\$HOME/vmkt\""},
        {"/opt/a\\b/vmkt", "\"/opt/a\\\\\\\\b/vmkt\""},
        {"/opt/say \"hi\"/vmkt", "\"/opt/say \\\\\"hi\\\\\"/vmkt\""},
        {"/opt/`id`/it's/vmkt", "\"/opt/\\\\`id\\\\`/it's/vmkt\""},
        {"/opt/a;b&c|d*e?f#g(h)i<j>k~l/vmkt", nullptr},
        {"/opt/tab\there/new\nline/50% $x/vmkt", nullptr},
        {" /opt/edge spaces ", nullptr},
    };
    const std::string file = machineDir() + "/autostart/vmkt.desktop";
    for (const auto& c : cases) {
        ASSERT_TRUE(reg_.writeText(RegRoot::LocalMachine, kRunKey, "VMKT", c.path)) << c.path;
        EXPECT_EQ(fresh().readText(RegRoot::LocalMachine, kRunKey, "VMKT"), c.path);
        const std::string contents = test::readFile(file);
        if (c.exec != nullptr) {
            EXPECT_NE(contents.find("\nExec=" + std::string(c.exec) + "\n"), std::string::npos)
                << contents;
        }
        // What a GLib-based desktop makes of the file.
        const std::string out = dir_ / "glib.txt";
        ASSERT_EQ(test::run({"sh", "-c",
                             "/usr/bin/python3 " VMKT_TEST_SOURCE_DIR "/desktop_exec.py '" + file +
                                 "' > '" + out + "'"}),
                  0)
            << "desktop_exec.py failed (is python3-gi installed?)";
        std::istringstream lines(test::readFile(out));
        std::string hex, type, name, icon, enabled;
        std::getline(lines, hex);
        std::getline(lines, type);
        std::getline(lines, name);
        std::getline(lines, icon);
        std::getline(lines, enabled);
        std::string program;
        for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
            program += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
        }
        EXPECT_EQ(program, c.path);
        EXPECT_EQ(type, "Application");
        EXPECT_EQ(name, "Vemko闹钟");
        EXPECT_EQ(icon, "vmkt");
        EXPECT_EQ(enabled, "true");
    }
    // The value's key and name are matched without regard to case, as the
    // registry does; other values of the key are ordinary ones.
    EXPECT_EQ(reg_.readText(RegRoot::LocalMachine,
                            "software\\microsoft\\windows\\currentversion\\run", "vmkt"),
              cases.back().path);
    EXPECT_EQ(reg_.readText(RegRoot::CurrentUser, kRunKey, "VMKT"), std::nullopt);
    EXPECT_TRUE(reg_.deleteValue(RegRoot::LocalMachine, kRunKey, "VMKT"));
    EXPECT_FALSE(exists(file));
    EXPECT_EQ(reg_.readText(RegRoot::LocalMachine, kRunKey, "VMKT"), std::nullopt);
    EXPECT_FALSE(reg_.deleteValue(RegRoot::LocalMachine, kRunKey, "VMKT"));
}

TEST_F(RegistryTest, AnEmptyLockLeftByAKilledWriterDoesNotStallWrites) {
    ASSERT_TRUE(reg_.writeText(RegRoot::CurrentUser, kAppKey, "长鸣", "1"));
    // What a writer killed between creating its lock file and filling it in
    // leaves behind; QLockFile alone would wait half a minute for it.
    const std::string lock = userDir() + "/VMKT/VMKT.ini.lock";
    test::writeFile(lock, "");
    const auto start = test::Clock::now();
    EXPECT_TRUE(reg_.writeText(RegRoot::CurrentUser, kAppKey, "长鸣", "0"));
    EXPECT_TRUE(reg_.deleteValue(RegRoot::CurrentUser, kAppKey, "长鸣"));
    EXPECT_LT(test::msSince(start), 5000);
    EXPECT_FALSE(exists(lock));
}

TEST_F(RegistryTest, AWriteKilledAtAnyMomentLeavesTheFileWhole) {
    const std::map<std::string, std::string> others = {
        {"气球提示", "1"}, {"长鸣", "0"}, {"闹铃时长", "120"}, {"默认功能", "2"}};
    for (const auto& [name, text] : others) {
        ASSERT_TRUE(reg_.writeText(RegRoot::CurrentUser, kAppKey, name, text));
    }
    // Long texts of different lengths make each write take a while.
    const std::vector<std::string> texts = {std::string(30000, 'a') + "甲",
                                            std::string(45000, 'b') + "乙"};
    ASSERT_TRUE(reg_.writeText(RegRoot::CurrentUser, kAppKey, "默认事件", "起点"));
    const std::string ini = userDir() + "/VMKT/VMKT.ini";
    struct stat before {};
    ASSERT_EQ(stat(ini.c_str(), &before), 0);

    std::mt19937 random(7);
    int changes = 0;
    std::optional<std::string> last = "起点";
    for (int trial = 0; trial < 200; ++trial) {
        struct stat start {};
        ASSERT_EQ(stat(ini.c_str(), &start), 0);
        test::Process writer(
            {VMKT_REGISTRY_WRITER, userDir(), machineDir(), "默认事件", texts[0], texts[1]},
            dir_ / "writer.log");
        ASSERT_TRUE(writer.started());
        // Kill it somewhere in its loop, after zero to three whole writes
        // beyond the first: the last whole write is one text or the other.
        const auto replaced = [&](ino_t before) {
            struct stat st {};
            return test::waitUntil(
                [&] { return stat(ini.c_str(), &st) == 0 && st.st_ino != before; }, 10s);
        };
        ino_t seen = start.st_ino;
        for (unsigned writes = 1 + random() % 4; writes > 0; --writes) {
            ASSERT_TRUE(replaced(seen))
                << "the writer stopped writing: " << test::readFile(dir_ / "writer.log");
            struct stat st {};
            ASSERT_EQ(stat(ini.c_str(), &st), 0);
            seen = st.st_ino;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 2000));
        writer.stop(SIGKILL);

        LinuxRegistry reader = fresh();
        ASSERT_TRUE(parses(ini)) << "trial " << trial << ":\n"
                                 << test::readFile(ini).substr(0, 300);
        for (const auto& [name, text] : others) {
            ASSERT_EQ(reader.readText(RegRoot::CurrentUser, kAppKey, name), text)
                << "trial " << trial;
        }
        const auto now = reader.readText(RegRoot::CurrentUser, kAppKey, "默认事件");
        ASSERT_TRUE(now == texts[0] || now == texts[1]) << "trial " << trial;
        changes += now != last;
        last = now;
    }
    EXPECT_GT(changes, 40) << "the kills should land at different points of the loop";
    // The file was replaced, never rewritten in place.
    struct stat after {};
    ASSERT_EQ(stat(ini.c_str(), &after), 0);
    EXPECT_NE(before.st_ino, after.st_ino);

    const auto start = test::Clock::now();
    EXPECT_TRUE(reg_.writeText(RegRoot::CurrentUser, kAppKey, "默认事件", "终点"));
    EXPECT_LT(test::msSince(start), 5000) << "no lock is left behind to wait for";
}

} // namespace
} // namespace vmkt
