#include "settings/registry_linux.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QString>
#include <QStringDecoder>
#include <QStringList>
#include <QVariant>

#include <cstdlib>
#include <sys/file.h>
#include <unistd.h>
#include <utility>

namespace vmkt {

namespace {

constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kRunName = "VMKT";

bool equalsIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) {
            return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
        };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

bool isAutostart(RegRoot root, const std::string& key, const std::string& name) {
    return root == RegRoot::LocalMachine && equalsIgnoringCase(key, kRunKey) &&
           equalsIgnoringCase(name, kRunName);
}

std::string userDirFromEnvironment() {
    // Relative paths in the XDG variables are to be ignored.
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    if (configHome != nullptr && configHome[0] == '/') {
        return configHome;
    }
    const char* home = std::getenv("HOME");
    const std::string base =
        home != nullptr && home[0] != '\0' ? std::string(home) : QDir::homePath().toStdString();
    return base + "/.config";
}

std::string machineDirFromEnvironment() {
    const char* dirs = std::getenv("XDG_CONFIG_DIRS");
    if (dirs != nullptr) {
        for (const QString& dir : QString::fromLocal8Bit(dirs).split(':')) {
            if (dir.startsWith('/')) {
                return dir.toStdString();
            }
        }
    }
    return "/etc/xdg";
}

// The QSettings path of a value: the key's parts as nested groups, then the
// name. Nothing for what QSettings cannot hold: empty parts or names, and
// slashes, its own group separator.
std::optional<QString> settingsKey(const std::string& key, const std::string& name) {
    const QString k = QString::fromStdString(key);
    const QString n = QString::fromStdString(name);
    if (n.isEmpty() || n.contains('/') || k.contains('/')) {
        return std::nullopt;
    }
    if (k.isEmpty()) {
        return n;
    }
    const QStringList parts = k.split('\\');
    for (const QString& part : parts) {
        if (part.isEmpty()) {
            return std::nullopt;
        }
    }
    return parts.join('/') + '/' + n;
}

std::optional<QString> settingsGroup(const std::string& key) {
    auto path = settingsKey(key, "_");
    if (!path || key.empty()) {
        return std::nullopt;
    }
    path->chop(2);
    return path;
}

// QLockFile takes a lock file that does not name its owner for a live lock
// for half a minute. A writer killed between creating the lock file and
// filling it in leaves just that; remove it when no process holds it.
void removeEmptyStaleLock(const QString& iniPath) {
    QFile lock(iniPath + ".lock");
    if (!lock.open(QIODevice::ReadOnly) || lock.size() != 0) {
        return;
    }
    if (flock(lock.handle(), LOCK_EX | LOCK_NB) == 0) {
        QFile::remove(lock.fileName());
    }
}

// Whether the INI file can be trusted: QSettings parses it without complaint
// and it is text, valid UTF-8 without NUL characters (the INI parser takes
// almost anything; a damaged file is seldom valid text).
bool readable(const QString& filePath, const QSettings& settings) {
    if (settings.status() != QSettings::NoError) {
        return false;
    }
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray bytes = file.readAll();
    auto decoder = QStringDecoder(QStringDecoder::Utf8);
    const QString text = decoder(bytes);
    return !decoder.hasError() && !bytes.contains('\0');
}

// Whether a change of the file can be saved: its folder takes the lock file
// and the new file, and the file itself (when there is one) can be written.
// QSettings keeps a change that it could not save and then fails every later
// access to the file in this process, reads included; so a change that
// cannot be saved is not made at all.
bool writable(const QString& filePath) {
    const QFileInfo info(filePath);
    const QByteArray dir = QFile::encodeName(info.absolutePath());
    const QByteArray file = QFile::encodeName(info.absoluteFilePath());
    return access(dir.constData(), W_OK) == 0 &&
           (!info.exists() || access(file.constData(), W_OK) == 0);
}

bool ensureDirectory(const QString& filePath) {
    return QDir().mkpath(QFileInfo(filePath).absolutePath());
}

// The string-type escapes of desktop entry values.
std::string escapeValue(const std::string& s) {
    std::string out;
    for (char c : s) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string unescapeValue(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 == s.size()) {
            out += s[i];
            continue;
        }
        switch (s[++i]) {
        case 's':
            out += ' ';
            break;
        case 'n':
            out += '\n';
            break;
        case 't':
            out += '\t';
            break;
        case 'r':
            out += '\r';
            break;
        case '\\':
            out += '\\';
            break;
        default:
            out += '\\';
            out += s[i];
        }
    }
    return out;
}

