#include "tools/zevc/zevc_cli.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include "media/archive_library.h"
#include "script/statement_table.h"
#include "tests/unit/zevc_test_files.h"

namespace zev::zevc {
namespace {

namespace fs = std::filesystem;

const std::string kSource =
    "@product-code {4B1D5E38-0C2A-4E8B-9F1D-2A7C3E5B6D10}\n"
    "@revision-code {9C0E8A61-57B2-4D3F-8E1A-6F2B4C7D9E03}\n"
    "@title \"Hello\"\n"
    "Set Variable \"A\" \"1\"\n"
    "[disabled] Display Dialog \"welcome\"\n"
    "Terminate Install\n";

std::string Read(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

void Write(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string PathText(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

struct Outcome {
    int exit_code;
    std::string out;
    std::string err;
};

class ZevcCli : public ::testing::Test {
protected:
    Outcome Zevc(std::vector<std::string> arguments, const fs::path& program = "/nowhere/native/bin/zevc") {
        std::ostringstream out;
        std::ostringstream err;
        const int code = RunZevc(arguments, program, out, err);
        return {code, out.str(), err.str()};
    }
    std::string P(const std::string& name) const { return PathText(folder_ / name); }

    test::ScratchFolder folder_{"cli"};
};

TEST_F(ZevcCli, CompileThenDecompileGivesTheSameScriptBack) {
    Write(folder_ / "setup.zev", kSource);
    Outcome compiled = Zevc({"compile", P("setup.zev"), "-o", P("setup.txt")});
    ASSERT_EQ(compiled.exit_code, 0) << compiled.err;
    EXPECT_EQ(compiled.err, "");
    const std::string script = Read(folder_ / "setup.txt");

    StatementTable table;
    table.LoadFromBytes(script);
    EXPECT_EQ(table.Position(1).file, FromUtf8(P("setup.zev")));
    EXPECT_EQ(table.Position(1).line, 4);

    Outcome decompiled = Zevc({"decompile", P("setup.txt")});
    ASSERT_EQ(decompiled.exit_code, 0) << decompiled.err;
    EXPECT_EQ(decompiled.err, "");  // no note: zevc wrote this script
    Write(folder_ / "copy" / "again.zev", decompiled.out);
    ASSERT_EQ(Zevc({"compile", P("copy/again.zev"), "-o", P("again.txt")}).exit_code, 0);
    EXPECT_EQ(Read(folder_ / "again.txt"), script);

    ASSERT_EQ(Zevc({"decompile", P("setup.txt"), "-o", P("written.zev")}).exit_code, 0);
    EXPECT_EQ(Read(folder_ / "written.zev"), decompiled.out);
}

TEST_F(ZevcCli, DecompilesTheScriptAppendedToASetup) {
    Write(folder_ / "setup.zev", kSource);
    ASSERT_EQ(Zevc({"compile", P("setup.zev"), "-o", P("setup.txt")}).exit_code, 0);
    std::string image = test::MakePeImage({{0x400, 0x100}});
    image.resize(0x500, '\x90');
    Write(folder_ / "setup.exe", image + Read(folder_ / "setup.txt"));
    Write(folder_ / "bare.exe", image);

    Outcome from_exe = Zevc({"decompile", P("setup.exe")});
    Outcome from_script = Zevc({"decompile", P("setup.txt")});
    EXPECT_EQ(from_exe.exit_code, 0) << from_exe.err;
    EXPECT_EQ(from_exe.out, from_script.out);
    EXPECT_EQ(from_exe.err, "");

    Outcome bare = Zevc({"decompile", P("bare.exe")});
    EXPECT_EQ(bare.exit_code, 1);
    EXPECT_EQ(bare.err, "zevc: " + P("bare.exe") + " has no script appended\n");
    Write(folder_ / "cut.exe", image.substr(0, 0x300));
    Outcome cut = Zevc({"decompile", P("cut.exe")});
    EXPECT_EQ(cut.exit_code, 1);
    EXPECT_EQ(cut.err, "zevc: " + P("cut.exe") + " is a truncated Windows executable\n");
}

TEST_F(ZevcCli, DecompileReportsBrokenAndForeignScripts) {
    Write(folder_ / "short.txt", "End\r\n$\r\n");
    Outcome broken = Zevc({"decompile", P("short.txt")});
    EXPECT_EQ(broken.exit_code, 1);
    EXPECT_EQ(broken.err, "zevc: " + P("short.txt") +
                              ": script ends after line 2 inside section 2; each of the 13 sections must end with a "
                              "line \"$\"\n");

    // Written with LF line ends and a byte-order mark: readable, but not zevc's bytes.
    std::string foreign = "\xEF\xBB\xBF";
    for (int i = 0; i < 13; ++i) foreign += (i == 4 ? "{4B1D5E38-0C2A-4E8B-9F1D-2A7C3E5B6D10}\nT\n" : "") +
                                           std::string(i == 7 || i == 11 || i == 12 ? "0\n" : "") + "$\n";
    Write(folder_ / "foreign.txt", foreign);
    Outcome note = Zevc({"decompile", P("foreign.txt")});
    EXPECT_EQ(note.exit_code, 0);
    EXPECT_EQ(note.err, "zevc: note: " + P("foreign.txt") +
                            " was not written by zevc as it stands; compiling this source does not give it back byte "
                            "for byte\n");
    EXPECT_NE(note.out.find("@product-code {4B1D5E38-0C2A-4E8B-9F1D-2A7C3E5B6D10}\n"), std::string::npos);
}

TEST_F(ZevcCli, CompileErrorShowsPlaceLineAndCaret) {
    Write(folder_ / "bad.zev", kSource + "If \"A\" \"0\" oops\n");
    Outcome run = Zevc({"compile", P("bad.zev"), "-o", P("bad.txt")});
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.err, P("bad.zev") +
                           ":7:12: expected a parameter in double quotes\n"
                           "If \"A\" \"0\" oops\n"
                           "           ^\n");
    EXPECT_FALSE(fs::exists(folder_ / "bad.txt"));
}

TEST_F(ZevcCli, UsageErrors) {
    struct Case {
        std::vector<std::string> arguments;
        std::string error;
    };
    const Case cases[] = {
        {{"frobnicate"}, "zevc: unknown command \"frobnicate\"\n"},
        {{"compile", "a.zev"}, "zevc: compile needs one SOURCE and -o SCRIPT\n"},
        {{"compile", "a.zev", "b.zev", "-o", "x"}, "zevc: compile needs one SOURCE and -o SCRIPT\n"},
        {{"compile", "a.zev", "-o"}, "zevc: -o needs a value\n"},
        {{"compile", "a.zev", "-o", "x", "-o", "y"}, "zevc: -o is given twice\n"},
        {{"compile", "a.zev", "--fast"}, "zevc: unknown option --fast\n"},
        {{"decompile"}, "zevc: decompile needs one SCRIPT\n"},
        {{"build", "a.zev"}, "zevc: build needs one SOURCE and -o FOLDER\n"},
        {{"compile", "/nonexistent/a.zev", "-o", "x"}, "zevc: cannot open /nonexistent/a.zev\n"},
    };
    for (const Case& c : cases) {
        Outcome run = Zevc(c.arguments);
        EXPECT_EQ(run.exit_code, 1) << c.error;
        EXPECT_EQ(run.err.substr(0, c.error.size()), c.error);
    }
    Outcome none = Zevc({});
    EXPECT_EQ(none.exit_code, 1);
    EXPECT_EQ(none.err.rfind("usage: zevc compile SOURCE -o SCRIPT\n", 0), 0u);
    Outcome help = Zevc({"--help"});
    EXPECT_EQ(help.exit_code, 0);
    EXPECT_EQ(help.out.rfind("usage: zevc compile SOURCE -o SCRIPT\n", 0), 0u);
}

TEST_F(ZevcCli, BuildWritesStubWithScriptArchiveAndLibrary) {
    Write(folder_ / "product" / "setup.zev",
          kSource + "@support \"dialogs/welcome.dfm\"\n@support \"art/logo.png\" \"quorvane.png\"\n");
    Write(folder_ / "product" / "dialogs" / "welcome.dfm", "object Welcome: TForm\nend\n");
    Write(folder_ / "product" / "art" / "logo.png", std::string("\x89PNG\r\n\x1A\n", 8));
    std::string stub = test::MakePeImage({{0x400, 0x200}});
    stub.resize(0x600, '\xCC');
    Write(folder_ / "tools" / "zevstub.exe", stub + "left over from an earlier build");
    Write(folder_ / "tools" / "zev.lib", "archive library");

    Outcome run = Zevc({"build", P("product/setup.zev"), "-o", P("out"), "--stub", P("tools/zevstub.exe"),
                    "--archive-library", P("tools/zev.lib")});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.err, "");
    ASSERT_EQ(Zevc({"compile", P("product/setup.zev"), "-o", P("setup.txt")}).exit_code, 0);
    EXPECT_EQ(Read(folder_ / "out" / "setup.exe"), stub + Read(folder_ / "setup.txt"));
    EXPECT_EQ(Read(folder_ / "out" / "zev.lib"), "archive library");

    // The archive holds the support files under their archive names.
    const std::u16string archive = FromUtf8(P("out/setup.res"));
    const ZevArchiveEntry* entries = nullptr;
    uint32_t count = 0;
    ZevArchiveListing listing =
        OpenListArchive(archive.c_str(), 0, nullptr, nullptr, nullptr, nullptr, u"", &entries, &count);
    ASSERT_NE(listing, nullptr) << GetLastArchiveError();
    std::vector<Text> names;
    for (uint32_t i = 0; i < count; ++i)
        if (!(entries[i].flags & ZEV_ARCHIVE_ENTRY_FOLDER)) names.emplace_back(entries[i].name);
    CloseListArchive(listing);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<Text>{u"quorvane.png", u"welcome.dfm"}));
}

TEST_F(ZevcCli, CheckListsEveryProblemWithItsLine) {
    const std::string unbalanced = kSource +
                                   "While \"A\" \"0\" \"1\" \"FALSE\"\n"  // line 7: never closed
                                   "End\n"                                  // line 8: closes nothing
                                   "GoTo Label \"nowhere\"\n";            // line 9
    Write(folder_ / "bad.zev", unbalanced);
    Outcome run = Zevc({"check", P("bad.zev")});
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_NE(run.err.find(P("bad.zev") + ":8: "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(P("bad.zev") + ":9: "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("zevc: the engine would refuse this script (exit code 314): "), std::string::npos);

    Write(folder_ / "good.zev", kSource);
    Outcome good = Zevc({"check", P("good.zev")});
    EXPECT_EQ(good.exit_code, 0) << good.err;
    EXPECT_EQ(good.err, "");
}

TEST_F(ZevcCli, BuildRefusesAScriptTheEngineWouldRefuse) {
    Write(folder_ / "bad.zev", kSource + "Repeat\n");  // never closed
    Write(folder_ / "stub.exe", test::MakePeImage({{0, 0}}));
    Write(folder_ / "zev.lib", "x");
    Outcome run = Zevc({"build", P("bad.zev"), "-o", P("out"), "--stub", P("stub.exe"), "--archive-library",
                        P("zev.lib")});
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_TRUE(run.err.starts_with(P("bad.zev") + ":7: ")) << run.err;
    EXPECT_FALSE(fs::exists(folder_ / "out"));
}

TEST_F(ZevcCli, BuildWithoutSupportFilesWritesAnEmptyArchive) {
    Write(folder_ / "setup.zev", kSource);
    Write(folder_ / "stub.exe", test::MakePeImage({{0, 0}}));
    Write(folder_ / "zev.lib", "x");
    Outcome run = Zevc({"build", P("setup.zev"), "-o", P("out"), "--stub", P("stub.exe"), "--archive-library",
                    P("zev.lib")});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(Read(folder_ / "out" / "setup.res"),
              std::string("7z\xBC\xAF\x27\x1C\x00\x04\x8D\x9B\xD5\x0F", 12) + std::string(20, '\0'));
}

TEST_F(ZevcCli, BuildFindsStubAndLibraryBesideTheWin32Build) {
    Write(folder_ / "setup.zev", kSource);
    Write(folder_ / "build" / "win32" / "bin" / "zevstub.exe", test::MakePeImage({{0, 0}}));
    Write(folder_ / "build" / "win32" / "bin" / "zev.lib", "x");
    unsetenv("ZEV_STUB");
    unsetenv("ZEV_ARCHIVE_LIBRARY");
    Outcome run = Zevc({"build", P("setup.zev"), "-o", P("out")}, folder_ / "build" / "native" / "bin" / "zevc");
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_TRUE(fs::exists(folder_ / "out" / "setup.exe"));

    setenv("ZEV_STUB", P("missing.exe").c_str(), 1);
    run = Zevc({"build", P("setup.zev"), "-o", P("out2")}, folder_ / "build" / "native" / "bin" / "zevc");
    unsetenv("ZEV_STUB");
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.err, "zevc: cannot open the engine stub " + P("missing.exe") + "\n");
    EXPECT_FALSE(fs::exists(folder_ / "out2"));
}

TEST_F(ZevcCli, BuildRefusesBadInputsBeforeWritingAnything) {
    Write(folder_ / "stub.exe", test::MakePeImage({{0, 0}}));
    Write(folder_ / "text.exe", "not an executable");
    Write(folder_ / "zev.lib", "x");
    Write(folder_ / "a.txt", "a");
    struct Case {
        std::string extra_source;
        std::string stub;
        std::string library;
        std::string error;
    };
    const std::string src = P("setup.zev");
    const Case cases[] = {
        {"@support \"missing.dfm\"", "stub.exe", "zev.lib",
         src + ":7:10: cannot find the support file " + P("missing.dfm") + "\n@support \"missing.dfm\"\n         ^\n"},
        {"@support \"a.txt\" \"../a.txt\"", "stub.exe", "zev.lib",
         src + ":7:10: the archive name \"../a.txt\" must be a relative path inside the archive\n"
               "@support \"a.txt\" \"../a.txt\"\n         ^\n"},
        {"@support \"a.txt\"\n@support \"a.txt\" \"A.TXT\"", "stub.exe", "zev.lib",
         src + ":8:10: the archive already holds a file named \"A.TXT\"\n@support \"a.txt\" \"A.TXT\"\n         ^\n"},
        {"", "text.exe", "zev.lib", "zevc: the engine stub " + P("text.exe") + " is not a Windows executable\n"},
        {"", "stub.exe", "nolib", "zevc: cannot find the archive library " + P("nolib") + "\n"},
    };
    for (const Case& c : cases) {
        Write(folder_ / "setup.zev", kSource + c.extra_source + "\n");
        Outcome run = Zevc({"build", src, "-o", P("out"), "--stub", P(c.stub), "--archive-library", P(c.library)});
        EXPECT_EQ(run.exit_code, 1);
        EXPECT_EQ(run.err, c.error);
        EXPECT_FALSE(fs::exists(folder_ / "out"));
    }
}

}  // namespace
}  // namespace zev::zevc
