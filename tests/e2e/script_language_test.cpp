// The script language run for real: loops, jumps, conditions, expressions and the string
// commands, with the variables written out by a plug-in and compared; and a script the
// check refuses.
#include <fstream>
#include <map>
#include <string>

#include <gtest/gtest.h>

#include "script/comma_text.h"
#include "tests/e2e/wine_harness.h"

namespace zev::e2e {
namespace {

namespace fs = std::filesystem;

const char kHeader[] =
    "@product-code {0C7E3A19-52D4-4B8E-A6F1-3D9B2E5C8A70}\n"
    "@revision-code {5E1A7C93-0B4D-4F26-9E8A-1C3B5D7F9A02}\n"
    "@title \"Language Test\"\n"
    "@plugin \"Dump\"\n"
    "@support \"testplugin.dll\"\n";

const char kBody[] = R"zev(
Set Variable "LOG" ""
Set Variable "I" "0"
While "I" "2" "2" "TRUE"
  Mathematics "$I$" "1" "0" "I"
  If "I" "0" "2" "FALSE"
    Continue
  End
  Set Variable "J" "0"
  Repeat
    Mathematics "$J$" "1" "0" "J"
    If "J" "0" "3" "FALSE"
      Break
    End
    Set Variable "LOG" "$LOG$$I$.$J$ "
  Until "J" "2" "5" "FALSE"
Wend
Set Variable "COLOURS" ""
For Each "ITEM" ";" "red;green;;blue"
  If "ITEM" "0" "green" "FALSE"
    Continue
  End
  Set Variable "COLOURS" "$COLOURS$[$ITEM$]"
Next
Set Variable "JUMPED" "start"
GoTo Label "later"
Set Variable "JUMPED" "wrong"
Label "LATER"
Set Variable "JUMPED" "$JUMPED$-landed"
If "I" "6" "2.9" "FALSE"
  Set Variable "BRANCH" "version"
Else If "I" "0" "3" "FALSE"
  Set Variable "BRANCH" "else-if"
Else
  Set Variable "BRANCH" "else"
End
Evaluate Expression "$COLOURS$ = ""[red][blue]"" and (""10"" > ""9"" or ""a"" = ""b"")" "EXPRESSION"
Mathematics "7" "-2" "4" "REMAINDER"
Mathematics "1" "63" "8" "SHIFTED"
Set Variable "NAME" "C:\Program Files\App\bin\tool.exe"
Extract Path "NAME" "1"
Set Variable "PARENT" "C:\Program Files\App\bin\tool.exe"
Extract Path "PARENT" "4"
Set Variable "UPPER" "Hello World"
Convert Case "UPPER" "TRUE"
Set Variable "REPLACED" "one two one"
Replace String "REPLACED" "ONE" "1" "TRUE" "TRUE"
Parse String "key=value=x" "=" "LEFT" "RIGHT" "0" "FALSE" "FALSE"
Parse String "archive.tar.gz" "." "STEM" "EXTENSION" "1" "FALSE" "FALSE"
Does File/Folder Exist "HASWINDOWS" "C:\windows" "FALSE"
Does File/Folder Exist "HASNOFILE" "C:\no\such\file.txt" "TRUE"
Get Environment "SystemRoot" "SYSTEMROOT"
Get Temporary File "TEMPFILE"
Set Variable "LONGPATH" "c:\WINDOWS\system32\..\win.ini"
Convert Path "LONGPATH" "FALSE"
Set Variable "MISSINGPATH" "C:\no\such\place"
Convert Path "MISSINGPATH" "FALSE"
Localization Variable "GREETING" "Hi $TITLE$"
)zev";

std::map<std::string, std::string> ParsePairs(const std::string& utf8) {
    const std::vector<Text> items = ReadCommaText(FromUtf8(utf8));
    std::map<std::string, std::string> pairs;
    for (size_t i = 0; i + 1 < items.size(); i += 2) pairs[ToUtf8(items[i])] = ToUtf8(items[i + 1]);
    return pairs;
}

TEST(ScriptLanguage, LoopsJumpsConditionsAndStringCommandsGiveTheExpectedValues) {
    const fs::path folder = Wine().NewSetupFolder();
    ZevcBuildOptions options;
    options.side_files = {{"testplugin.dll", ReadFileBytes(Win32Binary("testplugin.dll"))}};
    // Plug-ins receive their parameter text as written; the dump path goes in literally.
    const fs::path dump = folder / "variables.txt";
    const std::string dump_statement = "Dump \"dump," + Wine().WindowsPath(dump) + "\" \"testplugin.dll\"\n";
    const ZevcBuildResult built = ZevcBuild(std::string(kHeader) + kBody + dump_statement, folder, options);
    ASSERT_TRUE(built.Succeeded()) << built.description;
    const WineRunResult run = Wine().Run(folder / "setup.exe", {"/s"});
    ASSERT_TRUE(run.Finished()) << run.description;
    ASSERT_EQ(run.exit_code, 0u);
    auto values = ParsePairs(ReadFileBytes(dump));
    const std::pair<const char*, const char*> expected[] = {
        {"LOG", "1.1 1.2 3.1 3.2 "},
        {"I", "3"},
        {"COLOURS", "[red][blue]"},
        {"JUMPED", "start-landed"},
        {"BRANCH", "version"},
        {"EXPRESSION", "TRUE"},
        {"REMAINDER", "1"},
        {"SHIFTED", "-9223372036854775808"},
        {"NAME", "tool"},
        {"PARENT", "C:\\Program Files\\App\\"},
        {"UPPER", "HELLO WORLD"},
        {"REPLACED", "1 two 1"},
        {"LEFT", "key"},
        {"RIGHT", "value=x"},
        {"STEM", "archive.tar"},
        {"EXTENSION", "gz"},
        {"HASWINDOWS", "TRUE"},
        {"HASNOFILE", "FALSE"},
        {"GREETING", "Hi Language Test"},
    };
    for (const auto& [name, value] : expected) EXPECT_EQ(values[name], value) << name;
    EXPECT_EQ(values.count("ITEM"), 0u);  // Next removes the loop variable
    // Convert Path resolves the relative part and spells each folder and file as the file
    // system does (the drive stays as written).
    EXPECT_EQ(values["LONGPATH"], "c:\\windows\\win.ini");
    EXPECT_EQ(values["MISSINGPATH"], "");
    std::string system_root = values["SYSTEMROOT"];
    for (char& c : system_root) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(system_root, "c:\\windows");
    // The temporary file exists in the engine's temporary folder.
    const std::string temp_file = values["TEMPFILE"];
    EXPECT_TRUE(temp_file.starts_with(values["TEMPDIR"])) << temp_file;
    EXPECT_TRUE(fs::exists(Wine().HostPath(temp_file))) << temp_file;
}

TEST(ScriptLanguage, UnbalancedScriptIsRefusedWith314AndByZevcCheck) {
    const fs::path folder = Wine().NewSetupFolder();
    const std::string source = std::string(kHeader) +
                               "Set Variable \"A\" \"1\"\n"
                               "If \"A\" \"0\" \"1\" \"FALSE\"\n"
                               "  Set Variable \"B\" \"2\"\n";  // the If is never closed
    std::ofstream(folder / "setup.zev", std::ios::binary) << source;

    // zevc check names the line; zevc build refuses to write a setup.
    const fs::path zevc = NativeBinaryFolder() / "zevc";
    const HostResult check = RunHostCommand({zevc.string(), {"check", (folder / "setup.zev").string()}});
    EXPECT_EQ(check.exit_status, 1);
    EXPECT_NE(check.standard_error.find((folder / "setup.zev").string() + ":7: "), std::string::npos)
        << check.standard_error;
    ZevcBuildOptions options;
    options.side_files = {{"testplugin.dll", ReadFileBytes(Win32Binary("testplugin.dll"))}};
    EXPECT_FALSE(ZevcBuild(source, folder / "refused", options).Succeeded());

    // A setup put together by hand from the same script: the engine refuses it with 314.
    const HostResult compiled =
        RunHostCommand({zevc.string(), {"compile", (folder / "setup.zev").string(), "-o", (folder / "script.txt").string()}});
    ASSERT_EQ(compiled.exit_status, 0) << compiled.standard_error;
    {
        std::ofstream setup(folder / "setup.exe", std::ios::binary);
        setup << ReadFileBytes(Win32Binary("zevstub.exe")) << ReadFileBytes(folder / "script.txt");
    }
    fs::copy_file(Win32Binary("zev.lib"), folder / "zev.lib");
    std::ofstream(folder / "note.txt") << "resource";
    const HostResult packed = RunHostCommand({"7zz", {"a", "-bd", (folder / "setup.res").string(), "note.txt"}, folder});
    ASSERT_EQ(packed.exit_status, 0);
    Wine().ClearUserTempFolder();
    const WineRunResult run = Wine().Run(folder / "setup.exe", {"/s"});
    ASSERT_TRUE(run.Finished()) << run.description;
    EXPECT_EQ(run.exit_code, 314u);
}

}  // namespace
}  // namespace zev::e2e
