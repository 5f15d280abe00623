#include <gtest/gtest.h>

#include "command_script.h"
#include "interpreter/predefined_variables.h"

namespace zev {
namespace {

using testing::CommandScript;

struct Expected {
    const char16_t* name;
    const char16_t* value;
};

// An engine with start-up's facts in place, for calling the groups directly.
struct PreparedEngine {
    explicit PreparedEngine(const std::vector<Text>& arguments = {}) {
        std::vector<Text> all{u"C:\\Setup\\setup.exe"};
        all.insert(all.end(), arguments.begin(), arguments.end());
        engine.command_line = ParseCommandLine(JoinCommandLine(all));
        engine.silent = engine.command_line.silent;
        engine.folders.executable_path = u"C:\\Setup\\setup.exe";
        engine.folders.executable_folder = u"C:\\Setup\\";
        engine.folders.temporary_folder = u"C:\\Temp\\";
        engine.folders.support_folder = u"C:\\Temp\\zev3\\";
        engine.package_path = u"C:\\Temp\\zev3\\setup.msi";
        StatementTableBuilder script;
        script.Sections().Section(5) = {u"{PRODUCT-CODE}", u"Vendor App"};
        script.Sections().Section(6) = {u"Vendor Inc.", u"", u"", u"", u"", u"2.5.1"};
        script.Sections().Section(9) = {u"{REVISION-CODE}"};
        script.Sections().Section(11) = {u"SingleInstance", u"true", u"LOCMODE", u"VARSONLY", u"SWID", u"-1"};
        engine.script = script.Build();
    }
    void InitializeAll() {
        InitializeWorkerVariables(engine);
        InitializePreVariables(engine);
        InitializeVariables(engine);
    }
    Text Value(TextView name) const { return variables.ValueOf(name); }

