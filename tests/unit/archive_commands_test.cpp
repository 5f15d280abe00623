#include <gtest/gtest.h>

#include "engine_fixture.h"
#include "media/archive_jobs.h"
#include "media/archive_routines.h"
#include "media/delimited_text.h"
#include "startup/engine.h"

namespace zev {
namespace {

using testing::EngineRun;

// Runs a silent script and returns the run for inspection.
struct ArchiveScript {
    ArchiveScript() {
        run.SetArguments(u"/s");
        run.fake.files.CreateFolderTree(u"C:\\Data");
    }
    int Run() {
        run.SetScript(script);
        return run.Run();
    }
    EngineRun run;
    StatementTableBuilder script;
};

TEST(DelimitedText, JoinQuotesOnlyWhatNeedsIt) {
    EXPECT_EQ(JoinDelimited({u"a b.txt", u"c.txt"}), u"\"a b.txt\"|c.txt");
    EXPECT_EQ(JoinDelimited({u"say \"hi\"", u"x|y"}), u"\"say \"\"hi\"\"\"|\"x|y\"");
    EXPECT_EQ(JoinDelimited({u""}), u"\"\"");
    EXPECT_EQ(JoinDelimited({}), u"");
}

TEST(DelimitedText, SplitHonoursQuotesAndBlanks) {
    struct Case { const char16_t* text; std::vector<Text> entries; };
    const Case cases[] = {
        {u"C:\\a.txt|C:\\b.txt", {u"C:\\a.txt", u"C:\\b.txt"}},
        {u"C:\\My Files\\a.txt", {u"C:\\My", u"Files\\a.txt"}},
        {u"\"C:\\My Files\\a.txt\"|b", {u"C:\\My Files\\a.txt", u"b"}},
        {u"\"say \"\"hi\"\"\"", {u"say \"hi\""}},
        {u"", {}},
        {u"a|", {u"a", u""}},
    };
    for (const auto& c : cases) EXPECT_EQ(SplitDelimited(c.text), c.entries) << ToUtf8(c.text);
    // What List writes, Compress reads back.
    const std::vector<Text> names = {u"a b.txt", u"c.txt", u"q\"uote"};
    EXPECT_EQ(SplitDelimited(JoinDelimited(names)), names);
}

TEST(LevelSwitches, ThreadSwitchFollowsProcessorsAndDictionary) {
    EXPECT_EQ(LevelSwitches(u"2", false, 4),
              u"-ssw -mhe=off -mmt=4 -ms=on -mhc=on -m0=BCJ2 -m1=LZMA2 -m1d=23 -m1mf=bt4 -m1fb=64 ");
    EXPECT_EQ(LevelSwitches(u"0", true, 1), u"-ssw -mhe=on -mmt=off -ms=off -mhc=off -m0=None -m0=Copy ");
    EXPECT_TRUE(LevelSwitches(u"3", false, 8).starts_with(u"-ssw -mhe=off -mmt=3 "));
    EXPECT_TRUE(LevelSwitches(u"3", false, 2).starts_with(u"-ssw -mhe=off -mmt=2 "));
    EXPECT_TRUE(LevelSwitches(u"1", false, 8).starts_with(u"-ssw -mhe=off -mmt=8 "));
    EXPECT_TRUE(LevelSwitches(u"4", false, 8).starts_with(u"-ssw -mhe=off -mmt=2 "));
    EXPECT_EQ(LevelSwitches(u"5", true, 8), LevelSwitches(u"4", true, 8));
    EXPECT_EQ(LevelSwitches(u"x", true, 8), LevelSwitches(u"6", true, 8));
}

TEST(ArchiveStatements, ListJoinsNamesOrReportsTheError) {
    ArchiveScript s;
    s.run.fake.archives.AddArchive(u"C:\\Data\\a.7z", {{u"a b.txt", "1"}, {u"c.txt", "2"}});
    s.script.Add(u"List 7Zip Archive", {u"C:\\\\Data\\\\a.7z", u"", u"$NAMES$"});
    s.script.Add(u"List 7Zip Archive", {u"C:\\Data\\missing.7z", u"", u"BROKEN"});
    EXPECT_EQ(s.Run(), 0);
    EXPECT_EQ(s.run.variables.ValueOf(u"NAMES"), u"\"a b.txt\"|c.txt");
    EXPECT_EQ(s.run.variables.ValueOf(u"BROKEN"), u"#ERROR\\#1001");
}

TEST(ArchiveStatements, ExtractTestAndDeleteStoreSuccessOrTheLibraryCode) {
    ArchiveScript s;
    s.run.fake.archives.AddArchive(u"C:\\Data\\a.7z", {{u"dir\\one.txt", "1"}, {u"two.txt", "2"}}, u"secret");
    s.run.SetArguments(u"/s PW=secret");
    s.script.Add(u"Extract 7Zip Archive", {u"C:\\Data\\a.7z", u"C:\\Out\\Deep", u"EXTRACTED", u"$PW$", u"TRUE", u"TRUE"});
    s.script.Add(u"Extract 7Zip Archive", {u"C:\\Data\\a.7z", u"C:\\Flat", u"FLAT", u"secret", u"TRUE", u"FALSE"});
    s.script.Add(u"Extract 7Zip Archive", {u"C:\\Data\\a.7z", u"C:\\Bad", u"WRONG", u"guess", u"TRUE", u"TRUE"});
    s.script.Add(u"Test 7Zip Archive", {u"C:\\Data\\a.7z", u"secret", u"TESTED"});
    s.script.Add(u"Delete 7Zip Archive", {u"C:\\Data\\a.7z", u"secret", u"two.txt", u"DELETED"});
    s.script.Add(u"List 7Zip Archive", {u"C:\\Data\\a.7z", u"secret", u"LEFT"});
    EXPECT_EQ(s.Run(), 0);
    auto& files = s.run.fake.files;
    EXPECT_EQ(s.run.variables.ValueOf(u"EXTRACTED"), u"SUCCESS");
    EXPECT_EQ(files.ReadWholeFile(u"C:\\Out\\Deep\\dir\\one.txt").value_or(""), "1");
    EXPECT_EQ(s.run.variables.ValueOf(u"FLAT"), u"SUCCESS");
    EXPECT_TRUE(files.FileExists(u"C:\\Flat\\one.txt"));
    EXPECT_EQ(s.run.variables.ValueOf(u"WRONG"), u"#1001");
    EXPECT_TRUE(files.FilesUnder(u"C:\\Bad").empty());
    EXPECT_EQ(s.run.variables.ValueOf(u"TESTED"), u"SUCCESS");
    EXPECT_EQ(s.run.variables.ValueOf(u"DELETED"), u"SUCCESS");
    EXPECT_EQ(s.run.variables.ValueOf(u"LEFT"), u"dir\\one.txt");
}

TEST(ArchiveStatements, CompressKeepsLevelAndModeBetweenStatements) {
    ArchiveScript s;
    s.run.fake.files.AddFile(u"C:\\Data\\a.txt", "a");
    auto compress = [&](const char16_t* level, const char16_t* m2, const char16_t* m0, const char16_t* m1) {
        s.script.Add(u"Compress 7Zip Archive",
                     {u"C:\\Data\\x.7z", u"", u"C:\\Data\\a.txt", u"", level, u"-mx", m2, m0, m1, u"R"});
    };
    compress(u"7", u"", u"", u"");           // unknown level, no mode: both stay 0
    compress(u"4", u"TRUE", u"FALSE", u"-1");  // level code 130; the last passing flag (mode 1) wins
    compress(u"9", u"", u"", u"");           // both kept
    compress(u"1", u"TRUE", u"", u"");       // level code 5, mode 2
    EXPECT_EQ(s.Run(), 0);
    std::vector<Text> calls;
    for (const Text& call : s.run.fake.archives.calls)
        if (call.starts_with(u"Create")) calls.push_back(call);
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0], u"Create C:\\Data\\x.7z level=0 mode=0 switches=-mx");
    EXPECT_EQ(calls[1], u"Create C:\\Data\\x.7z level=130 mode=1 switches=-mx");
    EXPECT_EQ(calls[2], u"Create C:\\Data\\x.7z level=130 mode=1 switches=-mx");
    EXPECT_EQ(calls[3], u"Create C:\\Data\\x.7z level=5 mode=2 switches=-mx");
    EXPECT_EQ(s.run.variables.ValueOf(u"R"), u"SUCCESS");
}

