// The harness proves itself on small Win32 fixtures before any setup run relies on it.
#include <algorithm>
#include <cctype>
#include <fstream>
#include <future>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "tests/e2e/wine_harness.h"

namespace zev::e2e {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr char kTestKey[] = "HKCU\\Software\\QuorvaneTest";

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string ReadText(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

// Host processes of this test run's prefix whose program (Wine shows the Windows
// path as the first word of the command line) has the given file name.
int CountPrefixProcesses(const std::string& program) {
    const std::string prefix_marker = "WINEPREFIX=" + Wine().Root().string();
    int count = 0;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        const std::string command_line = ReadText(entry.path() / "cmdline");
        const std::string first_word = Lower(command_line.substr(0, command_line.find('\0')));
        if (!first_word.ends_with("\\" + Lower(program))) continue;
        const std::string status = ReadText(entry.path() / "stat");
        const size_t close_paren = status.rfind(')');
        if (close_paren != std::string::npos && status.size() > close_paren + 2 && status[close_paren + 2] == 'Z') {
            continue;
        }
        std::string environment = ReadText(entry.path() / "environ");
        std::replace(environment.begin(), environment.end(), '\0', '\n');
        if (("\n" + environment + "\n").find("\n" + prefix_marker + "\n") != std::string::npos) ++count;
    }
    return count;
}

TEST(WineHarness, ExitCodesArriveInFull) {
    // Wine hands the host only the low 8 bits; the harness must not.
    const std::uint32_t codes[] = {0, 7, 255, 256, 314, 0xC0000005u, 0xFFFFFFFFu};
    for (const std::uint32_t code : codes) {
        const WineRunResult run = Wine().Run(Win32Binary("regwriter.exe"),
                                             {kTestKey, "ExitCode", "x", std::to_string(code)});
        ASSERT_TRUE(run.Finished()) << run.description;
        EXPECT_EQ(run.exit_code, code) << run.description;
    }
}

TEST(WineHarness, RegistryValuesArriveExactly) {
    struct Case {
        std::string argument;
        RegistryType type;
        std::string text;
        std::uint64_t number;
    };
    const Case cases[] = {
        {"plain", RegistryType::String, "plain", 0},
        {"two  words ", RegistryType::String, "two  words ", 0},
        {"", RegistryType::String, "", 0},
        {"say \"hi\"", RegistryType::String, "say \"hi\"", 0},
        {"C:\\Program Files\\Product\\", RegistryType::String, "C:\\Program Files\\Product\\", 0},
        {"Grüße € 日本 \xF0\x9F\x98\x80", RegistryType::String, "Grüße € 日本 \xF0\x9F\x98\x80", 0},
        {"$NEWLINE$ 100% #x# a,b|c", RegistryType::String, "$NEWLINE$ 100% #x# a,b|c", 0},
        {"dword:314", RegistryType::Dword, "", 314},
        {"dword:0xFFFFFFFF", RegistryType::Dword, "", 0xFFFFFFFFu},
    };
    const std::string key = std::string(kTestKey) + "\\Values";
    Wine().DeleteRegistryKey(key);
    for (size_t index = 0; index < std::size(cases); ++index) {
        const WineRunResult run =
            Wine().Run(Win32Binary("regwriter.exe"), {key, "Value" + std::to_string(index), cases[index].argument, "0"});
        ASSERT_TRUE(run.Finished()) << run.description;
        ASSERT_EQ(run.exit_code, 0u) << run.description;
    }
    const auto values = Wine().ReadRegistryKey(key);
    ASSERT_TRUE(values.has_value());
    ASSERT_EQ(values->values.size(), std::size(cases));
    for (size_t index = 0; index < std::size(cases); ++index) {
        const Case& expected = cases[index];
        const RegistryValue* value = values->Find("value" + std::to_string(index));
        ASSERT_NE(value, nullptr) << expected.argument;
        EXPECT_EQ(value->type, expected.type) << expected.argument;
        EXPECT_EQ(value->text, expected.text) << expected.argument;
        EXPECT_EQ(value->number, expected.number) << expected.argument;
    }
    EXPECT_EQ(Wine().QueryRegistryString(key, "VALUE5"), cases[5].text);
    EXPECT_EQ(Wine().QueryRegistryDword(key, "Value7"), 314u);
    EXPECT_EQ(Wine().QueryRegistryDword(key, "Value0"), std::nullopt);  // a string is no DWORD
    EXPECT_EQ(Wine().QueryRegistryString(key, "Missing"), std::nullopt);
    EXPECT_EQ(Wine().ReadRegistryKey(key + "\\Missing"), std::nullopt);
}

TEST(WineHarness, RegistryViewsKeep32And64BitKeysApart) {
    // A 32-bit program writes HKLM\Software through the 32-bit view unless it asks otherwise.
    const std::string key = "HKLM\\Software\\QuorvaneTest\\Views";
    Wine().DeleteRegistryKey(key, RegistryView::Bits32);
    Wine().DeleteRegistryKey(key, RegistryView::Bits64);
    const WineRunResult own_view = Wine().Run(Win32Binary("regwriter.exe"), {key, "Written", "own view"});
    const WineRunResult wide_view = Wine().Run(Win32Binary("regwriter.exe"), {"/64", key, "Written", "64-bit view"});
    ASSERT_TRUE(own_view.Finished() && own_view.exit_code == 0) << own_view.description;
    ASSERT_TRUE(wide_view.Finished() && wide_view.exit_code == 0) << wide_view.description;
    EXPECT_EQ(Wine().QueryRegistryString(key, "Written", RegistryView::Bits32), "own view");
    EXPECT_EQ(Wine().QueryRegistryString(key, "Written", RegistryView::Bits64), "64-bit view");
    EXPECT_EQ(Wine().QueryRegistryString("HKLM\\Software\\WOW6432Node\\QuorvaneTest\\Views", "Written",
                                         RegistryView::Bits64),
              "own view");
}

TEST(WineHarness, FixturesAre32BitAndImportOnlySystemDlls) {
    const std::set<std::string> system_dlls = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll",
                                               "shell32.dll",  "ole32.dll",  "oleaut32.dll", "msvcrt.dll",
                                               "comctl32.dll", "version.dll", "shlwapi.dll"};
    for (const char* fixture : {"regwriter.exe", "sleeper.exe", "exitreporter.exe", "screenprobe.exe"}) {
        const PeImageFacts facts = InspectPeImage(Win32Binary(fixture));
        ASSERT_EQ(facts.error, "") << fixture;
        EXPECT_EQ(facts.file_format, "pei-i386") << fixture;
        EXPECT_EQ(facts.magic, "010b") << fixture;  // PE32, not PE32+
        EXPECT_FALSE(facts.imported_dlls.empty()) << fixture;
        for (const auto& dll : facts.imported_dlls) {
            EXPECT_TRUE(system_dlls.contains(Lower(dll))) << fixture << " imports " << dll;
        }
    }
}