    fake::FakePlatform fake;
    TVariableManager variables;
    Engine engine{fake.platform, variables};
};

TEST(PredefinedVariables, WorkerGroupStartsIdle) {
    PreparedEngine prepared;
    prepared.fake.system.tick = 5000;
    InitializeWorkerVariables(prepared.engine);
    const Expected expected[] = {
        {u"QUIB_thProgress", u"0"},        {u"QUIB_thMax", u"100"},           {u"QUIB_thMin", u"0"},
        {u"QUIB_thProgressText", u""},     {u"QUIB_thFinished", u"FALSE"},    {u"QUIB_thCancelled", u"FALSE"},
        {u"QUIB_IsCancelled", u"FALSE"},   {u"QUIB_LastDelegateTick", u"5016"}, {u"QUIB_LastActiveTick", u"5016"},
    };
    for (const auto& e : expected) EXPECT_EQ(prepared.Value(e.name), e.value) << ToUtf8(e.name);
    EXPECT_TRUE(prepared.variables.Exists(u"QUIB_thProgressText"));
}

TEST(PredefinedVariables, InitializationGroupHoldsTheDefaults) {
    PreparedEngine prepared({u"/s", u"/l=C:\\Logs\\Run.log"});
    prepared.InitializeAll();
    const Expected expected[] = {
        {u"QUIB_TIMEOUT", u"10"},
        {u"QUIB_COMPRESS_INSTALLER_CACHE", u"FALSE"},
        {u"QUIB_DISABLE_ROLLBACK", u"FALSE"},
        {u"QUIB_DISABLE_VISTA_RESTART_MANAGER", u"FALSE"},
        {u"CHARSET_OVERRIDE", u""},
        {u"NATIVE_ENGINE", u"FALSE"},
        {u"NATIVE_LOGGING", u""},
        {u"NATIVE_ROLLBACK", u"TRUE"},
        {u"NATIVE_HARDLINK", u"TRUE"},
        {u"NATIVE_ERROR", u"PROMPT"},
        {u"NATIVE_OVERWRITE", u"PROMPT"},
        {u"NATIVE_OVERWRITE_OLDER", u"FALSE"},
        {u"NATIVE_PROGRESS", u"0"},
        {u"DELAYUNTIL_APPLYCHANGES", u"FALSE"},
        {u"NATIVE_OVERRIDE_PERMISSIONS", u"FALSE"},
        {u"NATIVE_OVERRIDE_NON_RESTORABLE_PERMISSIONS", u"FALSE"},
        {u"IISHOST", u"localhost"},
        {u"OVERRIDECACHE", u""},
        {u"QUIBLOGO", u""},
        {u"SELECTED", u"0"},
        {u"WINDOWHANDLE", u"0"},
        {u"EXEFILE", u"C:\\Setup\\setup.exe"},
        {u"EXEDIR", u"C:\\Setup\\"},
        {u"PROGRESSTEXT", u""},
        {u"PROGRESSMODE", u""},
        {u"CUSTOM_TASKBAR_PROGRESS_ENABLED", u"FALSE"},
        {u"CUSTOM_TASKBAR_PROGRESS_PERCENT", u"0"},
        {u"CUSTOM_TASKBAR_PROGRESS_MAX", u"100"},
        {u"ABORT", u"FALSE"},
        {u"PROGRESS", u"0"},
        {u"LASTERROR", u""},
        {u"LICENSE", u"FALSE"},
        {u"COPYWEBLOCK", u""},
        {u"REBOOTCOMPUTER", u"FALSE"},
        {u"RUNAPP", u"TRUE"},
        {u"WIZARD", u"NEXT"},
        {u"FX", u"SLIDE"},
        {u"FXGROUND", u"BACKGROUND"},
        {u"FXTIME", u"1000"},
        {u"VERSION", u"2.5.1"},
        {u"SILENT", u"TRUE"},
        {u"LOGGED", u"c:\\logs\\run.log"},
        {u"CMDLINE", u"/s /l=C:\\Logs\\Run.log"},
        {u"REBOOTNOW", u"OK"},
        {u"SFXPATH", u""},
        {u"SFXFILE", u""},
        {u"GPOPATH", u""},
        {u"SETUPPATH", u"$EXEDIR$"},
        {u"COMPLETE", u"TRUE"},
        {u"NEWLINE", u"\r\n"},
        {u"MINIMUM", u"FALSE"},
        {u"PERSONALIZED", u"FALSE"},
        {u"MODIFY", u"TRUE"},
        {u"GLASS", u"FALSE"},
        {u"REPAIR", u"FALSE"},
        {u"REMOVE", u"FALSE"},
        {u"ROOTDIR", u"C:\\Setup\\"},
        {u"TITLE", u"Vendor App"},
        {u"COMPANY", u"Vendor Inc."},
        {u"ADVERTISE", u"FALSE"},
        {u"DATE", u"12/11/2026"},
        {u"TIME", u"14:22:39"},
        {u"TEMPDIR", u"C:\\Temp\\"},
        {u"ABORTONERROR", u"TRUE"},
        {u"ABORTEDONERROR", u"FALSE"},
        {u"SAVEDATA", u"FALSE"},
        {u"SUPPORTDIR", u"C:\\Temp\\zev3\\"},
        {u"MSIFILE", u"C:\\Temp\\zev3\\setup.msi"},
        // Before the bootstrap.
        {u"TARGETDIR", u""},
        {u"STARTMENU", u"Vendor App"},
        {u"ALLUSERS", u"TRUE"},
        {u"PRODUCTCODE", u"{PRODUCT-CODE}"},
        {u"REVISIONCODE", u"{REVISION-CODE}"},
    };
    for (const auto& e : expected) {
        EXPECT_TRUE(prepared.variables.Exists(e.name)) << ToUtf8(e.name);
        EXPECT_EQ(prepared.Value(e.name), e.value) << ToUtf8(e.name);
    }
    EXPECT_EQ(prepared.Value(u"NEWLINE").size(), 2u);
}

TEST(PredefinedVariables, SettingsAlreadyDefinedAreKept) {
    PreparedEngine prepared;
    prepared.variables.SetItem(u"NATIVE_ENGINE", u"TRUE");
    prepared.variables.SetItem(u"OVERRIDECACHE", u"D:\\Cache\\");
    prepared.variables.SetItem(u"QUIB_TIMEOUT", u"60");
    InitializeVariables(prepared.engine);
    EXPECT_EQ(prepared.Value(u"NATIVE_ENGINE"), u"TRUE");
    EXPECT_EQ(prepared.Value(u"OVERRIDECACHE"), u"D:\\Cache\\");
    EXPECT_EQ(prepared.Value(u"QUIB_TIMEOUT"), u"10");
}

TEST(PredefinedVariables, AllUsersNeedsAnAdministratorOnWindowsNt) {
    const struct {
        bool nt_family;
        bool administrator;
        const char16_t* expected;
    } cases[] = {
        {true, true, u"TRUE"},
        {true, false, u"FALSE"},
        {false, true, u"FALSE"},
        {false, false, u"FALSE"},
    };
    for (const auto& c : cases) {
        PreparedEngine prepared;
        prepared.fake.system.version.nt_family = c.nt_family;
        prepared.fake.system.administrator = c.administrator;
        InitializePreVariables(prepared.engine);
        EXPECT_EQ(prepared.Value(u"ALLUSERS"), c.expected) << c.nt_family << c.administrator;
    }
}

TEST(PredefinedVariables, SetupPathPrefersGroupPolicyThenSelfExtractor) {
    struct Case {
        std::vector<Text> arguments;
        const char16_t* setup_path;
        const char16_t* expanded;
        const char16_t* sfx_path;
        const char16_t* sfx_file;
        const char16_t* gpo_path;
    };
    const Case cases[] = {
        {{}, u"$EXEDIR$", u"C:\\Setup\\setup.ini", u"", u"", u""},
        {{u"/m=E:\\Media\\Pack.exe"}, u"$SFXPATH$", u"e:\\media\\setup.ini", u"e:\\media\\", u"pack.exe", u""},
        {{u"/g=\\\\srv\\deploy\\app.msi"}, u"$GPOPATH$", u"\\\\srv\\deploy\\setup.ini", u"", u"", u"\\\\srv\\deploy\\"},
        {{u"/m=E:\\pack.exe", u"/g=F:\\gpo\\x"}, u"$GPOPATH$", u"f:\\gpo\\setup.ini", u"e:\\", u"pack.exe",
         u"f:\\gpo\\"},
    };
    for (const auto& c : cases) {
        PreparedEngine prepared(c.arguments);
        prepared.InitializeAll();
        EXPECT_EQ(prepared.Value(u"SETUPPATH"), c.setup_path);
        EXPECT_EQ(prepared.variables.Expand(u"$SETUPPATH$setup.ini"), c.expanded);
        EXPECT_EQ(prepared.Value(u"SFXPATH"), c.sfx_path);
        EXPECT_EQ(prepared.Value(u"SFXFILE"), c.sfx_file);
        EXPECT_EQ(prepared.Value(u"GPOPATH"), c.gpo_path);
    }
}

TEST(PredefinedVariables, RegisteredOwnerComesFromTheSystemsOwnKey) {
    for (bool nt_family : {true, false}) {
        PreparedEngine prepared;
        prepared.fake.system.version.nt_family = nt_family;
        const Text key = nt_family ? u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion"
                                   : u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
        const Text other = nt_family ? u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion"
                                     : u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
        prepared.fake.registry.WriteString(RegistryRoot::LocalMachine, other, u"RegisteredOwner", u"Wrong");
        prepared.fake.registry.WriteString(RegistryRoot::LocalMachine, key, u"RegisteredOwner", u"Ada");
        prepared.fake.registry.WriteString(RegistryRoot::LocalMachine, key, u"RegisteredOrganization", u"Engines Ltd");
        InitializeVariables(prepared.engine);
        EXPECT_EQ(prepared.Value(u"USERNAME"), u"Ada") << nt_family;
        EXPECT_EQ(prepared.Value(u"USERCOMPANY"), u"Engines Ltd") << nt_family;
    }
    PreparedEngine unregistered;
    InitializeVariables(unregistered.engine);
    EXPECT_TRUE(unregistered.variables.Exists(u"USERNAME"));
    EXPECT_EQ(unregistered.Value(u"USERNAME"), u"");
}

TEST(PredefinedVariables, CompileTimeSettingsAreFoundWithoutRegardToCase) {
    PreparedEngine prepared;
    const StatementTable& script = prepared.engine.script;
    EXPECT_EQ(CompileTimeValue(script, u"SINGLEINSTANCE"), u"true");
    EXPECT_EQ(CompileTimeValue(script, u"locmode"), u"VARSONLY");
    EXPECT_EQ(CompileTimeValue(script, u"CACHESOURCES"), u"");
    EXPECT_TRUE(CompileTimeFlag(script, u"SingleInstance"));
    EXPECT_TRUE(CompileTimeFlag(script, u"SWID"));
    EXPECT_FALSE(CompileTimeFlag(script, u"LOCMODE"));
    EXPECT_FALSE(CompileTimeFlag(script, u"CACHESOURCES"));
}

TEST(PredefinedVariables, ScriptSeesThemAndCommandLineOverrides) {
    CommandScript script;
    script.Set(u"SEEN_TARGET", u"$TARGETDIR$");
    script.Set(u"SEEN_INI", u"$SETUPPATH$setup.ini");
    script.Set(u"SEEN_LINES", u"a$NEWLINE$b");
    script.Set(u"SEEN_PRODUCT", u"$PRODUCTCODE$|$REVISIONCODE$");
    script.Run({u"/s", u"TARGETDIR=D:\\App", u"title=Preset Title"});
    EXPECT_EQ(script.Value(u"SEEN_TARGET"), u"D:\\App");
    EXPECT_EQ(script.Value(u"SEEN_INI"), u"C:\\Setup\\setup.ini");
    EXPECT_EQ(script.Value(u"SEEN_LINES"), u"a\r\nb");
    EXPECT_EQ(script.Value(u"SEEN_PRODUCT"),
              u"{00000000-0000-0000-0000-000000000000}|{00000000-0000-0000-0000-000000000001}");
    EXPECT_EQ(script.Value(u"TITLE"), u"Preset Title");
}

}  // namespace
}  // namespace zev
