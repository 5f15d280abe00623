// The engine's view of the operating system: small interfaces that the portable core
// calls. platform/win32 implements them on the Windows API; platform/fake implements
// them in memory for native tests and records what was asked of it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "script/text.h"

namespace zev {

// Outcome of a platform call that can fail: the system error code and its message.
struct PlatformStatus {
    uint32_t code = 0;
    Text message;
    bool ok() const { return code == 0; }
    static PlatformStatus Success() { return {}; }
};

class FileSystem {
public:
    virtual ~FileSystem() = default;
    virtual bool FileExists(TextView path) = 0;
    virtual bool FolderExists(TextView path) = 0;
    // Creates one folder; fails when anything of that name exists already.
    virtual PlatformStatus CreateFolder(TextView path) = 0;
    // As CreateFolder, with an access list granting the current user alone.
    virtual PlatformStatus CreatePrivateFolder(TextView path) = 0;
    // Creates a folder and every missing parent.
    virtual PlatformStatus CreateFolderTree(TextView path) = 0;
    virtual std::optional<std::string> ReadWholeFile(TextView path) = 0;
    virtual std::optional<uint64_t> FileSize(TextView path) = 0;
    // Reads from offset to the end of the file.
    virtual std::optional<std::string> ReadFileTail(TextView path, uint64_t offset) = 0;
    virtual PlatformStatus WriteWholeFile(TextView path, std::string_view bytes) = 0;
    virtual PlatformStatus AppendToFile(TextView path, std::string_view bytes) = 0;
    virtual PlatformStatus CopyFile(TextView from, TextView to, bool overwrite) = 0;
    virtual PlatformStatus SetNormalAttributes(TextView path) = 0;
    virtual PlatformStatus DeleteFile(TextView path) = 0;
    // Deletes the contents of a folder recursively; keeps the folder itself.
    virtual PlatformStatus DeleteFolderContents(TextView path) = 0;
    virtual PlatformStatus RemoveEmptyFolder(TextView path) = 0;
    // The absolute form of a path, relative segments resolved; nothing when the system
    // cannot form one.
    virtual std::optional<Text> FullPathName(TextView path) = 0;
    // The short (8.3) form of an existing path; nothing when the system gives none.
    virtual std::optional<Text> ShortPathName(TextView path) = 0;
    // The name that a directory search reports for the entry at path (its long form as
    // stored); nothing when the search finds no such entry.
    virtual std::optional<Text> DirectoryEntryName(TextView path) = 0;
    // Creates a new empty file with a unique name in folder, the name beginning with
    // prefix; its full path, or nothing when no file could be created.
    virtual std::optional<Text> CreateTemporaryFile(TextView folder, TextView prefix) = 0;

    // ---- Reading files in place: ranges, searches, volumes, profiles ----
    // Up to length bytes from offset (fewer at the end of the file); nothing when the
    // file cannot be read.
    virtual std::optional<std::string> ReadFileRange(TextView path, uint64_t offset, size_t length) {
        return std::nullopt;
    }
    struct FoundEntry {
        Text name;  // without folder
        bool is_folder = false;
        bool is_link = false;  // a junction or symbolic link, not followed by searches
    };
    // The entries that a directory search for a wildcard pattern (folder + "\" + name
    // pattern with "*" and "?") returns, in the order the system returns them, "." and
    // ".." left out; empty when nothing matches or the folder cannot be searched.
    virtual std::vector<FoundEntry> FindEntries(TextView pattern) { return {}; }
    struct VolumeSpace {
        int64_t free_to_caller = 0;  // bytes the current user may still use
        int64_t total = 0;           // size of the volume in bytes
    };
    // The figures of the volume that holds path (any folder on it); nothing when the
    // system cannot tell.
    virtual std::optional<VolumeSpace> QueryVolumeSpace(TextView path) { return std::nullopt; }
    // The value of key in section of an INI file as the system's profile reader returns
    // it, the empty text when there is none; at most buffer_characters - 1 characters.
    virtual Text ReadProfileString(TextView file, TextView section, TextView key, size_t buffer_characters) {
        return Text();
    }

