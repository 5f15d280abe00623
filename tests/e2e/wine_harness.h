// The end-to-end harness: one fresh 64-bit Wine prefix per test run, a warm wine
// server, and the helpers a test needs to run setup executables in it and judge
// the result the way a user would: exit code, files, registry, setup log.
//
// Every process the harness starts has a deadline; a process that outlives it is
// killed with everything it started, and the result says so, so no test can hang.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "tests/e2e/host_process.h"
#include "tests/e2e/registry_export.h"
#include "tests/e2e/setup_log.h"

namespace zev::e2e {

// Where the harness finds its programs and keeps its files. Each can be overridden
// at run time by the environment variable of the same name with an E2E_ infix
// (ZEV_E2E_WIN32_BIN, ZEV_E2E_NATIVE_BIN, ZEV_E2E_WORK).
std::filesystem::path Win32BinaryFolder();   // the win32 build's bin folder
std::filesystem::path NativeBinaryFolder();  // the native build's bin folder (zevc)
std::filesystem::path WorkFolder();          // the prefix and scratch files live here
std::filesystem::path Win32Binary(std::string_view file_name);

enum class Display {
    None,     // headless: window calls fail quietly; enough for silent runs
    Virtual,  // a private Xvfb display, started on first use, for window tests
};

enum class RegistryView { Bits64, Bits32 };

struct WineRunOptions {
    std::chrono::milliseconds timeout{30'000};
    Display display = Display::None;
    std::filesystem::path working_folder;  // host path; empty: the program's own folder
    std::map<std::string, std::optional<std::string>> environment;  // extra changes
};

struct WineRunResult {
    // The program's full 32-bit exit code (a crash reads as e.g. 0xC0000005).
    // Meaningful only when Finished().
    std::uint32_t exit_code = 0;
    bool exit_code_known = false;
    bool timed_out = false;  // killed at the deadline, with every process of the prefix
    std::string standard_output;
    std::string standard_error;
    std::string description;  // what ran and how it ended, for failure messages
    bool Finished() const { return exit_code_known && !timed_out; }
};

// A whole host file as bytes (empty when it cannot be read), and the other way round
// (parent folders are created).
std::string ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, std::string_view bytes);

// Copies files into a folder (overwriting) and returns the new paths.
std::vector<std::filesystem::path> CopyInto(const std::filesystem::path& folder,
                                            const std::vector<std::filesystem::path>& files);

// The PE facts a test checks about a Win32 executable, read with objdump -p.
struct PeImageFacts {
    std::string file_format;                 // "pei-i386" for a 32-bit image
    std::string magic;                       // "010b" (PE32) or "020b" (PE32+)
    std::vector<std::string> imported_dlls;  // as listed, e.g. "KERNEL32.dll"
    std::string error;                       // set when objdump failed
};
PeImageFacts InspectPeImage(const std::filesystem::path& executable);

// Runs `zevc build SOURCE -o OUTPUT` on the given source text, with the stub and the
// archive library of the win32 build. The source is written to a fresh scratch
// folder under the name source_name, next to the side files (name -> content) it
// refers to; output_folder receives setup.exe, setup.res and zev.lib.
struct ZevcBuildOptions {
    std::string source_name = "setup.zev";
    std::map<std::string, std::string> side_files;
    std::chrono::milliseconds timeout{120'000};
};
struct ZevcBuildResult {
    HostResult process;
    std::string description;
    std::filesystem::path source_file;
    std::filesystem::path setup_executable;
    bool Succeeded() const { return !process.timed_out && process.exit_status == 0; }
};
ZevcBuildResult ZevcBuild(std::string_view source_text, const std::filesystem::path& output_folder,
                          const ZevcBuildOptions& options = {});

// One Wine prefix for the whole test run. Not thread-safe: tests run one at a time.
class WinePrefix {
public:
    // The virtual display's screen size.
    static constexpr int kVirtualScreenWidth = 1152;
    static constexpr int kVirtualScreenHeight = 864;

