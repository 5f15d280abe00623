
#include <vector>

#include "platform/win32/scoped_handle.h"
#include "platform/win32/win32_platform.h"

#include <shlobj.h>

namespace zev::win32 {

Text Win32SystemInfo::ExecutablePath() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length < buffer.size()) return FromWide(buffer.data());
        buffer.resize(buffer.size() * 2);
    }
}

Text Win32SystemInfo::RawCommandLine() {
    return FromWide(GetCommandLineW());
}

Text Win32SystemInfo::TemporaryFolder() {
    wchar_t buffer[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
    if (length == 0 || length > MAX_PATH) return u"C:\\Windows\\Temp\\";
    std::vector<wchar_t> long_form(32768);
    const DWORD long_length = GetLongPathNameW(buffer, long_form.data(), static_cast<DWORD>(long_form.size()));
    const Text folder = (long_length && long_length < long_form.size()) ? FromWide(long_form.data()) : FromWide(buffer);
    return WithTrailingBackslash(folder);
}

OsVersion Win32SystemInfo::Version() {
    // RtlGetVersion reports the true version whatever the executable's manifest says.
    using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOW*);
    OsVersion version;
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    auto rtl_get_version =
        ntdll ? reinterpret_cast<RtlGetVersionFunction>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")))
              : nullptr;
    if (rtl_get_version && rtl_get_version(&info) == 0) {
        version.major = info.dwMajorVersion;
        version.minor = info.dwMinorVersion;
        version.build = info.dwBuildNumber;
        version.nt_family = info.dwPlatformId == VER_PLATFORM_WIN32_NT;
    }
    return version;
}

uint64_t Win32SystemInfo::TickCount() {
    return GetTickCount64();
}

bool Win32SystemInfo::IsAdministrator() {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return false;
    ScopedKernelHandle token(raw);
    TOKEN_ELEVATION elevation{};
    DWORD size = sizeof(elevation);
    if (GetTokenInformation(token.Get(), TokenElevation, &elevation, size, &size)) return elevation.TokenIsElevated != 0;
    return IsUserAnAdmin() != FALSE;
}

bool Win32SystemInfo::Is64BitWindows() {
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

Text Win32SystemInfo::CurrentDate() {
    wchar_t buffer[128];
    if (!GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, buffer, 128)) return Text();
    return FromWide(buffer);
}

Text Win32SystemInfo::CurrentTime() {
    wchar_t buffer[128];
    if (!GetTimeFormatW(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, buffer, 128)) return Text();
    return FromWide(buffer);
}

bool Win32SystemInfo::GlassAvailable() {
    const OsVersion version = Version();
    if (version.major < 6) return false;
    HMODULE dwm = LoadLibraryExW(L"dwmapi.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!dwm) return false;
    ScopedLibrary owner(dwm);
    using IsEnabledFunction = HRESULT(WINAPI*)(BOOL*);
    auto is_enabled =
        reinterpret_cast<IsEnabledFunction>(reinterpret_cast<void*>(GetProcAddress(dwm, "DwmIsCompositionEnabled")));
    BOOL enabled = FALSE;
    return is_enabled && SUCCEEDED(is_enabled(&enabled)) && enabled;
}

}  // namespace zev::win32

namespace zev::win32 {

namespace {

// Redirection is switched per thread; the guard restores it on the same thread.
class RedirectionGuard final : public ScopeGuard {
public:
    RedirectionGuard() {
        using DisableFunction = BOOL(WINAPI*)(PVOID*);
        HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
        auto disable = kernel ? reinterpret_cast<DisableFunction>(reinterpret_cast<void*>(
                                    GetProcAddress(kernel, "Wow64DisableWow64FsRedirection")))
                              : nullptr;
        suspended_ = disable && disable(&old_value_);
    }
    ~RedirectionGuard() override {
        if (!suspended_) return;
        using RevertFunction = BOOL(WINAPI*)(PVOID);
        HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
        auto revert = reinterpret_cast<RevertFunction>(
            reinterpret_cast<void*>(GetProcAddress(kernel, "Wow64RevertWow64FsRedirection")));
        if (revert) revert(old_value_);
    }

private:
    PVOID old_value_ = nullptr;
    bool suspended_ = false;
};

}  // namespace

uint32_t Win32SystemInfo::ProcessorCount() {
    SYSTEM_INFO info;
    GetNativeSystemInfo(&info);
    return info.dwNumberOfProcessors ? info.dwNumberOfProcessors : 1;
}

std::unique_ptr<ScopeGuard> Win32SystemInfo::SuspendFileSystemRedirection() {
    return std::make_unique<RedirectionGuard>();
}

}  // namespace zev::win32
