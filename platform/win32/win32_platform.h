// The Windows implementation of the platform interfaces.
#pragma once

#include "platform/win32/windows_api.h"

#include "platform/platform.h"

namespace zev::win32 {

class Win32FileSystem final : public FileSystem {
public:
    bool FileExists(TextView path) override;
    bool FolderExists(TextView path) override;
    PlatformStatus CreateFolder(TextView path) override;
    PlatformStatus CreatePrivateFolder(TextView path) override;
    PlatformStatus CreateFolderTree(TextView path) override;
    std::optional<std::string> ReadWholeFile(TextView path) override;
    std::optional<uint64_t> FileSize(TextView path) override;
    std::optional<std::string> ReadFileTail(TextView path, uint64_t offset) override;
    PlatformStatus WriteWholeFile(TextView path, std::string_view bytes) override;
    PlatformStatus AppendToFile(TextView path, std::string_view bytes) override;
    PlatformStatus CopyFile(TextView from, TextView to, bool overwrite) override;
    PlatformStatus SetNormalAttributes(TextView path) override;
    PlatformStatus DeleteFile(TextView path) override;
    PlatformStatus DeleteFolderContents(TextView path) override;
    PlatformStatus RemoveEmptyFolder(TextView path) override;
    std::optional<Text> FullPathName(TextView path) override;
    std::optional<Text> ShortPathName(TextView path) override;
    std::optional<Text> DirectoryEntryName(TextView path) override;
    std::optional<Text> CreateTemporaryFile(TextView folder, TextView prefix) override;
    std::optional<std::string> ReadFileRange(TextView path, uint64_t offset, size_t length) override;
    std::vector<FoundEntry> FindEntries(TextView pattern) override;
    std::optional<VolumeSpace> QueryVolumeSpace(TextView path) override;
    Text ReadProfileString(TextView file, TextView section, TextView key, size_t buffer_characters) override;
    std::optional<std::vector<FolderEntry>> ListFolder(TextView folder) override;
    PlatformStatus MoveFile(TextView from, TextView to) override;
    PlatformStatus CreateHardLink(TextView existing, TextView link) override;
    PlatformStatus SetCompressed(TextView path) override;
};

class Win32Registry final : public Registry {
public:
    PlatformStatus WriteString(RegistryRoot root, TextView key, TextView name, TextView value) override;
    PlatformStatus WriteDword(RegistryRoot root, TextView key, TextView name, uint32_t value) override;
    std::optional<Text> ReadString(RegistryRoot root, TextView key, TextView name) override;
    std::optional<uint32_t> ReadDword(RegistryRoot root, TextView key, TextView name) override;
};

class Win32SystemInfo final : public SystemInfo {
public:
    Text ExecutablePath() override;
    Text RawCommandLine() override;
    Text TemporaryFolder() override;
    OsVersion Version() override;
    uint64_t TickCount() override;
    bool IsAdministrator() override;
    bool Is64BitWindows() override;
    Text CurrentDate() override;
    Text CurrentTime() override;
    bool GlassAvailable() override;
    uint32_t ProcessorCount() override;
    std::unique_ptr<ScopeGuard> SuspendFileSystemRedirection() override;
    Text ExpandEnvironmentText(TextView text) override;
    std::vector<Text> EnvironmentEntries() override;
};

class Win32UserInterface final : public UserInterface {
public:
    Win32UserInterface();
    void ShowMessage(TextView caption, TextView text, MessageIcon icon) override;
    void PumpPendingMessages() override;
    void ProcessOneMessage() override;
    void ProcessOneMessageFor(uint32_t milliseconds) override;
    void WakeMainThread() override;
    std::unique_ptr<PreparationWindow> ShowPreparationWindow(TextView splash_bitmap, TextView caption, TextView text,
                                                             TextView logo_png) override;

private:
    DWORD main_thread_;
};

class Win32Libraries final : public Libraries {
public:
    std::unique_ptr<PluginLibrary> LoadPlugin(TextView full_path) override;
};

class Win32Processes final : public Processes {
public:
    std::optional<uint32_t> RunAndWait(TextView program, TextView arguments) override;
    [[noreturn]] void TerminateProcess(uint32_t exit_code) override;
    void TrimWorkingSet() override;
};

// The error text of a system error code.
Text SystemErrorText(DWORD code);
PlatformStatus LastErrorStatus();

}  // namespace zev::win32
