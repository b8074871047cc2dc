// LinuxRegistry on a fuzzed settings file and a fuzzed autostart entry.
//
// The input is the INI file, then optionally a line "%%vmkt.desktop%%" and
// the autostart entry, then optionally a line "%%write%%" and the text to
// write. Each input gets a fresh XDG tree. Every value the program uses and every key the file
// holds is read; then one value is written, read back and deleted, and the program's path is
// written to the autostart entry and read back. The writes must succeed and leave every other value
// as it was (a file the store cannot read reads as empty before and after).
#include "app/program.h"
#include "fuzz/fuzz_support.h"
#include "settings/registry_linux.h"

#include <QDir>
#include <QSettings>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <tuple>
#include <vector>

namespace {

using namespace vmkt;

struct Name {
    RegRoot root;
    std::string key, name;
    auto operator<=>(const Name&) const = default;
};

Name split(RegRoot root, std::string_view path) {
    const std::size_t at = path.rfind('\\');
    if (at == std::string_view::npos)
        return {root, {}, std::string(path)};
    return {root, std::string(path.substr(0, at)), std::string(path.substr(at + 1))};
}

std::map<Name, std::optional<std::string>> readAll(LinuxRegistry& reg,
                                                   const std::vector<Name>& names) {
    std::map<Name, std::optional<std::string>> values;
    for (const Name& n : names)
        values[n] = reg.readText(n.root, n.key, n.name);
    return values;
}

void checkOthersKept(const std::map<Name, std::optional<std::string>>& before,
                     const std::map<Name, std::optional<std::string>>& after, const Name& changed) {
    for (const auto& [name, value] : before) {
        if (name == changed)
            continue;
        if (after.at(name) != value) {
            std::fprintf(stderr, "value %s\\%s changed\n", name.key.c_str(), name.name.c_str());
            FUZZ_CHECK(after.at(name) == value);
        }
    }
}

// QSettings keeps what it parsed while a file keeps its size and time, and
// times are compared to the millisecond: each file written here gets a time
// of its own, a second after the one before.
void writeFile(const std::string& path, std::string_view bytes) {
    static long stamp = 1000000000;
    FUZZ_CHECK(QDir().mkpath(QString::fromStdString(path.substr(0, path.rfind('/')))));
    {
        std::ofstream out(path, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        FUZZ_CHECK(out.good());
    }
    const timespec times[2] = {{++stamp, 0}, {stamp, 0}};
    FUZZ_CHECK(utimensat(AT_FDCWD, path.c_str(), times, 0) == 0);
}

std::string base;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/vmkt-fuzz-XXXXXX";
    FUZZ_CHECK(mkdtemp(pattern.data()) != nullptr);
    base = pattern;
    std::atexit([] { QDir(QString::fromStdString(base)).removeRecursively(); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view ini(reinterpret_cast<const char*>(data), size);
    std::string_view desktop;
    std::string text = "1";
    bool hasDesktop = false;
    if (const std::size_t at = ini.find("%%write%%\n"); at != std::string_view::npos) {
        text = ini.substr(at + 10);
        ini = ini.substr(0, at);
    }
    if (const std::size_t at = ini.find("%%vmkt.desktop%%\n"); at != std::string_view::npos) {
        desktop = ini.substr(at + 17);
        ini = ini.substr(0, at);
        hasDesktop = true;
    }

    const std::string dir = base + "/tree";
    QDir(QString::fromStdString(dir)).removeRecursively();
    setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
    setenv("XDG_CONFIG_DIRS", ("relative/xdg:" + dir + "/xdg:/etc/xdg").c_str(), 1);
    LinuxRegistry reg;
    const std::string iniPath = reg.iniPath(RegRoot::CurrentUser);
    FUZZ_CHECK(iniPath == dir + "/config/VMKT/VMKT.ini");
    FUZZ_CHECK(reg.autostartPath() == dir + "/xdg/autostart/vmkt.desktop");
    writeFile(iniPath, ini);
    if (hasDesktop)
        writeFile(reg.autostartPath(), desktop);

    // The program's values, then every key the file holds.
    std::vector<Name> names;
    for (const char* path : {k气球提示, k长鸣, k闹铃时长, k默认功能, k默认事件})
        names.push_back(split(RegRoot::CurrentUser, path));
    const Name autostart = split(RegRoot::LocalMachine, kRunPath);
    names.push_back(autostart);
    std::vector<Name> fileNames;
    {
        const QSettings file(QString::fromStdString(iniPath), QSettings::IniFormat);
        for (const QString& key : file.allKeys()) {
            QString path = key;
            path.replace('/', '\\');
            fileNames.push_back(split(RegRoot::CurrentUser, path.toStdString()));
        }
    }
    names.insert(names.end(), fileNames.begin(), fileNames.end());
    auto before = readAll(reg, names);

    // One value written: a key of the file when the text asks for one and the
    // store can hold it, else the program's own.
    Name target = split(RegRoot::CurrentUser, k默认功能);
    if (!text.empty() && (text[0] & 1) && !fileNames.empty()) {
        const Name& candidate = fileNames[text.size() % fileNames.size()];
        const std::string& key = candidate.key;
        // The store takes no empty names or key parts.
        if (!candidate.name.empty() && (key.empty() || (key.front() != '\\' && key.back() != '\\' &&
                                                        key.find("\\\\") == std::string::npos)))
            target = candidate;
    }
    FUZZ_CHECK(reg.writeText(target.root, target.key, target.name, text));
    // The INI file holds texts as Qt strings: bytes that are not UTF-8 come
    // back as U+FFFD.
    const std::string stored = QString::fromStdString(text).toStdString();
    FUZZ_CHECK(reg.readText(target.root, target.key, target.name) == stored);
    auto after = readAll(reg, names);
    checkOthersKept(before, after, target);

    FUZZ_CHECK(reg.deleteValue(target.root, target.key, target.name));
    FUZZ_CHECK(reg.readText(target.root, target.key, target.name) == std::nullopt);
    after = readAll(reg, names);
    checkOthersKept(before, after, target);
    before[target] = std::nullopt;

    // The autostart entry holds any path, byte for byte.
    FUZZ_CHECK(reg.writeText(autostart.root, autostart.key, autostart.name, text));
    FUZZ_CHECK(reg.readText(autostart.root, autostart.key, autostart.name) == text);
    after = readAll(reg, names);
    checkOthersKept(before, after, autostart);
    return 0;
}
