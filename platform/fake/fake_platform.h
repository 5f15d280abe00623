// An in-memory platform for native tests: a file system of Windows-style paths
// (letter case ignored), a registry, message boxes that are recorded instead of shown,
// plug-ins that are plain functions, and a process exit that throws.
#pragma once

#include <functional>
#include <map>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <set>

#include "platform/platform.h"

namespace zev::fake {

// Thrown by FakeProcesses::TerminateProcess in place of ending the test process.
struct ProcessTerminated {
    uint32_t exit_code;
};

class FakeFileSystem final : public FileSystem {
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
    // Relative paths are taken relative to "C:\"; "." and ".." segments are resolved.
    std::optional<Text> FullPathName(TextView path) override;
    // Only the short forms given by SetShortPath exist.
    std::optional<Text> ShortPathName(TextView path) override;
    // The name given by SetEntryName, else the path's last component as asked; nothing
    // when no file or folder exists at the path.
    std::optional<Text> DirectoryEntryName(TextView path) override;
    // Names the file prefix + hexadecimal number + ".tmp", skipping names in use.
    std::optional<Text> CreateTemporaryFile(TextView folder, TextView prefix) override;
    std::optional<std::string> ReadFileRange(TextView path, uint64_t offset, size_t length) override;
    // Folders and files of the pattern's folder whose names match, sorted by name as an
    // NTFS volume returns them; names in lower case. "*.*" matches every name.
    std::vector<FoundEntry> FindEntries(TextView pattern) override;
    // The figures of volume_space for every path; nothing while it is unset.
    std::optional<VolumeSpace> QueryVolumeSpace(TextView path) override;
    // Reads the file as UTF-8 lines: "[section]" headers and "key=value" lines, names
    // compared without regard to case, blanks around names and values and one pair of
    // enclosing quotes removed.
    Text ReadProfileString(TextView file, TextView section, TextView key, size_t buffer_characters) override;
    std::optional<std::vector<FolderEntry>> ListFolder(TextView folder) override;
    PlatformStatus MoveFile(TextView from, TextView to) override;
    // Gives the link a copy of the file's bytes and records the pair in hard_links.
    PlatformStatus CreateHardLink(TextView existing, TextView link) override;
    PlatformStatus SetCompressed(TextView path) override;

    // Test set-up and inspection.
    void AddFile(TextView path, std::string bytes);
    std::vector<Text> FilesUnder(TextView folder);
    std::vector<Text> private_folders;  // every folder made by CreatePrivateFolder, in order
    void SetShortPath(TextView path, TextView short_form);
    void SetEntryName(TextView path, TextView name);
    bool temporary_files_fail = false;
    std::optional<VolumeSpace> volume_space;
    std::vector<Text> volume_queries;  // every path QueryVolumeSpace was asked about
    // Long-path forms ("\\?\" + path) name the same entries as the plain paths.
    // Paths (as keys: lower case, "\\") reachable only in their long-path form, as names
    // too long for the plain form are on Windows.
    std::set<Text> long_path_only;
    // Destinations no move reaches (a copy or link still does); folders whose listing fails.
    std::set<Text> move_refused;
    std::set<Text> unlistable;
    std::vector<std::pair<Text, Text>> hard_links;  // (existing, link) as keys
    std::set<Text> compressed;                      // keys
    static Text Key(TextView path);

private:
    bool ParentExists(const Text& key);
    bool Unreachable(TextView path);
    std::recursive_mutex lock_;
    std::map<Text, std::string> files_;  // key: normalised lower-case path
    std::set<Text> folders_;
    std::map<Text, Text> short_paths_;   // key: as files_
    std::map<Text, Text> entry_names_;   // key: as files_
    uint32_t next_temporary_number_ = 1;
};

class FakeRegistry final : public Registry {
public:
    PlatformStatus WriteString(RegistryRoot root, TextView key, TextView name, TextView value) override;
    PlatformStatus WriteDword(RegistryRoot root, TextView key, TextView name, uint32_t value) override;
    std::optional<Text> ReadString(RegistryRoot root, TextView key, TextView name) override;
    std::optional<uint32_t> ReadDword(RegistryRoot root, TextView key, TextView name) override;

    std::map<Text, Text> strings;       // key: root\key\name, lower-case
    std::map<Text, uint32_t> dwords;
    static Text Key(RegistryRoot root, TextView key, TextView name);
};

class FakeSystemInfo final : public SystemInfo {
public:
    Text ExecutablePath() override { return executable_path; }
    Text RawCommandLine() override { return command_line; }
    Text TemporaryFolder() override { return temporary_folder; }
    OsVersion Version() override { return version; }
    uint64_t TickCount() override { return tick += 16; }
    bool IsAdministrator() override { return administrator; }
    bool Is64BitWindows() override { return is_64_bit; }
    Text CurrentDate() override { return u"12/11/2026"; }
    Text CurrentTime() override { return u"14:22:39"; }
    bool GlassAvailable() override { return false; }
    uint32_t ProcessorCount() override { return processors; }
    std::unique_ptr<ScopeGuard> SuspendFileSystemRedirection() override {
        ++redirection_suspensions;
        return std::make_unique<ScopeGuard>();
    }
    uint32_t processors = 2;
    // Environment variables in block order; names compare without regard to case.
    Text ExpandEnvironmentText(TextView text) override;
    std::vector<Text> EnvironmentEntries() override;
    std::vector<std::pair<Text, Text>> environment{{u"SystemRoot", u"C:\\Windows"},
                                                   {u"TEMP", u"C:\\Temp"}};
    std::atomic<int> redirection_suspensions{0};

