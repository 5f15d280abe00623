// Path forms, temporary files and the process environment.
#include <memory>
#include <vector>

#include "platform/win32/scoped_handle.h"
#include "platform/win32/win32_platform.h"

namespace zev::win32 {

namespace {

// Room for the longest expansion the engine accepts in one step; the buffer grows when
// the system asks for more.
constexpr DWORD kEnvironmentBuffer = 266240;

// Calls a system function of the "fill this buffer, or tell how much room you need"
// kind until the text fits; nothing when the function fails.
template <typename Call>
std::optional<Text> GrowingBuffer(DWORD initial, Call&& call) {
    std::vector<wchar_t> buffer(initial);
    for (;;) {
        const DWORD length = call(buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return std::nullopt;
        if (length < buffer.size()) return FromWide(buffer.data());
        buffer.resize(static_cast<size_t>(length) + 1);
    }
}

struct EnvironmentBlockDeleter {
    void operator()(wchar_t* block) const { FreeEnvironmentStringsW(block); }
};

}  // namespace

std::optional<Text> Win32FileSystem::FullPathName(TextView path) {
    if (path.empty()) return std::nullopt;
    const Text text(path);
    return GrowingBuffer(MAX_PATH, [&](wchar_t* buffer, DWORD size) {
        return GetFullPathNameW(Wide(text), size, buffer, nullptr);
    });
}

std::optional<Text> Win32FileSystem::ShortPathName(TextView path) {
    if (path.empty()) return std::nullopt;
    const Text text(path);
    return GrowingBuffer(MAX_PATH, [&](wchar_t* buffer, DWORD size) {
        return GetShortPathNameW(Wide(text), buffer, size);
    });
}

std::optional<Text> Win32FileSystem::DirectoryEntryName(TextView path) {
    Text text(path);
    while (text.size() > 3 && text.back() == u'\\') text.pop_back();
    // A search pattern would match other entries than the one named.
    const size_t names_start = text.starts_with(u"\\\\?\\") ? 4 : 0;
    if (text.find_first_of(u"*?", names_start) != Text::npos) return std::nullopt;
    WIN32_FIND_DATAW data{};
    ScopedFind search(FindFirstFileW(Wide(text), &data));
    if (!search) return std::nullopt;
    return FromWide(data.cFileName);
}

std::optional<Text> Win32FileSystem::CreateTemporaryFile(TextView folder, TextView prefix) {
    const Text folder_text(folder);
    const Text prefix_text(prefix);
    wchar_t buffer[MAX_PATH + 1] = {};
    if (!GetTempFileNameW(Wide(folder_text), Wide(prefix_text), 0, buffer)) return std::nullopt;
    return FromWide(buffer);
}

Text Win32SystemInfo::ExpandEnvironmentText(TextView text) {
    const Text source(text);
    return GrowingBuffer(kEnvironmentBuffer,
                         [&](wchar_t* buffer, DWORD size) {
                             // The count includes the terminating zero: fits when count <= size.
                             const DWORD count = ExpandEnvironmentStringsW(Wide(source), buffer, size);
                             return count == 0 ? 0 : (count <= size ? count - 1 : count);
                         })
        .value_or(source);
}

std::vector<Text> Win32SystemInfo::EnvironmentEntries() {
    std::vector<Text> entries;
    std::unique_ptr<wchar_t, EnvironmentBlockDeleter> block(GetEnvironmentStringsW());
    if (!block) return entries;
    for (const wchar_t* entry = block.get(); *entry != L'\0';) {
        const Text text = FromWide(entry);
        entries.push_back(text);
        entry += text.size() + 1;
    }
    return entries;
}

}  // namespace zev::win32