    // ---- Media placement: moves, links, listings, compression ----
    // Every path below may be given in its long-path form ("\\?\" + path).
    struct FolderEntry {
        Text name;  // without folder
        bool is_folder = false;
    };
    // The entries directly inside a folder ("." and ".." left out); nothing when the
    // folder cannot be listed.
    virtual std::optional<std::vector<FolderEntry>> ListFolder(TextView folder) {
        return std::nullopt;
    }
    // Moves a file, replacing an existing destination file; across drives by copying.
    virtual PlatformStatus MoveFile(TextView from, TextView to) { return NotSupported(); }
    // A second name for an existing file on the same volume; fails when link exists.
    virtual PlatformStatus CreateHardLink(TextView existing, TextView link) { return NotSupported(); }
    // Turns on file-system (NTFS) compression for a file or folder.
    virtual PlatformStatus SetCompressed(TextView path) { return NotSupported(); }

protected:
    static PlatformStatus NotSupported() { return {50, u"The request is not supported."}; }
};

enum class RegistryRoot { ClassesRoot, CurrentUser, LocalMachine, Users };

class Registry {
public:
    virtual ~Registry() = default;
    virtual PlatformStatus WriteString(RegistryRoot root, TextView key, TextView name, TextView value) = 0;
    virtual PlatformStatus WriteDword(RegistryRoot root, TextView key, TextView name, uint32_t value) = 0;
    virtual std::optional<Text> ReadString(RegistryRoot root, TextView key, TextView name) = 0;
    virtual std::optional<uint32_t> ReadDword(RegistryRoot root, TextView key, TextView name) = 0;
};

// Undoes a temporary change when destroyed.
class ScopeGuard {
public:
    virtual ~ScopeGuard() = default;
};

struct OsVersion {
    uint32_t major = 10;
    uint32_t minor = 0;
    uint32_t build = 19045;
    bool nt_family = true;
};

class SystemInfo {
public:
    virtual ~SystemInfo() = default;
    virtual Text ExecutablePath() = 0;
    virtual Text RawCommandLine() = 0;
    // The user's temporary folder in its long form, with a trailing backslash.
    virtual Text TemporaryFolder() = 0;
    virtual OsVersion Version() = 0;
    virtual uint64_t TickCount() = 0;
    // True when the process runs with administrator rights (elevated where that applies).
    virtual bool IsAdministrator() = 0;
    virtual bool Is64BitWindows() = 0;
    // The current date in the user's short date format, the time in the long time format.
    virtual Text CurrentDate() = 0;
    virtual Text CurrentTime() = 0;
    // Whether the glass look can be drawn on the engine's windows.
    virtual bool GlassAvailable() = 0;
    virtual uint32_t ProcessorCount() = 0;
    // Turns the file-system redirection of a 32-bit process on 64-bit Windows off for the
    // calling thread until the returned guard is destroyed (a no-op elsewhere).
    virtual std::unique_ptr<ScopeGuard> SuspendFileSystemRedirection() = 0;
    // The text with every %NAME% of an existing environment variable replaced by its
    // value, as the system expands it; unknown names stay as written.
    virtual Text ExpandEnvironmentText(TextView text) = 0;
    // The process environment as "name=value" entries, in the block's own order.
    virtual std::vector<Text> EnvironmentEntries() = 0;
};

enum class MessageIcon { None, Error, Warning, Information, Question };

// The splash picture and the preparation window shown while start-up works.
class PreparationWindow {
public:
    virtual ~PreparationWindow() = default;
    virtual void SetProgressRange(int maximum) = 0;
    virtual void SetProgressPosition(int position) = 0;
    // Loads the logo picture again (the product's resource archive may bring its own).
    virtual void ReloadLogo(TextView png_path) = 0;
};

// Windows and messages of the main thread.
class UserInterface {
public:
    virtual ~UserInterface() = default;
    // Shows a modal message box with an OK button.
    virtual void ShowMessage(TextView caption, TextView text, MessageIcon icon) = 0;
    // Processes every pending window message.
    virtual void PumpPendingMessages() = 0;
    // Processes one window message, sleeping until one arrives if none is pending.
    virtual void ProcessOneMessage() = 0;
    // The same, but sleeps at most the given time when no message arrives.
    virtual void ProcessOneMessageFor(uint32_t milliseconds) = 0;
    // Wakes a main thread sleeping in ProcessOneMessage; callable from any thread.
    virtual void WakeMainThread() = 0;
    // Shows the splash (when splash_bitmap names an existing picture) and the preparation
    // window; both close when the returned object is destroyed.
    virtual std::unique_ptr<PreparationWindow> ShowPreparationWindow(TextView splash_bitmap, TextView caption,
                                                                     TextView text, TextView logo_png) = 0;
};

// A plug-in library loaded by full path. Entry points are called with the system's
// standard calling convention.
class PluginLibrary {
public:
    // Called by the plug-in with a percentage and a text; returns 1 to go on, 0 to stop.
    using ProgressFunction = std::function<int(int32_t percent, TextView text)>;

