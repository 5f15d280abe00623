// Web media placement, the offline media copy and the setup source location, on the fake
// platform.
#include <algorithm>

#include <gtest/gtest.h>

#include "media/offline_media_copy.h"
#include "media/setup_source.h"
#include "media/web_media_placement.h"
#include "platform/fake/fake_platform.h"
#include "startup/engine.h"

namespace zev {
namespace {

struct MediaFixture : ::testing::Test {
    fake::FakePlatform fake;
    TVariableManager variables;
    Engine engine{fake.platform, variables};

    std::optional<std::string> Read(TextView path) { return fake.files.ReadWholeFile(path); }
};

// ---- shared file moves ----

TEST(MediaFileMoves, LongPathFormsOfDriveAndNetworkPaths) {
    struct Case {
        const char16_t* path;
        const char16_t* expected;
    };
    const Case cases[] = {
        {u"C:\\Media\\a.txt", u"\\\\?\\C:\\Media\\a.txt"},
        {u"\\\\server\\share\\a.txt", u"\\\\?\\UNC\\server\\share\\a.txt"},
        {u"\\\\?\\C:\\already", u"\\\\?\\C:\\already"},
    };
    for (const Case& c : cases) EXPECT_EQ(LongPathForm(c.path), c.expected) << ToUtf8(c.path);
}

TEST_F(MediaFixture, LinkOrCopyLinksOnTheSameDriveAndCopiesAcrossDrives) {
    fake.files.AddFile(u"C:\\src\\a.txt", "alpha");
    fake.files.CreateFolderTree(u"C:\\dst");
    fake.files.CreateFolderTree(u"D:\\dst");
    ASSERT_TRUE(LinkOrCopyFile(fake.files, u"C:\\src\\a.txt", u"c:\\dst\\a.txt").ok());
    ASSERT_TRUE(LinkOrCopyFile(fake.files, u"C:\\src\\a.txt", u"D:\\dst\\a.txt").ok());
    const std::vector<std::pair<Text, Text>> links = {{u"c:\\src\\a.txt", u"c:\\dst\\a.txt"}};
    EXPECT_EQ(fake.files.hard_links, links);
    EXPECT_EQ(Read(u"D:\\dst\\a.txt"), "alpha");
    // An existing destination is never replaced.
    fake.files.AddFile(u"D:\\dst\\b.txt", "old");
    EXPECT_FALSE(LinkOrCopyFile(fake.files, u"C:\\src\\a.txt", u"D:\\dst\\b.txt").ok());
    EXPECT_EQ(Read(u"D:\\dst\\b.txt"), "old");
}

TEST_F(MediaFixture, FolderTreeMoveReplacesFilesAndRemovesTheEmptiedSource) {
    fake.files.AddFile(u"C:\\from\\a.txt", "new a");
    fake.files.AddFile(u"C:\\from\\sub\\deep\\b.txt", "new b");
    fake.files.CreateFolderTree(u"C:\\from\\empty");
    fake.files.AddFile(u"C:\\to\\a.txt", "old a");
    fake.files.AddFile(u"C:\\to\\keep.txt", "kept");
    ASSERT_TRUE(MoveFolderTree(fake.files, u"C:\\from\\", u"C:\\to").ok());
    EXPECT_EQ(Read(u"C:\\to\\a.txt"), "new a");
    EXPECT_EQ(Read(u"C:\\to\\sub\\deep\\b.txt"), "new b");
    EXPECT_EQ(Read(u"C:\\to\\keep.txt"), "kept");
    EXPECT_TRUE(fake.files.FolderExists(u"C:\\to\\empty"));
    EXPECT_FALSE(fake.files.FolderExists(u"C:\\from"));
    // Nothing to move is no failure.
    EXPECT_TRUE(MoveFolderTree(fake.files, u"C:\\nothing", u"C:\\to").ok());
}

// ---- web media placement ----

struct WebMediaFixture : MediaFixture {
    WebMediaFixture() {
        fake.files.CreateFolderTree(u"C:\\Downloads");
        fake.files.CreateFolderTree(u"C:\\ProgramData");
        job.archive = u"C:\\Downloads\\WebOne.7z";
        job.media_root = u"C:\\Media\\";
        job.progress_prefix = u"Extracting Web Media: WebOne";
        job.temporary_root = u"C:\\ProgramData\\quib\\";
    }
    bool Place() {
        return PlaceWebMedia(engine, job, state, [this](TextView text, int position) {
            progress.emplace_back(text);
            return true;
        }, error);
    }
    WebMediaPlacementJob job;
    WebMediaState state;
    Text error;
    std::vector<Text> progress;
};

TEST_F(WebMediaFixture, TableFilesGoToTheirFoldersAndTheRestMovesUnderTheMediaName) {
    fake.archives.AddArchive(job.archive, {{u"WebOne\\bin\\app.exe", "exe"},
                                           {u"WebOne\\bin\\app.dll", "dll"},
                                           {u"WebOne\\readme.txt", "readme"},
                                           {u"WebOne\\extra\\left.txt", "left"}});
    job.table = MediaFileRows({u"WebOne\\", u"bin\\app.exe", u"OFFLINE\\bin\\bin\\",  //
                               u"webone", u"bin\\app.dll", u"OFFLINE\\lib\\lib\\",    //
                               u"Other\\", u"readme.txt", u"elsewhere\\"});
    ASSERT_TRUE(Place()) << ToUtf8(error);
    EXPECT_EQ(Read(u"C:\\Media\\OFFLINE\\bin\\bin\\app.exe"), "exe");
    EXPECT_EQ(Read(u"C:\\Media\\OFFLINE\\lib\\lib\\app.dll"), "dll");
    EXPECT_EQ(Read(u"C:\\Media\\WebOne\\readme.txt"), "readme");
    EXPECT_EQ(Read(u"C:\\Media\\WebOne\\extra\\left.txt"), "left");
    EXPECT_FALSE(fake.files.FileExists(u"C:\\Media\\WebOne\\bin\\app.exe"));
    EXPECT_FALSE(fake.files.FileExists(u"C:\\Media\\elsewhere\\readme.txt"));
    EXPECT_FALSE(fake.files.FolderExists(u"C:\\ProgramData\\quib"));
    EXPECT_TRUE(fake.files.hard_links.empty());
    EXPECT_FALSE(state.copy_mode);
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), u"Extracting Web Media: WebOne\rleft.txt, 100% complete");
}

