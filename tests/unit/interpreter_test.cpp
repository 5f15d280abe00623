#include <gtest/gtest.h>

#include "engine_fixture.h"
#include "interpreter/plugin_statement.h"

namespace zev {
namespace {

using testing::EngineRun;

constexpr char16_t kPluginPath[] = u"C:\\Temp\\zev1\\probe.dll";

// A script whose statements are all plug-in calls of probe.dll (command "Probe").
struct PluginScript {
    PluginScript() { script.Sections().Section(5).push_back(u"Probe"); }
    size_t Add(TextView parameters = u"", TextView flag = u"") {
        return script.Add(u"Probe", {Text(parameters), u"probe.dll"}, flag);
    }
    StatementTableBuilder script;
};

void ShipPlugin(EngineRun& run, fake::FakePluginFunction function, bool wide = true) {
    run.fake.archives.AddArchive(u"C:\\Setup\\setup.res", {{u"probe.dll", "MZ"}});
    run.fake.libraries.Register(kPluginPath, std::move(function), wide);
}

TEST(Interpreter, PluginReceivesVariablesAndParametersAndItsResultLandsInTheStore) {
    EngineRun run;
    PluginScript plugin;
    plugin.Add(u"first item,second");
    run.SetScript(plugin.script);
    run.SetArguments(u"/s PRESET=\"a b\"");
    Text seen_variables, seen_parameters;
    ShipPlugin(run, [&](TextView variables, TextView parameters, const PluginLibrary::ProgressFunction& progress)
                        -> std::optional<Text> {
        seen_variables = Text(variables);
        seen_parameters = Text(parameters);
        EXPECT_EQ(progress(50, u"halfway"), 1);
        return u"RESULT,\"x y\",OTHER,2";
    });
    EXPECT_EQ(run.Run(), 0);
    EXPECT_NE(seen_variables.find(u"PRESET,\"a b\""), Text::npos) << ToUtf8(seen_variables);
    EXPECT_NE(seen_variables.find(u"TITLE,\"Test Product\""), Text::npos);
    EXPECT_EQ(seen_parameters, u"\"first item\",second");
    EXPECT_EQ(run.variables.ValueOf(u"RESULT"), u"x y");
    EXPECT_EQ(run.variables.ValueOf(u"OTHER"), u"2");
    EXPECT_EQ(run.variables.ValueOf(u"QUIB_thProgressText"), u"halfway");
    EXPECT_EQ(run.variables.ValueOf(u"QUIB_thProgress"), u"50");
}

TEST(Interpreter, NarrowPluginFailureKeepsTheVariables) {
    EngineRun run;
    PluginScript plugin;
    plugin.Add();
    run.SetScript(plugin.script);
    run.SetArguments(u"/s");
    ShipPlugin(run, [](TextView, TextView, const auto&) -> std::optional<Text> { return std::nullopt; }, false);
    EXPECT_EQ(run.Run(), 0);
    EXPECT_TRUE(run.fake.ui.messages.empty());
    EXPECT_EQ(run.variables.ValueOf(u"TITLE"), u"Test Product");
}

TEST(Interpreter, RuntimeErrorReportNamesSourceFileAndLine) {
    EngineRun run;
    PluginScript plugin;
    plugin.Add();
    plugin.Add();
    plugin.script.Sections().Section(12)[2] = u"C:\\Projects\\proj.zev*41";
    run.SetScript(plugin.script);
    int calls = 0;
    ShipPlugin(run, [&](TextView, TextView, const auto&) -> std::optional<Text> {
        return ++calls == 1 ? std::optional<Text>(u"A,1") : std::nullopt;
    });
    EXPECT_EQ(run.Run(), 0);
    ASSERT_EQ(run.fake.ui.messages.size(), 1u);
    EXPECT_EQ(run.fake.ui.messages[0].text,
              u"Runtime error in setup script:\r\rSource File: proj\rLine Number: 42\r\rGeneral setup failure");
    EXPECT_EQ(run.fake.ui.messages[0].caption, u"Test Product - Quorvane Wizard");
    EXPECT_FALSE(run.fake.files.FolderExists(u"C:\\Temp\\zev1"));
}

TEST(Interpreter, RuntimeErrorInSilentRunIsLoggedNotShown) {
    EngineRun run;
    PluginScript plugin;
    plugin.Add();
    run.SetScript(plugin.script);
    run.SetArguments(u"/s /l=C:\\Temp\\setup.log");
    ShipPlugin(run, [](TextView, TextView, const auto&) -> std::optional<Text> { return std::nullopt; });
    EXPECT_EQ(run.Run(), 0);
    EXPECT_TRUE(run.fake.ui.messages.empty());
    const auto log = run.Log();
    EXPECT_NE(std::find(log.begin(), log.end(), u"      <RuntimeError>test(1): General setup failure</RuntimeError>"),
              log.end());
    // The script ended without its normal end sequence, but start-up cleaned up.
    EXPECT_EQ(std::find(log.begin(), log.end(), u"    </quib>"), log.end());
    EXPECT_EQ(log.back(), u"</Quorvane>");
}

TEST(Interpreter, MissingPluginIsSkippedWithAMessageUnlessSilent) {
    for (bool silent : {false, true}) {
        EngineRun run;
        PluginScript plugin;
        plugin.Add();
        run.SetScript(plugin.script);
        if (silent) run.SetArguments(u"/s");
        EXPECT_EQ(run.Run(), 0);
        ASSERT_EQ(run.fake.ui.messages.size(), silent ? 0u : 1u);
        if (!silent)
            EXPECT_EQ(run.fake.ui.messages[0].text,
                      u"Unable to load plug-in library. Please rebuild your project and make sure all required "
                      u"plug-ins are installed.\r\rAction skipped");
    }
}

TEST(Interpreter, DisabledAndUnknownStatementsDoNothing) {
    EngineRun run;
    PluginScript plugin;
    plugin.script.Add(u"Code Folding Region", {u"x"});
    plugin.Add(u"", u"C");
    plugin.script.Add(u"Compiler Variable End");
    plugin.Add();
    plugin.Add(u"", u"C");
    run.SetScript(plugin.script);
    run.SetArguments(u"/s");
    int calls = 0;
    ShipPlugin(run, [&](TextView, TextView, const auto&) -> std::optional<Text> {
        ++calls;
        return u"N,1";
    });
    EXPECT_EQ(run.Run(), 0);
    EXPECT_EQ(calls, 1);
}

TEST(Interpreter, CommandLinePresetIsLockedInSilentRunsOnly) {
    for (bool silent : {true, false}) {
        EngineRun run;
        PluginScript plugin;
        plugin.Add();
        run.SetScript(plugin.script);
        run.SetArguments(silent ? u"/s TARGETDIR=D:\\App" : u"TARGETDIR=D:\\App");
        Text seen;
        ShipPlugin(run, [&](TextView variables, TextView, const auto&) -> std::optional<Text> {
            seen = Text(variables);
            return u"X,1";
        });
        run.Run();
        EXPECT_NE(seen.find(u"TARGETDIR,D:\\App"), Text::npos);
        // Plug-in results are stored directly, past the command-line lock.
        run.variables.Assign(u"TARGETDIR", u"E:\\Other", u"Set Variable Action");
        EXPECT_EQ(run.variables.ValueOf(u"TARGETDIR"), silent ? u"D:\\App" : u"E:\\Other");
    }
}

TEST(Interpreter, PredefinedVariablesDescribeTheRun) {
    EngineRun run;
    PluginScript plugin;
    plugin.Add();
    run.SetScript(plugin.script);
    run.SetArguments(u"/s /l=C:\\Logs\\Setup.LOG");
    run.fake.files.CreateFolderTree(u"C:\\Logs");
    ShipPlugin(run, [](TextView, TextView, const auto&) -> std::optional<Text> { return u"X,1"; });
    run.Run();
    struct Case { const char16_t* name; const char16_t* value; };
    const Case cases[] = {
        {u"EXEDIR", u"C:\\Setup\\"},       {u"EXEFILE", u"C:\\Setup\\setup.exe"},
        {u"SUPPORTDIR", u"C:\\Temp\\zev1\\"}, {u"TEMPDIR", u"C:\\Temp\\"},
        {u"SILENT", u"TRUE"},              {u"LOGGED", u"c:\\logs\\setup.log"},
        {u"CMDLINE", u"/s /l=C:\\Logs\\Setup.LOG"}, {u"SETUPPATH", u"$EXEDIR$"},
        {u"NEWLINE", u"\r\n"},             {u"TITLE", u"Test Product"},
        {u"STARTMENU", u"Test Product"},   {u"VERSION", u"1.0"},
        {u"MSIFILE", u"C:\\Temp\\zev1\\setup.msi"}, {u"ABORTONERROR", u"TRUE"},
        {u"QUIB_IsCancelled", u"FALSE"},   {u"ABORT", u"FALSE"},
    };
    for (const auto& c : cases) EXPECT_EQ(run.variables.ValueOf(c.name), c.value) << ToUtf8(c.name);
    EXPECT_EQ(run.variables.Expand(u"$SETUPPATH$setup.ini"), u"C:\\Setup\\setup.ini");
}

// A plug-in library that answers the size call with an absurd length.
class GreedyLibrary final : public PluginLibrary {
public:
    bool HasWideEntry() override { return true; }
    bool HasNarrowEntry() override { return false; }
    int32_t CallWide(uintptr_t, const char16_t*, const char16_t*, const ProgressFunction&, uint8_t*,
                     char16_t* buffer) override {
        return buffer ? 0 : 0x7FFFFFFF;
    }
    int32_t CallNarrow(uintptr_t, const char*, const char*, const ProgressFunction&, uint8_t*, char*) override {
        return -1;
    }
    std::string ToSystemCodePage(TextView) override { return {}; }
    Text FromSystemCodePage(std::string_view) override { return {}; }
};

TEST(PluginProtocol, AbsurdResultLengthIsAFailureNotAnAllocation) {
    GreedyLibrary library;
    EXPECT_EQ(CallPluginEntry(library, 0, u"A,1", u"", nullptr), std::nullopt);
}

}  // namespace
}  // namespace zev

