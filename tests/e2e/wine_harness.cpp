#include "tests/e2e/wine_harness.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <system_error>

#include "script/text.h"

namespace zev::e2e {
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// Wine prompts for Mono and Gecko unless their loaders are disabled; the menu
// builder would write desktop entries into the host user's home folder.
constexpr char kDllOverrides[] = "mscoree,mshtml=;winemenubuilder.exe=d";
constexpr char kExitCodeVariable[] = "ZEV_EXIT_CODE_FILE";
constexpr std::chrono::seconds kServerPersistence{120};

fs::path FolderSetting(const char* variable, const char* built_in) {
    if (const char* value = std::getenv(variable); value != nullptr && *value != '\0') return value;
    return built_in;
}

std::string ReadWholeFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

bool WriteWholeFile(const fs::path& path, std::string_view content) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(content.data(), static_cast<std::streamsize>(content.size()));
    return static_cast<bool>(file);
}

std::string TrimLineEnds(std::string text) {
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

bool EqualsAsciiNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string CurrentTestName() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info == nullptr ? "outside-test" : std::string(info->test_suite_name()) + "." + info->name();
    std::replace(name.begin(), name.end(), '/', '_');
    return name;
}

std::unique_ptr<WinePrefix>& CurrentPrefix() {
    static std::unique_ptr<WinePrefix> prefix;
    return prefix;
}

}  // namespace

fs::path Win32BinaryFolder() { return FolderSetting("ZEV_E2E_WIN32_BIN", ZEV_WIN32_BIN); }
fs::path NativeBinaryFolder() { return FolderSetting("ZEV_E2E_NATIVE_BIN", ZEV_NATIVE_BIN); }
fs::path WorkFolder() { return FolderSetting("ZEV_E2E_WORK", ZEV_E2E_WORK); }
fs::path Win32Binary(std::string_view file_name) { return Win32BinaryFolder() / file_name; }