TEST_F(WebMediaFixture, SameFilePathNamedTwiceIsRestoredFromItsFirstDestination) {
    fake.archives.AddArchive(job.archive, {{u"WebOne\\bin\\shared.dll", "shared"}});
    job.table = MediaFileRows({u"WebOne", u"bin\\shared.dll", u"one\\",  //
                               u"WebOne", u"bin\\shared.dll", u"two\\",  //
                               u"WebOne", u"bin\\shared.dll", u"three\\"});
    ASSERT_TRUE(Place()) << ToUtf8(error);
    for (const char16_t* path : {u"C:\\Media\\one\\shared.dll", u"C:\\Media\\two\\shared.dll",
                                 u"C:\\Media\\three\\shared.dll"})
        EXPECT_EQ(Read(path), "shared") << ToUtf8(path);
    // Each later row took a link of the first destination back to the source, then moved it.
    const std::vector<std::pair<Text, Text>> links = {
        {u"c:\\media\\one\\shared.dll", u"c:\\programdata\\quib\\webone\\bin\\shared.dll"},
        {u"c:\\media\\one\\shared.dll", u"c:\\programdata\\quib\\webone\\bin\\shared.dll"}};
    EXPECT_EQ(fake.files.hard_links, links);
    EXPECT_FALSE(fake.files.FileExists(u"C:\\Media\\WebOne\\bin\\shared.dll"));
}