TEST(ArchiveStatements, CompressFileListKeepsTheLastOfRepeatedNames) {
    ArchiveScript s;
    s.run.fake.files.AddFile(u"C:\\a.txt", "a");
    s.run.fake.files.AddFile(u"C:\\Data\\b.txt", "b");
    s.script.Add(u"Compress 7Zip Archive", {u"C:\\Data\\x.7z", u"", u"C:\\a.txt|C:\\Data\\*.*|C:\\a.txt|c:\\A.TXT",
                                            u"", u"0", u"", u"", u"", u"", u"R"});
    EXPECT_EQ(s.Run(), 0);
    ASSERT_EQ(s.run.fake.archives.created_lists.size(), 1u);
    EXPECT_EQ(s.run.fake.archives.created_lists[0], (std::vector<Text>{u"C:\\Data\\*", u"c:\\A.TXT"}));
}

struct LadderCase {
    const char* name;
    bool wow64;
    const char16_t* digit;
    std::vector<const char16_t*> retries;  // digits of the three retries
};

TEST(ArchiveStatements, CompressRetriesLessDemandingLevelsOnResourceFailure) {
    const LadderCase cases[] = {
        {"digit 4, native", false, u"4", {u"3", u"2", u"1"}},
        {"digit 4 (same text as 5 and 6), 32-bit on 64-bit", true, u"6", {u"6", u"5", u"2"}},
        {"digit 3, 32-bit on 64-bit", true, u"3", {u"6", u"5", u"2"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ArchiveScript s;
        s.run.fake.system.is_64_bit = c.wow64;
        s.run.fake.files.AddFile(u"C:\\Data\\a.txt", "a");
        s.run.fake.archives.queued_failures[u"Create"] = {1018, 1018, 1018, 1018};
        const Text switches = LevelSwitches(c.digit, true, 2);
        s.script.Add(u"Compress 7Zip Archive",
                     {u"C:\\Data\\x.7z", u"", u"C:\\Data\\a.txt", u"", u"0", switches, u"", u"", u"", u"R"});
        EXPECT_EQ(s.Run(), 0);
        std::vector<Text> calls;
        for (const Text& call : s.run.fake.archives.calls)
            if (call.starts_with(u"Create")) calls.push_back(call);
        ASSERT_EQ(calls.size(), 4u);
        for (size_t i = 0; i < 3; ++i)
            EXPECT_TRUE(calls[i + 1].ends_with(u"switches=" + LevelSwitches(c.retries[i], true, 2))) << i;
        EXPECT_EQ(s.run.variables.ValueOf(u"R"), u"#1018");
    }
}

TEST(ArchiveStatements, UnidentifiedSwitchTextIsNotRetried) {
    ArchiveScript s;
    s.run.fake.files.AddFile(u"C:\\Data\\a.txt", "a");
    s.run.fake.archives.queued_failures[u"Create"] = {1018};
    s.script.Add(u"Compress 7Zip Archive",
                 {u"C:\\Data\\x.7z", u"", u"C:\\Data\\a.txt", u"", u"0", u"-mx=9", u"", u"", u"", u"R"});
    EXPECT_EQ(s.Run(), 0);
    EXPECT_EQ(std::count_if(s.run.fake.archives.calls.begin(), s.run.fake.archives.calls.end(),
                            [](const Text& call) { return call.starts_with(u"Create"); }),
              1);
    EXPECT_EQ(s.run.variables.ValueOf(u"R"), u"#1018");
}

TEST(ArchiveRoutines, ResourceFailureOfExtractionRetriesThenHandsOverToASecondProcess) {
    EngineRun run;
    run.fake.archives.AddArchive(u"C:\\Data\\a.7z", {{u"one.txt", "1"}}, u"pw");
    run.fake.archives.queued_failures[u"Extract"] = {1018, 1018};
    Text control_seen;
    run.fake.processes.on_run = [&](TextView program, TextView arguments) -> std::optional<uint32_t> {
        EXPECT_EQ(program, u"C:\\Setup\\setup.exe");
        EXPECT_TRUE(arguments.starts_with(u"OutOfProcessExtract \"C:\\Temp\\{"));
        const Text control = Text(arguments.substr(21, arguments.size() - 22));
        control_seen = FromUtf8(run.fake.files.ReadWholeFile(control).value_or(""));
        run.fake.files.WriteWholeFile(control, "#1004\r\n");
        return 0;
    };
    Engine engine(run.fake.platform, run.variables);
    engine.folders.executable_path = u"C:\\Setup\\setup.exe";
    engine.folders.temporary_folder = u"C:\\Temp\\";
    ExtractRequest request{u"C:\\Data\\a.7z", u"pw", u"C:\\Out", {}, true, false};
    Text error;
    EXPECT_FALSE(ExtractArchiveRoutine(engine, request, nullptr, error));
    EXPECT_EQ(error, u"#1004");
    EXPECT_EQ(run.fake.processes.trims, 1);
    EXPECT_EQ(control_seen, u"C:\\Data\\a.7z\r\npw\r\nC:\\Out\\\r\nTRUE\r\nFALSE\r\n");
    // Control and items files are gone.
    EXPECT_TRUE(run.fake.files.FilesUnder(u"C:\\Temp").empty());
}

TEST(ArchiveRoutines, SecondProcessThatCannotStartGives1016) {
    EngineRun run;
    run.fake.archives.AddArchive(u"C:\\Data\\a.7z", {{u"one.txt", "1"}});
    run.fake.archives.queued_failures[u"Extract"] = {1018, 1018};
    Engine engine(run.fake.platform, run.variables);
    engine.folders.temporary_folder = u"C:\\Temp\\";
    Text error;
    EXPECT_FALSE(ExtractArchiveRoutine(engine, {u"C:\\Data\\a.7z", u"", u"C:\\Out", {}, true, true}, nullptr, error));
    EXPECT_EQ(error, u"#1016");
}

TEST(ArchiveJobs, ProgressPercentIsOneBasedAndCapped) {
    EXPECT_EQ(ProgressPercent(0, 200), 1);
    EXPECT_EQ(ProgressPercent(100, 200), 51);
    EXPECT_EQ(ProgressPercent(199, 200), 100);
    EXPECT_EQ(ProgressPercent(200, 200), 100);
    EXPECT_EQ(ProgressPercent(5, 0), 100);
}

}  // namespace
}  // namespace zev
