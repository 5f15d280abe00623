// The file, text, INI and XML commands run for real: what a setup script writes, reads,
// edits, finds and deletes in the prefix, judged by the files on disk and by the values
// the script writes out.
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include <gtest/gtest.h>

#include "tests/e2e/wine_harness.h"

namespace zev::e2e {
namespace {

namespace fs = std::filesystem;

// NAME=value lines of a UTF-8 text file with a byte-order mark and CR LF line ends. A
// value holding "$NEWLINE$" was written as several lines: a line without "=" continues
// the value before it after a "\n".
std::map<std::string, std::string> ReadDump(const fs::path& path) {
    std::string text = ReadFileBytes(path);
    EXPECT_EQ(text.substr(0, 3), "\xEF\xBB\xBF");
    if (text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);
    std::map<std::string, std::string> values;
    std::string last;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        const std::string line = text.substr(start, end - start);
        const size_t equals = line.find('=');
        if (equals != std::string::npos) {
            last = line.substr(0, equals);
            values[last] = line.substr(equals + 1);
        } else if (!last.empty()) {
            values[last] += "\n" + line;
        }
    }
    return values;
}

const char kProductHeader[] =
    "@product-code {0D3B7C41-2A9E-4F58-B6C1-7E0A5D2F9B34}\n"
    "@revision-code {5E8A1F02-C74B-4D69-9A3E-1B6F0C8D2E57}\n"
    "@title \"File Commands Test\"\n";

TEST(FileCommands, ScriptWritesReadsEditsFindsAndDeletesFilesInThePrefix) {
    const fs::path folder = Wine().NewSetupFolder();
    const fs::path work = folder / "work";
    WriteFileBytes(work / "app.ini", "[Main]\r\nPath=C:\\Program Files\\App\r\n");
    WriteFileBytes(work / "items.xml",
              "<?xml version=\"1.0\"?>\r\n<root>\r\n  <item id=\"a\">1</item>\r\n  <item id=\"b\">2</item>\r\n"
              "  <group><entry>x</entry><entry>y</entry></group>\r\n</root>\r\n");
    WriteFileBytes(work / "config.xml", "<config><app name=\"old\"/></config>");
    WriteFileBytes(work / "tree" / "a.txt", "a");
    WriteFileBytes(work / "tree" / "sub" / "b.txt", "b");
    WriteFileBytes(work / "tree" / "sub" / "c.log", "c");
    WriteFileBytes(work / "doomed" / "one.txt", "1");
    WriteFileBytes(work / "doomed" / "inner" / "two.bin", "2");
    WriteFileBytes(work / "doomed" / "inner" / "deeper" / "three.txt", "3");
    fs::create_directories(work / "doomed" / "empty");
    const std::string w = Wine().WindowsPath(work);

    const std::string script =
        std::string(kProductHeader) +
        "Set Variable \"WORK\" \"" + w + "\"\n"
        "Write to Text File \"$WORK$\\text.txt\" \"second\" \"FALSE\"\n"
        "Write to Text File \"$WORK$\\text.txt\" \"third\" \"FALSE\"\n"
        "Write to Text File \"$WORK$\\text.txt\" \"first\" \"TRUE\"\n"
        "Read from Text File \"$WORK$\\text.txt\" \"LINE1\" \"END1\"\n"
        "Read from Text File \"#READALL\\$WORK$\\text.txt\" \"REST\" \"END2\"\n"
        "Get INI File Settings \"INIPATH\" \"$WORK$\\app.ini\" \"Main\" \"Path\"\n"
        "Get XML File Settings \"ITEMS\" \"$WORK$\\items.xml\" \"root\\item\" \"\"\n"
        "Get XML File Settings \"IDS\" \"$WORK$\\items.xml\" \"root\\item\" \"id\"\n"
        "Evaluate XPath Query \"$WORK$\\items.xml\" \"//group + entry\" \"ENTRIES\" \"3\"\n"
        "Edit XML File \"$WORK$\\config.xml\" \"UTF-8\" \"0\" \"config\\app\" \"\" \"\"\"name,new\"\"\" \"0\" "
        "\"FALSE\" \"FALSE\" \"TRUE\"\n"
        "Edit XML File \"$WORK$\\created.xml\" \"UTF-8\" \"2\" \"settings\\option\" \"on\" \"\" \"0\" \"FALSE\" "
        "\"FALSE\" \"FALSE\"\n"
        "Find All Files \"$WORK$\\tree\\*.txt\" \"TRUE\" \"TRUE\" \"FOUND\"\n"
        "Delete Files Recursive \"$WORK$\\doomed\\*.*\"\n"
        "Get File Version \"C:\\windows\\system32\\kernel32.dll\" \"KERNELVERSION\"\n"
        "Check File Version \"NEWER\" \"C:\\windows\\system32\\kernel32.dll\" \"FALSE\" \"\" \"0.0.0.1\"\n"
        "Get File Version \"$WORK$\\app.ini\" \"NOVERSION\"\n"
        "Check Disk Space \"FREE\" \"C:\\\" \"TRUE\"\n"
        "Write to Text File \"$WORK$\\dump.txt\" \"LINE1=$LINE1$\" \"FALSE\"\n"
        "Write to Text File \"$WORK$\\dump.txt\" \"END1=$END1$\" \"FALSE\"\n"
        "Write to Text File \"$WORK$\\dump.txt\" \"REST=$REST$\" \"FALSE\"\n"
        "Write to Text File \"$WORK$\\dump.txt\" \"END2=$END2$\" \"FALSE\"\n"
        "Write to Text File \"$WORK$\\dump.txt\" \"INIPATH=$INIPATH$\" \"FALSE\"\n"
        "Write to Text File \"$WORK$\\dump.txt\" \"ITEMS=$ITEMS$\" \"FALSE\"\n"
        "Write to Text File \"$WORK$\\dump.txt\" \"IDS=$IDS$\" \"FALSE\"\n"
        "Write to Text File \"$WORK$\\dump.txt\" \"ENTRIES=$ENTRIES$\" \"FALSE\"\n"
        "Write to Text File \"$WORK$\\dump.txt\" \"FOUND=$FOUND$\" \"FALSE\"\n"
        "Write to Text File \"$WORK$\\dump.txt\" \"KERNELVERSION=$KERNELVERSION$\" \"FALSE\"\n"
        "Write to Text File \"$WORK$\\dump.txt\" \"NEWER=$NEWER$\" \"FALSE\"\n"
        "Write to Text File \"$WORK$\\dump.txt\" \"NOVERSION=$NOVERSION$\" \"FALSE\"\n"
        "Write to Text File \"$WORK$\\dump.txt\" \"FREE=$FREE$\" \"FALSE\"\n";
    ZevcBuildOptions options;
    const ZevcBuildResult built = ZevcBuild(script, folder, options);
    ASSERT_TRUE(built.Succeeded()) << built.description;
    const WineRunResult run = Wine().Run(folder / "setup.exe", {"/s"});
    ASSERT_TRUE(run.Finished()) << run.description;
    EXPECT_EQ(run.exit_code, 0u);

    EXPECT_EQ(ReadFileBytes(work / "text.txt"), "\xEF\xBB\xBF" "first\r\nsecond\r\nthird\r\n");
    EXPECT_EQ(ReadFileBytes(work / "config.xml"), "<config><app name=\"new\"/></config>");
    EXPECT_EQ(ReadFileBytes(work / "config.xml.backup. 0"), "<config><app name=\"old\"/></config>");
    EXPECT_EQ(ReadFileBytes(work / "created.xml"),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<settings>\r\n  <option>on</option>\r\n</settings>\r\n");
    EXPECT_TRUE(fs::is_directory(work / "doomed"));
    EXPECT_TRUE(fs::is_empty(work / "doomed"));
    EXPECT_TRUE(fs::exists(work / "tree" / "sub" / "c.log"));

    const std::map<std::string, std::string> values = ReadDump(work / "dump.txt");
    EXPECT_EQ(values.at("LINE1"), "first");
    EXPECT_EQ(values.at("END1"), "FALSE");
    EXPECT_EQ(values.at("REST"), "second\nthird");
    EXPECT_EQ(values.at("END2"), "TRUE");
    EXPECT_EQ(values.at("INIPATH"), "C:\\Program Files\\App");
    EXPECT_EQ(values.at("ITEMS"), "2\n1");
    EXPECT_EQ(values.at("IDS"), "b\na");
    EXPECT_EQ(values.at("ENTRIES"), "x\ny");
    EXPECT_EQ(values.at("FOUND"), w + "\\tree\\sub\\b.txt|" + w + "\\tree\\sub|" + w + "\\tree\\a.txt");
    EXPECT_NE(values.at("KERNELVERSION"), "0.0.0.0");
    EXPECT_EQ(values.at("KERNELVERSION").find_first_not_of("0123456789."), std::string::npos)
        << values.at("KERNELVERSION");
    EXPECT_EQ(values.at("NEWER"), "TRUE");
    EXPECT_EQ(values.at("NOVERSION"), "0.0.0.0");
    EXPECT_FALSE(values.at("FREE").empty());
    EXPECT_EQ(values.at("FREE").find_first_not_of("0123456789"), std::string::npos) << values.at("FREE");
    EXPECT_NE(values.at("FREE"), "0");
}

}  // namespace
}  // namespace zev::e2e