TEST_F(WebMediaFixture, UnmovableFileSwitchesToCopyModeForTheRestOfTheRun) {
    fake.archives.AddArchive(job.archive, {{u"WebOne\\a.txt", "a"}, {u"WebOne\\b.txt", "b"}});
    job.table = MediaFileRows({u"WebOne", u"a.txt", u"first\\", u"WebOne", u"b.txt", u"second\\"});
    fake.files.move_refused.insert(u"c:\\media\\second\\b.txt");
    ASSERT_TRUE(Place()) << ToUtf8(error);
    EXPECT_TRUE(state.copy_mode);
    EXPECT_EQ(Read(u"C:\\Media\\first\\a.txt"), "a");
    EXPECT_EQ(Read(u"C:\\Media\\second\\b.txt"), "b");
    // The body ran again from the extraction, linking this time.
    EXPECT_EQ(std::count(fake.archives.calls.begin(), fake.archives.calls.end(), u"Extract C:\\Downloads\\WebOne.7z"),
              2);
    const std::vector<std::pair<Text, Text>> links = {
        {u"c:\\programdata\\quib\\webone\\a.txt", u"c:\\media\\first\\a.txt"},
        {u"c:\\programdata\\quib\\webone\\b.txt", u"c:\\media\\second\\b.txt"}};
    EXPECT_EQ(fake.files.hard_links, links);

    // A later placement starts in copy mode: nothing is moved out of the unpacked archive.
    fake.files.hard_links.clear();
    fake.files.move_refused.clear();
    job.archive = u"C:\\Downloads\\WebTwo.7z";
    fake.archives.AddArchive(job.archive, {{u"WebTwo\\c.txt", "c"}});
    job.table = MediaFileRows({u"WebTwo", u"c.txt", u"third\\"});
    ASSERT_TRUE(Place()) << ToUtf8(error);
    EXPECT_EQ(Read(u"C:\\Media\\third\\c.txt"), "c");
    EXPECT_EQ(fake.files.hard_links.size(), 1u);
}

TEST_F(WebMediaFixture, CopyModeGivesUpWhenNoCopyCanBeMade) {
    fake.archives.AddArchive(job.archive, {{u"WebOne\\a.txt", "a"}});
    job.table = MediaFileRows({u"WebOne", u"a.txt", u"first\\"});
    state.copy_mode = true;
    fake.files.long_path_only.insert(u"c:\\media\\first\\a.txt");  // no plain name reaches it
    EXPECT_FALSE(Place());
    EXPECT_FALSE(fake.files.FileExists(u"\\\\?\\C:\\Media\\first\\a.txt"));
    // The unpacked archive is left for a later attempt.
    EXPECT_TRUE(fake.files.FileExists(u"C:\\ProgramData\\quib\\WebOne\\a.txt"));
}

TEST_F(WebMediaFixture, ExtractionFailureSetsTheWrongPasswordFlagOnlyForAWrongPassword) {
    struct Case {
        uint32_t code;
        bool wrong_password;
    };
    const Case cases[] = {{1003, true}, {1002, false}, {1004, false}};
    for (const Case& c : cases) {
        fake.archives.queued_failures[u"List"] = {c.code};
        fake.archives.AddArchive(job.archive, {{u"WebOne\\a.txt", "a"}}, u"secret");
        EXPECT_FALSE(Place());
        EXPECT_EQ(error, u"#" + FromInt(c.code));
        EXPECT_EQ(state.wrong_password, c.wrong_password) << c.code;
        EXPECT_FALSE(fake.files.FolderExists(u"C:\\ProgramData\\quib"));
    }
    fake.archives.queued_failures.clear();
    job.password = u"secret";
    EXPECT_TRUE(Place()) << ToUtf8(error);
    EXPECT_FALSE(state.wrong_password);
}