TEST(WineHarness, HangingProgramIsKilledWithWhatItStarted) {
    const fs::path folder = Wine().NewSetupFolder();
    const fs::path sleeper = CopyInto(folder, {Win32Binary("sleeper.exe")}).front();
    WineRunOptions options;
    options.timeout = 4s;
    auto pending = std::async(std::launch::async, [&] { return Wine().Run(sleeper, {"spawn"}, options); });
    // Both copies must be seen running, or the check after the kill would prove nothing.
    int most_seen = 0;
    while (pending.wait_for(100ms) == std::future_status::timeout) {
        most_seen = std::max(most_seen, CountPrefixProcesses("sleeper.exe"));
    }
    const WineRunResult run = pending.get();
    EXPECT_EQ(most_seen, 2);
    EXPECT_TRUE(run.timed_out) << run.description;
    EXPECT_FALSE(run.Finished());
    EXPECT_EQ(CountPrefixProcesses("sleeper.exe"), 0);

    // The prefix serves the next run as before.
    const WineRunResult next = Wine().Run(Win32Binary("regwriter.exe"), {kTestKey, "AfterKill", "yes", "5"});
    ASSERT_TRUE(next.Finished()) << next.description;
    EXPECT_EQ(next.exit_code, 5u);
    EXPECT_EQ(Wine().QueryRegistryString(kTestKey, "AfterKill"), "yes");
}

TEST(WineHarness, MissingProgramIsReportedNotRun) {
    const WineRunResult run = Wine().Run(Wine().DriveC() / "no-such-program.exe", {});
    EXPECT_FALSE(run.Finished());
    EXPECT_FALSE(run.timed_out);
    EXPECT_NE(run.description.find("no-such-program.exe"), std::string::npos) << run.description;
}