    // Creates a fresh prefix in work_folder/prefix (removing an old one, and the
    // scratch files in work_folder/scratch) and starts a warm server.
    // Throws std::runtime_error when Wine cannot make the prefix.
    explicit WinePrefix(const std::filesystem::path& work_folder);
    WinePrefix(const WinePrefix&) = delete;
    WinePrefix& operator=(const WinePrefix&) = delete;
    // Ends every process of the prefix, the server and the virtual display.
    ~WinePrefix();

    const std::filesystem::path& Root() const { return root_; }
    std::filesystem::path DriveC() const { return root_ / "drive_c"; }

    // "C:\Users\x" -> <prefix>/drive_c/users/x. Drive letters follow the prefix's
    // dosdevices links; existing folders are matched without regard to case, the
    // way Windows does; parts that do not exist yet are kept as written.
    std::filesystem::path HostPath(std::string_view windows_path) const;
    // The Windows form of a host path: below drive_c as C:\..., anything else as Z:\...
    std::string WindowsPath(const std::filesystem::path& host_path) const;

    // Runs a Windows program (host path) with arguments under Wine.
    WineRunResult Run(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                      const WineRunOptions& options = {});
    // Runs a Wine tool such as "reg" or "cmd" directly (its exit code arrives modulo 256).
    HostResult RunWineTool(const std::vector<std::string>& arguments,
                           std::chrono::milliseconds timeout = std::chrono::seconds(30));

    // A fresh, empty folder below C:\quorvane-tests\ (default: named after the
    // running test, Suite.Name); an old folder of that name is removed first.
    std::filesystem::path NewSetupFolder(std::string name = {});

    // The prefix user's temporary folder, where the support folders zevN live.
    std::string UserTempFolderWindows();
    std::filesystem::path UserTempFolder();
    // Names of the entries "zev" + digits in the temporary folder, in order of N.
    std::vector<std::string> SupportFolderNames();
    // Removes everything in the temporary folder.
    void ClearUserTempFolder();

    // A key with its values, read with `reg export` (exact Unicode text; `reg query`
    // prints through the console code page and loses characters). nullopt: no key.
    std::optional<RegistryKey> ReadRegistryKey(std::string_view key_path,
                                               RegistryView view = RegistryView::Bits64);
    std::optional<RegistryValue> QueryRegistryValue(std::string_view key_path, std::string_view name,
                                                    RegistryView view = RegistryView::Bits64);
    std::optional<std::string> QueryRegistryString(std::string_view key_path, std::string_view name,
                                                   RegistryView view = RegistryView::Bits64);
    std::optional<std::uint32_t> QueryRegistryDword(std::string_view key_path, std::string_view name,
                                                    RegistryView view = RegistryView::Bits64);
    bool DeleteRegistryKey(std::string_view key_path, RegistryView view = RegistryView::Bits64);

    // The Windows version Wine reports, e.g. "win7", "win10", "winxp64" (winecfg /v).
    bool SetWindowsVersion(std::string_view version);

    // Saves the virtual display as a PNG picture; false without a virtual display.
    bool Screenshot(const std::filesystem::path& picture);
    // The X display name (":N") of the virtual display, empty before its first use.
    const std::string& VirtualDisplayName() const { return display_name_; }

private:
    std::map<std::string, std::optional<std::string>> WineEnvironment(Display display) const;
    HostResult RunWineCommand(const std::string& program, const std::vector<std::string>& arguments,
                              std::chrono::milliseconds timeout, Display display);
    // The server keeps the display of the first window process it saw, so a change
    // of display restarts it.
    void EnsureServer(Display display);
    void StartServer(Display display);
    void StopServer();
    void EnsureVirtualDisplay();

    std::filesystem::path root_;
    std::filesystem::path scratch_;
    BackgroundProcess virtual_display_;
    std::string display_name_;
    bool server_running_ = false;
    Display server_display_ = Display::None;
    std::optional<std::string> temp_folder_windows_;
    unsigned run_counter_ = 0;
};

// The prefix of the running test binary; a failed assertion when there is none.
WinePrefix& Wine();

// Creates the prefix before the first test and ends it after the last.
class WineEnvironment : public ::testing::Environment {
public:
    void SetUp() override;
    void TearDown() override;
};

}  // namespace zev::e2e