TEST_F(WebMediaFixture, ArchiveIsCopiedToTheWebCopyLocation) {
    fake.archives.AddArchive(job.archive, {{u"WebOne\\a.txt", "a"}});
    fake.files.CreateFolderTree(u"E:\\WebCopy");
    job.copy_web_location = u"E:\\WebCopy";
    ASSERT_TRUE(Place()) << ToUtf8(error);
    EXPECT_EQ(Read(u"E:\\WebCopy\\WebOne.7z"), Read(job.archive));
}

TEST(ArchiveErrors, WrongPasswordIsRecognisedByCodeAndByMessage) {
    struct Case {
        const char16_t* error;
        bool expected;
    };
    const Case cases[] = {
        {u"#1003", true},
        {u"The archive cannot be opened: unsupported archive or incorrect password", true},
        {u"#1002", false},
        {u"#10030", false},
        {u"", false},
        {u"#ERROR\\#1003", false},
    };
    for (const Case& c : cases) EXPECT_EQ(IsWrongPasswordError(c.error), c.expected) << ToUtf8(c.error);
}

// ---- offline media copy ----

struct OfflineCopyFixture : MediaFixture {
    OfflineCopyFixture() { job.media_root = u"C:\\Cache\\{REV}\\"; }
    bool Copy() {
        return CopyOfflineMedia(fake.files, job, state, [this](TextView text, int position) {
            progress.emplace_back(Text(text) + u" @" + FromInt(position));
            return position < stop_at;
        }, error);
    }
    OfflineMediaCopyJob job;
    OfflineMediaCopyState state;
    Text error;
    std::vector<Text> progress;
    int stop_at = 1000;
};

