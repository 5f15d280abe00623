#include "media/archive_library.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <unistd.h>

#include "media/zevlib/entry_path.h"
#include "media/zevlib/failure.h"
#include "media/zevlib/switch_text.h"
#include "script/text.h"

namespace zev {
namespace {

namespace fs = std::filesystem;

// The level switch texts the engine passes, with its thread and header-encryption prefix.
const char16_t* const kLevelStore = u"-ms=off -mhc=off -m0=None -m0=Copy ";
const char16_t* const kLevelFastest = u"-ms=on -mhc=on -m0=BCJ2 -m1=LZMA2 -m1d=23 -m1mf=hc4 -m1fb=64 ";
const char16_t* const kLevelFast = u"-ms=on -mhc=on -m0=BCJ2 -m1=LZMA2 -m1d=23 -m1mf=bt4 -m1fb=64 ";
const char16_t* const kLevelMaximum =
    u"-ms=on -mhc=on -m0=BCJ2 -m1=LZMA2 -m1d=25 -m1mf=bt4 -m1fb=64 -m2=LZMA2 -m2d=20 "
    u"-m2mf=bt4 -m2fb=64 -m3=LZMA2 -m3d=20 -m3mf=bt4 -m3fb=64 -mb0:1 -mb0s1:2 -mb0s2:3 ";
const char16_t* const kLevelUltra =
    u"-ms=on -mhc=on -m0=BCJ2 -m1=LZMA2 -m1d=26 -m1mf=bt4 -m1fb=64 -m2=LZMA2 -m2d=20 "
    u"-m2mf=bt4 -m2fb=64 -m3=LZMA2 -m3d=20 -m3mf=bt4 -m3fb=64 -mb0:1 -mb0s1:2 -mb0s2:3 ";

Text PathText(const fs::path& path) {
    return FromUtf8(path.string());
}

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string RandomBytes(size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(generator() & 0xFF);
    return bytes;
}

// x86-like code with call and jump opcodes, so that the branch filters have work to do.
std::string CodeLikeBytes(size_t size) {
    std::string bytes;
    std::mt19937 generator(7);
    while (bytes.size() < size) {
        const char opcodes[] = {'\xE8', '\xE9', '\x0F', '\x90', '\x55', '\x8B'};
        bytes += opcodes[generator() % 6];
        for (int i = 0; i < 4; ++i) bytes += static_cast<char>(generator() % 16);
    }
    bytes.resize(size);
    return bytes;
}

// Every regular file under root, by its path relative to root, with its bytes.
std::map<std::string, std::string> FilesUnder(const fs::path& root) {
    std::map<std::string, std::string> files;
    if (!fs::exists(root)) return files;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file()) files[fs::relative(entry.path(), root).generic_string()] = ReadBytes(entry.path());
    return files;
}

bool Have7zz() {
    return fs::exists("/usr/bin/7zz");
}

int Run7zz(const fs::path& workingFolder, const std::string& arguments) {
    const std::string command =
        "cd '" + workingFolder.string() + "' && /usr/bin/7zz " + arguments + " > /dev/null 2>&1";
    return std::system(command.c_str());
}

struct Listed {
    std::vector<std::string> names;
    std::vector<ZevArchiveEntry> entries;
};

class ArchiveLibrary : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        root_ =
            fs::temp_directory_path() / ("zev-archive-" + std::string(info->name()) + "-" + std::to_string(::getpid()));
        fs::remove_all(root_);
        fs::create_directories(root_);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    // A source tree with text, random and code-like data, an empty file and an empty folder.
    std::map<std::string, std::string> MakeTree(const fs::path& folder) {
        std::map<std::string, std::string> files = {
            {"app/readme.txt", "Read me.\r\nSecond line.\r\n"},
            {"app/bin/tool.exe", CodeLikeBytes(300000)},
            {"app/data/random.bin", RandomBytes(70000, 3)},
            {"app/data/empty.dat", ""},
            {"app/Grüße.txt", "unicode name"},
        };
        for (const auto& [name, bytes] : files) WriteBytes(folder / name, bytes);
        fs::create_directories(folder / "app/empty folder");
        return files;
    }

    int32_t Create(const fs::path& archive, const std::vector<Text>& files, const Text& switches = u"",
                   const Text& password = u"", int32_t mode = ZEV_ARCHIVE_MODE_ADD,
                   ZevArchiveProgress progress = nullptr, const std::vector<Text>& excluded = {}) {
        std::vector<const char16_t*> filePointers, excludedPointers;
        for (const Text& file : files) filePointers.push_back(file.c_str());
        for (const Text& file : excluded) excludedPointers.push_back(file.c_str());
        return CreateArchive(PathText(archive).c_str(), ZEV_ARCHIVE_LEVEL_NORMAL, filePointers.data(),
                             static_cast<uint32_t>(filePointers.size()), excludedPointers.data(),
                             static_cast<uint32_t>(excludedPointers.size()), mode, switches.c_str(), password.c_str(),
                             progress, nullptr, nullptr);
    }