TEST(WineHarness, PathsMapBetweenWindowsAndHost) {
    WinePrefix& wine = Wine();
    struct Case { std::string windows; fs::path host; };
    const Case cases[] = {
        {"C:\\windows\\system32", wine.DriveC() / "windows" / "system32"},
        {"c:\\WINDOWS\\System32\\", wine.DriveC() / "windows" / "system32"},  // matched like Windows does
        {"C:/windows/../windows", wine.DriveC() / "windows"},
        {"C:\\quorvane-tests\\New Folder\\file.txt", wine.DriveC() / "quorvane-tests" / "New Folder" / "file.txt"},
        {"Z:\\tmp", "/tmp"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(wine.HostPath(c.windows), fs::weakly_canonical(c.host)) << c.windows;
    }
    EXPECT_EQ(wine.WindowsPath(wine.DriveC()), "C:\\");
    EXPECT_EQ(wine.WindowsPath(wine.DriveC() / "users" / "Public"), "C:\\users\\Public");
    EXPECT_EQ(wine.WindowsPath("/tmp/quorvane file.txt"), "Z:\\tmp\\quorvane file.txt");
    const fs::path folder = wine.NewSetupFolder();
    EXPECT_EQ(wine.HostPath(wine.WindowsPath(folder)), fs::weakly_canonical(folder));
    EXPECT_TRUE(fs::is_empty(folder));
}

TEST(WineHarness, SupportFolderNamesAreListedInNumericOrder) {
    WinePrefix& wine = Wine();
    const std::string temp = wine.UserTempFolderWindows();
    ASSERT_GE(temp.size(), 3u);
    EXPECT_EQ(temp.substr(1, 2), ":\\") << temp;
    EXPECT_NE(temp.back(), '\\') << temp;
    const fs::path folder = wine.UserTempFolder();
    ASSERT_TRUE(fs::is_directory(folder)) << folder;
    EXPECT_EQ(fs::weakly_canonical(folder).string().rfind(fs::weakly_canonical(wine.DriveC()).string(), 0), 0u);

    wine.ClearUserTempFolder();
    for (const char* name : {"zev1", "zev10", "zevx", "zev"}) fs::create_directories(folder / name);
    std::ofstream(folder / "zev2") << "a plain file";
    std::ofstream(folder / "other.txt") << "x";
    EXPECT_EQ(wine.SupportFolderNames(), (std::vector<std::string>{"zev1", "zev2", "zev10"}));
    wine.ClearUserTempFolder();
    EXPECT_TRUE(fs::is_empty(folder));
    EXPECT_EQ(wine.SupportFolderNames(), std::vector<std::string>{});
}

TEST(WineHarness, VirtualDisplayShowsWindowsAndHeadlessRunsStayHeadless) {
    WinePrefix& wine = Wine();
    const std::uint32_t virtual_screen =
        WinePrefix::kVirtualScreenWidth * 10000u + WinePrefix::kVirtualScreenHeight;
    WineRunOptions on_display;
    on_display.display = Display::Virtual;
    const WineRunResult shown = wine.Run(Win32Binary("screenprobe.exe"), {}, on_display);
    ASSERT_TRUE(shown.Finished()) << shown.description;
    EXPECT_EQ(shown.exit_code, virtual_screen) << shown.description;
    EXPECT_FALSE(wine.VirtualDisplayName().empty());

    const fs::path picture = wine.NewSetupFolder() / "screen.png";
    ASSERT_TRUE(wine.Screenshot(picture));
    EXPECT_GT(fs::file_size(picture), 0u);

    const WineRunResult headless = wine.Run(Win32Binary("screenprobe.exe"), {});
    ASSERT_TRUE(headless.Finished()) << headless.description;
    EXPECT_NE(headless.exit_code, virtual_screen) << "a headless run saw the virtual display";
}

TEST(WineHarness, CopiedProgramRunsFromASetupFolder) {
    WinePrefix& wine = Wine();
    const fs::path folder = wine.NewSetupFolder();
    const auto copies = CopyInto(folder, {Win32Binary("regwriter.exe")});
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(copies[0], folder / "regwriter.exe");
    const WineRunResult run = wine.Run(copies[0], {kTestKey, "FromCopy", "copied", "9"});
    ASSERT_TRUE(run.Finished()) << run.description;
    EXPECT_EQ(run.exit_code, 9u);
    EXPECT_EQ(wine.QueryRegistryString(kTestKey, "FromCopy"), "copied");
}

}  // namespace
}  // namespace zev::e2e
