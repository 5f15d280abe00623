// Reading files in place: byte ranges, wildcard searches, volume figures and INI values.
#include <algorithm>
#include <vector>

#include "platform/win32/scoped_handle.h"
#include "platform/win32/win32_platform.h"

namespace zev::win32 {

std::optional<std::string> Win32FileSystem::ReadFileRange(TextView path, uint64_t offset, size_t length) {
    ScopedFile file(CreateFileW(Wide(Text(path)), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return std::nullopt;
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(file.Get(), position, nullptr, FILE_BEGIN)) return std::nullopt;
    std::string bytes(length, '\0');
    size_t done = 0;
    while (done < length) {
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(std::min<size_t>(length - done, 1u << 24));
        if (!ReadFile(file.Get(), bytes.data() + done, want, &got, nullptr)) return std::nullopt;
        if (got == 0) break;
        done += got;
    }
    bytes.resize(done);
    return bytes;
}

std::vector<FileSystem::FoundEntry> Win32FileSystem::FindEntries(TextView pattern) {
    std::vector<FoundEntry> found;
    WIN32_FIND_DATAW data;
    ScopedFind find(FindFirstFileW(Wide(Text(pattern)), &data));
    if (!find) return found;
    do {
        const Text name = FromWide(data.cFileName);
        if (name == u"." || name == u"..") continue;
        found.push_back({name, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                         (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0});
    } while (FindNextFileW(find.Get(), &data));
    return found;
}

std::optional<FileSystem::VolumeSpace> Win32FileSystem::QueryVolumeSpace(TextView path) {
    ULARGE_INTEGER free_to_caller, total, free_total;
    if (!GetDiskFreeSpaceExW(Wide(WithTrailingBackslash(path)), &free_to_caller, &total, &free_total))
        return std::nullopt;
    return VolumeSpace{static_cast<int64_t>(free_to_caller.QuadPart), static_cast<int64_t>(total.QuadPart)};
}

Text Win32FileSystem::ReadProfileString(TextView file, TextView section, TextView key, size_t buffer_characters) {
    if (buffer_characters == 0) return Text();
    std::vector<wchar_t> buffer(buffer_characters, L'\0');
    const DWORD length = GetPrivateProfileStringW(Wide(Text(section)), Wide(Text(key)), L"", buffer.data(),
                                                  static_cast<DWORD>(buffer_characters), Wide(Text(file)));
    return Text(reinterpret_cast<const char16_t*>(buffer.data()), length);
}

}  // namespace zev::win32
