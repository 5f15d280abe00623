// The five archive statements run for real under Wine: a setup script packs a folder
// with a password and hidden names, lists, tests, edits and unpacks the archive, and
// meets a wrong password, a cut archive and an archive whose entry climbs out of the
// output folder. Results are read from the variables the test plug-in writes out.
#include <algorithm>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "media/archive_routines.h"
#include "media/delimited_text.h"
#include "script/comma_text.h"
#include "tests/e2e/wine_harness.h"

namespace zev::e2e {
namespace {

namespace fs = std::filesystem;

std::string ReadBytes(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string RandomBytes(size_t count, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(count, '\0');
    for (char& byte : bytes) byte = static_cast<char>(generator() & 0xFF);
    return bytes;
}

// Every regular file below root, by its path relative to root ("/"-separated), with its bytes.
std::map<std::string, std::string> FilesBelow(const fs::path& root) {
    std::map<std::string, std::string> found;
    if (!fs::exists(root)) return found;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_regular_file()) found[fs::relative(entry.path(), root).generic_string()] = ReadBytes(entry.path());
    }
    return found;
}

// The engine's variables as the test plug-in wrote them: NAME,value,NAME,value,...
std::map<std::string, std::string> ReadVariableDump(const fs::path& dump) {
    const std::vector<Text> items = ReadCommaText(FromUtf8(ReadBytes(dump)));
    std::map<std::string, std::string> variables;
    for (size_t i = 0; i + 1 < items.size(); i += 2) variables[ToUtf8(ToUpper(items[i]))] = ToUtf8(items[i + 1]);
    return variables;
}

const char kHeader[] =
    "@product-code {3C7E1A90-5B2D-4F68-9A1E-7D0C2B4E6F81}\n"
    "@revision-code {8E2A4C6F-1B3D-4A5E-9C7F-0A2B4D6E8F13}\n"
    "@title \"Archive Test\"\n"
    "@plugin \"Test Plug-In\"\n"
    "@support \"testplugin.dll\"\n";

// A zevc text in double quotes.
std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

struct SetupRun {
    WineRunResult run;
    std::map<std::string, std::string> variables;
};

// Builds a setup from the statements, appends a dump of the variables, runs it silently.
SetupRun RunSetup(const fs::path& folder, const std::string& statements) {
    const fs::path dump = folder / "variables.txt";
    ZevcBuildOptions options;
    options.side_files["testplugin.dll"] = ReadBytes(Win32Binary("testplugin.dll"));
    const std::string source = std::string(kHeader) + statements + "Test Plug-In " +
                               Quoted("dump," + Wine().WindowsPath(dump)) + " \"testplugin.dll\"\n";
    const ZevcBuildResult built = ZevcBuild(source, folder / "setup", options);
    EXPECT_TRUE(built.Succeeded()) << built.description;
    SetupRun result;
    WineRunOptions run_options;
    run_options.timeout = std::chrono::seconds(120);
    result.run = Wine().Run(folder / "setup" / "setup.exe", {"/s"}, run_options);
    result.variables = ReadVariableDump(dump);
    return result;
}

HostResult RunSevenZip(const std::vector<std::string>& arguments, const fs::path& working_folder) {
    HostCommand command{"7zz", arguments, working_folder};
    command.timeout = std::chrono::seconds(60);
    return RunHostCommand(command);
}

TEST(ArchiveStatements, EncryptedArchiveRoundTripsThroughEveryStatement) {
    const fs::path folder = Wine().NewSetupFolder();
    const fs::path source = folder / "source";
    std::map<std::string, std::string> originals = {
        {"alpha.txt", "alpha\r\nline two\r\n"},
        {"empty.dat", ""},
        {"sub/random.bin", RandomBytes(300'000, 7)},
        {"sub/gone.txt", "this entry is deleted from the archive"},
        {"sub/deep/with blank.txt", std::string(50'000, 'z')},
    };
    for (const auto& [name, bytes] : originals) WriteBytes(source / name, bytes);

    const std::string switches =
        ToUtf8(LevelSwitches(u"4", true, std::max(1u, std::thread::hardware_concurrency())));
    const std::string archive = Wine().WindowsPath(folder / "packed.7z");
    const std::string password = "s3cret pass";
    const std::string output = Wine().WindowsPath(folder / "out" / "made" / "here");
    const SetupRun setup = RunSetup(
        folder,
        "Compress 7Zip Archive " + Quoted(archive) + " " + Quoted(password) + " " +
            Quoted(Wine().WindowsPath(source) + "\\*.*") + " \"\" \"4\" " + Quoted(switches) +
            " \"TRUE\" \"FALSE\" \"FALSE\" \"R_COMPRESS\"\n"
            "List 7Zip Archive " + Quoted(archive) + " " + Quoted(password) + " \"R_LIST\"\n"
            "Test 7Zip Archive " + Quoted(archive) + " " + Quoted(password) + " \"R_TEST\"\n"
            "Delete 7Zip Archive " + Quoted(archive) + " " + Quoted(password) + " \"sub\\gone.txt\" \"R_DELETE\"\n"
            "List 7Zip Archive " + Quoted(archive) + " " + Quoted(password) + " \"R_LIST_AFTER\"\n"
            "Extract 7Zip Archive " + Quoted(archive) + " " + Quoted(output) + " \"R_EXTRACT\" " + Quoted(password) +
            " \"TRUE\" \"TRUE\"\n");
    ASSERT_TRUE(setup.run.Finished()) << setup.run.description;
    EXPECT_EQ(setup.run.exit_code, 0u);

    const std::map<std::string, std::string> expected_results = {
        {"R_COMPRESS", "SUCCESS"}, {"R_TEST", "SUCCESS"}, {"R_DELETE", "SUCCESS"}, {"R_EXTRACT", "SUCCESS"}};
    for (const auto& [name, value] : expected_results) {
        const auto found = setup.variables.find(name);
        ASSERT_NE(found, setup.variables.end()) << name;
        EXPECT_EQ(found->second, value) << name;
    }

    // The listings, as sets of file names (folders may be listed too).
    auto listed_files = [&](const std::string& variable) {
        std::set<std::string> names;
        for (const Text& name : SplitDelimited(FromUtf8(setup.variables.at(variable)))) names.insert(ToUtf8(name));
        return names;
    };
    const std::set<std::string> before = listed_files("R_LIST");
    const std::set<std::string> after = listed_files("R_LIST_AFTER");
    for (const auto& [name, bytes] : originals) {
        std::string windows_name = name;
        std::replace(windows_name.begin(), windows_name.end(), '/', '\\');
        EXPECT_TRUE(before.count(windows_name)) << windows_name << " in " << setup.variables.at("R_LIST");
        EXPECT_EQ(after.count(windows_name), name == "sub/gone.txt" ? 0u : 1u) << windows_name;
    }
    // An entry with a blank is quoted in the list text.
    EXPECT_NE(setup.variables.at("R_LIST").find("\"sub\\deep\\with blank.txt\""), std::string::npos);

    // Names are hidden: without the password 7-Zip cannot even list the archive.
    const HostResult unlisted = RunSevenZip({"l", "-p", (folder / "packed.7z").string()}, folder);
    EXPECT_NE(unlisted.exit_status, 0) << unlisted.standard_output;

    std::map<std::string, std::string> wanted = originals;
    wanted.erase("sub/gone.txt");
    const std::map<std::string, std::string> extracted = FilesBelow(folder / "out" / "made" / "here");
    EXPECT_EQ(extracted.size(), wanted.size());
    for (const auto& [name, bytes] : wanted) {
        const auto found = extracted.find(name);
        ASSERT_NE(found, extracted.end()) << name;
        EXPECT_TRUE(found->second == bytes) << name << " differs from the original";
    }
}

TEST(ArchiveStatements, BrokenArchivesGiveErrorTextsAndWriteNothingOutsideTheOutputFolder) {
    const fs::path folder = Wine().NewSetupFolder();
    WriteBytes(folder / "content" / "one.txt", "one");
    WriteBytes(folder / "content" / "two.bin", RandomBytes(200'000, 3));

    // A good archive with a password (and hidden names), and one cut in half.
    HostResult packed = RunSevenZip({"a", "-bd", "-mhe=on", "-psecret", "../locked.7z", "one.txt", "two.bin"},
                                    folder / "content");
    ASSERT_EQ(packed.exit_status, 0) << packed.standard_output;
    packed = RunSevenZip({"a", "-bd", "../whole.7z", "one.txt", "two.bin"}, folder / "content");
    ASSERT_EQ(packed.exit_status, 0) << packed.standard_output;
    const std::string whole = ReadBytes(folder / "whole.7z");
    WriteBytes(folder / "cut.7z", whole.substr(0, whole.size() / 2));

    // An archive whose second entry climbs two folders up from where it is extracted.
    WriteBytes(folder / "climb" / "escape.txt", "escaped");
    WriteBytes(folder / "climb" / "a" / "b" / "inside.txt", "inside");
    packed = RunSevenZip({"a", "-bd", "-spf", "../../../escape.7z", "inside.txt", "../../escape.txt"},
                         folder / "climb" / "a" / "b");
    ASSERT_EQ(packed.exit_status, 0) << packed.standard_output;
    fs::remove(folder / "climb" / "escape.txt");

    struct Case {
        const char* variable;
        const char* archive;
        const char* password;
        const char* output;  // below the test folder
        const char* expected;
    };
    const Case cases[] = {
        {"R_WRONG_PASSWORD", "locked.7z", "not the password", "wrong/out", "#1003"},
        {"R_NO_PASSWORD", "locked.7z", "", "none/out", "#1003"},
        {"R_CUT", "cut.7z", "", "cut/out", "#1002"},
        {"R_CLIMB", "escape.7z", "", "climb/x/y/out", "#1009"},
        {"R_MISSING", "no-such.7z", "", "missing/out", "#1002"},
    };
    std::string statements;
    for (const Case& c : cases) {
        statements += "Extract 7Zip Archive " + Quoted(Wine().WindowsPath(folder / c.archive)) + " " +
                      Quoted(Wine().WindowsPath(folder / c.output)) + " " + Quoted(c.variable) + " " +
                      Quoted(c.password) + " \"TRUE\" \"TRUE\"\n";
    }
    statements += "Test 7Zip Archive " + Quoted(Wine().WindowsPath(folder / "locked.7z")) +
                  " \"wrong\" \"R_TEST_WRONG\"\n";
    statements += "Test 7Zip Archive " + Quoted(Wine().WindowsPath(folder / "cut.7z")) + " \"\" \"R_TEST_CUT\"\n";
    statements += "List 7Zip Archive " + Quoted(Wine().WindowsPath(folder / "locked.7z")) +
                  " \"wrong\" \"R_LIST_WRONG\"\n";
    const SetupRun setup = RunSetup(folder, statements);
    ASSERT_TRUE(setup.run.Finished()) << setup.run.description;
    EXPECT_EQ(setup.run.exit_code, 0u);

    for (const Case& c : cases) {
        SCOPED_TRACE(c.variable);
        const auto found = setup.variables.find(c.variable);
        ASSERT_NE(found, setup.variables.end());
        EXPECT_EQ(found->second, c.expected);
        EXPECT_TRUE(FilesBelow(folder / c.output).empty());
    }
    EXPECT_EQ(setup.variables.at("R_TEST_WRONG"), "#1003");
    EXPECT_EQ(setup.variables.at("R_TEST_CUT"), "#1002");
    EXPECT_EQ(setup.variables.at("R_LIST_WRONG"), "#ERROR\\#1003");

    // Nothing landed anywhere else in the test folder: only what the test itself made.
    std::set<std::string> written;
    for (const auto& [name, bytes] : FilesBelow(folder)) {
        if (name.rfind("setup/", 0) != 0) written.insert(name);
    }
    const std::set<std::string> made_by_test = {"content/one.txt", "content/two.bin", "locked.7z", "whole.7z",
                                                "cut.7z", "climb/a/b/inside.txt", "escape.7z", "variables.txt"};
    EXPECT_EQ(written, made_by_test);
    EXPECT_FALSE(fs::exists(Wine().DriveC() / "escape.txt"));
}

}  // namespace
}  // namespace zev::e2e