    Text executable_path = u"C:\\Setup\\setup.exe";
    Text command_line = u"\"C:\\Setup\\setup.exe\"";
    Text temporary_folder = u"C:\\Temp\\";
    OsVersion version;
    uint64_t tick = 1000;
    bool administrator = true;
    bool is_64_bit = true;
};

struct ShownMessage {
    Text caption;
    Text text;
    MessageIcon icon;
};

class FakeUserInterface final : public UserInterface {
public:
    void ShowMessage(TextView caption, TextView text, MessageIcon icon) override;
    void PumpPendingMessages() override { ++pumps; }
    void ProcessOneMessage() override;
    void ProcessOneMessageFor(uint32_t milliseconds) override;
    void WakeMainThread() override;
    std::unique_ptr<PreparationWindow> ShowPreparationWindow(TextView splash_bitmap, TextView caption, TextView text,
                                                             TextView logo_png) override;

    std::mutex lock;
    std::vector<ShownMessage> messages;
    int pumps = 0;
    int preparation_windows = 0;

private:
    std::condition_variable_any woken_;
    int pending_wakes_ = 0;
};

// A plug-in is a function of (variables, parameters, progress) returning the result,
// or nullopt for failure.
using FakePluginFunction =
    std::function<std::optional<Text>(TextView variables, TextView parameters, const PluginLibrary::ProgressFunction&)>;

class FakeLibraries final : public Libraries {
public:
    std::unique_ptr<PluginLibrary> LoadPlugin(TextView full_path) override;
    void Register(TextView full_path, FakePluginFunction function, bool wide = true);
    std::vector<Text> loaded;

private:
    struct Entry {
        FakePluginFunction function;
        bool wide;
    };
    std::map<Text, Entry> plugins_;
};

class FakeProcesses final : public Processes {
public:
    std::optional<uint32_t> RunAndWait(TextView program, TextView arguments) override;
    [[noreturn]] void TerminateProcess(uint32_t exit_code) override { throw ProcessTerminated{exit_code}; }
    void TrimWorkingSet() override { ++trims; }
    int trims = 0;

    std::function<std::optional<uint32_t>(TextView program, TextView arguments)> on_run;
    std::vector<Text> runs;
};

// Archives held in memory: an archive is a list of (entry name, bytes). Failures can be
// queued per operation ("Create", "Extract", "Test", "Delete", "List"): each call takes
// the next code queued for its operation (0 = go on) before doing its work.
class FakeArchiveLibrary final : public ArchiveLibrary {
public:
    explicit FakeArchiveLibrary(FakeFileSystem& files) : files_(files) {}

    bool Create(TextView archive, int32_t level_code, const std::vector<Text>& files1, const std::vector<Text>& files2,
                int32_t mode, TextView switches, TextView password, const Progress& progress) override;
    bool Extract(TextView archive, TextView output_folder, const std::vector<Text>& entries, bool keep_paths,
                 TextView password, bool overwrite, const Progress& progress) override;
    bool Test(TextView archive, TextView password, const Progress& progress) override;
    bool Delete(TextView archive, const std::vector<Text>& entries, TextView password,
                const Progress& progress) override;
    bool List(TextView archive, TextView password, std::vector<Text>& names) override;
    uint32_t LastError() override { return last_error_; }
    void SetHelperFolder(TextView folder) override { helper_folder = Text(folder); }

    // An archive file whose content the fake understands; written into the file system.
    void AddArchive(TextView path, std::vector<std::pair<Text, std::string>> entries, TextView password = u"");
    std::map<Text, std::vector<uint32_t>> queued_failures;
    std::vector<Text> calls;
    std::vector<std::vector<Text>> created_lists;  // first file list of each Create
    Text helper_folder;

private:
    struct Archive {
        Text password;
        std::vector<std::pair<Text, std::string>> entries;
    };
    bool Fail(uint32_t code);
    bool TakeQueuedFailure(TextView operation);
    const Archive* Open(TextView path, TextView password);

    FakeFileSystem& files_;
    std::map<Text, Archive> archives_;
    uint32_t last_error_ = 0;
};

// Everything together, ready to hand to the core.
struct FakePlatform {
    FakeFileSystem files;
    FakeRegistry registry;
    FakeSystemInfo system;
    FakeUserInterface ui;
    FakeLibraries libraries;
    FakeProcesses processes;
    FakeArchiveLibrary archives{files};
    Platform platform{files, registry, system, ui, libraries, processes, archives};
};

}  // namespace zev::fake