    int32_t Extract(const fs::path& archive, const fs::path& output, const Text& password = u"",
                    const std::vector<Text>& entries = {}, int32_t pathMode = 0,
                    ZevArchivePassword passwordCallback = nullptr, ZevArchiveProgress progress = nullptr,
                    ZevArchiveOverwrite overwrite = nullptr) {
        std::vector<const char16_t*> entryPointers;
        for (const Text& entry : entries) entryPointers.push_back(entry.c_str());
        const Text folder = PathText(output) + u"/";
        return ExtractArchive(PathText(archive).c_str(), 1, folder.c_str(), entryPointers.data(),
                              static_cast<uint32_t>(entryPointers.size()), pathMode, password.c_str(), passwordCallback,
                              progress, nullptr, overwrite);
    }

    int32_t Test(const fs::path& archive, const Text& password = u"") {
        return TestArchive(PathText(archive).c_str(), 0, nullptr, nullptr, 0, password.c_str(), nullptr, nullptr);
    }

    int32_t Delete(const fs::path& archive, const std::vector<Text>& entries, const Text& password = u"") {
        std::vector<const char16_t*> entryPointers;
        for (const Text& entry : entries) entryPointers.push_back(entry.c_str());
        return DeleteFromArchive(PathText(archive).c_str(), 1, entryPointers.data(),
                                 static_cast<uint32_t>(entryPointers.size()), 0, 0, nullptr, password.c_str(), nullptr,
                                 nullptr, nullptr);
    }

