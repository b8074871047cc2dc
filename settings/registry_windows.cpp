#include "settings/registry_windows.h"

#include "app/utf16_windows.h"

#include <windows.h>

#include <vector>

namespace vmkt {

namespace {

HKEY rootKey(RegRoot root) {
    return root == RegRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

// Closes an open key when it goes out of scope.
class OpenKey {
public:
    OpenKey() = default;
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;
    ~OpenKey() {
        if (key_)
            RegCloseKey(key_);
    }
    HKEY* out() { return &key_; }
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

// The text up to the first NUL of a wide buffer.
std::wstring upToNul(const std::vector<wchar_t>& buffer) {
    std::size_t n = 0;
    while (n < buffer.size() && buffer[n] != L'\0')
        ++n;
    return std::wstring(buffer.data(), n);
}

std::optional<std::wstring> expand(const std::wstring& text) {
    const DWORD need = ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
    if (need == 0)
        return std::nullopt;
    std::vector<wchar_t> out(need + 1, L'\0');
    const DWORD got = ExpandEnvironmentStringsW(text.c_str(), out.data(), need + 1);
    if (got == 0 || got > need + 1)
        return std::nullopt;
    return upToNul(out);
}

} // namespace

std::optional<std::string> WindowsRegistry::readText(RegRoot root, const std::string& key,
                                                     const std::string& name) {
    OpenKey k;
    if (RegOpenKeyExW(rootKey(root), toWide(key).c_str(), 0, KEY_READ, k.out()) != ERROR_SUCCESS)
        return std::nullopt;
    const std::wstring wname = toWide(name);
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(k.get(), wname.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
    // Only string values count; one with no data at all reads as absent.
    if ((type != REG_SZ && type != REG_EXPAND_SZ) || size == 0)
        return std::nullopt;
    // Room for a terminating NUL that the stored data may lack.
    std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 2, L'\0');
    DWORD got = size;
    if (RegQueryValueExW(k.get(), wname.c_str(), nullptr, &type,
                         reinterpret_cast<BYTE*>(buffer.data()), &got) != ERROR_SUCCESS)
        return std::nullopt;
    std::wstring text = upToNul(buffer);
    if (type == REG_EXPAND_SZ) {
        const auto expanded = expand(text);
        if (!expanded)
            return std::nullopt;
        text = *expanded;
    } else if (type != REG_SZ) {
        return std::nullopt; // replaced by another type between the two queries
    }
    return toUtf8(text);
}

bool WindowsRegistry::writeText(RegRoot root, const std::string& key, const std::string& name,
                                const std::string& text) {
    const std::wstring wkey = toWide(key);
    OpenKey k;
    if (RegOpenKeyExW(rootKey(root), wkey.c_str(), 0, KEY_WRITE, k.out()) != ERROR_SUCCESS &&
        RegCreateKeyExW(rootKey(root), wkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                        nullptr, k.out(), nullptr) != ERROR_SUCCESS)
        return false;
    const std::wstring data = toWide(text);
    const DWORD bytes = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(k.get(), toWide(name).c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(data.c_str()), bytes) == ERROR_SUCCESS;
}

bool WindowsRegistry::deleteValue(RegRoot root, const std::string& key, const std::string& name) {
    OpenKey k;
    if (RegOpenKeyExW(rootKey(root), toWide(key).c_str(), 0, KEY_WRITE, k.out()) != ERROR_SUCCESS)
        return false;
    return RegDeleteValueW(k.get(), toWide(name).c_str()) == ERROR_SUCCESS;
}

bool WindowsRegistry::deleteKey(RegRoot root, const std::string& key) {
    return RegDeleteKeyW(rootKey(root), toWide(key).c_str()) == ERROR_SUCCESS;
}

} // namespace vmkt
