// The engine stub run for real: start-up, the setup log, exit codes, the support folder,
// plug-ins and out-of-process extraction.
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "tests/e2e/wine_harness.h"

namespace zev::e2e {
namespace {

namespace fs = std::filesystem;

const char kProductHeader[] =
    "@product-code {6A0E2C51-3B7D-4E19-8C2F-0D5A9B1E4F70}\n"
    "@revision-code {1F3C5E7A-9B2D-4C6E-8A0F-2B4D6F8A0C1E}\n"
    "@title \"Spine Test\"\n";

// Builds a setup from source text into a fresh setup folder; returns setup.exe.
fs::path BuildSetup(const std::string& body, std::map<std::string, std::string> side_files = {}) {
    const fs::path folder = Wine().NewSetupFolder();
    ZevcBuildOptions options;
    options.side_files = std::move(side_files);
    const ZevcBuildResult built = ZevcBuild(std::string(kProductHeader) + body, folder, options);
    EXPECT_TRUE(built.Succeeded()) << built.description;
    return folder / "setup.exe";
}

std::string LogPathFor(const fs::path& setup) {
    return Wine().WindowsPath(setup.parent_path() / "setup.log");
}

TEST(EngineStartup, SilentRunLogsEveryPhaseAndLeavesNoSupportFolder) {
    Wine().ClearUserTempFolder();
    const fs::path setup = BuildSetup("Comment \"nothing to do\"\n");
    const WineRunResult run = Wine().Run(setup, {"/s", "/l=" + LogPathFor(setup)});
    ASSERT_TRUE(run.Finished()) << run.description;
    EXPECT_EQ(run.exit_code, 0u);
    const std::vector<std::string> expected = {
        "<Quorvane>",           "    <SupportDir>",    "    </SupportDir>",   "  <SetupSplash>",
        "    <StubSize>",       "    </StubSize>",     "    <StubData>",      "    </StubData>",
        "    <GlobalLists>",    "    </GlobalLists>",  "    <ExtractArchive>", "    </ExtractArchive>",
        "    <ResourcePath>",   "    </ResourcePath>", "    <Dialogs>",       "    </Dialogs>",
        "  </SetupSplash>",     "  <RunScript>",       "    <Variables>",     "    </Variables>",
        "    <CompileScript>",  "    </CompileScript>", "    <BootStrap>",    "    </BootStrap>",
        "    <quib>",           "    </quib>",         "    <ExitScript>",    "    </ExitScript>",
        "  </RunScript>",       "  <Free>",            "  </Free>",           "  <CachedSupportDir>",
        "  </CachedSupportDir>", "</Quorvane>",
    };
    EXPECT_EQ(ReadSetupLog(setup.parent_path() / "setup.log"), expected);
    EXPECT_TRUE(Wine().SupportFolderNames().empty());
    EXPECT_FALSE(fs::exists(Wine().UserTempFolder() / "zev.tmp"));
}

TEST(EngineStartup, StartFailuresEndWithTheirExitCodes) {
    struct Case {
        const char* name;
        std::uint32_t exit_code;
    };
    const Case cases[] = {{"no script", 13}, {"no resource archive", 14}, {"damaged resource archive", 15}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path setup = BuildSetup("Comment \"x\"\n");
        const std::string name = c.name;
        if (name == "no script") fs::copy_file(Win32Binary("zevstub.exe"), setup, fs::copy_options::overwrite_existing);
        if (name == "no resource archive") fs::remove(setup.parent_path() / "setup.res");
        if (name == "damaged resource archive") WriteFileBytes(setup.parent_path() / "setup.res", "7z\xBC\xAF\x27\x1C garbage");
        const WineRunResult run = Wine().Run(setup, {"/s"});
        ASSERT_TRUE(run.Finished()) << run.description;
        EXPECT_EQ(run.exit_code, c.exit_code);
    }
}

TEST(EngineStartup, StubIsA32BitImageImportingOnlySystemLibrariesAndTheArchiveLibrary) {
    const PeImageFacts facts = InspectPeImage(Win32Binary("zevstub.exe"));
    ASSERT_TRUE(facts.error.empty()) << facts.error;
    EXPECT_EQ(facts.file_format, "pei-i386");
    for (const std::string& dll : facts.imported_dlls) {
        std::string lower;
        for (char c : dll) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        const bool allowed = lower == "zev.lib" || lower == "kernel32.dll" || lower == "user32.dll" ||
                             lower == "advapi32.dll" || lower == "shell32.dll" || lower == "gdi32.dll" ||
                             lower == "comctl32.dll" || lower == "msvcrt.dll" || lower == "ole32.dll";
        EXPECT_TRUE(allowed) << dll;
    }
}

TEST(EngineStartup, PluginReceivesVariablesAndItsResultLandsInTheStore) {
    const fs::path dump_host = Wine().NewSetupFolder("PluginDump") / "vars.txt";
    const std::string dump = Wine().WindowsPath(dump_host);
    const std::string plugin = ReadFileBytes(Win32Binary("testplugin.dll"));
    const fs::path setup = BuildSetup(
        "@plugin \"Test Plug-In\"\n"
        "@support \"testplugin.dll\"\n"
        "Test Plug-In \"hello world,second\" \"testplugin.dll\"\n"
        "Test Plug-In \"dump," + dump + "\" \"testplugin.dll\"\n",
        {{"testplugin.dll", plugin}});
    const WineRunResult run = Wine().Run(setup, {"/s", "PRESET=from command line"});
    ASSERT_TRUE(run.Finished()) << run.description;
    EXPECT_EQ(run.exit_code, 0u);
    // The second call sees what the first one returned, stored in the engine's variables.
    const std::string variables = ReadFileBytes(dump_host);
    EXPECT_NE(variables.find("PLUGIN_PARAMETERS,\"\"\"hello world\"\",second\""), std::string::npos) << variables;
    EXPECT_NE(variables.find("PLUGIN_TITLE,\"Spine Test\""), std::string::npos) << variables;
    EXPECT_NE(variables.find("PRESET,\"from command line\""), std::string::npos) << variables;
    EXPECT_NE(variables.find("PLUGIN_SUPPORTDIR,"), std::string::npos) << variables;
}

TEST(EngineStartup, RuntimeErrorInSilentRunIsLoggedAndCleanedUp) {
    Wine().ClearUserTempFolder();
    const std::string plugin = ReadFileBytes(Win32Binary("testplugin.dll"));
    const fs::path setup = BuildSetup(
        "@plugin \"Test Plug-In\"\n"
        "@support \"testplugin.dll\"\n"
        "Comment \"first\"\n"
        "Test Plug-In \"fail\" \"testplugin.dll\"\n"
        "Test Plug-In \"never reached\" \"testplugin.dll\"\n",
        {{"testplugin.dll", plugin}});
    const WineRunResult run = Wine().Run(setup, {"/s", "/l=" + LogPathFor(setup)});
    ASSERT_TRUE(run.Finished()) << run.description;
    EXPECT_EQ(run.exit_code, 0u);
    const auto log = ReadSetupLog(setup.parent_path() / "setup.log");
    EXPECT_NE(std::find(log.begin(), log.end(), "      <RuntimeError>setup(7): General setup failure</RuntimeError>"),
              log.end());
    EXPECT_EQ(log.back(), "</Quorvane>");
    EXPECT_TRUE(Wine().SupportFolderNames().empty());
}

TEST(EngineStartup, OutOfProcessExtractUnpacksAnArchiveAndReportsBack) {
    const fs::path folder = Wine().NewSetupFolder();
    const fs::path stub = folder / "setup.exe";
    fs::copy_file(Win32Binary("zevstub.exe"), stub);
    fs::copy_file(Win32Binary("zev.lib"), folder / "zev.lib");
    WriteFileBytes(folder / "content" / "sub" / "a.txt", "alpha");
    WriteFileBytes(folder / "content" / "b.txt", "beta");
    HostCommand pack{"7zz", {"a", "-bd", (folder / "data.7z").string(), "sub", "b.txt"}, folder / "content"};
    const HostResult packed = RunHostCommand(pack);
    ASSERT_EQ(packed.exit_status, 0) << packed.standard_output;

    const fs::path control = folder / "job";
    WriteFileBytes(control, Wine().WindowsPath(folder / "data.7z") + "\r\n\r\n" + Wine().WindowsPath(folder / "out") +
                           "\\\r\nTRUE\r\nTRUE\r\n");
    WineRunResult run = Wine().Run(stub, {"OutOfProcessExtract", Wine().WindowsPath(control)});
    ASSERT_TRUE(run.Finished()) << run.description;
    EXPECT_EQ(run.exit_code, 0u);
    EXPECT_EQ(ReadFileBytes(folder / "out" / "sub" / "a.txt"), "alpha");
    EXPECT_EQ(ReadFileBytes(folder / "out" / "b.txt"), "beta");
    EXPECT_EQ(ReadFileBytes(control), "\r\n");

    run = Wine().Run(stub, {"OutOfProcessExtract", Wine().WindowsPath(folder / "no-such-job")});
    ASSERT_TRUE(run.Finished()) << run.description;
    EXPECT_EQ(run.exit_code, 1u);
    WriteFileBytes(control, "C:\\missing.7z\r\n\r\nC:\\out\\\r\nTRUE\r\nTRUE\r\n");
    run = Wine().Run(stub, {"OutOfProcessExtract", Wine().WindowsPath(control)});
    ASSERT_TRUE(run.Finished()) << run.description;
    EXPECT_EQ(run.exit_code, 2u);
}

}  // namespace
}  // namespace zev::e2e
