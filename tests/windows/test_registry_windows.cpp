// The settings store against the real registry (Wine's, under the tests):
// the texts of every setting as REG_SZ values, the value types that count as
// absent, creation of missing keys and deletion. Each test works under a key
// of its own, except the start-up test, which owns Software\VMKT.
#include "app/platform_headless.h"
#include "app/program.h"
#include "app/system_windows.h"
#include "app/utf16_windows.h"
#include "settings/registry_windows.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace vmkt {
namespace {

// A scratch key under HKEY_CURRENT_USER\Software, removed with all it holds.
class ScratchKey {
public:
    explicit ScratchKey(const std::string& name)
        : path_("Software\\VMKT-test-" + name + "-" + std::to_string(GetCurrentProcessId())) {
        RegDeleteTreeW(HKEY_CURRENT_USER, toWide(path_).c_str());
    }
    ~ScratchKey() { RegDeleteTreeW(HKEY_CURRENT_USER, toWide(path_).c_str()); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

bool keyExists(HKEY root, const std::string& path) {
    HKEY k = nullptr;
    if (RegOpenKeyExW(root, toWide(path).c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS)
        return false;
    RegCloseKey(k);
    return true;
}

// A value as it is stored: type and raw bytes.
struct Raw {
    DWORD type = 0;
    std::vector<BYTE> data;
};

std::optional<Raw> rawValue(HKEY root, const std::string& key, const std::string& name) {
    HKEY k = nullptr;
    if (RegOpenKeyExW(root, toWide(key).c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS)
        return std::nullopt;
    Raw raw;
    DWORD size = 0;
    const std::wstring wname = toWide(name);
    LONG rc = RegQueryValueExW(k, wname.c_str(), nullptr, &raw.type, nullptr, &size);
    if (rc == ERROR_SUCCESS) {
        raw.data.resize(size);
        rc = RegQueryValueExW(k, wname.c_str(), nullptr, &raw.type, raw.data.data(), &size);
    }
    RegCloseKey(k);
    if (rc != ERROR_SUCCESS)
        return std::nullopt;
    return raw;
}

void putRaw(HKEY root, const std::string& key, const std::string& name, DWORD type,
            const void* data, DWORD size) {
    HKEY k = nullptr;
    ASSERT_EQ(
        RegCreateKeyExW(root, toWide(key).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr),
        ERROR_SUCCESS);
    ASSERT_EQ(
        RegSetValueExW(k, toWide(name).c_str(), 0, type, static_cast<const BYTE*>(data), size),
        ERROR_SUCCESS);
    RegCloseKey(k);
}

// The UTF-16 text with its terminating NUL, as RegSetValueExW stores it.
std::vector<BYTE> storedForm(const std::string& text) {
    const std::wstring wide = toWide(text);
    const auto* p = reinterpret_cast<const BYTE*>(wide.c_str());
    return std::vector<BYTE>(p, p + (wide.size() + 1) * sizeof(wchar_t));
}

TEST(WindowsRegistry, EverySettingIsStoredAsAStringValueAndReadBack) {
    ScratchKey scratch("texts");
    const std::string vmkt = scratch.path() + "\\VMKT";
    const std::string run = scratch.path() + "\\Microsoft\\Windows\\CurrentVersion\\Run";
    struct Case {
        std::string key, name, text;
    };
    const Case cases[] = {
        {vmkt, "气球提示", "1"},    {vmkt, "长鸣", "1"},
        {vmkt, "闹铃时长", "180"},  {vmkt, "默认功能", "2"},
        {vmkt, "默认事件", "6"},    {run, "VMKT", "\"C:\\Program Files\\Vemko 闹钟\\vmkt.exe\""},
        {vmkt, "闹铃时长", "-0-5"}, {vmkt, "注意", "注意，到时间了！！！ Vemko叫 ～☆"},
        {vmkt, "空", ""},
    };
    WindowsRegistry reg;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name + " = " + c.text);
        ASSERT_TRUE(reg.writeText(RegRoot::CurrentUser, c.key, c.name, c.text));
        const auto raw = rawValue(HKEY_CURRENT_USER, c.key, c.name);
        ASSERT_TRUE(raw);
        EXPECT_EQ(raw->type, static_cast<DWORD>(REG_SZ));
        EXPECT_EQ(raw->data, storedForm(c.text));
        EXPECT_EQ(reg.readText(RegRoot::CurrentUser, c.key, c.name), std::optional(c.text));
    }
}

TEST(WindowsRegistry, OnlyStringValuesWithDataCount) {
    ScratchKey scratch("types");
    const std::string key = scratch.path();
    SetEnvironmentVariableW(L"VMKT_TEST_DIR", L"C:\\闹钟");
    const DWORD dword = 180;
    const wchar_t expandable[] = L"%VMKT_TEST_DIR%\\vmkt.exe";
    const wchar_t justNul[] = L"";
    const wchar_t noNul[] = {L'4', L'2'};
    const wchar_t multi[] = L"a\0b\0";
    const BYTE binary[] = {0x31, 0x00};
    putRaw(HKEY_CURRENT_USER, key, "dword", REG_DWORD, &dword, sizeof dword);
    putRaw(HKEY_CURRENT_USER, key, "expand", REG_EXPAND_SZ, expandable, sizeof expandable);
    putRaw(HKEY_CURRENT_USER, key, "size0", REG_SZ, nullptr, 0);
    putRaw(HKEY_CURRENT_USER, key, "empty", REG_SZ, justNul, sizeof justNul);
    putRaw(HKEY_CURRENT_USER, key, "nonul", REG_SZ, noNul, sizeof noNul);
    putRaw(HKEY_CURRENT_USER, key, "multi", REG_MULTI_SZ, multi, sizeof multi);
    putRaw(HKEY_CURRENT_USER, key, "binary", REG_BINARY, binary, sizeof binary);

    struct Case {
        const char* name;
        std::optional<std::string> read;
    };
    const Case cases[] = {
        {"dword", std::nullopt},  {"expand", "C:\\闹钟\\vmkt.exe"},
        {"size0", std::nullopt},  {"empty", ""},
        {"nonul", "42"},          {"multi", std::nullopt},
        {"binary", std::nullopt}, {"missing", std::nullopt},
    };
    WindowsRegistry reg;
    for (const Case& c : cases)
        EXPECT_EQ(reg.readText(RegRoot::CurrentUser, key, c.name), c.read) << c.name;

    // A read of a missing key gives nothing and creates nothing.
    EXPECT_EQ(reg.readText(RegRoot::CurrentUser, key + "\\no\\such", "x"), std::nullopt);
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, key + "\\no"));

