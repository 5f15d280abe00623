#include "platform/win32/scoped_handle.h"
#include "platform/win32/win32_platform.h"

namespace zev::win32 {

namespace {

HKEY RootKey(RegistryRoot root) {
    switch (root) {
        case RegistryRoot::ClassesRoot: return HKEY_CLASSES_ROOT;
        case RegistryRoot::CurrentUser: return HKEY_CURRENT_USER;
        case RegistryRoot::LocalMachine: return HKEY_LOCAL_MACHINE;
        case RegistryRoot::Users: return HKEY_USERS;
    }
    return HKEY_CURRENT_USER;
}

PlatformStatus Status(LONG code) {
    if (code == ERROR_SUCCESS) return PlatformStatus::Success();
    return {static_cast<uint32_t>(code), SystemErrorText(static_cast<DWORD>(code))};
}

PlatformStatus WriteValue(RegistryRoot root, TextView key, TextView name, DWORD type, const void* data, DWORD size) {
    HKEY raw = nullptr;
    LONG code = RegCreateKeyExW(RootKey(root), Wide(Text(key)), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &raw, nullptr);
    if (code != ERROR_SUCCESS) return Status(code);
    ScopedKey opened(raw);
    return Status(RegSetValueExW(opened.Get(), Wide(Text(name)), 0, type, static_cast<const BYTE*>(data), size));
}

ScopedKey OpenForRead(RegistryRoot root, TextView key, bool wow64_64) {
    HKEY raw = nullptr;
    const REGSAM access = KEY_QUERY_VALUE | (wow64_64 ? KEY_WOW64_64KEY : 0);
    if (RegOpenKeyExW(RootKey(root), Wide(Text(key)), 0, access, &raw) != ERROR_SUCCESS) return ScopedKey();
    return ScopedKey(raw);
}

}  // namespace

PlatformStatus Win32Registry::WriteString(RegistryRoot root, TextView key, TextView name, TextView value) {
    const Text data(value);
    return WriteValue(root, key, name, REG_SZ, data.c_str(), static_cast<DWORD>((data.size() + 1) * sizeof(char16_t)));
}

PlatformStatus Win32Registry::WriteDword(RegistryRoot root, TextView key, TextView name, uint32_t value) {
    const DWORD data = value;
    return WriteValue(root, key, name, REG_DWORD, &data, sizeof(data));
}

std::optional<Text> Win32Registry::ReadString(RegistryRoot root, TextView key, TextView name) {
    ScopedKey opened = OpenForRead(root, key, root == RegistryRoot::LocalMachine);
    if (!opened) return std::nullopt;
    DWORD type = 0;
    DWORD size = 0;
    const Text value_name(name);
    if (RegQueryValueExW(opened.Get(), Wide(value_name), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return std::nullopt;
    Text data(size / sizeof(char16_t) + 1, u'\0');
    if (RegQueryValueExW(opened.Get(), Wide(value_name), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    data.resize(size / sizeof(char16_t));
    while (!data.empty() && data.back() == u'\0') data.pop_back();
    return data;
}

std::optional<uint32_t> Win32Registry::ReadDword(RegistryRoot root, TextView key, TextView name) {
    ScopedKey opened = OpenForRead(root, key, false);
    if (!opened) return std::nullopt;
    DWORD type = 0;
    DWORD data = 0;
    DWORD size = sizeof(data);
    if (RegQueryValueExW(opened.Get(), Wide(Text(name)), nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD)
        return std::nullopt;
    return data;
}

}  // namespace zev::win32