    virtual ~PluginLibrary() = default;
    virtual bool HasWideEntry() = 0;
    virtual bool HasNarrowEntry() = 0;
    // One call of the wide entry point; buffer is null for the size call.
    virtual int32_t CallWide(uintptr_t owner_window, const char16_t* variables, const char16_t* parameters,
                             const ProgressFunction& progress, uint8_t* flag, char16_t* buffer) = 0;
    virtual int32_t CallNarrow(uintptr_t owner_window, const char* variables, const char* parameters,
                               const ProgressFunction& progress, uint8_t* flag, char* buffer) = 0;
    // Conversions to and from the system code page, for the narrow entry point.
    virtual std::string ToSystemCodePage(TextView text) = 0;
    virtual Text FromSystemCodePage(std::string_view text) = 0;
};

class Libraries {
public:
    virtual ~Libraries() = default;
    // Loads a library by full path only; null when it cannot be loaded.
    virtual std::unique_ptr<PluginLibrary> LoadPlugin(TextView full_path) = 0;
};

class Processes {
public:
    virtual ~Processes() = default;
    // Starts a program and waits for it; the exit code, or nullopt when it could not start.
    virtual std::optional<uint32_t> RunAndWait(TextView program, TextView arguments) = 0;
    // Ends the process at once with the exit code, without clean-up.
    [[noreturn]] virtual void TerminateProcess(uint32_t exit_code) = 0;
    // Trims the process working set, so that a retry after an out-of-memory failure has
    // room to work.
    virtual void TrimWorkingSet() = 0;
};

// The archive library "zev.lib": 7-Zip archives. Each call returns true on success;
// LastError then tells why a call failed (1018: retry may help).
class ArchiveLibrary {
public:
    // Progress: current file name, done and total; false stops the work.
    using Progress = std::function<bool(TextView file_name, uint64_t done, uint64_t total)>;

    virtual ~ArchiveLibrary() = default;
    virtual bool Create(TextView archive, int32_t level_code, const std::vector<Text>& files1,
                        const std::vector<Text>& files2, int32_t mode, TextView switches, TextView password,
                        const Progress& progress) = 0;
    // keep_paths: folders stored in the archive are recreated under the output folder.
    virtual bool Extract(TextView archive, TextView output_folder, const std::vector<Text>& entries, bool keep_paths,
                         TextView password, bool overwrite, const Progress& progress) = 0;
    virtual bool Test(TextView archive, TextView password, const Progress& progress) = 0;
    virtual bool Delete(TextView archive, const std::vector<Text>& entries, TextView password,
                        const Progress& progress) = 0;
    virtual bool List(TextView archive, TextView password, std::vector<Text>& names) = 0;
    virtual uint32_t LastError() = 0;
    // Hands the library the folder where it may keep helper files.
    virtual void SetHelperFolder(TextView folder) = 0;
};

struct Platform {
    FileSystem& files;
    Registry& registry;
    SystemInfo& system;
    UserInterface& ui;
    Libraries& libraries;
    Processes& processes;
    ArchiveLibrary& archives;
};

}  // namespace zev
