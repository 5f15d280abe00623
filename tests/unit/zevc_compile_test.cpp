#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "script/script_writer.h"
#include "tools/zevc/script_compiler.h"
#include "tools/zevc/script_decompiler.h"
#include "tools/zevc/source_reader.h"
#include "tools/zevc/zevc_cli.h"

namespace zev::zevc {
namespace {

const std::string kHeader =
    "@product-code {4B1D5E38-0C2A-4E8B-9F1D-2A7C3E5B6D10}\n"
    "@revision-code {9C0E8A61-57B2-4D3F-8E1A-6F2B4C7D9E03}\n";

std::string Compile(const std::string& source, const std::string& path = "C:\\src\\setup.zev") {
    return CompileToBytes(source, path);
}

// compile(decompile(x)) must give x back, and decompiling that gives the same source.
void ExpectRoundTrip(const std::string& source) {
    const std::string script = Compile(source);
    const std::string decompiled = DecompileScript(ReadScriptSections(script));
    std::string again;
    try {
        again = Compile(decompiled, "elsewhere.zev");
    } catch (const SourceError& error) {
        FAIL() << FormatSourceError("decompiled", decompiled, error) << decompiled;
    }
    EXPECT_EQ(again, script) << "source:\n" << source << "\ndecompiled:\n" << decompiled;
    EXPECT_EQ(DecompileScript(ReadScriptSections(again)), decompiled);
}

TEST(ZevcCompile, WritesTheCompiledScriptExactly) {
    const std::string source = kHeader +
                               "@title \"Hello\"\n"
                               "Set Variable \"PRICE\" \"$\"\n"
                               "[disabled] Display Dialog \"welcome\"\n"
                               "End\n";
    EXPECT_EQ(Compile(source),
              "Set Variable\r\nComment\r\nEnd\r\n$\r\n"
              "{F70BEFB1-5A81-8941-924D-568B658F6C98}\r\n{41D84DBA-8C11-8271-AED8-E14EF437C02B}\r\n"
              "{9814C2D7-BC8E-8684-B59F-80F2A91E0898}\r\n$\r\n"
              "{F70BEFB1-5A81-8941-924D-568B658F6C98}\r\nPRICE\r\n$WILD_DOLLAR$\r\n"
              "{41D84DBA-8C11-8271-AED8-E14EF437C02B}\r\nwelcome\r\n$\r\n"
              "\r\nC\r\n\r\n$\r\n"
              "{4B1D5E38-0C2A-4E8B-9F1D-2A7C3E5B6D10}\r\nHello\r\n$\r\n"
              "\r\n\r\n\r\n\r\n\r\n\r\n$\r\n"
              "\r\n\r\n\r\n$\r\n"
              "1\r\n$\r\n"
              "{9C0E8A61-57B2-4D3F-8E1A-6F2B4C7D9E03}\r\n$\r\n"
              "FALSE\r\n\r\n$\r\n"
              "$\r\n"
              "0\r\nC:\\src\\setup.zev*3\r\nC:\\src\\setup.zev*4\r\nC:\\src\\setup.zev*5\r\n$\r\n"
              "0\r\n$\r\n");
}

TEST(ZevcCompile, FillsEverySectionAsTheEngineReadsIt) {
    const std::string source = kHeader +
                               "@title \"Hello\"\n"
                               "@publisher \"Acme\"\n"
                               "@contact \"Ann\"\n"
                               "@help-link \"https://help\"\n"
                               "@update-url \"https://update\"\n"
                               "@comments \"c\"\n"
                               "@version \"2.0\"\n"
                               "@plugin \"Call DLL Function\"\n"
                               "@web-media-password \"offline\" \"s3cret\"\n"
                               "@web-media-protected-password \"Web1\" \"3135\"\n"
                               "@media-mode 2\n"
                               "@component-size \"Main Program\" 1024\n"
                               "@media-file \"Web1\\\" \"bin\\app.exe\" \"app\"\n"
                               "@language-dialog TRUE\n"
                               "@default-language \"English\"\n"
                               "@compile-variable \"SINGLEINSTANCE\" \"TRUE\"\n"
                               "@code-page 1252\n"
                               "@total-size 123456789012\n"
                               "@files \"COPY1\"\n"
                               "@file \"bin\\app.exe\" \"app.exe\"\n"
                               "[header \"COPY1\", media \"Web1\\\"] Copy Files \"a\"\n"
                               "[id {B73F2FC3-582F-42C9-B042-E454FB76E4DC}] Get System Settings \"CHECKSYSTEM\" \"20\"\n"
                               "@command-header \"EXTRA\" \"0\"\n";
    StatementTable table;
    table.LoadFromBytes(Compile(source));
    EXPECT_EQ(table.Product().product_title, u"Hello");
    EXPECT_EQ(table.Product().contact, u"Ann");
    EXPECT_EQ(table.Product().display_version, u"2.0");
    EXPECT_EQ(table.Product().media_mode, 2);
    EXPECT_TRUE(table.Product().language_dialog);
    EXPECT_EQ(table.Product().code_page, 1252);
    EXPECT_EQ(table.Product().total_file_size, 123456789012);
    EXPECT_TRUE(table.IsPluginCommand(u"Call DLL Function"));
    Text password;
    ASSERT_TRUE(table.FindWebMediaPassword(u"offline", password));
    EXPECT_EQ(password, u"s3cret");
    ASSERT_TRUE(table.FindWebMediaPassword(u"Web1", password));
    EXPECT_EQ(password, u"A");
    EXPECT_EQ(table.ComponentSize(u"main program"), 1024);
    EXPECT_EQ(table.CommandHeaders(), (std::vector<Text>{u"COPY1", u"0", u"EXTRA", u"0"}));
    EXPECT_EQ(table.CommandHeaderOf(0), u"COPY1");
    EXPECT_EQ(table.MediaName(0), u"Web1\\");
    EXPECT_EQ(table.Identifier(1), u"{B73F2FC3-582F-42C9-B042-E454FB76E4DC}");
    EXPECT_EQ(table.ParameterOf(1, 2), u"20");
    Text value;
    ASSERT_TRUE(table.FindCompileTimeVariable(u"singleinstance", value));
    EXPECT_EQ(value, u"TRUE");
    EXPECT_EQ(table.FileTable(), (std::vector<Text>{u"COPY1", u"NEWHEADER", u"bin\\app.exe", u"app.exe"}));
    EXPECT_EQ(table.Position(1).line, 23);  // the 24th line
    EXPECT_EQ(table.SourceFileTitle(1), u"setup");
}

TEST(ZevcCompile, DecompileRoundTripsEveryFeatureByteForByte) {
    const std::string sources[] = {
        // Every section and every attribute.
        "# leading comment\n" + kHeader +
            "@title \"Hello \"\"World\"\"\"\n@publisher \"Acme\"\n@contact \"Ann\"\n@help-link \"h\"\n"
            "@update-url \"u\"\n@comments \"c\"\n@version \"1.0\"\n@plugin \"Call DLL Function\"\n"
            "@plugin \"Download File\"\n@web-media-password \"Web1\" \"pa$$ word\"\n"
            "@web-media-protected-password \"Web2\" \"zz\"\n@media-mode 3\n@component-size \"MAIN\" 10\n"
            "@media-file \"Web1\\\" \"a.txt\" \"\"\n@language-dialog true\n@default-language \"Deutsch\"\n"
            "@compile-variable \"LOCMODE\" \"NEWONLY\"\n@code-page 65001\n@total-size 42\n"
            "@files \"COPY1\"\n@file \"a.txt\" \"1\"\n@file-table-line \"odd\"\n\n"
            "Set Variable \"A\" \"\"\n"
            "[disabled] Display Dialog \"x\" \"$\"\n"
            "[flag \"X\", media \"Web1\\\", header \"COPY1\"] Copy Files \"a\" <U+0009>\n"
            "[id {25913543-B4DE-48DB-8EA3-E5EB6A67140A}] If \"A\" \"0\" \"\" \"TRUE\"\n"
            "  MessageBox (\n    \"t\"\n    \"x$NEWLINE$y\"\n  )\n"
            "End\n"
            "Get Value ()\n"
            "\"  quoted  \" \"p\"\n"
            "Set Variable \"B\" \"$DOLLAR$\"\n"
            "Set Variable \"C\" \"$wild_dollar$\"\n",
        // Statements far below their header, and one far above its recorded line.
        kHeader + std::string(100, '\n') + "End\n[line 5] Else\n[line 900] End\n",
        // Several source files, and positions that are not file*line.
        kHeader + "End\n@origin \"D:\\inc\\a.zev\"\nEnd\n[position \"no star\"] End\n[position \"f*-1\"] End\n"
                  "[position \"\"] End\n@origin \"\"\nEnd\n",
        // No statements at all.
        kHeader,
        // Headers that are not one per statement in order.
        kHeader + "[header \"H1\"] A\nB\n@command-header \"H2\" \"0\"\n@command-header \"H3\" \"x\"\n",
        // A file table whose lines do not pair up.
        kHeader + "@file-table-line \"NEWHEADER\"\n@files \"H\"\n@file-table-line \"lone\"\n",
    };
    for (const std::string& source : sources) ExpectRoundTrip(source);
}

TEST(ZevcCompile, DerivedIdentifiersAreStableAndDistinct) {
    const Text code = u"{4B1D5E38-0C2A-4E8B-9F1D-2A7C3E5B6D10}";
    EXPECT_EQ(DerivedIdentifier(code, 0), u"{F70BEFB1-5A81-8941-924D-568B658F6C98}");
    EXPECT_EQ(DerivedIdentifier(u"{4b1d5e38-0c2a-4e8b-9f1d-2a7c3e5b6d10}", 0), DerivedIdentifier(code, 0));
    std::set<Text> seen;
    for (size_t i = 0; i < 2000; ++i) {
        Text id = DerivedIdentifier(code, i);
        EXPECT_TRUE(IsBracedGuid(id)) << ToUtf8(id);
        EXPECT_TRUE(seen.insert(id).second) << i;
    }
    EXPECT_NE(DerivedIdentifier(u"{00000000-0000-0000-0000-000000000000}", 0), DerivedIdentifier(code, 0));
}

TEST(ZevcCompile, SameSourceGivesSameBytes) {
    const std::string source = kHeader + "Set Variable \"A\" \"1\"\nEnd\n";
    EXPECT_EQ(Compile(source), Compile(source));
}

TEST(ZevcCompile, ErrorsNameTheirPlace) {
    struct Case {
        std::string body;  // after the two header lines, which are lines 1 and 2
        size_t line;
        size_t column;
        std::string message;
    };
    const Case cases[] = {
        {"@titel \"x\"", 3, 1, "unknown directive \"@titel\""},
        {"@title", 3, 1, "@title takes 1 value"},
        {"@support", 3, 1, "@support takes 1 or 2 values"},
        {"@media-file \"a\" \"b\"", 3, 1, "@media-file takes 3 values"},
        {"@title \"a\"\n@title \"b\"", 4, 1, "@title is given twice (first at line 3)"},
        {"@media-mode 4", 3, 13, "@media-mode must be 1, 2 or 3"},
        {"@media-mode 01", 3, 13, "@media-mode must be 1, 2 or 3"},
        {"@total-size -1", 3, 13, "@total-size must be a whole number of bytes, 0 or more"},
        {"@code-page x", 3, 12, "@code-page must be a whole number"},
        {"@language-dialog yes", 3, 18, "@language-dialog must be true or false"},
        {"@component-size \"A\" 1.5", 3, 21, "a component size must be a whole number of bytes, 0 or more"},
        {"@web-media-password \"W\" \"\xC4\x80\"", 3, 25,
         "a web media password can only hold characters from U+0000 to U+00FF"},
        {"@web-media-password \"W\" \"" + std::string(129, 'x') + "\"", 3, 25,
         "a web media password can have at most 128 characters"},
        {"@title \"$\"", 3, 8, "a value that is exactly \"$\" can only be written as a statement parameter"},
        {"@plugin \"a\"<U+000A>\"b\"", 3, 9, "a value cannot hold a line break (write $NEWLINE$ instead)"},
        {"End\nX \"a\"<U+000D>", 4, 3, "a value cannot hold a line break (write $NEWLINE$ instead)"},
        {"\"$\"", 3, 1, "a value that is exactly \"$\" can only be written as a statement parameter"},
        {"[media \"$\"] X", 3, 8, "a value that is exactly \"$\" can only be written as a statement parameter"},
        {"[header \"$\"] X", 3, 9, "a value that is exactly \"$\" can only be written as a statement parameter"},
        {"[disabled, flag \"C\"] X", 3, 12, "\"disabled\" and \"flag\" cannot be given together"},
        {"[line 3, position \"p\"] X", 3, 10, "\"line\" and \"position\" cannot be given together"},
        {"[line 0] X", 3, 7, "\"line\" must be a line number, 1 or more"},
        {"[id \"\"] X", 3, 5, "an identifier cannot be empty"},
        {"[id {A}] X\n[id {a}] Y", 4, 5, "the identifier {a} is already used by the statement at line 3"},
        {"@origin \"a*b\"", 3, 9, "@origin cannot hold \"*\""},
        // A parameter that equals a later statement's identifier would be found first.
        {"X \"{F0000000-0000-0000-0000-000000000001}\"\n[id {f0000000-0000-0000-0000-000000000001}] Y \"p\"", 3, 3,
         "this parameter equals the identifier of the statement at line 4, which would then read its parameters "
         "from here"},
        // ... and a statement without parameters would read that parameter's neighbours.
        {"X \"{F0000000-0000-0000-0000-000000000001}\" \"p\"\n[id {F0000000-0000-0000-0000-000000000001}] End", 3, 3,
         "this parameter equals the identifier of the statement at line 4, which would then read its parameters "
         "from here"},
    };
    for (const Case& c : cases) {
        try {
            Compile(kHeader + c.body + "\n");
            ADD_FAILURE() << "no error for " << c.body;
        } catch (const SourceError& error) {
            EXPECT_EQ(error.what(), c.message) << c.body;
            EXPECT_EQ(error.At().line, c.line) << c.body;
            EXPECT_EQ(error.At().column, c.column) << c.body;
        }
    }
}

TEST(ZevcCompile, ProductCodesAreRequiredGuids) {
    struct Case {
        std::string source;
        size_t line;
        size_t column;
        std::string message;
    };
    const Case cases[] = {
        {"End\n", 1, 1, "the product header has no @product-code"},
        {"@product-code {4B1D5E38-0C2A-4E8B-9F1D-2A7C3E5B6D10}\n", 1, 1, "the product header has no @revision-code"},
        {"@product-code 4B1D5E38-0C2A-4E8B-9F1D-2A7C3E5B6D10\n", 1, 15,
         "@product-code must be a GUID in braces, such as {4B1D5E38-0C2A-4E8B-9F1D-2A7C3E5B6D10}"},
        {"@product-code {4B1D5E38-0C2A-4E8B-9F1D-2A7C3E5B6D1G}\n", 1, 15,
         "@product-code must be a GUID in braces, such as {4B1D5E38-0C2A-4E8B-9F1D-2A7C3E5B6D10}"},
        {"@product-code {4B1D5E38-0C2A-4E8B-9F1D-2A7C3E5B6D10}\n@revision-code \"\"\n", 2, 16,
         "@revision-code must be a GUID in braces, such as {4B1D5E38-0C2A-4E8B-9F1D-2A7C3E5B6D10}"},
    };
    for (const Case& c : cases) {
        try {
            Compile(c.source);
            ADD_FAILURE() << "no error for " << c.source;
        } catch (const SourceError& error) {
            EXPECT_EQ(error.what(), c.message) << c.source;
            EXPECT_EQ(error.At().line, c.line) << c.source;
            EXPECT_EQ(error.At().column, c.column) << c.source;
        }
    }
}

TEST(ZevcCompile, SourceErrorShowsLineAndCaret) {
    const std::string source = "@title \"ok\"\n\tX \"a\" b\r\nY";
    EXPECT_EQ(FormatSourceError("setup.zev", source, SourceError({2, 8}, "expected a parameter in double quotes")),
              "setup.zev:2:8: expected a parameter in double quotes\n"
              "\tX \"a\" b\n"
              "\t      ^\n");
    EXPECT_EQ(FormatSourceError("s.zev", "\xEF\xBB\xBFX \xE6\x97\xA5 \"", SourceError({1, 5}, "m")),
              "s.zev:1:5: m\nX \xE6\x97\xA5 \"\n    ^\n");
    EXPECT_EQ(FormatSourceError("s.zev", "", SourceError({3, 1}, "m")), "s.zev:3:1: m\n");
}

}  // namespace
}  // namespace zev::zevc

namespace zev::zevc {
namespace {

std::string ReadText(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

// The shipped examples and the example in the format's documentation compile and
// survive a decompile round trip.
TEST(ZevcCompile, ExamplesAndDocumentationCompile) {
    const std::filesystem::path root = ZEV_SOURCE_DIR;
    std::vector<std::pair<std::string, std::string>> sources;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root / "examples"))
        if (entry.path().extension() == ".zev") sources.emplace_back(entry.path().string(), ReadText(entry.path()));
    const std::string documentation = ReadText(root / "docs" / "script-format.md");
    const size_t section = documentation.find("## A complete example");
    ASSERT_NE(section, std::string::npos);
    const size_t begin = documentation.find("```\n", section) + 4;
    const size_t end = documentation.find("```\n", begin);
    sources.emplace_back("docs/script-format.md", documentation.substr(begin, end - begin));
    ASSERT_GE(sources.size(), 2u);
    for (const auto& [name, source] : sources) {
        try {
            ExpectRoundTrip(source);
        } catch (const SourceError& error) {
            ADD_FAILURE() << FormatSourceError(name, source, error);
        }
    }
}

}  // namespace
}  // namespace zev::zevc