std::string ReadFileBytes(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const fs::path& path, std::string_view bytes) {
    if (path.has_parent_path()) fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

std::vector<fs::path> CopyInto(const fs::path& folder, const std::vector<fs::path>& files) {
    fs::create_directories(folder);
    std::vector<fs::path> copies;
    for (const auto& file : files) {
        const fs::path target = folder / file.filename();
        fs::copy_file(file, target, fs::copy_options::overwrite_existing);
        copies.push_back(target);
    }
    return copies;
}

PeImageFacts InspectPeImage(const fs::path& executable) {
    PeImageFacts facts;
    const HostCommand command{"objdump", {"-p", executable.string()}, {}, {}, 30s};
    const HostResult result = RunHostCommand(command);
    if (result.start_failed || result.timed_out || result.exit_status != 0) {
        facts.error = result.Describe(command);
        return facts;
    }
    std::istringstream lines(result.standard_output);
    std::string line;
    while (std::getline(lines, line)) {
        if (const size_t at = line.find("file format "); at != std::string::npos && facts.file_format.empty()) {
            facts.file_format = TrimLineEnds(line.substr(at + 12));
        } else if (line.starts_with("Magic")) {
            std::istringstream fields(line.substr(5));
            fields >> facts.magic;
        } else if (const size_t dll = line.find("DLL Name: "); dll != std::string::npos) {
            facts.imported_dlls.push_back(TrimLineEnds(line.substr(dll + 10)));
        }
    }
    return facts;
}

ZevcBuildResult ZevcBuild(std::string_view source_text, const fs::path& output_folder,
                          const ZevcBuildOptions& options) {
    static unsigned build_counter = 0;
    ZevcBuildResult build;
    const fs::path source_folder =
        WorkFolder() / "sources" / (CurrentTestName() + "-" + std::to_string(++build_counter));
    fs::remove_all(source_folder);
    fs::create_directories(source_folder);
    fs::create_directories(output_folder);
    build.source_file = source_folder / options.source_name;
    WriteWholeFile(build.source_file, source_text);
    for (const auto& [name, content] : options.side_files) {
        fs::create_directories((source_folder / name).parent_path());
        WriteWholeFile(source_folder / name, content);
    }
    const HostCommand command{(NativeBinaryFolder() / "zevc").string(),
                              {"build", build.source_file.string(), "-o", output_folder.string(), "--stub",
                               Win32Binary("zevstub.exe").string(), "--archive-library",
                               Win32Binary("zev.lib").string()},
                              source_folder,
                              {},
                              options.timeout};
    build.process = RunHostCommand(command);
    build.description = build.process.Describe(command);
    build.setup_executable = output_folder / "setup.exe";
    return build;
}

WinePrefix::WinePrefix(const fs::path& work_folder)
    : root_(fs::absolute(work_folder) / "prefix"), scratch_(fs::absolute(work_folder) / "scratch") {
    fs::create_directories(work_folder);
    if (fs::exists(root_)) {
        // A server left behind by an interrupted run must not outlive its prefix.
        StopServer();
        fs::remove_all(root_);
    }
    fs::remove_all(scratch_);
    fs::create_directories(scratch_);

    // The warm server comes first, so the services that boot starts stay up for the
    // first test instead of ending with a short-lived boot server.
    fs::create_directories(root_);
    StartServer(Display::None);
    const HostResult boot = RunWineCommand("wineboot", {"-i"}, 180s, Display::None);
    if (boot.timed_out || boot.exit_status != 0 || !fs::is_directory(DriveC())) {
        throw std::runtime_error("cannot create the Wine prefix " + root_.string() + ": " +
                                 boot.Describe(HostCommand{"wineboot", {"-i"}, {}, {}, 180s}));
    }
    if (!fs::is_directory(DriveC() / "windows" / "syswow64")) {
        throw std::runtime_error("the Wine prefix " + root_.string() + " is not a 64-bit prefix");
    }
}

WinePrefix::~WinePrefix() {
    StopServer();
    virtual_display_.Stop();
}

std::map<std::string, std::optional<std::string>> WinePrefix::WineEnvironment(Display display) const {
    std::map<std::string, std::optional<std::string>> environment = {
        {"WINEPREFIX", root_.string()},
        {"WINEARCH", "win64"},
        {"WINEDEBUG", "-all"},
        {"WINEDLLOVERRIDES", kDllOverrides},
        // Arguments and console text pass through the host code page: make it UTF-8.
        {"LC_ALL", "C.UTF-8"},
        // The prefix's own temporary folder must win over the host's.
        {"TEMP", std::nullopt},
        {"TMP", std::nullopt},
        {"WAYLAND_DISPLAY", std::nullopt},
        {"DISPLAY", std::nullopt},
    };
    if (display == Display::Virtual) environment["DISPLAY"] = display_name_;
    return environment;
}

HostResult WinePrefix::RunWineCommand(const std::string& program, const std::vector<std::string>& arguments,
                                      std::chrono::milliseconds timeout, Display display) {
    HostCommand command{program, arguments, {}, WineEnvironment(display), timeout};
    return RunHostCommand(command);
}

void WinePrefix::StartServer(Display display) {
    // The server stays up between the runs of a test binary, but not forever: should
    // the binary die without its tear-down, the server and the prefix's services end
    // on their own once no program has run for this long.
    const std::string persistence = "-p" + std::to_string(kServerPersistence.count());
    const HostResult started = RunWineCommand("wineserver", {persistence}, 30s, display);
    if (started.timed_out || started.exit_status != 0) {
        throw std::runtime_error("cannot start the wine server: " +
                                 started.Describe(HostCommand{"wineserver", {persistence}, {}, {}, 30s}));
    }
    server_running_ = true;
    server_display_ = display;
}

void WinePrefix::StopServer() {
    // Killing the server ends every process of the prefix; -w waits until it is gone,
    // so that the next server does not meet the old one.
    RunWineCommand("wineserver", {"-k"}, 30s, Display::None);
    RunWineCommand("wineserver", {"-w"}, 30s, Display::None);
    server_running_ = false;
}

void WinePrefix::EnsureVirtualDisplay() {
    if (virtual_display_.Running()) return;
    // -displayfd lets the server pick a free display and report its number.
    const HostCommand command{"Xvfb",
                              {"-displayfd", "3", "-screen", "0",
                               std::to_string(kVirtualScreenWidth) + "x" + std::to_string(kVirtualScreenHeight) +
                                   "x24",
                               "-nolisten", "tcp", "-noreset"},
                              {},
                              {},
                              20s};
    const auto number = virtual_display_.StartAndReadLine(command, 3);
    if (!number || number->empty()) throw std::runtime_error("cannot start the virtual display (Xvfb)");
    display_name_ = ":" + *number;
}

void WinePrefix::EnsureServer(Display display) {
    if (display == Display::Virtual) EnsureVirtualDisplay();
    if (server_running_ && server_display_ == display) return;
    if (server_running_) StopServer();
    StartServer(display);
}

WineRunResult WinePrefix::Run(const fs::path& program, const std::vector<std::string>& arguments,
                              const WineRunOptions& options) {
    WineRunResult result;
    const fs::path reporter = Win32Binary("exitreporter.exe");
    if (!fs::exists(reporter) || !fs::exists(program)) {
        result.description = "missing program: " + (fs::exists(reporter) ? program : reporter).string() +
                             " (build the win32 preset first)";
        return result;
    }
    EnsureServer(options.display);

    const fs::path exit_code_file = scratch_ / ("exit-code-" + std::to_string(++run_counter_) + ".txt");
    fs::remove(exit_code_file);
    HostCommand command{"wine", {reporter.string(), WindowsPath(program)}, options.working_folder,
                        WineEnvironment(options.display), options.timeout};
    command.arguments.insert(command.arguments.end(), arguments.begin(), arguments.end());
    if (command.working_folder.empty()) command.working_folder = program.parent_path();
    for (const auto& [name, value] : options.environment) command.environment[name] = value;
    command.environment[kExitCodeVariable] = WindowsPath(exit_code_file);

    const HostResult host = RunHostCommand(command);
    result.standard_output = host.standard_output;
    result.standard_error = host.standard_error;
    result.timed_out = host.timed_out;
    if (host.timed_out) {
        // The process group is gone; whatever it started detached goes with the server.
        StopServer();
    } else if (host.exit_status == 0) {
        const std::string text = TrimLineEnds(ReadWholeFile(exit_code_file));
        if (!text.empty() && text.find_first_not_of("0123456789") == std::string::npos) {
            result.exit_code = static_cast<std::uint32_t>(std::stoull(text));
            result.exit_code_known = true;
        }
    }
    std::ostringstream description;
    description << WindowsPath(program);
    for (const auto& argument : arguments) description << " '" << argument << "'";
    if (result.timed_out) description << ": killed after " << options.timeout.count() << " ms";
    else if (result.exit_code_known) description << ": exit code " << result.exit_code;
    else description << ": no exit code (exitreporter status " << host.exit_status << ")";
    if (!host.standard_output.empty()) description << "\n--- standard output:\n" << host.standard_output;
    if (!host.standard_error.empty()) description << "\n--- standard error:\n" << host.standard_error;
    result.description = description.str();
    return result;
}

HostResult WinePrefix::RunWineTool(const std::vector<std::string>& arguments, std::chrono::milliseconds timeout) {
    if (!server_running_) StartServer(server_display_);
    return RunWineCommand("wine", arguments, timeout, server_display_);
}

fs::path WinePrefix::HostPath(std::string_view windows_path) const {
    if (windows_path.size() < 2 || windows_path[1] != ':' || !std::isalpha(static_cast<unsigned char>(windows_path[0]))) {
        throw std::invalid_argument("not a drive path: " + std::string(windows_path));
    }
    const std::string drive{static_cast<char>(std::tolower(static_cast<unsigned char>(windows_path[0]))), ':'};
    std::error_code error;
    fs::path current = fs::canonical(root_ / "dosdevices" / drive, error);
    if (error) throw std::invalid_argument("drive " + drive + " is not mapped in the prefix");

    std::string_view rest = windows_path.substr(2);
    while (!rest.empty()) {
        const size_t separator = rest.find_first_of("\\/");
        const std::string_view part = rest.substr(0, separator);
        rest = separator == std::string_view::npos ? std::string_view() : rest.substr(separator + 1);
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            current = current.parent_path();
            continue;
        }
        fs::path next = current / part;
        if (!fs::exists(next, error) && fs::is_directory(current, error)) {
            for (const auto& entry : fs::directory_iterator(current, error)) {
                if (EqualsNoCase(FromUtf8(entry.path().filename().string()), FromUtf8(part))) {
                    next = entry.path();
                    break;
                }
            }
        }
        current = next;
    }
    return current;
}