std::string desktopEntry(const std::string& programPath) {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Vemko闹钟\n"
           "Exec=" +
           LinuxRegistry::execFromPath(programPath) +
           "\n"
           "Icon=vmkt\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

// The Exec value of the [Desktop Entry] group, still escaped.
std::optional<std::string> execOf(const QByteArray& contents) {
    bool inEntry = false;
    for (const QByteArray& rawLine : contents.split('\n')) {
        const QByteArray line = rawLine.endsWith('\r') ? rawLine.chopped(1) : rawLine;
        if (line.startsWith('[')) {
            inEntry = line == "[Desktop Entry]";
            continue;
        }
        if (!inEntry) {
            continue;
        }
        const qsizetype eq = line.indexOf('=');
        if (eq > 0 && line.left(eq).trimmed() == "Exec") {
            // Whitespace around the separator is not part of the value.
            QByteArray value = line.mid(eq + 1);
            while (!value.isEmpty() && (value.front() == ' ' || value.front() == '\t')) {
                value.remove(0, 1);
            }
            return value.toStdString();
        }
    }
    return std::nullopt;
}

} // namespace

LinuxRegistry::LinuxRegistry() : LinuxRegistry({}, {}) {}

LinuxRegistry::LinuxRegistry(std::string userConfigDir, std::string machineConfigDir)
    : userDir_(userConfigDir.empty() ? userDirFromEnvironment() : std::move(userConfigDir)),
      machineDir_(machineConfigDir.empty() ? machineDirFromEnvironment()
                                           : std::move(machineConfigDir)) {}

std::string LinuxRegistry::iniPath(RegRoot root) const {
    return (root == RegRoot::CurrentUser ? userDir_ : machineDir_) + "/VMKT/VMKT.ini";
}

std::string LinuxRegistry::autostartPath() const {
    return machineDir_ + "/autostart/vmkt.desktop";
}

std::string LinuxRegistry::execFromPath(const std::string& path) {
    static constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";
    const bool quote = path.empty() || path.find_first_of(kReserved) != std::string::npos;
    std::string arg;
    if (quote) {
        arg += '"';
    }
    for (char c : path) {
        if (quote && (c == '"' || c == '`' || c == '$' || c == '\\')) {
            arg += '\\';
        }
        arg += c;
        if (c == '%') {
            arg += '%';
        }
    }
    if (quote) {
        arg += '"';
    }
    return escapeValue(arg);
}

std::optional<std::string> LinuxRegistry::pathFromExec(const std::string& exec) {
    const std::string value = unescapeValue(exec);
    std::size_t i = value.find_first_not_of(" \t");
    if (i == std::string::npos) {
        return std::nullopt;
    }
    std::string arg;
    if (value[i] == '"') {
        for (++i;; ++i) {
            if (i >= value.size()) {
                return std::nullopt; // no closing quote
            }
            if (value[i] == '"') {
                break;
            }
            if (value[i] == '\\' && i + 1 < value.size()) {
                ++i;
            }
            arg += value[i];
        }
    } else {
        const std::size_t end = value.find_first_of(" \t\n", i);
        arg = value.substr(i, end == std::string::npos ? std::string::npos : end - i);
    }
    std::string path;
    for (std::size_t j = 0; j < arg.size(); ++j) {
        path += arg[j];
        if (arg[j] == '%' && j + 1 < arg.size() && arg[j + 1] == '%') {
            ++j;
        }
    }
    return path;
}