    // The archive's file names (folders left out), sorted; fails the test when unreadable.
    std::vector<std::string> FileNames(const fs::path& archive, const Text& password = u"") {
        const ZevArchiveEntry* entries = nullptr;
        uint32_t count = 0;
        ZevArchiveListing listing = OpenListArchive(PathText(archive).c_str(), 0, nullptr, nullptr, nullptr, nullptr,
                                                    password.c_str(), &entries, &count);
        EXPECT_NE(listing, nullptr) << "error " << GetLastArchiveError();
        std::vector<std::string> names;
        for (uint32_t i = 0; i < count; ++i)
            if (!(entries[i].flags & ZEV_ARCHIVE_ENTRY_FOLDER)) names.push_back(ToUtf8(entries[i].name));
        if (listing) CloseListArchive(listing);
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path root_;
};

std::vector<std::string> Backslashed(const std::map<std::string, std::string>& files) {
    std::vector<std::string> names;
    for (const auto& [name, bytes] : files) {
        std::string backslashed = name;
        std::replace(backslashed.begin(), backslashed.end(), '/', '\\');
        names.push_back(backslashed);
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(ArchiveLibrary, RoundTripKeepsEveryByteForEachLevelAndPasswordSetting) {
    const auto files = MakeTree(root_ / "source");
    struct Case {
        const char* label;
        Text switches;
        Text password;
    };
    const Case cases[] = {
        {"store", Text(u"-ssw -mhe=off -mmt=2 ") + kLevelStore, u""},
        {"fastest", Text(u"-ssw -mhe=off -mmt=2 ") + kLevelFastest, u""},
        {"fast, password", Text(u"-ssw -mhe=off -mmt=2 ") + kLevelFast, u"s3cret"},
        {"maximum, encrypted names", Text(u"-ssw -mhe=on -mmt=2 ") + kLevelMaximum, u"pässword"},
        {"ultra", Text(u"-ssw -mhe=off -mmt=2 ") + kLevelUltra, u""},
        {"ultra, one thread, encrypted names", Text(u"-ssw -mhe=on -mmt=off ") + kLevelUltra, u"pw"},
        {"no switches", u"", u""},
        {"ppmd", u"-m0=PPMd", u""},
    };
    int row = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const fs::path archive = root_ / ("archive" + std::to_string(row) + ".7z");
        const fs::path output = root_ / ("output" + std::to_string(row++));
        ASSERT_EQ(Create(archive, {PathText(root_ / "source/app")}, c.switches, c.password), 1)
            << "error " << GetLastArchiveError();
        EXPECT_EQ(FileNames(archive, c.password), Backslashed(files));
        EXPECT_EQ(Test(archive, c.password), 1) << "error " << GetLastArchiveError();
        ASSERT_EQ(Extract(archive, output, c.password), 1) << "error " << GetLastArchiveError();
        EXPECT_EQ(FilesUnder(output), files);
        EXPECT_TRUE(fs::is_directory(output / "app/empty folder"));
        if (Have7zz()) {
            const std::string password = c.password.empty() ? "" : " '-p" + ToUtf8(c.password) + "'";
            EXPECT_EQ(Run7zz(root_, "t" + password + " '" + archive.string() + "'"), 0);
        }
    }
}

TEST_F(ArchiveLibrary, ReadsArchivesMadeBy7zz) {
    if (!Have7zz()) GTEST_SKIP() << "7zz is not installed";
    const auto files = MakeTree(root_ / "source");
    struct Case {
        const char* arguments;
        Text password;
    };
    const Case cases[] = {
        {"a -mx=5 plain.7z app", u""},
        {"a -mx=9 -m0=BCJ2 -m1=LZMA2 -m2=LZMA -m3=LZMA -mb0:1 -mb0s1:2 -mb0s2:3 bcj2.7z app", u""},
        {"a -p'h1dden' -mhe=on hidden.7z app", u"h1dden"},
        {"a -p'h1dden' -mhe=off -ms=off names.7z app", u"h1dden"},
        {"a -m0=Delta:4 -m1=LZMA2 delta.7z app", u""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        const std::string arguments = c.arguments;
        const std::string archiveName = arguments.substr(0, arguments.find(" app"))
                                            .substr(arguments.substr(0, arguments.find(" app")).rfind(' ') + 1);
        ASSERT_EQ(Run7zz(root_ / "source", arguments), 0);
        const fs::path output = root_ / ("out-" + archiveName);
        ASSERT_EQ(Extract(root_ / "source" / archiveName, output, c.password), 1) << "error " << GetLastArchiveError();
        EXPECT_EQ(FilesUnder(output), files);
    }
}

TEST_F(ArchiveLibrary, ArchivesWeCreateExtractWith7zz) {
    if (!Have7zz()) GTEST_SKIP() << "7zz is not installed";
    const auto files = MakeTree(root_ / "source");
    const fs::path archive = root_ / "ours.7z";
    ASSERT_EQ(Create(archive, {PathText(root_ / "source/app")}, Text(u"-ssw -mhe=on -mmt=2 ") + kLevelMaximum, u"key"),
              1);
    ASSERT_EQ(Run7zz(root_, "x -pkey -o'" + (root_ / "by7zz").string() + "' ours.7z"), 0);
    EXPECT_EQ(FilesUnder(root_ / "by7zz"), files);
}

struct PasswordCase {
    const char* label;
    const char* headerSwitch;
    Text password;
};

TEST_F(ArchiveLibrary, WrongOrMissingPasswordFailsClearlyAndWritesNothing) {
    MakeTree(root_ / "source");
    const PasswordCase cases[] = {
        {"wrong, names visible", "-mhe=off", u"wrong"},
        {"missing, names visible", "-mhe=off", u""},
        {"wrong, names encrypted", "-mhe=on", u"wrong"},
        {"missing, names encrypted", "-mhe=on", u""},
    };
    int row = 0;
    for (const PasswordCase& c : cases) {
        SCOPED_TRACE(c.label);
        const fs::path archive = root_ / ("locked" + std::to_string(row) + ".7z");
        const fs::path output = root_ / ("output" + std::to_string(row++));
        fs::create_directories(output);
        ASSERT_EQ(Create(archive, {PathText(root_ / "source/app")}, FromUtf8(c.headerSwitch) + u" -m0=LZMA2 -ms=off",
                         u"right"),
                  1);
        EXPECT_EQ(Extract(archive, output, c.password), 0);
        EXPECT_EQ(GetLastArchiveError(), ZEV_ARCHIVE_ERROR_WRONG_PASSWORD);
        EXPECT_TRUE(fs::is_empty(output)) << "something was written";
        EXPECT_EQ(Test(archive, c.password), 0);
        EXPECT_EQ(GetLastArchiveError(), ZEV_ARCHIVE_ERROR_WRONG_PASSWORD);
    }
}

int passwordCalls = 0;
int32_t ZEV_STDCALL RightPasswordOnce(char16_t* buffer, uint32_t capacity) {
    ++passwordCalls;
    if (passwordCalls > 1) return 0;
    const Text password = u"right";
    if (capacity <= password.size()) return 0;
    std::copy(password.begin(), password.end(), buffer);
    buffer[password.size()] = u'\0';
    return 1;
}
int32_t ZEV_STDCALL AlwaysWrongPassword(char16_t* buffer, uint32_t) {
    ++passwordCalls;
    buffer[0] = u'x';
    buffer[1] = u'\0';
    return 1;
}

TEST_F(ArchiveLibrary, PasswordCallbackIsAskedAfterAWrongPasswordAndNeverEndlessly) {
    const auto files = MakeTree(root_ / "source");
    for (const char* headerSwitch : {"-mhe=off", "-mhe=on"}) {
        SCOPED_TRACE(headerSwitch);
        const fs::path archive = root_ / (std::string("locked") + headerSwitch + ".7z");
        ASSERT_EQ(Create(archive, {PathText(root_ / "source/app")}, FromUtf8(headerSwitch), u"right"), 1);

        passwordCalls = 0;
        const fs::path good = root_ / (std::string("good") + headerSwitch);
        EXPECT_EQ(Extract(archive, good, u"wrong", {}, 0, RightPasswordOnce), 1) << "error " << GetLastArchiveError();
        EXPECT_EQ(passwordCalls, 1);
        EXPECT_EQ(FilesUnder(good), files);

        passwordCalls = 0;
        const fs::path bad = root_ / (std::string("bad") + headerSwitch);
        EXPECT_EQ(Extract(archive, bad, u"", {}, 0, AlwaysWrongPassword), 0);
        EXPECT_EQ(GetLastArchiveError(), ZEV_ARCHIVE_ERROR_WRONG_PASSWORD);
        EXPECT_EQ(passwordCalls, static_cast<int>(ZEV_ARCHIVE_PASSWORD_ATTEMPTS));
        EXPECT_TRUE(FilesUnder(bad).empty());
    }
}

TEST_F(ArchiveLibrary, TruncatedOrDamagedArchiveFailsWithoutPartialFiles) {
    WriteBytes(root_ / "source/big.bin", RandomBytes(200000, 9));
    WriteBytes(root_ / "source/small.txt", "small");
    const fs::path archive = root_ / "whole.7z";
    ASSERT_EQ(Create(archive, {PathText(root_ / "source/big.bin"), PathText(root_ / "source/small.txt")},
                     u"-m0=Copy -ms=off"),
              1);
    const std::string whole = ReadBytes(archive);
    struct Case {
        const char* label;
        std::string bytes;
        int32_t error;
    };
    std::string flipped = whole;
    flipped[32 + 1000] ^= 0x55;  // inside the stored data of big.bin
    const Case cases[] = {
        {"signature header only", whole.substr(0, 32), ZEV_ARCHIVE_ERROR_CANNOT_OPEN},
        {"cut in half", whole.substr(0, whole.size() / 2), ZEV_ARCHIVE_ERROR_CANNOT_OPEN},
        {"last byte missing", whole.substr(0, whole.size() - 1), ZEV_ARCHIVE_ERROR_CANNOT_OPEN},
        {"empty file", "", ZEV_ARCHIVE_ERROR_CANNOT_OPEN},
        {"not an archive", "PK\x03\x04 this is no 7z archive", ZEV_ARCHIVE_ERROR_CANNOT_OPEN},
        {"damaged data", flipped, ZEV_ARCHIVE_ERROR_DATA},
    };
    int row = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const fs::path damaged = root_ / ("damaged" + std::to_string(row) + ".7z");
        const fs::path output = root_ / ("output" + std::to_string(row++));
        WriteBytes(damaged, c.bytes);
        EXPECT_EQ(Extract(damaged, output, u""), 0);
        EXPECT_EQ(GetLastArchiveError(), c.error);
        const auto written = FilesUnder(output);
        EXPECT_EQ(written.count("big.bin"), 0u) << "a damaged file was left behind";
        for (const auto& [name, bytes] : written) EXPECT_EQ(name.find(".zevpart"), std::string::npos) << name;
        EXPECT_EQ(Test(damaged), 0);
        EXPECT_EQ(GetLastArchiveError(), c.error);
    }
    EXPECT_EQ(Extract(root_ / "missing.7z", root_ / "none"), 0);
    EXPECT_EQ(GetLastArchiveError(), ZEV_ARCHIVE_ERROR_CANNOT_OPEN);
}

TEST_F(ArchiveLibrary, RefusesEntriesThatLeaveTheOutputFolder) {
    if (!Have7zz()) GTEST_SKIP() << "7zz is not installed";
    const fs::path work = root_ / "work";
    fs::create_directories(work / "inner");
    WriteBytes(work / "x.txt", "outside");
    ASSERT_EQ(Run7zz(work / "inner", "a -spf ../spf.7z ../x.txt"), 0);
    ASSERT_EQ(Run7zz(work / "inner", "a -spf ../absolute.7z '" + (work / "x.txt").string() + "'"), 0);
    const char* const hostileNames[] = {
        "../../evil.txt",
        "/tmp/evil.txt",
        "C:\\evil.txt",
        "C:evil.txt",
        "\\\\server\\share\\evil.txt",
        "\\evil.txt",
        "a/../../evil.txt",
        "ok/../evil.txt",
        "CON",
        "sub/nul.txt",
        "file.txt:stream",
        "...",
        "sub/../../../evil.txt",
    };
    std::vector<std::string> archives = {"spf.7z", "absolute.7z"};
    int row = 0;
    for (const char* name : hostileNames) {
        const std::string archiveName = "hostile" + std::to_string(row++) + ".7z";
        // A harmless entry first: the refusal must come before anything is written.
        ASSERT_EQ(Run7zz(work, "a " + archiveName + " x.txt"), 0);
        ASSERT_EQ(Run7zz(work, "a -si'" + std::string(name) + "' " + archiveName + " < x.txt"), 0);
        archives.push_back(archiveName);
    }
    for (const std::string& archiveName : archives) {
        SCOPED_TRACE(archiveName);
        const fs::path sandbox = root_ / ("sandbox-" + archiveName);
        const fs::path output = sandbox / "a" / "b" / "out";
        fs::create_directories(output);
        for (int pathMode : {0, 1}) {
            EXPECT_EQ(Extract(work / archiveName, output, u"", {}, pathMode), 0);
            EXPECT_EQ(GetLastArchiveError(), ZEV_ARCHIVE_ERROR_UNSAFE_PATH);
            EXPECT_TRUE(FilesUnder(sandbox).empty()) << "something was written";
        }
    }
    EXPECT_FALSE(fs::exists(root_ / "evil.txt"));
    EXPECT_EQ(ReadBytes(work / "x.txt"), "outside");
}

TEST_F(ArchiveLibrary, SafePartsAcceptsOnlyPathsInsideTheFolder) {
    struct Case {
        Text path;
        std::optional<std::vector<Text>> parts;
    };
    const Case cases[] = {
        {u"a.txt", std::vector<Text>{u"a.txt"}},
        {u"dir/sub\\a.txt", std::vector<Text>{u"dir", u"sub", u"a.txt"}},
        {u"./dir//a.txt", std::vector<Text>{u"dir", u"a.txt"}},
        {u"..a/b..", std::vector<Text>{u"..a", u"b.."}},
        {u"console.txt", std::vector<Text>{u"console.txt"}},
        {u"COM0", std::vector<Text>{u"COM0"}},
        {u"", std::nullopt},
        {u".", std::nullopt},
        {u"..", std::nullopt},
        {u"../a", std::nullopt},
        {u"a/../b", std::nullopt},
        {u"a\\..\\..\\b", std::nullopt},
        {u"a\uF05C..\uF05Cb", std::nullopt},
        {u"/etc/passwd", std::nullopt},
        {u"\\x", std::nullopt},
        {u"\\\\server\\share", std::nullopt},
        {u"C:\\x", std::nullopt},
        {u"c:x", std::nullopt},
        {u"a.txt:stream", std::nullopt},
        {u"NUL", std::nullopt},
        {u"dir/con.txt", std::nullopt},
        {u"lpt9", std::nullopt},
        {u"Aux .log", std::nullopt},
        {u"a/. ./b", std::nullopt},
        {u"a/...", std::nullopt},
        {u"tab\there", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(archive::SafeParts(c.path), c.parts) << ToUtf8(c.path);
}

TEST_F(ArchiveLibrary, EntrySelectorMatchesNamesFoldersAndWildcards) {
    struct Case {
        std::vector<Text> names;
        Text entry;
        bool selected;
    };
    const Case cases[] = {
        {{}, u"anything\\at\\all", true},
        {{u"Dir\\A.TXT"}, u"dir\\a.txt", true},
        {{u"dir/a.txt"}, u"dir\\a.txt", true},
        {{u"dir\\a.txt"}, u"dir\\a.txt.bak", false},
        {{u"dir"}, u"dir\\sub\\a.txt", true},
        {{u"dir"}, u"directory\\a.txt", false},
        {{u"*"}, u"dir\\sub\\a.txt", true},
        {{u"*.*"}, u"noextension", true},
        {{u"dir\\*.*"}, u"dir\\sub\\x", true},
        {{u"*.txt"}, u"dir\\a.txt", true},
        {{u"*.txt"}, u"dir\\a.txt2", false},
        {{u"a?c"}, u"abc", true},
        {{u"a?c"}, u"ac", false},
        {{u"other", u"d*\\b*"}, u"dir\\beta\\c", true},
    };
    for (const Case& c : cases) {
        archive::EntrySelector selector(c.names);
        EXPECT_EQ(selector.Selects(c.entry), c.selected) << ToUtf8(c.entry);
    }
}

TEST_F(ArchiveLibrary, SwitchTextBecomesHandlerProperties) {
    using Properties = std::vector<archive::HandlerProperty>;
    struct Case {
        Text text;
        std::optional<Properties> properties;
    };
    const Case cases[] = {
        {u"", Properties{}},
        {u"-ssw -mhe=on -mmt=2 ", Properties{{u"he", u"on"}, {u"mt", u"2"}}},
        {u"-ms=off -mhc=off -m0=None -m0=Copy ", Properties{{u"s", u"off"}, {u"hc", u"off"}, {u"0", u"Copy"}}},
        {u"-m0=BCJ2 -m1d=26 -mb0:1 -mb0s1:2",
         Properties{{u"0", u"BCJ2"}, {u"1d", u"26"}, {u"b0:1", u""}, {u"b0s1:2", u""}}},
        {u"  -mx9\t-MMT=off", Properties{{u"x9", u""}, {u"MT", u"off"}}},
        {u"\"-m1=LZMA2\" -ssc- -r", Properties{{u"1", u"LZMA2"}}},
        {u"-v100m", std::nullopt},
        {u"-m", std::nullopt},
        {u"-m=on", std::nullopt},
        {u"mx=9", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(archive::ParseSwitchText(c.text), c.properties) << ToUtf8(c.text);
}

TEST_F(ArchiveLibrary, BadSwitchesMissingFilesAndMissingEntriesAreReported) {
    WriteBytes(root_ / "a.txt", "a");
    struct Case {
        const char* label;
        Text switches;
        std::vector<Text> files;
        int32_t error;
    };
    const Case cases[] = {
        {"unknown switch", u"-v10m", {PathText(root_ / "a.txt")}, ZEV_ARCHIVE_ERROR_INVALID_ARGUMENT},
        {"unknown method", u"-m0=Squeeze", {PathText(root_ / "a.txt")}, ZEV_ARCHIVE_ERROR_INVALID_ARGUMENT},
        {"missing file",
         u"",
         {PathText(root_ / "a.txt"), PathText(root_ / "missing.txt")},
         ZEV_ARCHIVE_ERROR_NOT_FOUND},
        {"missing folder of a wildcard", u"", {PathText(root_ / "nowhere/*")}, ZEV_ARCHIVE_ERROR_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(Create(root_ / "bad.7z", c.files, c.switches), 0);
        EXPECT_EQ(GetLastArchiveError(), c.error);
        EXPECT_FALSE(fs::exists(root_ / "bad.7z"));
        EXPECT_FALSE(fs::exists(root_ / "bad.7z.zevtmp"));
    }
    ASSERT_EQ(Create(root_ / "good.7z", {PathText(root_ / "a.txt")}), 1);
    EXPECT_EQ(Extract(root_ / "good.7z", root_ / "out", u"", {u"a.txt", u"b.txt"}), 0);
    EXPECT_EQ(GetLastArchiveError(), ZEV_ARCHIVE_ERROR_NOT_FOUND);
    EXPECT_TRUE(FilesUnder(root_ / "out").empty());
    EXPECT_EQ(OpenListArchive(nullptr, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(GetLastArchiveError(), ZEV_ARCHIVE_ERROR_INVALID_ARGUMENT);
}

TEST_F(ArchiveLibrary, SevenZipResultsMapToLibraryCodes) {
    struct Case {
        uint32_t hresult;
        int32_t code;
    };
    const Case cases[] = {
        {0x00000000u, ZEV_ARCHIVE_OK},
        {0x80004004u, ZEV_ARCHIVE_ERROR_ABORTED},           // E_ABORT
        {0x8007000Eu, ZEV_ARCHIVE_ERROR_RESOURCES},         // E_OUTOFMEMORY
        {0x80004001u, ZEV_ARCHIVE_ERROR_UNSUPPORTED},       // E_NOTIMPL
        {0x80070057u, ZEV_ARCHIVE_ERROR_INVALID_ARGUMENT},  // E_INVALIDARG
        {0x00000001u, ZEV_ARCHIVE_ERROR_DATA},              // S_FALSE
        {0x80004005u, ZEV_ARCHIVE_ERROR_WRITE},             // E_FAIL: the caller's fallback
#ifdef _WIN32
        {0x80070008u, ZEV_ARCHIVE_ERROR_RESOURCES},  // ERROR_NOT_ENOUGH_MEMORY
#else
        {0x8007000Cu, ZEV_ARCHIVE_ERROR_RESOURCES},  // ENOMEM
        {0x8007000Bu, ZEV_ARCHIVE_ERROR_RESOURCES},  // EAGAIN: no thread could be started
#endif
    };
    for (const Case& c : cases)
        EXPECT_EQ(archive::CodeFromHresult(static_cast<int32_t>(c.hresult), ZEV_ARCHIVE_ERROR_WRITE), c.code)
            << std::hex << c.hresult;
}

int progressCalls = 0;
int32_t ZEV_STDCALL StopAtOnce(const char16_t*, uint64_t, uint64_t) {
    ++progressCalls;
    return 0;
}
int32_t ZEV_STDCALL StopAfterSomeData(const char16_t*, uint64_t done, uint64_t) {
    ++progressCalls;
    return done < 100000 ? 1 : 0;
}

TEST_F(ArchiveLibrary, ProgressReturningZeroAbortsAndLeavesNoTrace) {
    const auto files = MakeTree(root_ / "source");
    const fs::path archive = root_ / "archive.7z";
    ASSERT_EQ(Create(archive, {PathText(root_ / "source/app")}, u"-m0=Copy"), 1);
    const std::string before = ReadBytes(archive);

    for (ZevArchiveProgress progress : {StopAtOnce, StopAfterSomeData}) {
        progressCalls = 0;
        const fs::path output = root_ / ("output" + std::to_string(reinterpret_cast<uintptr_t>(progress) % 97));
        EXPECT_EQ(Extract(archive, output, u"", {}, 0, nullptr, progress), 0);
        EXPECT_EQ(GetLastArchiveError(), ZEV_ARCHIVE_ERROR_ABORTED);
        EXPECT_GE(progressCalls, 1);
        for (const auto& [name, bytes] : FilesUnder(output)) {
            EXPECT_EQ(name.find(".zevpart"), std::string::npos) << name;
            EXPECT_EQ(bytes, files.at(name)) << "an incomplete file was left: " << name;
        }

        progressCalls = 0;
        WriteBytes(root_ / "source/app/new.txt", "new");
        EXPECT_EQ(Create(archive, {PathText(root_ / "source/app")}, u"-m0=LZMA2", u"", ZEV_ARCHIVE_MODE_ADD, progress),
                  0);
        EXPECT_EQ(GetLastArchiveError(), ZEV_ARCHIVE_ERROR_ABORTED);
        EXPECT_EQ(ReadBytes(archive), before) << "the existing archive changed";
        EXPECT_FALSE(fs::exists(root_ / "archive.7z.zevtmp"));
    }
}

TEST_F(ArchiveLibrary, DeleteRemovesOnlyTheNamedEntryAndKeepsEncryption) {
    const auto files = MakeTree(root_ / "source");
    for (const char* headerSwitch : {"-mhe=off", "-mhe=on"}) {
        SCOPED_TRACE(headerSwitch);
        const fs::path archive = root_ / (std::string("archive") + headerSwitch + ".7z");
        ASSERT_EQ(Create(archive, {PathText(root_ / "source/app")}, FromUtf8(headerSwitch) + u" -ms=on", u"pw"), 1);
        ASSERT_EQ(Delete(archive, {u"APP\\DATA\\random.bin"}, u"pw"), 1) << "error " << GetLastArchiveError();
        auto expected = files;
        expected.erase("app/data/random.bin");
        EXPECT_EQ(FileNames(archive, u"pw"), Backslashed(expected));
        const fs::path output = root_ / (std::string("output") + headerSwitch);
        ASSERT_EQ(Extract(archive, output, u"pw"), 1) << "error " << GetLastArchiveError();
        EXPECT_EQ(FilesUnder(output), expected);
        // The rewritten archive is as locked as before.
        EXPECT_EQ(Extract(archive, root_ / "nopassword", u""), 0);
        EXPECT_EQ(GetLastArchiveError(), ZEV_ARCHIVE_ERROR_WRONG_PASSWORD);

        const std::string before = ReadBytes(archive);
        EXPECT_EQ(Delete(archive, {u"not\\there.txt"}, u"pw"), 1);
        EXPECT_EQ(ReadBytes(archive), before);
    }
    const fs::path plain = root_ / "plain.7z";
    ASSERT_EQ(Create(plain, {PathText(root_ / "source/app")}), 1);
    ASSERT_EQ(Delete(plain, {u"app\\bin"}), 1);
    auto expected = files;
    expected.erase("app/bin/tool.exe");
    EXPECT_EQ(FileNames(plain), Backslashed(expected));
}

TEST_F(ArchiveLibrary, AddingToAnExistingArchiveUpdatesIt) {
    WriteBytes(root_ / "one/a.txt", "first a");
    WriteBytes(root_ / "two/b.txt", "b");
    const fs::path archive = root_ / "archive.7z";
    ASSERT_EQ(Create(archive, {PathText(root_ / "one/a.txt")}), 1);
    ASSERT_EQ(Create(archive, {PathText(root_ / "two/b.txt")}), 1);
    EXPECT_EQ(FileNames(archive), (std::vector<std::string>{"a.txt", "b.txt"}));

    WriteBytes(root_ / "one/a.txt", "second a, longer");
    ASSERT_EQ(Create(archive, {PathText(root_ / "one/a.txt")}), 1);
    ASSERT_EQ(Extract(archive, root_ / "out"), 1);
    EXPECT_EQ(FilesUnder(root_ / "out"),
              (std::map<std::string, std::string>{{"a.txt", "second a, longer"}, {"b.txt", "b"}}));

    ASSERT_EQ(Create(archive, {PathText(root_ / "two/b.txt")}, u"", u"", ZEV_ARCHIVE_MODE_CREATE), 1);
    EXPECT_EQ(FileNames(archive), (std::vector<std::string>{"b.txt"}));

    // An existing file that is no archive is never overwritten by adding to it.
    WriteBytes(root_ / "notes.7z", "not an archive");
    EXPECT_EQ(Create(root_ / "notes.7z", {PathText(root_ / "two/b.txt")}), 0);
    EXPECT_EQ(GetLastArchiveError(), ZEV_ARCHIVE_ERROR_CANNOT_OPEN);
    EXPECT_EQ(ReadBytes(root_ / "notes.7z"), "not an archive");
}

TEST_F(ArchiveLibrary, FileListEntriesAreStoredRelativeToTheirFolder) {
    WriteBytes(root_ / "data/top.txt", "top");
    WriteBytes(root_ / "data/sub/inner.txt", "inner");
    WriteBytes(root_ / "data/sub/skip.log", "log");
    WriteBytes(root_ / "data/other.log", "other");
    WriteBytes(root_ / "again/TOP.TXT", "again");
    struct Case {
        const char* label;
        std::vector<Text> files;
        std::vector<Text> excluded;
        std::vector<std::string> names;
    };
    const Text data = PathText(root_ / "data");
    // Library paths may use backslashes on every system.
    Text backslashed = data;
    std::replace(backslashed.begin(), backslashed.end(), u'/', u'\\');
    const Case cases[] = {
        {"folder", {data + u"/sub"}, {}, {"sub\\inner.txt", "sub\\skip.log"}},
        {"file", {data + u"/sub/inner.txt"}, {}, {"inner.txt"}},
        {"star", {data + u"/*"}, {}, {"other.log", "sub\\inner.txt", "sub\\skip.log", "top.txt"}},
        {"star dot star, backslashes",
         {backslashed + u"\\*.*"},
         {},
         {"other.log", "sub\\inner.txt", "sub\\skip.log", "top.txt"}},
        {"wildcard", {data + u"/*.log"}, {}, {"other.log"}},
        {"excluded", {data + u"/*"}, {u"*.log"}, {"sub\\inner.txt", "top.txt"}},
        {"excluded folder", {data}, {u"sub"}, {"data\\other.log", "data\\top.txt"}},
        {"same stored name twice", {data + u"/top.txt", PathText(root_ / "again/TOP.TXT")}, {}, {"TOP.TXT"}},
    };
    int row = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const fs::path archive = root_ / ("archive" + std::to_string(row++) + ".7z");
        ASSERT_EQ(Create(archive, c.files, u"", u"", ZEV_ARCHIVE_MODE_ADD, nullptr, c.excluded), 1)
            << "error " << GetLastArchiveError();
        EXPECT_EQ(FileNames(archive), c.names);
    }
    // Of two files with the same stored name the later one is packed.
    ASSERT_EQ(Extract(root_ / ("archive" + std::to_string(row - 1) + ".7z"), root_ / "same"), 1);
    EXPECT_EQ(FilesUnder(root_ / "same"), (std::map<std::string, std::string>{{"TOP.TXT", "again"}}));
}

TEST_F(ArchiveLibrary, ListingEntriesDescribeEachItem) {
    WriteBytes(root_ / "pack/dir/a b.txt", "12345");
    WriteBytes(root_ / "pack/c.txt", "");
    const fs::path archive = root_ / "archive.7z";
    ASSERT_EQ(Create(archive, {PathText(root_ / "pack/*")}, u"", u"pw"), 1);
    const ZevArchiveEntry* entries = nullptr;
    uint32_t count = 0;
    ZevArchiveListing listing =
        OpenListArchive(PathText(archive).c_str(), 0, nullptr, nullptr, nullptr, nullptr, u"", &entries, &count);
    ASSERT_NE(listing, nullptr) << "error " << GetLastArchiveError();
    std::map<std::string, const ZevArchiveEntry*> byName;
    for (uint32_t i = 0; i < count; ++i) byName[ToUtf8(entries[i].name)] = &entries[i];
    ASSERT_EQ(byName.size(), 3u);
    const ZevArchiveEntry& file = *byName.at("dir\\a b.txt");
    EXPECT_EQ(file.size, 5u);
    EXPECT_TRUE(file.flags & ZEV_ARCHIVE_ENTRY_ENCRYPTED);
    EXPECT_TRUE(file.flags & ZEV_ARCHIVE_ENTRY_HAS_CRC);
    EXPECT_EQ(file.crc, 0xCBF53A1Cu);  // CRC-32 of "12345"
    EXPECT_NE(file.modified, 0u);
    EXPECT_FALSE(file.flags & ZEV_ARCHIVE_ENTRY_FOLDER);
    const ZevArchiveEntry& folder = *byName.at("dir");
    EXPECT_TRUE(folder.flags & ZEV_ARCHIVE_ENTRY_FOLDER);
    EXPECT_TRUE(folder.attributes & 0x10);
    EXPECT_EQ(byName.at("c.txt")->size, 0u);
    EXPECT_EQ(CloseListArchive(listing), 1);
}

int overwriteCalls = 0;
int32_t overwriteAnswer = ZEV_ARCHIVE_KEEP;
std::string overwriteExisting;
uint64_t overwriteExistingSize = 0;
int32_t ZEV_STDCALL AnswerOverwrite(const char16_t* existingPath, uint32_t existingSizeLow, uint32_t existingSizeHigh,
                                    uint32_t, uint32_t, const char16_t* entryName, uint32_t, uint32_t, uint32_t,
                                    uint32_t) {
    ++overwriteCalls;
    overwriteExisting = ToUtf8(existingPath) + "|" + ToUtf8(entryName);
    overwriteExistingSize = (uint64_t{existingSizeHigh} << 32) | existingSizeLow;
    return overwriteAnswer;
}

TEST_F(ArchiveLibrary, OverwriteCallbackDecidesAboutExistingFilesAndFlatModeDropsFolders) {
    WriteBytes(root_ / "src/dir/a.txt", "from archive");
    WriteBytes(root_ / "src/dir/deep/b.txt", "b");
    const fs::path archive = root_ / "archive.7z";
    ASSERT_EQ(Create(archive, {PathText(root_ / "src/dir")}), 1);
    struct Case {
        int32_t answer;
        std::string expected;
    };
    const Case cases[] = {{ZEV_ARCHIVE_KEEP, "existing!"}, {ZEV_ARCHIVE_OVERWRITE, "from archive"}};
    for (const Case& c : cases) {
        const fs::path output = root_ / ("out" + std::to_string(c.answer));
        WriteBytes(output / "dir/a.txt", "existing!");
        overwriteCalls = 0;
        overwriteAnswer = c.answer;
        ASSERT_EQ(Extract(archive, output, u"", {}, 0, nullptr, nullptr, AnswerOverwrite), 1);
        EXPECT_EQ(overwriteCalls, 1);
        EXPECT_EQ(overwriteExisting, (output / "dir/a.txt").string() + "|dir\\a.txt");
        EXPECT_EQ(overwriteExistingSize, 9u);
        EXPECT_EQ(ReadBytes(output / "dir/a.txt"), c.expected);
        EXPECT_EQ(ReadBytes(output / "dir/deep/b.txt"), "b");
    }
    overwriteCalls = 0;
    overwriteAnswer = 0;
    const fs::path stopped = root_ / "stopped";
    WriteBytes(stopped / "dir/a.txt", "existing!");
    EXPECT_EQ(Extract(archive, stopped, u"", {}, 0, nullptr, nullptr, AnswerOverwrite), 0);
    EXPECT_EQ(GetLastArchiveError(), ZEV_ARCHIVE_ERROR_ABORTED);

    ASSERT_EQ(Extract(archive, root_ / "flat", u"", {u"dir\\deep\\b.txt", u"dir\\a.txt"}, 1), 1);
    EXPECT_EQ(FilesUnder(root_ / "flat"),
              (std::map<std::string, std::string>{{"a.txt", "from archive"}, {"b.txt", "b"}}));
}

}  // namespace
}  // namespace zev
