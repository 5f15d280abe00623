#include <gtest/gtest.h>

#include "engine_fixture.h"
#include "startup/out_of_process_extract.h"

namespace zev {
namespace {

using testing::EngineRun;

StatementTableBuilder OneStatementScript() {
    StatementTableBuilder script;
    script.Add(u"Comment", {u"nothing to do"});
    return script;
}

TEST(Startup, SilentRunWritesEveryPhaseTagInOrder) {
    EngineRun run;
    run.SetScript(OneStatementScript());
    run.SetArguments(u"/s /l=C:\\Temp\\Setup.LOG");
    EXPECT_EQ(run.Run(), 0);
    const std::vector<Text> expected = {
        u"<Quorvane>",           u"    <SupportDir>",    u"    </SupportDir>",   u"  <SetupSplash>",
        u"    <StubSize>",       u"    </StubSize>",     u"    <StubData>",      u"    </StubData>",
        u"    <GlobalLists>",    u"    </GlobalLists>",  u"    <ExtractArchive>", u"    </ExtractArchive>",
        u"    <ResourcePath>",   u"    </ResourcePath>", u"    <Dialogs>",       u"    </Dialogs>",
        u"  </SetupSplash>",     u"  <RunScript>",       u"    <Variables>",     u"    </Variables>",
        u"    <CompileScript>",  u"    </CompileScript>", u"    <BootStrap>",    u"    </BootStrap>",
        u"    <quib>",           u"    </quib>",         u"    <ExitScript>",    u"    </ExitScript>",
        u"  </RunScript>",       u"  <Free>",            u"  </Free>",           u"  <CachedSupportDir>",
        u"  </CachedSupportDir>", u"</Quorvane>",
    };
    EXPECT_EQ(run.Log(), expected);
    EXPECT_EQ(run.fake.ui.preparation_windows, 0);
    EXPECT_TRUE(run.fake.ui.messages.empty());
}

TEST(Startup, SupportFolderSkipsTakenNamesAndIsRemovedAtTheEnd) {
    EngineRun run;
    run.SetScript(OneStatementScript());
    run.fake.files.CreateFolder(u"C:\\Temp\\zev1");
    run.fake.files.AddFile(u"C:\\Temp\\zev2", "a plain file");
    run.SetArguments(u"/s");
    EXPECT_EQ(run.Run(), 0);
    ASSERT_EQ(run.fake.files.private_folders.size(), 1u);
    EXPECT_EQ(run.fake.files.private_folders[0], u"C:\\Temp\\zev3");
    EXPECT_FALSE(run.fake.files.FolderExists(u"C:\\Temp\\zev3"));
    EXPECT_TRUE(run.fake.files.FolderExists(u"C:\\Temp\\zev1"));
    EXPECT_FALSE(run.fake.files.FileExists(u"C:\\Temp\\zev.tmp"));
}

TEST(Startup, ResourceArchiveIsUnpackedIntoTheSupportFolder) {
    EngineRun run;
    // The run removes the support folder at its end: a plug-in looks while the script runs.
    StatementTableBuilder script;
    script.Add(u"Probe", {u"", u"probe.dll"});
    script.Sections().Section(5).push_back(u"Probe");
    run.SetScript(script);
    run.SetArguments(u"/s");
    run.fake.archives.AddArchive(u"C:\\Setup\\setup.res", {{u"readme.txt", "resource"}, {u"probe.dll", "MZ"}});
    std::optional<std::string> seen;
    run.fake.libraries.Register(u"C:\\Temp\\zev1\\probe.dll",
                                [&](TextView, TextView, const PluginLibrary::ProgressFunction&) -> std::optional<Text> {
                                    seen = run.fake.files.ReadWholeFile(u"C:\\Temp\\zev1\\readme.txt");
                                    return u"DONE,yes";
                                });
    EXPECT_EQ(run.Run(), 0);
    EXPECT_EQ(seen.value_or("<missing>"), "resource");
    EXPECT_EQ(run.variables.ValueOf(u"DONE"), u"yes");
}

struct FailureCase {
    const char* name;
    int expected_exit;
    const char16_t* message;
};

TEST(Startup, StartFailuresEndWithTheirExitCodeAndMessage) {
    const FailureCase cases[] = {
        {"no script", kExitNoScript, u"For internal use only"},
        {"no resource", kExitResourceMissing, u"Setup resource not found"},
        {"bad resource", kExitResourceUnreadable, u"Setup resource decompression failure"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EngineRun run;
        if (std::string_view(c.name) == "no script")
            run.fake.files.AddFile(u"C:\\Setup\\setup.exe", testing::MakeStubImage());
        else
            run.SetScript(OneStatementScript());
        if (std::string_view(c.name) == "no resource") run.fake.files.DeleteFile(u"C:\\Setup\\setup.res");
        if (std::string_view(c.name) == "bad resource") run.fake.archives.queued_failures[u"Extract"] = {1001};
        EXPECT_EQ(run.Run(), c.expected_exit);
        ASSERT_EQ(run.fake.ui.messages.size(), 1u);
        EXPECT_EQ(run.fake.ui.messages[0].text, c.message);
        EXPECT_EQ(run.fake.ui.messages[0].caption, u"Quorvane Wizard");
        EXPECT_EQ(run.fake.ui.messages[0].icon, MessageIcon::Error);
        // Nothing of ours stays in the user's temporary folder.
        EXPECT_FALSE(run.fake.files.FolderExists(u"C:\\Temp\\zev1"));
    }
}

TEST(Startup, SilentStartFailureShowsNothing) {
    EngineRun run;
    run.fake.files.AddFile(u"C:\\Setup\\setup.exe", testing::MakeStubImage());
    run.SetArguments(u"/S");
    EXPECT_EQ(run.Run(), kExitNoScript);
    EXPECT_TRUE(run.fake.ui.messages.empty());
}

TEST(Startup, DamagedScriptIsARuntimeErrorInInstall) {
    EngineRun run;
    std::string bytes = OneStatementScript().Bytes();
    bytes.resize(bytes.size() / 2);
    run.fake.files.AddFile(u"C:\\Setup\\setup.exe", testing::MakeStubImage() + bytes);
    EXPECT_EQ(run.Run(), kExitRuntimeError);
    ASSERT_EQ(run.fake.ui.messages.size(), 1u);
    EXPECT_TRUE(run.fake.ui.messages[0].text.starts_with(u"Runtime error in install: "));
    EXPECT_FALSE(run.fake.files.FolderExists(u"C:\\Temp\\zev1"));
}

TEST(Startup, InteractiveRunShowsThePreparationWindow) {
    EngineRun run;
    run.SetScript(OneStatementScript());
    EXPECT_EQ(run.Run(), 0);
    EXPECT_EQ(run.fake.ui.preparation_windows, 1);
}

TEST(Startup, UpdateSwitchSuppressesThePreparationWindowOnly) {
    EngineRun run;
    run.SetScript(OneStatementScript());
    run.SetArguments(u"/update");
    EXPECT_EQ(run.Run(), 0);
    EXPECT_EQ(run.fake.ui.preparation_windows, 0);
}

TEST(Startup, CompatibilityMarkOnWindows7AndLater) {
    EngineRun run;
    run.SetScript(OneStatementScript());
    run.SetArguments(u"/s");
    run.Run();
    EXPECT_EQ(run.fake.registry.ReadString(RegistryRoot::ClassesRoot, u"Applications\\setup.exe", u"IsHostApp"),
              std::optional<Text>(u""));
}

// ---- out-of-process extraction ----

TEST(OutOfProcessExtract, ExitCodesForMissingControlFileAndArchive) {
    EngineRun run;
    run.SetArguments(u"OutOfProcessExtract \"C:\\Temp\\job\"");
    EXPECT_EQ(run.Run(), kExitControlFileMissing);

    run.fake.files.AddFile(u"C:\\Temp\\job", "C:\\Setup\\nothing.7z\r\n\r\nC:\\Out\\\r\nTRUE\r\nTRUE\r\n");
    EXPECT_EQ(run.Run(), kExitArchiveMissing);
}

TEST(OutOfProcessExtract, ExtractsAndWritesAnEmptyResultLine) {
    EngineRun run;
    run.fake.archives.AddArchive(u"C:\\Media\\data.7z", {{u"a\\one.txt", "1"}, {u"two.txt", "2"}}, u"pw");
    run.fake.files.AddFile(u"C:\\Temp\\job", "\xEF\xBB\xBF" "C:\\Media\\data.7z\r\npw\r\nC:\\Out\\\r\nfalse\r\n1\r\n");
    run.fake.files.AddFile(u"C:\\Temp\\jobitems", "a\\one.txt\r\n");
    run.SetArguments(u"OutOfProcessExtract C:\\Temp\\job");
    EXPECT_EQ(run.Run(), 0);
    EXPECT_EQ(run.fake.files.ReadWholeFile(u"C:\\Out\\one.txt").value_or(""), "1");
    EXPECT_FALSE(run.fake.files.FileExists(u"C:\\Out\\two.txt"));
    EXPECT_EQ(run.fake.files.ReadWholeFile(u"C:\\Temp\\job").value_or("?"), "\r\n");
}

TEST(OutOfProcessExtract, FailureTextIsWrittenBackAndNoFurtherProcessStarts) {
    EngineRun run;
    run.fake.archives.AddArchive(u"C:\\Media\\data.7z", {{u"one.txt", "1"}});
    run.fake.archives.queued_failures[u"Extract"] = {1018, 1018};
    run.fake.files.AddFile(u"C:\\Temp\\job", "C:\\Media\\data.7z\r\n\r\nC:\\Out\\\r\nTRUE\r\nTRUE\r\n");
    run.SetArguments(u"OutOfProcessExtract C:\\Temp\\job");
    EXPECT_EQ(run.Run(), 0);
    EXPECT_EQ(run.fake.files.ReadWholeFile(u"C:\\Temp\\job").value_or("?"), "#1018\r\n");
    EXPECT_TRUE(run.fake.processes.runs.empty());
}

TEST(OutOfProcessExtract, LowerCaseWordStartsANormalRun) {
    EngineRun run;
    run.SetScript(OneStatementScript());
    run.SetArguments(u"outofprocessextract /s");
    EXPECT_EQ(run.Run(), 0);
    EXPECT_EQ(run.fake.files.private_folders.size(), 1u);
}

TEST(OutOfProcessExtract, ControlFlagsReadAsWordsOrNumbers) {
    struct Case { const char16_t* line; bool value; };
    const Case cases[] = {{u"TRUE", true}, {u"true", true}, {u"FALSE", false}, {u"1", true},
                          {u"0", false},   {u"-1", true},   {u"", false},      {u"yes", false}};
    for (const auto& c : cases) EXPECT_EQ(ReadControlFlag(c.line), c.value) << ToUtf8(c.line);
}

}  // namespace
}  // namespace zev