TEST_F(OfflineCopyFixture, SourceFolderRulesAndDestinations) {
    struct Case {
        const char16_t* given;           // S as the caller gives it
        std::vector<const char16_t*> files;  // below C:\Setup
        std::vector<const char16_t*> expected;  // below the media root
    };
    const Case cases[] = {
        {u"C:\\Setup\\", {u"offline\\app\\a.exe", u"mergemod\\m\\mod.msm"}, {u"offline\\app\\a.exe", u"m\\mod.msm"}},
        {u"C:\\Setup", {u"mergemod\\only.msm"}, {u"only.msm"}},
        // Neither folder in S: its parent is used.
        {u"C:\\Setup\\disk1\\", {u"offline\\x\\y\\deep.txt"}, {u"offline\\x\\y\\deep.txt"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(ToUtf8(c.given));
        fake::FakePlatform local;
        local.files.CreateFolderTree(u"C:\\Setup\\disk1");
        for (const char16_t* file : c.files) local.files.AddFile(u"C:\\Setup\\" + Text(file), ToUtf8(file));
        job.source_folder = c.given;
        ASSERT_TRUE(CopyOfflineMedia(local.files, job, state, nullptr, error)) << ToUtf8(error);
        std::vector<Text> expected;
        for (const char16_t* file : c.expected) expected.push_back(ToLower(u"C:\\Cache\\{REV}\\" + Text(file)));
        std::vector<Text> copied = local.files.FilesUnder(u"C:\\Cache");
        std::sort(copied.begin(), copied.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(copied, expected);
        // Moved, not copied: the sources are gone.
        for (const char16_t* file : c.files) EXPECT_FALSE(local.files.FileExists(u"C:\\Setup\\" + Text(file)));
    }
}

TEST_F(OfflineCopyFixture, CachedSourcesInMediaModeTwoAreLinkedAndKept) {
    fake.files.AddFile(u"C:\\Setup\\offline\\a.txt", "a");
    job.source_folder = u"C:\\Setup\\";
    job.cache_sources = true;
    job.media_mode = 2;
    job.compress = true;
    ASSERT_TRUE(Copy()) << ToUtf8(error);
    EXPECT_EQ(Read(u"C:\\Cache\\{REV}\\offline\\a.txt"), "a");
    EXPECT_TRUE(fake.files.FileExists(u"C:\\Setup\\offline\\a.txt"));
    EXPECT_EQ(fake.files.hard_links.size(), 1u);
    EXPECT_EQ(fake.files.compressed, std::set<Text>{u"c:\\cache\\{rev}\\offline\\a.txt"});
}

TEST_F(OfflineCopyFixture, ExistingDestinationIsKeptAndProgressIsPublishedPerFile) {
    fake.files.AddFile(u"C:\\Setup\\offline\\a.txt", "new a");
    fake.files.AddFile(u"C:\\Setup\\offline\\b.txt", "new b");
    fake.files.AddFile(u"C:\\Cache\\{REV}\\offline\\a.txt", "old a");
    job.source_folder = u"C:\\Setup\\";
    ASSERT_TRUE(Copy()) << ToUtf8(error);
    EXPECT_EQ(Read(u"C:\\Cache\\{REV}\\offline\\a.txt"), "old a");
    EXPECT_EQ(Read(u"C:\\Cache\\{REV}\\offline\\b.txt"), "new b");
    const std::vector<Text> expected = {u"$IGNORE$ @0", u"$IGNORE$ @1", u"a.txt, 1% complete @1",
                                        u"$IGNORE$ @51", u"b.txt, 51% complete @51"};
    EXPECT_EQ(progress, expected);
}

TEST_F(OfflineCopyFixture, TerminationStopsTheCopyUnsuccessfully) {
    fake.files.AddFile(u"C:\\Setup\\offline\\a.txt", "a");
    fake.files.AddFile(u"C:\\Setup\\offline\\b.txt", "b");
    job.source_folder = u"C:\\Setup\\";
    stop_at = 51;
    EXPECT_FALSE(Copy());
    EXPECT_TRUE(fake.files.FileExists(u"C:\\Cache\\{REV}\\offline\\a.txt"));
    EXPECT_FALSE(fake.files.FileExists(u"C:\\Cache\\{REV}\\offline\\b.txt"));
}

TEST_F(OfflineCopyFixture, NameReachableOnlyInLongFormSwitchesToLongPaths) {
    fake.files.AddFile(u"C:\\Setup\\offline\\very\\long.txt", "long");
    fake.files.long_path_only.insert(u"c:\\setup\\offline\\very\\long.txt");
    job.source_folder = u"C:\\Setup\\";
    ASSERT_TRUE(Copy()) << ToUtf8(error);
    EXPECT_TRUE(state.long_paths);
    EXPECT_EQ(Read(u"C:\\Cache\\{REV}\\offline\\very\\long.txt"), "long");
}

TEST_F(OfflineCopyFixture, FileThatCannotBeCopiedFailsTheCopy) {
    fake.files.AddFile(u"C:\\Setup\\offline\\a.txt", "a");
    fake.files.move_refused.insert(u"c:\\cache\\{rev}\\offline\\a.txt");
    fake.files.long_path_only.insert(u"c:\\cache\\{rev}\\offline\\a.txt");  // and no plain copy either
    job.source_folder = u"C:\\Setup\\";
    EXPECT_FALSE(Copy());
    EXPECT_EQ(error, u"Unable to copy C:\\Setup\\offline\\a.txt to C:\\Cache\\{REV}\\offline\\a.txt");
}

// ---- setup source location ----

constexpr char16_t kProduct[] = u"{6A0E2C51-3B7D-4E19-8C2F-0D5A9B1E4F70}";

TEST_F(MediaFixture, SetupSourcesAreRecognisedByTheProductCodeFile) {
    fake.files.AddFile(u"C:\\A\\" + Text(kProduct), "");
    fake.files.AddFile(u"C:\\B\\data\\" + Text(kProduct), "");
    fake.files.AddFile(u"C:\\C\\other", "");
    EXPECT_TRUE(HoldsSetupSources(fake.files, u"C:\\A", kProduct));
    EXPECT_TRUE(HoldsSetupSources(fake.files, u"C:\\B\\", kProduct));
    EXPECT_FALSE(HoldsSetupSources(fake.files, u"C:\\C", kProduct));
}

TEST_F(MediaFixture, MediaModeThreeTurnsToTheCachedSourcesOfTheInstalledProduct) {
    fake.registry.WriteString(RegistryRoot::LocalMachine,
                              u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Product", u"UninstallString",
                              u"\"C:\\Cache\\{REV}\\setup.exe\" /x");
    fake.files.AddFile(u"C:\\Cache\\{REV}\\" + Text(kProduct), "");
    fake.files.AddFile(u"C:\\Cache\\{REV}\\bin\\a.dll", "a");
    SetupSourceSettings settings;
    settings.media_mode = 3;
    settings.product_code = kProduct;
    settings.title = u"Product";
    settings.all_users = true;
    int asked = 0;
    const FolderBrowser browse = [&](TextView) -> std::optional<Text> {
        ++asked;
        return std::nullopt;
    };
    SetupSourceResult found = LocateSetupFile(fake.files, fake.registry, settings, u"D:\\", u"bin\\a.dll", browse);
    EXPECT_EQ(found.media_root, u"C:\\Cache\\{REV}\\");
    EXPECT_EQ(found.path, u"C:\\Cache\\{REV}\\bin\\a.dll");
    EXPECT_EQ(asked, 0);

    // The "/p=" folder replaces the registered one.
    fake.files.AddFile(u"E:\\Given\\bin\\a.dll", "a");
    settings.source_override = u"E:\\Given";
    found = LocateSetupFile(fake.files, fake.registry, settings, u"D:\\", u"bin\\a.dll", browse);
    EXPECT_EQ(found.path, u"E:\\Given\\bin\\a.dll");
}

TEST_F(MediaFixture, UserIsAskedUntilAFolderWithTheSourcesIsChosen) {
    fake.files.AddFile(u"F:\\Disk\\data\\" + Text(kProduct), "");
    fake.files.AddFile(u"F:\\Disk\\data\\bin\\a.dll", "a");
    SetupSourceSettings settings;
    settings.product_code = kProduct;
    std::vector<Text> answers = {u"F:\\Wrong", u"F:\\Disk"};
    std::vector<Text> prompts;
    const FolderBrowser browse = [&](TextView prompt) -> std::optional<Text> {
        prompts.emplace_back(prompt);
        if (answers.empty()) return std::nullopt;
        Text answer = answers.front();
        answers.erase(answers.begin());
        return answer;
    };
    const SetupSourceResult found =
        LocateSetupFile(fake.files, fake.registry, settings, u"D:\\", u"bin\\a.dll", browse);
    EXPECT_EQ(found.media_root, u"F:\\Disk\\data\\");
    EXPECT_EQ(found.path, u"F:\\Disk\\data\\bin\\a.dll");
    const std::vector<Text> expected(2, u"Please locate your original setup sources to continue operation");
    EXPECT_EQ(prompts, expected);
}

TEST_F(MediaFixture, MissingSourcesEndWithTheErrorOnlyWhenAbortOnErrorIsSet) {
    SetupSourceSettings settings;
    settings.product_code = kProduct;
    settings.silent = true;
    int asked = 0;
    const FolderBrowser browse = [&](TextView) -> std::optional<Text> {
        ++asked;
        return u"F:\\Anything";
    };
    const SetupSourceResult found = LocateSetupFile(fake.files, fake.registry, settings, u"D:", u"a.dll", browse);
    EXPECT_EQ(found.path, u"D:\\a.dll");
    EXPECT_EQ(asked, 0);
    settings.abort_on_error = true;
    try {
        LocateSetupFile(fake.files, fake.registry, settings, u"D:\\", u"a.dll", browse);
        FAIL() << "no error raised";
    } catch (const SetupSourcesMissing& missing) {
        EXPECT_STREQ(missing.what(), "Original setup sources required to complete operation, sources not found");
    }
    EXPECT_EQ(asked, 0);
}

}  // namespace
}  // namespace zev
