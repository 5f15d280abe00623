// The file and text commands on the fake platform: versions, disk space, text and INI
// files, and the folder-tree search and deletion.
#include <gtest/gtest.h>

#include "interpreter/file_search.h"
#include "interpreter/file_version.h"
#include "interpreter/text_file.h"
#include "tests/unit/command_script.h"

namespace zev {
namespace {

using testing::CommandScript;
using testing::RuntimeErrorReport;

void Put16(std::string& image, size_t at, uint32_t value) {
    image[at] = static_cast<char>(value & 0xFF);
    image[at + 1] = static_cast<char>((value >> 8) & 0xFF);
}

void Put32(std::string& image, size_t at, uint32_t value) {
    Put16(image, at, value & 0xFFFF);
    Put16(image, at + 2, value >> 16);
}

// A PE image with one resource section at file offset 0x400 (address 0x1000) holding a
// version resource with the file version most.least; without_resource leaves the
// resource directory entry empty.
std::string VersionedImage(uint32_t most, uint32_t least, bool pe32_plus = false, bool without_resource = false) {
    std::string image(0x600, '\0');
    image[0] = 'M';
    image[1] = 'Z';
    Put32(image, 0x3C, 0x40);
    image.replace(0x40, 4, std::string("PE\0\0", 4));
    Put16(image, 0x44, pe32_plus ? 0x8664 : 0x14C);
    Put16(image, 0x46, 1);
    const uint32_t optional_size = pe32_plus ? 0xF0 : 0xE0;
    Put16(image, 0x54, optional_size);
    const size_t optional = 0x58;
    Put16(image, optional, pe32_plus ? 0x20B : 0x10B);
    const size_t count_at = optional + (pe32_plus ? 108 : 92);
    Put32(image, count_at, 16);
    if (!without_resource) {
        Put32(image, count_at + 4 + 16, 0x1000);
        Put32(image, count_at + 4 + 20, 0x200);
    }
    const size_t section = optional + optional_size;
    image.replace(section, 5, ".rsrc");
    Put32(image, section + 8, 0x200);
    Put32(image, section + 12, 0x1000);
    Put32(image, section + 16, 0x200);
    Put32(image, section + 20, 0x400);

    const size_t resources = 0x400;
    Put16(image, resources + 14, 1);  // type directory: one id entry
    Put32(image, resources + 16, 16);
    Put32(image, resources + 20, 0x80000000u | 0x18);
    Put16(image, resources + 0x18 + 14, 1);  // name directory
    Put32(image, resources + 0x18 + 16, 1);
    Put32(image, resources + 0x18 + 20, 0x80000000u | 0x30);
    Put16(image, resources + 0x30 + 14, 1);  // language directory
    Put32(image, resources + 0x30 + 16, 0x409);
    Put32(image, resources + 0x30 + 20, 0x48);
    const size_t info = resources + 0x58;
    Put32(image, resources + 0x48, 0x1000 + 0x58);  // data entry
    Put32(image, resources + 0x48 + 4, 92);
    Put16(image, info, 92);
    Put16(image, info + 2, 52);
    const std::u16string key = u"VS_VERSION_INFO";
    for (size_t index = 0; index < key.size(); ++index) Put16(image, info + 6 + 2 * index, key[index]);
    Put32(image, info + 40, 0xFEEF04BD);
    Put32(image, info + 44, 0x10000);
    Put32(image, info + 48, most);
    Put32(image, info + 52, least);
    return image;
}

TEST(FileVersion, ReadsTheFixedVersionOfImagesAndZeroOtherwise) {
    fake::FakeFileSystem files;
    files.AddFile(u"C:\\A\\one.dll", VersionedImage(0x00010002, 0x00030004));
    files.AddFile(u"C:\\A\\wide.exe", VersionedImage(0x000A0000, 0x4A610001, true));
    files.AddFile(u"C:\\A\\plain.exe", VersionedImage(0x00050006, 0x00070008, false, true));
    files.AddFile(u"C:\\A\\text.txt", "MZ but not an image at all");
    files.AddFile(u"C:\\A\\cut.dll", VersionedImage(0x00010002, 0x00030004).substr(0, 0x440));
    const struct {
        const char16_t* path;
        const char16_t* expected;
    } cases[] = {
        {u"C:\\A\\one.dll", u"1.2.3.4"},      {u"C:\\A\\wide.exe", u"10.0.19041.1"},
        {u"C:\\A\\plain.exe", u"0.0.0.0"},    {u"C:\\A\\text.txt", u"0.0.0.0"},
        {u"C:\\A\\cut.dll", u"0.0.0.0"},      {u"C:\\A\\missing.dll", u"0.0.0.0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(ToUtf8(c.path));
        EXPECT_EQ(VersionText(ReadFileVersion(files, c.path)), c.expected);
    }
}

TEST(FileVersion, VersionTextsReadFieldByField) {
    const struct {
        const char16_t* text;
        VersionQuadruple expected;
    } cases[] = {
        {u"1.2.3.4", {1, 2, 3, 4}},   {u"1.2.3", {1, 2, 3, 0}},         {u"1.10", {1, 10, 0, 0}},
        {u"1.2.3.4.5", {1, 2, 3, 4}}, {u"abc", {0, 0, 0, 0}},           {u"", {0, 0, 0, 0}},
        {u"7.x", {7, 0, 0, 0}},       {u"-1", {0xFFFFFFFFu, 0, 0, 0}},  {u"$10.2", {16, 2, 0, 0}},
        {u"1.2.", {1, 2, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(ToUtf8(c.text));
        EXPECT_EQ(ParseVersionText(c.text), c.expected);
    }
    EXPECT_THROW(ParseVersionText(u"a.b"), std::runtime_error);
    EXPECT_THROW(ParseVersionText(u"1..2"), std::runtime_error);
}

TEST(FileCommands, GetFileVersionStoresTheQuadruple) {
    CommandScript script;
    script.fake.files.AddFile(u"C:\\App\\one.dll", VersionedImage(0x00010002, 0x00030004));
    script.Set(u"DIR", u"C:\\App");
    script.Add(u"Get File Version", {u"$DIR$\\\\one.dll", u"$VERSION$"});
    script.Add(u"Get File Version", {u"C:\\App\\none.dll", u"MISSING"});
    script.Run();
    EXPECT_EQ(script.Value(u"VERSION"), u"1.2.3.4");
    EXPECT_EQ(script.Value(u"MISSING"), u"0.0.0.0");
}

TEST(FileCommands, CheckFileVersionIsTrueOnlyWhenStrictlyNewer) {
    const struct {
        const char16_t* text;
        const char16_t* expected;
    } cases[] = {
        {u"1.2.3.4", u"FALSE"}, {u"1.2.3", u"TRUE"},      {u"1.10", u"FALSE"},   {u"1.2.3.4.5", u"FALSE"},
        {u"1.2.3.3.9", u"TRUE"}, {u"abc", u"TRUE"},       {u"", u"TRUE"},        {u"2", u"FALSE"},
        {u"65536", u"FALSE"},    {u"1.2.3.-1", u"FALSE"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(ToUtf8(c.text));
        CommandScript script;
        script.fake.files.AddFile(u"C:\\App\\one.dll", VersionedImage(0x00010002, 0x00030004));
        script.Set(u"WANTED", c.text);
        script.Add(u"Check File Version", {u"NEWER", u"C:\\App\\one.dll", u"FALSE", u"", u"$WANTED$"});
        script.Run();
        EXPECT_EQ(script.Value(u"NEWER"), c.expected);
    }
}

TEST(FileCommands, CheckFileVersionComparesTwoFiles) {
    const struct {
        uint32_t second_most;
        uint32_t second_least;
        const char16_t* expected;
    } cases[] = {
        {0x00010002, 0x00030004, u"FALSE"},
        {0x00010002, 0x00030003, u"TRUE"},
        {0x00010002, 0x00040000, u"FALSE"},
        {0x00000009, 0x00090009, u"TRUE"},
    };
    for (const auto& c : cases) {
        CommandScript script;
        script.fake.files.AddFile(u"C:\\App\\one.dll", VersionedImage(0x00010002, 0x00030004));
        script.fake.files.AddFile(u"C:\\App\\two.dll", VersionedImage(c.second_most, c.second_least));
        script.Add(u"Check File Version", {u"NEWER", u"C:\\App\\one.dll", u"TRUE", u"C:\\App\\two.dll", u"9.9"});
        script.Add(u"Check File Version", {u"OVER_MISSING", u"C:\\App\\one.dll", u"TRUE", u"C:\\App\\no.dll", u""});
        script.Run();
        EXPECT_EQ(script.Value(u"NEWER"), c.expected);
        EXPECT_EQ(script.Value(u"OVER_MISSING"), u"TRUE");
    }
}

TEST(FileCommands, CheckFileVersionReportsANonIntegerFieldBeforeADot) {
    CommandScript script;
    script.fake.files.AddFile(u"C:\\App\\one.dll", VersionedImage(0x00010002, 0x00030004));
    const size_t failing = script.Add(u"Check File Version", {u"NEWER", u"C:\\App\\one.dll", u"FALSE", u"", u"1.x.3"});
    script.Set(u"AFTER", u"reached");
    script.Run({});
    EXPECT_EQ(script.Messages(), std::vector<Text>{RuntimeErrorReport(failing, u"'x' is not a valid integer value")});
    EXPECT_FALSE(script.Exists(u"AFTER"));
}

TEST(FileCommands, CheckDiskSpaceStoresFreeOrTotalBytesAndZeroWhenUnknown) {
    CommandScript script;
    script.fake.files.volume_space = FileSystem::VolumeSpace{123456789012345, 987654321098765};
    script.Add(u"Check Disk Space", {u"$FREE$", u"C:\\\\Program Files", u"TRUE"});
    script.Add(u"Check Disk Space", {u"TOTAL", u"C:\\", u"false"});
    script.Run();
    EXPECT_EQ(script.Value(u"FREE"), u"123456789012345");
    EXPECT_EQ(script.Value(u"TOTAL"), u"987654321098765");
    EXPECT_EQ(script.fake.files.volume_queries, (std::vector<Text>{u"C:\\Program Files", u"C:\\"}));

    CommandScript unknown;
    unknown.Add(u"Check Disk Space", {u"FREE", u"Q:\\", u"TRUE"});
    unknown.Run();
    EXPECT_EQ(unknown.Value(u"FREE"), u"0");
}

// ---- text files ----

TEST(TextFile, LineReaderEndsLinesAtEveryKindOfBreak) {
    const struct {
        std::string bytes;
        std::vector<Text> lines;
    } cases[] = {
        {"", {}},
        {"one", {u"one"}},
        {"one\r\ntwo\r\n", {u"one", u"two"}},
        {"one\ntwo", {u"one", u"two"}},
        {"one\rtwo\r\n\r\nfour", {u"one", u"two", u"", u"four"}},
        {"\xEF\xBB\xBF" "first\nsecond", {u"first", u"second"}},
        {"\xEF\xBB\xBF", {}},
        {"caf\xC3\xA9\n\xE2\x82\xAC", {u"caf\u00E9", u"\u20AC"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(ReadFileLines(c.bytes), c.lines);
    }
}

TEST(TextFile, SplitLinesKeepsEveryLineTheTextHolds) {
    EXPECT_EQ(SplitLines(u""), std::vector<Text>{u""});
    EXPECT_EQ(SplitLines(u"a\r\nb"), (std::vector<Text>{u"a", u"b"}));
    EXPECT_EQ(SplitLines(u"a\nb\rc\r\n"), (std::vector<Text>{u"a", u"b", u"c", u""}));
    EXPECT_EQ(WriteTextLines({u"a", u"\u00E9"}), "\xEF\xBB\xBF" "a\r\n\xC3\xA9\r\n");
}

TEST(FileCommands, ReadFromTextFileReadsLineByLineAndStartsAgainAfterTheEnd) {
    CommandScript script;
    script.fake.files.AddFile(u"C:\\Data\\two.txt", "\xEF\xBB\xBF" "first\r\nsecond\r\n");
    for (int read = 1; read <= 3; ++read) {
        script.Add(u"Read from Text File", {u"C:\\Data\\two.txt", u"LINE", u"END"});
        script.Set(u"LINE" + FromInt(read), u"$LINE$");
        script.Set(u"END" + FromInt(read), u"$END$");
    }
    script.Run();
    EXPECT_EQ(script.Value(u"LINE1"), u"first");
    EXPECT_EQ(script.Value(u"END1"), u"FALSE");
    EXPECT_EQ(script.Value(u"LINE2"), u"second");
    EXPECT_EQ(script.Value(u"END2"), u"TRUE");
    EXPECT_EQ(script.Value(u"LINE3"), u"first");
    EXPECT_EQ(script.Value(u"END3"), u"FALSE");
}

TEST(FileCommands, ReadAllPrefixReadsEveryRemainingLine) {
    CommandScript script;
    script.fake.files.AddFile(u"C:\\Data\\three.txt", "one\ntwo\nthree\n");
    script.Add(u"Read from Text File", {u"#READALL\\C:\\Data\\three.txt", u"ALL", u"END_ALL"});
    script.Add(u"Read from Text File", {u"C:\\Data\\three.txt", u"FIRST", u""});
    script.Add(u"Read from Text File", {u"#READALL\\c:\\data\\THREE.txt", u"REST", u"END_REST"});
    script.Run();
    EXPECT_EQ(script.Value(u"ALL"), u"one$NEWLINE$two$NEWLINE$three");
    EXPECT_EQ(script.Value(u"END_ALL"), u"TRUE");
    EXPECT_EQ(script.Value(u"FIRST"), u"one");
    EXPECT_EQ(script.Value(u"REST"), u"two$NEWLINE$three");
    EXPECT_EQ(script.Value(u"END_REST"), u"TRUE");
}

TEST(FileCommands, ReadFromTextFileOfMissingOrEmptyFiles) {
    CommandScript script;
    script.fake.files.AddFile(u"C:\\Data\\empty.txt", "");
    script.Set(u"LINE", u"kept");
    script.Add(u"Read from Text File", {u"C:\\Data\\missing.txt", u"LINE", u"END_MISSING"});
    script.Add(u"Read from Text File", {u"C:\\Data\\empty.txt", u"LINE", u"END_EMPTY"});
    script.Add(u"Read from Text File", {u"C:\\Data\\missing.txt", u"NEW_LINE", u""});
    script.Run();
    EXPECT_EQ(script.Value(u"LINE"), u"kept");
    EXPECT_EQ(script.Value(u"END_MISSING"), u"TRUE");
    EXPECT_EQ(script.Value(u"END_EMPTY"), u"TRUE");
    EXPECT_TRUE(script.Exists(u"NEW_LINE"));
    EXPECT_EQ(script.Value(u"NEW_LINE"), u"");
}

TEST(FileCommands, ReadingAnotherFileClosesTheFirst) {
    CommandScript script;
    script.fake.files.AddFile(u"C:\\Data\\a.txt", "a1\na2\n");
    script.fake.files.AddFile(u"C:\\Data\\b.txt", "b1\nb2\n");
    script.Add(u"Read from Text File", {u"C:\\Data\\a.txt", u"A", u""});
    script.Add(u"Read from Text File", {u"C:\\Data\\b.txt", u"B", u""});
    script.Add(u"Read from Text File", {u"C:\\Data\\a.txt", u"A_AGAIN", u""});
    script.Run();
    EXPECT_EQ(script.Value(u"A"), u"a1");
    EXPECT_EQ(script.Value(u"B"), u"b1");
    EXPECT_EQ(script.Value(u"A_AGAIN"), u"a1");
}

TEST(FileCommands, TheEndOfTheScriptClosesTheOpenTextFile) {
    {
        CommandScript script;
        script.fake.files.AddFile(u"C:\\Data\\a.txt", "a1\na2\n");
        script.Add(u"Read from Text File", {u"C:\\Data\\a.txt", u"A", u""});
        script.Run();
        EXPECT_TRUE(EngineOpenTextFile().path.empty());
        EXPECT_FALSE(EngineOpenTextFile().IsOpen());
    }
    CommandScript next_run;
    next_run.fake.files.AddFile(u"C:\\Data\\a.txt", "fresh\n");
    next_run.Add(u"Read from Text File", {u"C:\\Data\\a.txt", u"A", u""});
    next_run.Run();
    EXPECT_EQ(next_run.Value(u"A"), u"fresh");
}

TEST(FileCommands, WriteToTextFileAddsLinesAtTheEndOrTheTop) {
    const struct {
        const char* name;
        std::optional<std::string> before;
        const char16_t* text;
        const char16_t* at_top;
        std::string after;
    } cases[] = {
        {"missing file", std::nullopt, u"new", u"FALSE", "\xEF\xBB\xBFnew\r\n"},
        {"append", "\xEF\xBB\xBFone\r\ntwo\r\n", u"three", u"FALSE", "\xEF\xBB\xBFone\r\ntwo\r\nthree\r\n"},
        {"insert", "one\ntwo", u"zero", u"true", "\xEF\xBB\xBFzero\r\none\r\ntwo\r\n"},
        {"flag expanded", "one\n", u"zero", u"$TOP$", "\xEF\xBB\xBFzero\r\none\r\n"},
        {"line breaks", "one\n", u"a$NEWLINE$b", u"FALSE", "\xEF\xBB\xBFone\r\na\r\nb\r\n"},
        {"empty line", "one\n", u"", u"FALSE", "\xEF\xBB\xBFone\r\n\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CommandScript script;
        script.fake.files.CreateFolderTree(u"C:\\Data");
        if (c.before) script.fake.files.AddFile(u"C:\\Data\\out.txt", *c.before);
        script.Set(u"TOP", u"-1");
        script.Add(u"Write to Text File", {u"C:\\Data\\out.txt", c.text, c.at_top});
        script.Run();
        EXPECT_EQ(script.fake.files.ReadWholeFile(u"C:\\Data\\out.txt"), c.after);
    }
}

TEST(FileCommands, WriteToTheFileBeingReadClosesIt) {
    CommandScript script;
    script.fake.files.AddFile(u"C:\\Data\\log.txt", "one\ntwo\n");
    script.Add(u"Read from Text File", {u"C:\\Data\\log.txt", u"FIRST", u"END"});
    script.Add(u"Write to Text File", {u"c:\\data\\LOG.txt", u"three", u"FALSE"});
    script.Add(u"Read from Text File", {u"C:\\Data\\log.txt", u"AFTER", u""});
    script.Run();
    EXPECT_EQ(script.Value(u"FIRST"), u"one");
    EXPECT_EQ(script.Value(u"END"), u"FALSE");
    EXPECT_EQ(script.Value(u"AFTER"), u"one");
    EXPECT_EQ(script.fake.files.ReadWholeFile(u"C:\\Data\\log.txt"), "\xEF\xBB\xBFone\r\ntwo\r\nthree\r\n");
}

TEST(FileCommands, GetIniFileSettingsReadsOneValue) {
    const struct {
        const char16_t* section;
        const char16_t* key;
        const char16_t* expected;
    } cases[] = {
        {u"Main", u"Path", u"C:\\Program Files\\App"},
        {u"MAIN", u"path", u"C:\\Program Files\\App"},
        {u"Main", u"Quoted", u"  spaced  "},
        {u"Other", u"Path", u"second"},
        {u"Main", u"Missing", u""},
        {u"Main", u"", u""},
        {u"", u"Path", u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(ToUtf8(Text(c.section) + u"/" + c.key));
        CommandScript script;
        script.fake.files.AddFile(u"C:\\App\\app.ini",
                                  "[Main]\r\nPath = C:\\Program Files\\App\r\nQuoted=\"  spaced  \"\r\n"
                                  "[Other]\r\nPath=second\r\n");
        script.Add(u"Get INI File Settings", {u"VALUE", u"C:\\\\App\\app.ini", c.section, c.key});
        script.Run();
        EXPECT_EQ(script.Value(u"VALUE"), c.expected);
    }
}

TEST(FileCommands, GetIniFileSettingsCutsLongValues) {
    CommandScript script;
    script.fake.files.AddFile(u"C:\\App\\long.ini", "[S]\nK=" + std::string(30000, 'x') + "\n");
    script.Add(u"Get INI File Settings", {u"VALUE", u"C:\\App\\long.ini", u"S", u"K"});
    script.Run();
    EXPECT_EQ(script.Value(u"VALUE"), Text(25999, u'x'));
}

// ---- search and deletion ----

void AddTree(fake::FakeFileSystem& files) {
    files.AddFile(u"C:\\D\\a.txt", "a");
    files.AddFile(u"C:\\D\\s\\b.txt", "b");
    files.AddFile(u"C:\\D\\s\\c.log", "c");
}

TEST(FileSearch, ListsSubFolderEntriesThenTheFolderThenMatchingFiles) {
    const struct {
        const char16_t* pattern;
        bool recurse;
        bool include_folders;
        std::vector<Text> expected;
    } cases[] = {
        {u"C:\\D\\*.txt", true, true, {u"C:\\D\\s\\b.txt", u"C:\\D\\s", u"C:\\D\\a.txt"}},
        {u"C:\\D\\*.txt", true, false, {u"C:\\D\\s\\b.txt", u"C:\\D\\a.txt"}},
        {u"C:\\D\\*.txt", false, true, {u"C:\\D\\s", u"C:\\D\\a.txt"}},
        {u"C:\\D\\*.txt", false, false, {u"C:\\D\\a.txt"}},
        {u"C:\\D\\*.*", true, false, {u"C:\\D\\s\\b.txt", u"C:\\D\\s\\c.log", u"C:\\D\\a.txt"}},
        {u"C:\\D\\?.log", true, true, {u"C:\\D\\s\\c.log", u"C:\\D\\s"}},
        {u"C:\\Nowhere\\*.*", true, true, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(ToUtf8(c.pattern));
        fake::FakeFileSystem files;
        AddTree(files);
        EXPECT_EQ(SearchFiles(files, c.pattern, c.recurse, c.include_folders), c.expected);
    }
}

TEST(FileSearch, StopsWhenAskedAndKeepsWhatItFound) {
    fake::FakeFileSystem files;
    AddTree(files);
    std::vector<Text> reported;
    SearchHooks hooks;
    hooks.file_found = [&](TextView path) { reported.emplace_back(path); };
    hooks.stop_requested = [&] { return !reported.empty(); };
    EXPECT_EQ(SearchFiles(files, u"C:\\D\\*.*", true, true, hooks), std::vector<Text>{u"C:\\D\\s\\b.txt"});
    EXPECT_EQ(reported, std::vector<Text>{u"C:\\D\\s\\b.txt"});
}

TEST(FileCommands, FindAllFilesStoresTheQuotedList) {
    CommandScript script;
    AddTree(script.fake.files);
    script.fake.files.AddFile(u"C:\\D\\with space.txt", "x");
    script.Add(u"Find All Files", {u"C:\\\\D\\*.txt", u"TRUE", u"TRUE", u"$FOUND$"});
    script.Add(u"Find All Files", {u"C:\\D\\*.none", u"TRUE", u"FALSE", u"NOTHING"});
    script.Run();
    EXPECT_EQ(script.Value(u"FOUND"), u"C:\\D\\s\\b.txt|C:\\D\\s|C:\\D\\a.txt|\"C:\\D\\with space.txt\"");
    EXPECT_TRUE(script.Exists(u"NOTHING"));
    EXPECT_EQ(script.Value(u"NOTHING"), u"");
    EXPECT_EQ(script.Value(u"QUIB_thProgressText"), u"C:\\D\\with space.txt");
    EXPECT_EQ(script.Value(u"QUIB_thMax"), u"100");
}

TEST(FileCommands, FindAllFilesAfterACancellation) {
    const struct {
        const char16_t* abort_on_error;
        bool silent;
        bool reaches_next;
        std::vector<Text> messages;
    } cases[] = {
        {u"FALSE", true, true, {}},
        {u"FALSE", false, true, {u"Setup cancelled"}},
        {u"TRUE", false, false, {u"Setup cancelled"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(ToUtf8(c.abort_on_error) + (c.silent ? " silent" : " interactive"));
        CommandScript script;
        AddTree(script.fake.files);
        script.Set(u"ABORTONERROR", c.abort_on_error);
        script.Set(u"QUIB_IsCancelled", u"TRUE");
        script.Add(u"Find All Files", {u"C:\\D\\*.log", u"TRUE", u"FALSE", u"FOUND"});
        script.Set(u"NEXT", u"reached");
        script.Run(c.silent ? std::vector<Text>{u"/s"} : std::vector<Text>{});
        EXPECT_EQ(script.Messages(), c.messages);
        EXPECT_EQ(script.Exists(u"NEXT"), c.reaches_next);
        if (c.reaches_next) {
            EXPECT_EQ(script.Value(u"ABORTEDONERROR"), u"TRUE");
            EXPECT_EQ(script.Value(u"FOUND"), u"C:\\D\\s\\c.log");
        }
    }
}

TEST(FileCommands, DeleteFilesRecursiveEmptiesTheTreeAndKeepsItsFolder) {
    CommandScript script;
    AddTree(script.fake.files);
    script.fake.files.CreateFolderTree(u"C:\\D\\s\\deep\\deeper");
    script.fake.files.AddFile(u"C:\\Other\\keep.txt", "k");
    script.Add(u"Delete Files Recursive", {u"C:\\\\D\\*.*"});
    script.Run();
    EXPECT_TRUE(script.fake.files.FolderExists(u"C:\\D"));
    EXPECT_TRUE(script.fake.files.FindEntries(u"C:\\D\\*.*").empty());
    EXPECT_TRUE(script.fake.files.FileExists(u"C:\\Other\\keep.txt"));
}

TEST(FileCommands, DeleteFilesRecursiveWithAPatternKeepsOtherFilesAndTheirFolders) {
    CommandScript script;
    AddTree(script.fake.files);
    script.fake.files.CreateFolderTree(u"C:\\D\\empty");
    script.Add(u"Delete Files Recursive", {u"C:\\D\\*.txt"});
    script.Run();
    EXPECT_FALSE(script.fake.files.FileExists(u"C:\\D\\a.txt"));
    EXPECT_FALSE(script.fake.files.FileExists(u"C:\\D\\s\\b.txt"));
    EXPECT_TRUE(script.fake.files.FileExists(u"C:\\D\\s\\c.log"));
    EXPECT_FALSE(script.fake.files.FolderExists(u"C:\\D\\empty"));
}

}  // namespace
}  // namespace zev