namespace zev {
namespace {

TEST(Termination, ExitCodeEndsTheScriptAndReachesTheProcess) {
    struct Case { const char16_t* code; int exit; bool reported; };
    const Case cases[] = {{u"7", 7, false}, {u"$CODE$", 42, false}, {u"seven", 0, true}};
    for (const auto& c : cases) {
        testing::EngineRun run;
        StatementTableBuilder script;
        script.Add(u"Terminate with Exit Code", {c.code});
        script.Add(u"Terminate with Exit Code", {u"99"});
        run.SetScript(script);
        run.SetArguments(u"/l=C:\\Temp\\setup.log CODE=42");
        EXPECT_EQ(run.Run(), c.exit) << ToUtf8(c.code);
        EXPECT_EQ(run.fake.ui.messages.size(), c.reported ? 1u : 0u);
        const auto log = run.Log();
        // A normal end: the end sequence ran.
        if (!c.reported) EXPECT_NE(std::find(log.begin(), log.end(), u"    </quib>"), log.end());
    }
}

TEST(Termination, TerminateInstallKeepsTheExitCode) {
    testing::EngineRun run;
    StatementTableBuilder script;
    script.Add(u"Terminate Install");
    script.Add(u"Terminate with Exit Code", {u"5"});
    run.SetScript(script);
    run.SetArguments(u"/s");
    EXPECT_EQ(run.Run(), 0);
}

}  // namespace
}  // namespace zev