    // A write replaces a value of another type with a string value.
    ASSERT_TRUE(reg.writeText(RegRoot::CurrentUser, key, "dword", "7"));
    EXPECT_EQ(rawValue(HKEY_CURRENT_USER, key, "dword")->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(reg.readText(RegRoot::CurrentUser, key, "dword"), std::optional<std::string>("7"));
}

TEST(WindowsRegistry, WritesCreateMissingKeysAndDeletesRemoveThem) {
    ScratchKey scratch("keys");
    const std::string deep = scratch.path() + "\\一\\二\\VMKT";
    WindowsRegistry reg;
    ASSERT_FALSE(keyExists(HKEY_CURRENT_USER, scratch.path()));
    ASSERT_TRUE(reg.writeText(RegRoot::CurrentUser, deep, "默认功能", "0"));
    EXPECT_TRUE(keyExists(HKEY_CURRENT_USER, deep));

    EXPECT_TRUE(reg.deleteValue(RegRoot::CurrentUser, deep, "默认功能"));
    EXPECT_EQ(rawValue(HKEY_CURRENT_USER, deep, "默认功能"), std::nullopt);
    EXPECT_FALSE(reg.deleteValue(RegRoot::CurrentUser, deep, "默认功能"));
    EXPECT_FALSE(reg.deleteValue(RegRoot::CurrentUser, deep + "\\missing", "x"));
    EXPECT_TRUE(keyExists(HKEY_CURRENT_USER, deep)); // the key stays

    EXPECT_FALSE(reg.deleteKey(RegRoot::CurrentUser, scratch.path() + "\\一")); // has subkeys
    EXPECT_TRUE(reg.deleteKey(RegRoot::CurrentUser, deep));
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, deep));
    EXPECT_FALSE(reg.deleteKey(RegRoot::CurrentUser, deep));
}

// The program itself on the real registry, with the headless clock, timers
// and boxes around it.
class ProgramOnRegistry : public ::testing::Test {
protected:
    // A program found at the given path.
    struct PlacedSystem : WindowsSystem {
        std::string path;
        std::string programPath() override { return path; }
    };

