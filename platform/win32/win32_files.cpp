
#include <vector>

#include "platform/win32/scoped_handle.h"
#include "platform/win32/win32_platform.h"

#include <sddl.h>
#include <winioctl.h>

namespace zev::win32 {

Text SystemErrorText(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
        0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    ScopedLocal owner(buffer);
    Text text = length ? FromWide(buffer) : u"System error " + FromInt(code);
    while (!text.empty() && (text.back() == u'\n' || text.back() == u'\r' || text.back() == u' ')) text.pop_back();
    return text;
}

PlatformStatus LastErrorStatus() {
    const DWORD code = GetLastError();
    return {code ? code : ERROR_GEN_FAILURE, SystemErrorText(code)};
}

namespace {

Text WithoutTrailingBackslash(TextView path) {
    Text out(path);
    while (out.size() > 3 && (out.back() == u'\\' || out.back() == u'/')) out.pop_back();
    return out;
}

// The attributes of what the path names; a link is followed to its target, and a link
// whose target is gone counts as nothing.
DWORD Attributes(TextView path) {
    const Text text = WithoutTrailingBackslash(path);
    const DWORD attributes = GetFileAttributesW(Wide(text));
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return attributes;
    ScopedFile target(CreateFileW(Wide(text), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION information{};
    if (!target || !GetFileInformationByHandle(target.Get(), &information)) return INVALID_FILE_ATTRIBUTES;
    return information.dwFileAttributes;
}

ScopedFile OpenForRead(TextView path) {
    return ScopedFile(CreateFileW(Wide(Text(path)), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

PlatformStatus WriteAll(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size(), 1u << 24));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data(), chunk, &written, nullptr)) return LastErrorStatus();
        bytes.remove_prefix(written);
    }
    return PlatformStatus::Success();
}

std::optional<std::string> ReadFrom(HANDLE file, uint64_t offset) {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size)) return std::nullopt;
    if (offset > static_cast<uint64_t>(size.QuadPart)) return std::string();
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(file, position, nullptr, FILE_BEGIN)) return std::nullopt;
    std::string bytes(static_cast<size_t>(size.QuadPart - offset), '\0');
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 24));
        if (!ReadFile(file, bytes.data() + done, want, &got, nullptr)) return std::nullopt;
        if (got == 0) break;
        done += got;
    }
    bytes.resize(done);
    return bytes;
}

// A security descriptor whose access list grants the current user alone, inherited by
// everything created inside.
ScopedLocal CurrentUserOnlyDescriptor() {
    HANDLE raw_token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw_token)) return ScopedLocal();
    ScopedKernelHandle token(raw_token);
    DWORD needed = 0;
    GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &needed);
    std::vector<unsigned char> buffer(needed);
    if (!GetTokenInformation(token.Get(), TokenUser, buffer.data(), needed, &needed)) return ScopedLocal();
    wchar_t* sid_text = nullptr;
    if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &sid_text))
        return ScopedLocal();
    ScopedLocal sid_owner(sid_text);
    const std::wstring sddl = L"D:P(A;OICI;FA;;;" + std::wstring(sid_text) + L")";
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
        return ScopedLocal();
    return ScopedLocal(descriptor);
}

}  // namespace

