#include <gtest/gtest.h>

#include "command_script.h"
#include "interpreter/path_functions.h"
#include "interpreter/string_functions.h"

namespace zev {
namespace {

using testing::CommandScript;
using testing::RuntimeErrorReport;

// ---- Extract Path ----

TEST(ExtractPath, EachModeSelectsItsPart) {
    struct Case {
        const char16_t* path;
        int64_t mode;
        const char16_t* expected;
    };
    const Case cases[] = {
        {u"C:\\Dir\\Sub\\file.tar.gz", 0, u"file.tar.gz"},
        {u"C:\\Dir\\Sub\\file.tar.gz", 1, u"file.tar"},
        {u"C:\\Dir\\Sub\\file.tar.gz", 2, u"gz"},
        {u"C:\\Dir\\Sub\\file.tar.gz", 3, u"C:\\Dir\\Sub\\"},
        {u"C:\\Dir\\Sub\\file.tar.gz", 4, u"C:\\Dir\\"},
        {u"C:\\Dir\\Sub\\file.tar.gz", 5, u"C:\\"},
        {u"C:\\Dir\\Sub\\file.tar.gz", 6, u"C:\\Dir\\Sub\\file.tar.gz"},
        {u"C:\\Dir\\Sub\\file.tar.gz", 7, u"C:\\Dir\\Sub\\file.tar.gz"},
        {u"C:\\Dir\\Sub\\file.tar.gz", -1, u"C:\\Dir\\Sub\\file.tar.gz"},
        // A dot in a folder name is no extension of the file.
        {u"C:\\dir.x\\file", 1, u"file"},
        {u"C:\\dir.x\\file", 2, u""},
        {u"C:\\dir\\.profile", 1, u""},
        {u"C:\\dir\\.profile", 2, u"profile"},
        // The colon of a drive ends the folder part too.
        {u"C:file.txt", 0, u"file.txt"},
        {u"C:file.txt", 3, u"C:\\"},
        {u"C:\\file.txt", 4, u"C:\\"},
        // Network paths keep their server and share.
        {u"\\\\server\\share\\dir\\f.txt", 3, u"\\\\server\\share\\dir\\"},
        {u"\\\\server\\share\\dir\\f.txt", 4, u"\\\\server\\share\\"},
        {u"\\\\server\\share\\dir\\f.txt", 5, u"\\\\server\\share\\"},
        {u"\\\\server\\share\\dir\\f.txt", 6, u"\\server\\share\\dir\\f.txt"},
        // A bare name has no folder, parent or drive.
        {u"file.txt", 3, u""},
        {u"file.txt", 4, u""},
        {u"file.txt", 5, u""},
        {u"C:\\Dir\\", 0, u""},
        {u"C:\\Dir\\", 3, u"C:\\Dir\\"},
        {u"C:\\Dir\\", 4, u"C:\\"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ExtractPathPart(c.path, c.mode), c.expected) << ToUtf8(c.path) << " mode " << c.mode;
}

TEST(ExtractPath, FileDriveFindsDriveOrShare) {
    const struct {
        const char16_t* path;
        const char16_t* expected;
    } cases[] = {
        {u"C:\\x", u"C:"},
        {u"d:", u"d:"},
        {u"\\\\server\\share\\dir", u"\\\\server\\share"},
        {u"\\\\server\\share", u"\\\\server\\share"},
        {u"\\\\server", u"\\\\server"},
        {u"\\dir\\file", u""},
        {u"relative\\file", u""},
        {u"", u""},
    };
    for (const auto& c : cases) EXPECT_EQ(FileDrive(c.path), c.expected) << ToUtf8(c.path);
}

TEST(ExtractPath, RunsOnTheCleanedValueOfTheVariable) {
    CommandScript script;
    script.Set(u"ROOT", u"C:\\\\Dir");
    script.Set(u"P", u"$ROOT$\\\\Sub\\\\file.txt");
    script.Add(u"Extract Path", {u"P", u"3"});
    script.Run();
    EXPECT_EQ(script.Value(u"P"), u"C:\\Dir\\Sub\\");
}

// ---- Parse String ----

TEST(ParseString, SplitsByEveryMode) {
    struct Case {
        const char16_t* source;
        const char16_t* pattern;
        int64_t mode;
        bool trim;
        bool ignore_case;
        SplitText expected;
    };
    const Case cases[] = {
        {u"a,b,c", u",", 0, false, false, {u"a", u"b,c"}},
        {u"a,b,c", u",", 1, false, false, {u"a,b", u"c"}},
        {u"a,b,c", u"2", 2, false, false, {u"a,", u"b,c"}},
        {u"a,b,c", u"2", 3, false, false, {u"a,b", u",c"}},
        {u"a,b,c", u"5", 3, false, false, {u"", u"a,b,c"}},
        {u"a,b,c", u",", 7, false, false, {u"", u""}},
        {u"a,b,c", u",", -1, false, false, {u"", u""}},
        // Not found: everything is first (mode 0) or second (mode 1).
        {u"a,b,c", u";", 0, false, false, {u"a,b,c", u""}},
        {u"a,b,c", u";", 1, false, false, {u"", u"a,b,c"}},
        {u"a,b,c", u"", 0, false, false, {u"a,b,c", u""}},
        {u"a,b,c", u"", 1, false, false, {u"", u"a,b,c"}},
        // Longer patterns are skipped whole; the last occurrence may overlap the one before.
        {u"one::two::three", u"::", 0, false, false, {u"one", u"two::three"}},
        {u"one::two::three", u"::", 1, false, false, {u"one::two", u"three"}},
        {u"aaa", u"aa", 1, false, false, {u"a", u""}},
        {u"ab", u"abc", 0, false, false, {u"ab", u""}},
        // Counts.
        {u"a,b,c", u"0", 2, false, false, {u"", u"a,b,c"}},
        {u"a,b,c", u"9", 2, false, false, {u"a,b,c", u""}},
        {u"a,b,c", u"-2", 2, false, false, {u"", u"a,b,c"}},
        {u"a,b,c", u"0", 3, false, false, {u"a,b,c", u""}},
        {u"a,b,c", u"9", 3, false, false, {u"", u"a,b,c"}},
        {u"a,b,c", u"x", 2, false, false, {u"", u""}},
        {u"a,b,c", u"", 3, false, false, {u"", u""}},
        // Letter case and trimming.
        {u"xxabcyy", u"ABC", 0, false, true, {u"xx", u"yy"}},
        {u"xxabcyy", u"ABC", 0, false, false, {u"xxabcyy", u""}},
        {u"XXaBcYY", u"abc", 1, false, true, {u"XX", u"YY"}},
        {u" key = value\t", u"=", 0, true, false, {u"key", u"value"}},
        {u" key = value\t", u"=", 0, false, false, {u" key ", u" value\t"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SplitByPattern(c.source, c.pattern, c.mode, c.trim, c.ignore_case), c.expected)
            << ToUtf8(c.source) << " / " << ToUtf8(c.pattern) << " mode " << c.mode;
}

TEST(ParseString, StoresBothPartsAndCreatesTheirVariables) {
    CommandScript script;
    script.Set(u"LIST", u"first;second;third");
    script.Add(u"Parse String", {u"$LIST$", u";", u"head", u"TAIL", u"0", u"FALSE", u"FALSE"});
    script.Add(u"Parse String", {u"$LIST$", u";", u"", u"LAST", u"1", u"FALSE", u"FALSE"});
    script.Add(u"Parse String", {u"C:\\\\x\\\\y", u"\\", u"DIR", u"", u"1", u"FALSE", u"FALSE"});
    script.Run({});
    EXPECT_EQ(script.Value(u"HEAD"), u"first");
    EXPECT_EQ(script.Value(u"TAIL"), u"second;third");
    EXPECT_EQ(script.Value(u"LAST"), u"third");
    // Source and pattern are cleaned paths: the doubled backslashes are single ones.
    EXPECT_EQ(script.Value(u"DIR"), u"C:\\x");
    std::vector<Text> names;
    script.variables.GetNames(names);
    EXPECT_NE(std::find(names.begin(), names.end(), u"HEAD"), names.end());
    EXPECT_TRUE(script.Messages().empty());
}

TEST(ParseString, NonIntegerModeIsARuntimeErrorAfterTheVariablesExist) {
    CommandScript script;
    const size_t failing = script.Add(u"Parse String", {u"a,b", u",", u"LEFT", u"RIGHT", u"first", u"", u""});
    script.Run({});
    EXPECT_EQ(script.Messages(),
              std::vector<Text>{RuntimeErrorReport(failing, u"'first' is not a valid integer value")});
    EXPECT_EQ(script.Value(u"LEFT"), u"");
    EXPECT_TRUE(script.Exists(u"RIGHT"));
}

// ---- Replace String ----

TEST(ReplaceString, ReplacesFirstOrAllWithOrWithoutCase) {
    struct Case {
        const char16_t* value;
        const char16_t* search;
        const char16_t* replacement;
        bool ignore_case;
        bool replace_all;
        const char16_t* expected;
    };
    const Case cases[] = {
        {u"a-b-c", u"-", u"+", false, false, u"a+b-c"},
        {u"a-b-c", u"-", u"+", false, true, u"a+b+c"},
        {u"Ab ab AB", u"ab", u"x", false, true, u"Ab x AB"},
        {u"Ab ab AB", u"ab", u"x", true, true, u"x x x"},
        {u"Ab ab AB", u"ab", u"x", true, false, u"x ab AB"},
        {u"aaa", u"a", u"aa", false, true, u"aaaaaa"},
        {u"abc", u"", u"x", false, true, u"abc"},
        {u"abc", u"", u"x", false, false, u"abc"},
        {u"abc", u"z", u"x", false, false, u"abc"},
        {u"abc", u"b", u"", false, false, u"ac"},
        // Line breaks become the token before the search, and stay so.
        {u"one\r\ntwo", u"e\r\nt", u"E T", false, false, u"onE Two"},
        {u"one\r\ntwo", u"$NEWLINE$", u" ", false, false, u"one two"},
        {u"one\r\ntwo\r\n", u"o", u"0", false, true, u"0ne$NEWLINE$tw0$NEWLINE$"},
        {u"a b", u" ", u"\r\n", false, false, u"a$NEWLINE$b"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReplaceText(c.value, c.search, c.replacement, c.ignore_case, c.replace_all), c.expected)
            << ToUtf8(c.value) << " / " << ToUtf8(c.search);
}

TEST(ReplaceString, WorksOnTheRawValueAndExpandedTexts) {
    CommandScript script;
    script.Set(u"FROM", u"World");
    script.Set(u"TO", u"Setup");
    script.Set(u"GREETING", u"Hello World, world");
    script.Add(u"Replace String", {u"$GREETING$", u"$FROM$", u"$TO$", u"FALSE", u"TRUE"});
    script.Set(u"LINES", u"one$NEWLINE$two");
    script.Add(u"Replace String", {u"LINES", u"o", u"0", u"", u"-1"});
    script.Run();
    EXPECT_EQ(script.Value(u"GREETING"), u"Hello Setup, world");
    EXPECT_EQ(script.Value(u"LINES"), u"0ne$NEWLINE$tw0");
}

// ---- Convert Case ----

TEST(ConvertCase, ConvertsTheCleanedValue) {
    const struct {
        const char16_t* value;
        const char16_t* flag;
        const char16_t* expected;
    } cases[] = {
        {u"\\\\Server\\\\Share\\Dir", u"TRUE", u"\\\\SERVER\\SHARE\\DIR"},
        {u"\\\\Server\\\\Share\\Dir", u"FALSE", u"\\\\server\\share\\dir"},
        {u"Ärger Öl Straße", u"TRUE", u"ÄRGER ÖL STRAßE"},
        {u"ΑΒΓ Жук", u"FALSE", u"αβγ жук"},
    };
    for (const auto& c : cases) {
        CommandScript script;
        script.Set(u"V", c.value);
        script.Add(u"Convert Case", {u"V", c.flag});
        script.Run();
        EXPECT_EQ(script.Value(u"V"), c.expected) << ToUtf8(c.value);
    }
}

// ---- Set Variable ----

TEST(SetVariable, PersistenceMarkerAddsTheNameOnce) {
    CommandScript script;
    script.Set(u"RESULT$QUIB$QUIB$TRUE", u"one");
    script.Set(u"RESULT$QUIB$QUIB$TRUE", u"two");
    script.Set(u"result$QUIB$QUIB$TRUE", u"three");
    script.Set(u"LOWER$QUIB$QUIB$true", u"x");
    script.Set(u"$Wrapped$$QUIB$QUIB$TRUE", u"w");
    script.Set(u"PLAIN", u"p");
    script.Run();
    EXPECT_EQ(script.engine.persistent_variables, (std::vector<Text>{u"RESULT", u"Wrapped"}));
    EXPECT_EQ(script.Value(u"RESULT"), u"three");
    EXPECT_EQ(script.Value(u"LOWER"), u"x");
    EXPECT_EQ(script.Value(u"WRAPPED"), u"w");
    EXPECT_FALSE(script.Exists(u"LOWER$QUIB$QUIB$true"));
}

TEST(SetVariable, ValueIsExpandedAndSelfReferenceStoredEmpty) {
    CommandScript script;
    script.Set(u"X", u"$X$");
    script.Set(u"$NAME$", u"Hello $TITLE$");
    script.Set(u"COPY", u"$NAME$!");
    script.Set(u"KEEP", u"$UNKNOWN$");
    script.Run();
    EXPECT_EQ(script.Value(u"X"), u"");
    EXPECT_TRUE(script.Exists(u"X"));
    EXPECT_EQ(script.Value(u"NAME"), u"Hello Test Product");
    EXPECT_EQ(script.Value(u"COPY"), u"Hello Test Product!");
    EXPECT_EQ(script.Value(u"KEEP"), u"$UNKNOWN$");
}

TEST(SetVariable, EngineSettingsFollowTheirVariables) {
    struct Case {
        const char16_t* name;
        const char16_t* value;
        int64_t timeout;
        const char16_t* cancelled;
    };
    const Case cases[] = {
        {u"ABORT", u"TRUE", 10, u"TRUE"},
        {u"abort", u"FALSE", 10, u"FALSE"},
        {u"QUIB_TIMEOUT", u"abc", 10, u"FALSE"},
        {u"QUIB_TIMEOUT", u"45", 45, u"FALSE"},
        {u"quib_timeout", u"0", 0, u"FALSE"},
        {u"OTHER", u"TRUE", 10, u"FALSE"},
    };
    for (const auto& c : cases) {
        CommandScript script;
        script.engine.download_timeout_seconds = 99;
        script.Set(u"QUIB_TIMEOUT", u"10");
        script.Set(c.name, c.value);
        script.Run();
        EXPECT_EQ(script.engine.download_timeout_seconds, c.timeout) << ToUtf8(c.name) << "=" << ToUtf8(c.value);
        EXPECT_EQ(script.Value(u"QUIB_IsCancelled"), c.cancelled) << ToUtf8(c.name) << "=" << ToUtf8(c.value);
    }
}

TEST(SetVariable, ProgressChangesRefreshTheDisplay) {
    CommandScript script;
    std::vector<std::pair<Text, int64_t>> shown;
    script.engine.refresh_progress = [&](TextView text, int64_t position) { shown.emplace_back(text, position); };
    script.Set(u"PROGRESSTEXT", u"Copying");
    script.Set(u"PROGRESS", u"40");
    script.Set(u"OTHER", u"50");
    script.Set(u"progress", u"60");
    script.Run();
    EXPECT_EQ(shown, (std::vector<std::pair<Text, int64_t>>{{u"Copying", 0}, {u"Copying", 40}, {u"Copying", 60}}));
}

TEST(SetVariable, NonNumericProgressIsARuntimeError) {
    CommandScript script;
    const size_t failing = script.Set(u"PROGRESS", u"half");
    script.Run({});
    EXPECT_EQ(script.Messages(), std::vector<Text>{RuntimeErrorReport(failing, u"'half' is not a valid integer value")});
}

TEST(SetVariable, NativeLoggingThatCannotBeUsedBecomesEmpty) {
    struct Case {
        const char16_t* value;
        bool accepted;
        const char16_t* stored;
        int switches;
    };
    const Case cases[] = {
        {u"C:\\Logs\\app", true, u"C:\\Logs\\app", 1},
        {u"C:\\Logs\\app", false, u"", 1},
        // Setting the value it already has moves nothing.
        {u"", false, u"", 0},
    };
    for (const auto& c : cases) {
        CommandScript script;
        int switches = 0;
        Text seen_previous;
        script.engine.switch_native_log = [&](TextView previous, TextView) {
            ++switches;
            seen_previous = Text(previous);
            return c.accepted;
        };
        script.Set(u"NATIVE_LOGGING", c.value);
        script.Run();
        EXPECT_EQ(script.Value(u"NATIVE_LOGGING"), c.stored) << ToUtf8(c.value);
        EXPECT_EQ(switches, c.switches) << ToUtf8(c.value);
        EXPECT_EQ(seen_previous, u"");
    }
}

TEST(SetVariable, TranslationAppliesBeforeExpansion) {
    CommandScript script;
    std::vector<Text> keys;
    script.engine.translate = [&](TextView text, TextView key, size_t index) -> Text {
        keys.push_back(Text(key) + u"#" + FromInt(static_cast<int64_t>(index)));
        return text == u"Welcome to $TITLE$" ? Text(u"Willkommen bei $TITLE$") : Text(text);
    };
    const size_t statement = script.Set(u"GREETING", u"Welcome to $TITLE$");
    script.Add(u"Localization Variable", {u"$Caption$", u"Welcome to $TITLE$"});
    script.Run();
    EXPECT_EQ(script.Value(u"GREETING"), u"Willkommen bei Test Product");
    EXPECT_EQ(script.Value(u"CAPTION"), u"Willkommen bei Test Product");
    const Text identifier = script.engine.script.Identifier(statement);
    EXPECT_EQ(keys, (std::vector<Text>{identifier + u"#1", u"QUADRIMO$Caption$QUADRIMO#1"}));
}

TEST(LocalizationVariable, WithoutTranslationStoresTheExpandedValue) {
    CommandScript script;
    script.Add(u"Localization Variable", {u"caption", u"$TITLE$ Setup"});
    script.Run({});
    EXPECT_EQ(script.Value(u"CAPTION"), u"Test Product Setup");
    std::vector<Text> names;
    script.variables.GetNames(names);
    EXPECT_NE(std::find(names.begin(), names.end(), u"CAPTION"), names.end());
}

// ---- Get Environment ----

TEST(GetEnvironment, ExpandsOneNameOrListsTheBlock) {
    const struct {
        const char16_t* name;
        const char16_t* expected;
    } cases[] = {
        {u"SystemRoot", u"C:\\Windows"},
        {u"systemroot", u"C:\\Windows"},
        {u"FOO", u"%FOO%"},
        {u"$WHICH$", u"C:\\Temp"},
        {u"", u"SystemRoot=C:\\Windows$NEWLINE$TEMP=C:\\Temp$NEWLINE$=C:=C:\\Setup"},
    };
    for (const auto& c : cases) {
        CommandScript script;
        script.fake.system.environment.emplace_back(u"=C:", u"C:\\Setup");
        script.Set(u"WHICH", u"TEMP");
        script.Add(u"Get Environment", {c.name, u"$RESULT$"});
        script.Run();
        EXPECT_EQ(script.Value(u"RESULT"), c.expected) << ToUtf8(c.name);
    }
}

// ---- Get Temporary File ----

TEST(GetTemporaryFile, CreatesAnEmptyFileInTheEngineTemporaryFolder) {
    CommandScript script;
    script.Set(u"TEMPDIR", u"D:\\Elsewhere\\");
    script.Add(u"Get Temporary File", {u"$FIRST$"});
    script.Add(u"Get Temporary File", {u"SECOND"});
    script.Run();
    EXPECT_EQ(script.Value(u"FIRST"), u"C:\\Temp\\zev1.tmp");
    EXPECT_EQ(script.Value(u"SECOND"), u"C:\\Temp\\zev2.tmp");
    EXPECT_EQ(script.fake.files.ReadWholeFile(u"C:\\Temp\\zev1.tmp"), std::optional<std::string>(""));
    EXPECT_TRUE(script.fake.files.FileExists(u"C:\\Temp\\zev2.tmp"));
}

TEST(GetTemporaryFile, FailureGivesTheEmptyText) {
    CommandScript script;
    script.fake.files.temporary_files_fail = true;
    script.Set(u"NAME", u"before");
    script.Add(u"Get Temporary File", {u"NAME"});
    script.Run({});
    EXPECT_EQ(script.Value(u"NAME"), u"");
    EXPECT_TRUE(script.Messages().empty());
}

// ---- Does File/Folder Exist ----

TEST(DoesFileOrFolderExist, AsksForTheKindTheFlagNames) {
    const struct {
        const char16_t* path;
        const char16_t* file_flag;
        const char16_t* expected;
    } cases[] = {
        {u"C:\\App\\data.bin", u"TRUE", u"TRUE"},
        {u"C:\\App\\data.bin", u"FALSE", u"FALSE"},
        {u"C:\\App", u"TRUE", u"FALSE"},
        {u"C:\\App", u"FALSE", u"TRUE"},
        {u"C:\\App\\", u"", u"TRUE"},
        {u"C:\\\\App\\\\data.bin", u"-1", u"TRUE"},
        {u"$APPDIR$data.bin", u"TRUE", u"TRUE"},
        {u"C:\\Missing", u"FALSE", u"FALSE"},
        {u"C:\\Missing", u"TRUE", u"FALSE"},
    };
    for (const auto& c : cases) {
        CommandScript script;
        script.fake.files.AddFile(u"C:\\App\\data.bin", "x");
        script.Set(u"APPDIR", u"C:\\App\\");
        script.Add(u"Does File/Folder Exist", {u"FOUND", c.path, c.file_flag});
        script.Run();
        EXPECT_EQ(script.Value(u"FOUND"), c.expected) << ToUtf8(c.path) << " " << ToUtf8(c.file_flag);
    }
}

// ---- Convert Path ----

TEST(ConvertPath, LongFormIsBuiltFromWhatTheDirectorySearchReports) {
    fake::FakeFileSystem files;
    files.AddFile(u"C:\\Program Files\\Vendor App\\bin\\tool.exe", "x");
    // The fake's search reports these spellings, as a real search reports the stored
    // long name whatever spelling was asked for.
    files.SetEntryName(u"C:\\Program Files", u"Program Files");
    files.SetEntryName(u"C:\\Program Files\\Vendor App", u"Vendor App");
    files.SetEntryName(u"C:\\Program Files\\Vendor App\\bin", u"Bin");
    const struct {
        const char16_t* path;
        const char16_t* expected;
    } cases[] = {
        {u"C:\\PROGRAM FILES", u"C:\\Program Files"},
        {u"c:\\program files\\vendor app\\BIN\\", u"c:\\Program Files\\Vendor App\\Bin"},
        {u"\"C:\\program files\\vendor app\"", u"C:\\Program Files\\Vendor App"},
        {u"C:\\program files\\vendor app\\bin\\tool.exe", u"C:\\Program Files\\Vendor App\\Bin\\tool.exe"},
        // A component the search does not find ends the result as written.
        {u"C:\\program files\\Gone\\bin", u"C:\\Program Files\\Gone"},
        {u"C:\\", u"C:"},
    };
    for (const auto& c : cases) EXPECT_EQ(LongPathForm(files, c.path), c.expected) << ToUtf8(c.path);
}

TEST(ConvertPath, ShortFormTriesThePlainPathThenThePrefixedOne) {
    fake::FakeFileSystem files;
    files.SetShortPath(u"C:\\Program Files", u"C:\\PROGRA~1");
    files.SetShortPath(u"\\\\?\\C:\\Very Long Folder", u"\\\\?\\C:\\VERYLO~1");
    EXPECT_EQ(ShortPathForm(files, u"C:\\Program Files"), u"C:\\PROGRA~1");
    EXPECT_EQ(ShortPathForm(files, u"C:\\Very Long Folder"), u"\\\\?\\C:\\VERYLO~1");
    EXPECT_EQ(ShortPathForm(files, u"C:\\No Short Form"), u"C:\\No Short Form");
}

TEST(ConvertPath, ResolvesRelativeAndEnvironmentPaths) {
    struct Case {
        const char16_t* value;
        const char16_t* short_flag;
        const char16_t* expected;
    };
    const Case cases[] = {
        {u"docs\\readme.txt", u"FALSE", u"C:\\Setup\\docs\\readme.txt"},
        {u"docs\\..\\docs\\.\\readme.txt", u"FALSE", u"C:\\Setup\\docs\\readme.txt"},
        {u"%SystemRoot%\\System32", u"FALSE", u"C:\\Windows\\System32"},
        {u"C:\\\\Program Files\\\\", u"FALSE", u"C:\\Program Files"},
        {u"C:\\Program Files", u"TRUE", u"C:\\PROGRA~1"},
        {u"C:\\Program Files\\nothing", u"TRUE", u""},
        {u"C:\\Program Files\\nothing", u"FALSE", u""},
        {u"missing.txt", u"FALSE", u""},
    };
    for (const auto& c : cases) {
        CommandScript script;
        script.fake.files.AddFile(u"C:\\Setup\\docs\\readme.txt", "x");
        script.fake.files.CreateFolderTree(u"C:\\Windows\\System32");
        script.fake.files.CreateFolderTree(u"C:\\Program Files");
        script.fake.files.SetShortPath(u"C:\\Program Files", u"C:\\PROGRA~1");
        script.Set(u"P", c.value);
        script.Add(u"Convert Path", {u"P", c.short_flag});
        script.Run();
        EXPECT_EQ(script.Value(u"P"), c.expected) << ToUtf8(c.value);
    }
}

TEST(ConvertPath, RelativePathsFollowTheSetupPath) {
    CommandScript script;
    script.fake.files.AddFile(u"E:\\Media\\setup.ini", "x");
    script.Set(u"P", u"setup.ini");
    script.Add(u"Convert Path", {u"P", u"FALSE"});
    script.Run({u"/s", u"/m=E:\\Media\\pack.exe"});
    EXPECT_EQ(script.Value(u"SETUPPATH"), u"$SFXPATH$");
    EXPECT_EQ(script.Value(u"P"), u"e:\\media\\setup.ini");
}

TEST(ConvertPath, FileSystemWorkRunsWithoutRedirectionIn64BitMode) {
    CommandScript script;
    script.engine.bitness_mode = u"x64";
    script.Set(u"P", u"C:\\Setup");
    script.Add(u"Convert Path", {u"P", u"FALSE"});
    script.Add(u"Does File/Folder Exist", {u"FOUND", u"C:\\Setup", u""});
    script.Add(u"Get Environment", {u"TEMP", u"T"});
    script.Add(u"Get Temporary File", {u"F"});
    script.Add(u"Convert Case", {u"P", u""});
    script.Run();
    EXPECT_EQ(script.fake.system.redirection_suspensions.load(), 4);
}

}  // namespace
}  // namespace zev