std::optional<std::string> LinuxRegistry::readText(RegRoot root, const std::string& key,
                                                   const std::string& name) {
    if (isAutostart(root, key, name)) {
        QFile file(QString::fromStdString(autostartPath()));
        if (!file.open(QIODevice::ReadOnly)) {
            return std::nullopt;
        }
        const auto exec = execOf(file.readAll());
        return exec ? pathFromExec(*exec) : std::nullopt;
    }
    const auto path = settingsKey(key, name);
    const QString file = QString::fromStdString(iniPath(root));
    if (!path || !QFileInfo(file).isFile()) {
        return std::nullopt;
    }
    const QSettings settings(file, QSettings::IniFormat);
    if (!readable(file, settings)) {
        return std::nullopt; // unreadable or corrupt: as if empty
    }
    // The store writes only strings; a list, a byte array or any other
    // variant found in the file is no text.
    const QVariant value = settings.value(*path);
    if (value.typeId() != QMetaType::QString) {
        return std::nullopt;
    }
    return value.toString().toStdString();
}

bool LinuxRegistry::writeText(RegRoot root, const std::string& key, const std::string& name,
                              const std::string& text) {
    if (isAutostart(root, key, name)) {
        const QString file = QString::fromStdString(autostartPath());
        if (!ensureDirectory(file)) {
            return false;
        }
        QSaveFile out(file);
        if (!out.open(QIODevice::WriteOnly)) {
            return false;
        }
        const std::string entry = desktopEntry(text);
        out.write(entry.data(), static_cast<qint64>(entry.size()));
        return out.commit();
    }
    const auto path = settingsKey(key, name);
    const QString file = QString::fromStdString(iniPath(root));
    if (!path || !ensureDirectory(file) || !writable(file)) {
        return false;
    }
    removeEmptyStaleLock(file);
    if (QFileInfo(file).isFile() && !readable(file, QSettings(file, QSettings::IniFormat))) {
        // A corrupt file reads as empty: start again from an empty one.
        QSaveFile empty(file);
        if (!empty.open(QIODevice::WriteOnly) || !empty.commit()) {
            return false;
        }
    }
    QSettings settings(file, QSettings::IniFormat);
    settings.setValue(*path, QString::fromStdString(text));
    settings.sync();
    return settings.status() == QSettings::NoError;
}

bool LinuxRegistry::deleteValue(RegRoot root, const std::string& key, const std::string& name) {
    if (isAutostart(root, key, name)) {
        return QFile::remove(QString::fromStdString(autostartPath()));
    }
    const auto path = settingsKey(key, name);
    const QString file = QString::fromStdString(iniPath(root));
    if (!path || !QFileInfo(file).isFile() || !writable(file)) {
        return false;
    }
    removeEmptyStaleLock(file);
    QSettings settings(file, QSettings::IniFormat);
    if (!readable(file, settings) || !settings.contains(*path)) {
        return false;
    }
    // QSettings removes a key's subkeys with it: a key of the same name as the
    // value is put back.
    settings.beginGroup(*path);
    QList<std::pair<QString, QVariant>> keep;
    for (const QString& child : settings.allKeys()) {
        keep.append({child, settings.value(child)});
    }
    settings.endGroup();
    settings.remove(*path);
    for (const auto& [child, value] : keep) {
        settings.setValue(*path + '/' + child, value);
    }
    settings.sync();
    return settings.status() == QSettings::NoError;
}

bool LinuxRegistry::deleteKey(RegRoot root, const std::string& key) {
    const auto group = settingsGroup(key);
    const QString file = QString::fromStdString(iniPath(root));
    if (!group || !QFileInfo(file).isFile() || !writable(file)) {
        return false;
    }
    removeEmptyStaleLock(file);
    QSettings settings(file, QSettings::IniFormat);
    if (!readable(file, settings)) {
        return false;
    }
    settings.beginGroup(*group);
    // A key holding subkeys stays; a key without values does not exist in
    // the file.
    if (!settings.childGroups().isEmpty() || settings.childKeys().isEmpty()) {
        return false;
    }
    settings.remove(QString());
    settings.endGroup();
    settings.sync();
    return settings.status() == QSettings::NoError;
}

} // namespace vmkt