std::string WinePrefix::WindowsPath(const fs::path& host_path) const {
    std::error_code error;
    const fs::path path = fs::weakly_canonical(fs::absolute(host_path), error);
    const fs::path drive_c = fs::weakly_canonical(DriveC(), error);
    std::string result;
    const fs::path relative = path.lexically_relative(drive_c);
    if (!relative.empty() && *relative.begin() != "..") {
        result = "C:\\" + (relative == "." ? std::string() : relative.string());
    } else {
        result = "Z:" + path.string();
    }
    std::replace(result.begin(), result.end(), '/', '\\');
    return result;
}

fs::path WinePrefix::NewSetupFolder(std::string name) {
    if (name.empty()) name = CurrentTestName();
    const fs::path folder = DriveC() / "quorvane-tests" / name;
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

std::string WinePrefix::UserTempFolderWindows() {
    if (!temp_folder_windows_) {
        // The engine asks GetTempPath, which reads TMP before TEMP.
        const HostResult result = RunWineTool({"cmd", "/c", "echo %TMP%"});
        std::string folder = TrimLineEnds(result.standard_output);
        if (result.exit_status != 0 || folder.size() < 3 || folder[1] != ':' || folder.find('%') != std::string::npos) {
            throw std::runtime_error("cannot read the prefix user's temporary folder: " + folder);
        }
        temp_folder_windows_ = folder;
    }
    return *temp_folder_windows_;
}

fs::path WinePrefix::UserTempFolder() { return HostPath(UserTempFolderWindows()); }

std::vector<std::string> WinePrefix::SupportFolderNames() {
    std::vector<std::pair<unsigned long long, std::string>> found;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(UserTempFolder(), error)) {
        const std::string name = entry.path().filename().string();
        if (name.size() > 3 && EqualsAsciiNoCase(name.substr(0, 3), "zev") && name.size() < 20 &&
            name.find_first_not_of("0123456789", 3) == std::string::npos) {
            found.emplace_back(std::stoull(name.substr(3)), name);
        }
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> names;
    for (auto& [number, name] : found) names.push_back(std::move(name));
    return names;
}

void WinePrefix::ClearUserTempFolder() {
    const fs::path folder = UserTempFolder();
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) fs::remove_all(entry.path(), error);
}