bool Win32FileSystem::FileExists(TextView path) {
    const DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Win32FileSystem::FolderExists(TextView path) {
    const DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

PlatformStatus Win32FileSystem::CreateFolder(TextView path) {
    if (!CreateDirectoryW(Wide(WithoutTrailingBackslash(path)), nullptr)) return LastErrorStatus();
    return PlatformStatus::Success();
}

PlatformStatus Win32FileSystem::CreatePrivateFolder(TextView path) {
    ScopedLocal descriptor = CurrentUserOnlyDescriptor();
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor.Get(), FALSE};
    if (!CreateDirectoryW(Wide(WithoutTrailingBackslash(path)), descriptor ? &attributes : nullptr))
        return LastErrorStatus();
    return PlatformStatus::Success();
}

PlatformStatus Win32FileSystem::CreateFolderTree(TextView path) {
    const Text folder = WithoutTrailingBackslash(path);
    if (folder.empty() || FolderExists(folder)) return PlatformStatus::Success();
    const size_t slash = folder.find_last_of(u"\\/");
    if (slash != Text::npos && slash > 2) {
        if (PlatformStatus parent = CreateFolderTree(folder.substr(0, slash)); !parent.ok()) return parent;
    }
    if (!CreateDirectoryW(Wide(folder), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return LastErrorStatus();
    return PlatformStatus::Success();
}

std::optional<std::string> Win32FileSystem::ReadWholeFile(TextView path) {
    ScopedFile file = OpenForRead(path);
    if (!file) return std::nullopt;
    return ReadFrom(file.Get(), 0);
}

std::optional<uint64_t> Win32FileSystem::FileSize(TextView path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(Wide(Text(path)), GetFileExInfoStandard, &data)) return std::nullopt;
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::optional<std::string> Win32FileSystem::ReadFileTail(TextView path, uint64_t offset) {
    ScopedFile file = OpenForRead(path);
    if (!file) return std::nullopt;
    return ReadFrom(file.Get(), offset);
}

PlatformStatus Win32FileSystem::WriteWholeFile(TextView path, std::string_view bytes) {
    ScopedFile file(CreateFileW(Wide(Text(path)), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return LastErrorStatus();
    return WriteAll(file.Get(), bytes);
}

PlatformStatus Win32FileSystem::AppendToFile(TextView path, std::string_view bytes) {
    ScopedFile file(CreateFileW(Wide(Text(path)), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return LastErrorStatus();
    return WriteAll(file.Get(), bytes);
}

PlatformStatus Win32FileSystem::CopyFile(TextView from, TextView to, bool overwrite) {
    if (!::CopyFileW(Wide(Text(from)), Wide(Text(to)), overwrite ? FALSE : TRUE)) return LastErrorStatus();
    return PlatformStatus::Success();
}

PlatformStatus Win32FileSystem::SetNormalAttributes(TextView path) {
    if (!SetFileAttributesW(Wide(Text(path)), FILE_ATTRIBUTE_NORMAL)) return LastErrorStatus();
    return PlatformStatus::Success();
}

PlatformStatus Win32FileSystem::DeleteFile(TextView path) {
    SetFileAttributesW(Wide(Text(path)), FILE_ATTRIBUTE_NORMAL);
    if (!::DeleteFileW(Wide(Text(path)))) return LastErrorStatus();
    return PlatformStatus::Success();
}

PlatformStatus Win32FileSystem::DeleteFolderContents(TextView path) {
    const Text folder = WithTrailingBackslash(path);
    WIN32_FIND_DATAW data;
    ScopedFind find(FindFirstFileW(Wide(folder + u"*"), &data));
    if (!find) return LastErrorStatus();
    PlatformStatus result;
    do {
        const Text name = FromWide(data.cFileName);
        if (name == u"." || name == u"..") continue;
        const Text child = folder + name;
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            DeleteFolderContents(child);
            if (PlatformStatus status = RemoveEmptyFolder(child); !status.ok()) result = status;
        } else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            // A junction or link: remove the link itself, never what it points to.
            SetFileAttributesW(Wide(child), FILE_ATTRIBUTE_NORMAL);
            if (!RemoveDirectoryW(Wide(child))) result = LastErrorStatus();
        } else if (PlatformStatus status = DeleteFile(child); !status.ok()) {
            result = status;
        }
    } while (FindNextFileW(find.Get(), &data));
    return result;
}

PlatformStatus Win32FileSystem::RemoveEmptyFolder(TextView path) {
    const Text folder = WithoutTrailingBackslash(path);
    SetFileAttributesW(Wide(folder), FILE_ATTRIBUTE_NORMAL);
    if (!RemoveDirectoryW(Wide(folder))) return LastErrorStatus();
    return PlatformStatus::Success();
}

std::optional<std::vector<FileSystem::FolderEntry>> Win32FileSystem::ListFolder(TextView folder) {
    WIN32_FIND_DATAW data;
    ScopedFind find(FindFirstFileW(Wide(WithTrailingBackslash(folder) + u"*"), &data));
    if (!find) return std::nullopt;
    std::vector<FolderEntry> entries;
    do {
        Text name = FromWide(data.cFileName);
        if (name == u"." || name == u"..") continue;
        entries.push_back({std::move(name), (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
    } while (FindNextFileW(find.Get(), &data));
    return entries;
}

PlatformStatus Win32FileSystem::MoveFile(TextView from, TextView to) {
    if (!::MoveFileExW(Wide(Text(from)), Wide(Text(to)), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED))
        return LastErrorStatus();
    return PlatformStatus::Success();
}

PlatformStatus Win32FileSystem::CreateHardLink(TextView existing, TextView link) {
    if (!::CreateHardLinkW(Wide(Text(link)), Wide(Text(existing)), nullptr)) return LastErrorStatus();
    return PlatformStatus::Success();
}

PlatformStatus Win32FileSystem::SetCompressed(TextView path) {
    const Text text = WithoutTrailingBackslash(path);
    ScopedFile file(CreateFileW(Wide(text), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file) return LastErrorStatus();
    USHORT format = COMPRESSION_FORMAT_DEFAULT;
    DWORD returned = 0;
    if (!DeviceIoControl(file.Get(), FSCTL_SET_COMPRESSION, &format, sizeof(format), nullptr, 0, &returned, nullptr))
        return LastErrorStatus();
    return PlatformStatus::Success();
}

}  // namespace zev::win32