    void SetUp() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VMKT");
        deleteRunEntry();
    }
    void TearDown() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VMKT");
        deleteRunEntry();
    }
    static void deleteRunEntry() {
        HKEY k = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                          0, KEY_WRITE, &k) == ERROR_SUCCESS) {
            RegDeleteValueW(k, L"VMKT");
            RegCloseKey(k);
        }
    }
    static std::vector<std::string> valueNames(HKEY root, const std::string& key) {
        std::vector<std::string> names;
        HKEY k = nullptr;
        if (RegOpenKeyExW(root, toWide(key).c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS)
            return names;
        wchar_t name[256];
        for (DWORD i = 0;; ++i) {
            DWORD n = 256;
            if (RegEnumValueW(k, i, name, &n, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                break;
            names.push_back(toUtf8(std::wstring_view(name, n)));
        }
        RegCloseKey(k);
        return names;
    }

    // Starts the program as it would start at log-on.
    std::unique_ptr<Program> start(HeadlessPlatform& world, PlacedSystem& system) {
        Platform& h = world.platform();
        platform_ = std::make_unique<Platform>(
            Platform{h.clock, h.timers, h.ui, h.sound, registry_, system});
        auto program = std::make_unique<Program>(*platform_);
        world.attach(*program);
        program->start();
        world.settle();
        return program;
    }
    void choose(HeadlessPlatform& world, Program& program, const char* item) {
        world.choose(item);
        program.托盘图标1.userRightRelease();
        world.settle();
    }

    WindowsRegistry registry_;
    std::unique_ptr<Platform> platform_;
};

TEST_F(ProgramOnRegistry, FirstStartStoresOnlyTheModeAndSettingsSurviveARestart) {
    PlacedSystem system;
    system.path = "C:\\vmkt\\vmkt.exe";
    {
        HeadlessPlatform world;
        auto program = start(world, system);
        EXPECT_EQ(valueNames(HKEY_CURRENT_USER, "Software\\VMKT"),
                  std::vector<std::string>{"默认功能"});
        EXPECT_EQ(registry_.readText(RegRoot::CurrentUser, "Software\\VMKT", "默认功能"),
                  std::optional<std::string>("0"));
        EXPECT_FALSE(program->气泡提醒.checked());
        EXPECT_EQ(program->标签闹铃时长.caption(), "180");
        choose(world, *program, "气泡提醒");
        choose(world, *program, "无操作时长鸣");
        program->组合框1.userChoose(2);
        program->组合框声音.userChoose(6);
        world.settle();
    }
    HeadlessPlatform world;
    auto program = start(world, system);
    EXPECT_TRUE(program->气泡提醒.checked());
    EXPECT_TRUE(program->无操作时长鸣.checked());
    EXPECT_EQ(program->组合框1.selection(), 2);
    EXPECT_EQ(program->组合框声音.selection(), 6);
    choose(world, *program, "气泡提醒");
    EXPECT_EQ(rawValue(HKEY_CURRENT_USER, "Software\\VMKT", "气球提示"), std::nullopt);
}

// An unquoted path with spaces in a Run entry lets Windows start a program
// named by its first words; the entry is quoted then, and only then.
TEST_F(ProgramOnRegistry, AutostartEntryIsQuotedWhenThePathHoldsASpace) {
    const std::string runKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    struct Case {
        std::string path;
        std::string stored;
    };
    const Case cases[] = {
        {"C:\\Program Files\\Vemko 闹钟\\vmkt.exe", "\"C:\\Program Files\\Vemko 闹钟\\vmkt.exe\""},
        {"C:\\Vemko闹钟\\vmkt.exe", "C:\\Vemko闹钟\\vmkt.exe"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        PlacedSystem system;
        system.path = c.path;
        {
            HeadlessPlatform world;
            auto program = start(world, system);
            EXPECT_FALSE(program->随系统启动.checked());
            choose(world, *program, "随系统启动");
            EXPECT_TRUE(program->随系统启动.checked());
            const auto raw = rawValue(HKEY_LOCAL_MACHINE, runKey, "VMKT");
            ASSERT_TRUE(raw);
            EXPECT_EQ(raw->type, static_cast<DWORD>(REG_SZ));
            EXPECT_EQ(raw->data, storedForm(c.stored));
        }
        // At the next start the entry it wrote names the program.
        HeadlessPlatform world;
        auto program = start(world, system);
        EXPECT_TRUE(program->随系统启动.checked());
        choose(world, *program, "随系统启动");
        EXPECT_EQ(rawValue(HKEY_LOCAL_MACHINE, runKey, "VMKT"), std::nullopt);
    }

    // An entry written unquoted before still names the program, as it always
    // did; switching autostart off and on again writes the quoted form.
    PlacedSystem system;
    system.path = cases[0].path;
    putRaw(HKEY_LOCAL_MACHINE, runKey, "VMKT", REG_SZ, toWide(system.path).c_str(),
           static_cast<DWORD>((toWide(system.path).size() + 1) * sizeof(wchar_t)));
    HeadlessPlatform world;
    auto program = start(world, system);
    EXPECT_TRUE(program->随系统启动.checked());
    choose(world, *program, "随系统启动");
    EXPECT_EQ(rawValue(HKEY_LOCAL_MACHINE, runKey, "VMKT"), std::nullopt);
    choose(world, *program, "随系统启动");
    EXPECT_EQ(rawValue(HKEY_LOCAL_MACHINE, runKey, "VMKT")->data, storedForm(cases[0].stored));
}

} // namespace
} // namespace vmkt