std::optional<RegistryKey> WinePrefix::ReadRegistryKey(std::string_view key_path, RegistryView view) {
    const fs::path file = scratch_ / ("registry-" + std::to_string(++run_counter_) + ".reg");
    fs::remove(file);
    const HostResult result = RunWineTool({"reg", "export", std::string(key_path), WindowsPath(file), "/y",
                                           view == RegistryView::Bits64 ? "/reg:64" : "/reg:32"});
    if (result.timed_out) throw std::runtime_error("reg export timed out for " + std::string(key_path));
    if (result.exit_status != 0) {
        // The tool prints its complaint on standard output.
        const std::string complaint = result.standard_output + result.standard_error;
        if (complaint.find("Unable to find") != std::string::npos) return std::nullopt;
        throw std::runtime_error("reg export failed for " + std::string(key_path) + ": " + complaint);
    }
    const std::string bytes = ReadWholeFile(file);
    size_t start = 0;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE) {
        start = 2;
    }
    Text text;
    for (size_t index = start; index + 1 < bytes.size(); index += 2) {
        text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[index]) |
                                             (static_cast<unsigned char>(bytes[index + 1]) << 8)));
    }
    return ParseRegistryExport(ToUtf8(text), key_path);
}

std::optional<RegistryValue> WinePrefix::QueryRegistryValue(std::string_view key_path, std::string_view name,
                                                            RegistryView view) {
    const auto key = ReadRegistryKey(key_path, view);
    if (!key) return std::nullopt;
    const RegistryValue* value = key->Find(name);
    if (value == nullptr) return std::nullopt;
    return *value;
}

std::optional<std::string> WinePrefix::QueryRegistryString(std::string_view key_path, std::string_view name,
                                                           RegistryView view) {
    const auto value = QueryRegistryValue(key_path, name, view);
    if (!value || (value->type != RegistryType::String && value->type != RegistryType::ExpandString)) {
        return std::nullopt;
    }
    return value->text;
}

std::optional<std::uint32_t> WinePrefix::QueryRegistryDword(std::string_view key_path, std::string_view name,
                                                            RegistryView view) {
    const auto value = QueryRegistryValue(key_path, name, view);
    if (!value || value->type != RegistryType::Dword) return std::nullopt;
    return static_cast<std::uint32_t>(value->number);
}

bool WinePrefix::DeleteRegistryKey(std::string_view key_path, RegistryView view) {
    const HostResult result = RunWineTool(
        {"reg", "delete", std::string(key_path), "/f", view == RegistryView::Bits64 ? "/reg:64" : "/reg:32"});
    return !result.timed_out && result.exit_status == 0;
}

bool WinePrefix::SetWindowsVersion(std::string_view version) {
    const HostResult result = RunWineTool({"winecfg", "/v", std::string(version)}, 60s);
    return !result.timed_out && result.exit_status == 0;
}

bool WinePrefix::Screenshot(const fs::path& picture) {
    if (display_name_.empty() || !virtual_display_.Running()) return false;
    const HostCommand command{"import", {"-display", display_name_, "-window", "root", picture.string()}, {}, {}, 30s};
    const HostResult result = RunHostCommand(command);
    return !result.timed_out && result.exit_status == 0 && fs::exists(picture);
}

WinePrefix& Wine() {
    auto& prefix = CurrentPrefix();
    if (!prefix) throw std::logic_error("no Wine prefix: WineEnvironment is not registered or failed");
    return *prefix;
}

void WineEnvironment::SetUp() {
    try {
        CurrentPrefix() = std::make_unique<WinePrefix>(WorkFolder());
    } catch (const std::exception& error) {
        FAIL() << error.what();
    }
}

void WineEnvironment::TearDown() { CurrentPrefix().reset(); }

}  // namespace zev::e2e
