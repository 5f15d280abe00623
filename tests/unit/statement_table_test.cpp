#include "script/statement_table.h"

#include <gtest/gtest.h>

#include "script/script_writer.h"

namespace zev {
namespace {

using Lines = std::vector<std::string>;

// A compiled script from its thirteen sections (UTF-8 lines, no "$" terminators).
std::string Script(const std::vector<Lines>& sections, const std::string& newline = "\r\n") {
    std::string out;
    for (const Lines& section : sections) {
        for (const std::string& line : section) out += line + newline;
        out += "$" + newline;
    }
    return out;
}

// A small well-formed script: three statements, every side table filled.
std::vector<Lines> SampleSections() {
    return {
        {"Set Variable", "If", "End"},
        {"{00000000-0000-0000-0000-00000000000A}", "{00000000-0000-0000-0000-00000000000B}",
         "{00000000-0000-0000-0000-00000000000C}"},
        {"{00000000-0000-0000-0000-00000000000A}", "TARGETDIR", "", "C:\\App",
         "{00000000-0000-0000-0000-00000000000B}", "X", "0", "1", "FALSE"},
        {"", "", ""},
        {"{11111111-2222-3333-4444-555555555555}", "Hello", "Call DLL Function"},
        {"Acme", "support@acme.example", "https://help.example", "https://update.example", "Note", "2.5",
         "Web1", "3135", "offline", "33363130373334303D3F3E3C"},
        {"", "Web1\\", ""},
        {"2", "MAIN", "1024", "TOOLS", "x"},
        {"{66666666-7777-8888-9999-AAAAAAAAAAAA}", "Web1\\", "bin\\app.exe", "app"},
        {"TRUE", "English", "COPY1", "0", "COPY2", "2"},
        {"SingleInstance", "TRUE", "SINGLEINSTANCE", "FALSE"},
        {"1252", "C:\\Projects\\Hello\\setup.zev*41", "C:\\Projects\\Hello\\setup.zev*42", "/home/a/b/other*7"},
        {"123456789012", "COPY1", "NEWHEADER", "bin\\app.exe", "app"},
    };
}

TEST(StatementTable, LoadsEverySection) {
    StatementTable table;
    table.LoadFromBytes(Script(SampleSections()));
    ASSERT_EQ(table.StatementCount(), 3u);
    EXPECT_EQ(table.Command(1), u"If");
    EXPECT_EQ(table.Identifier(2), u"{00000000-0000-0000-0000-00000000000C}");
    EXPECT_EQ(table.MediaName(1), u"Web1\\");
    const ProductValues& product = table.Product();
    EXPECT_EQ(product.product_code, u"{11111111-2222-3333-4444-555555555555}");
    EXPECT_EQ(product.product_title, u"Hello");
    EXPECT_EQ(product.publisher, u"Acme");
    EXPECT_EQ(product.contact, u"support@acme.example");
    EXPECT_EQ(product.help_link, u"https://help.example");
    EXPECT_EQ(product.update_url, u"https://update.example");
    EXPECT_EQ(product.comments, u"Note");
    EXPECT_EQ(product.display_version, u"2.5");
    EXPECT_EQ(product.media_mode, 2);
    EXPECT_EQ(product.revision_code, u"{66666666-7777-8888-9999-AAAAAAAAAAAA}");
    EXPECT_TRUE(product.language_dialog);
    EXPECT_EQ(product.default_language, u"English");
    EXPECT_EQ(product.code_page, 1252);
    EXPECT_EQ(product.total_file_size, 123456789012);
    EXPECT_TRUE(table.IsPluginCommand(u"call dll function"));
    EXPECT_FALSE(table.IsPluginCommand(u"Set Variable"));
    EXPECT_EQ(table.MediaFileTable(), (std::vector<Text>{u"Web1\\", u"bin\\app.exe", u"app"}));
    EXPECT_EQ(table.FileTable(), (std::vector<Text>{u"COPY1", u"NEWHEADER", u"bin\\app.exe", u"app"}));
}

TEST(StatementTable, SideTableLookups) {
    StatementTable table;
    table.LoadFromBytes(Script(SampleSections()));
    Text value;
    EXPECT_TRUE(table.FindCompileTimeVariable(u"singleinstance", value));
    EXPECT_EQ(value, u"TRUE");  // the first pair wins
    EXPECT_FALSE(table.FindCompileTimeVariable(u"LOCMODE", value));

    EXPECT_EQ(table.CommandHeaderOf(0), u"COPY1");
    EXPECT_EQ(table.CommandHeaderOf(1), u"");
    EXPECT_EQ(table.CommandHeaderOf(2), u"COPY2");

    EXPECT_EQ(table.ComponentSize(u"main"), 1024);
    EXPECT_EQ(table.ComponentSize(u"TOOLS"), -1);  // not a number
    EXPECT_EQ(table.ComponentSize(u"OTHER"), -1);

    Text password;
    EXPECT_TRUE(table.FindWebMediaPassword(u"web1", password));
    EXPECT_EQ(password, u"A");
    EXPECT_TRUE(table.FindWebMediaPassword(u"offline", password));
    EXPECT_EQ(password, u"s3cret");
    EXPECT_FALSE(table.FindWebMediaPassword(u"Web2", password));
}

TEST(StatementTable, ByteOrderMarkAndLineFeedsLoadTheSame) {
    const std::string plain = Script(SampleSections());
    const std::string variants[] = {"\xEF\xBB\xBF" + plain, Script(SampleSections(), "\n")};
    StatementTable expected;
    expected.LoadFromBytes(plain);
    for (const std::string& bytes : variants) {
        StatementTable table;
        table.LoadFromBytes(bytes);
        EXPECT_EQ(table.Commands().Lines(), expected.Commands().Lines());
        EXPECT_EQ(table.Command(0), u"Set Variable");  // no U+FEFF in front
        EXPECT_EQ(table.Parameters().Lines(), expected.Parameters().Lines());
        EXPECT_EQ(table.FileTable(), expected.FileTable());
        EXPECT_EQ(table.Product().total_file_size, 123456789012);
    }
}

TEST(StatementTable, LoneCarriageReturnStaysInTheLine) {
    auto sections = SampleSections();
    sections[2][3] = "a\rb";
    StatementTable table;
    table.LoadFromBytes(Script(sections, "\n"));
    EXPECT_EQ(table.ParameterOf(0, 3), u"a\rb");
}

TEST(StatementTable, DollarFixUpReplacesWholeParameterLinesOnly) {
    struct Case {
        std::string line;
        Text delivered;
    };
    const Case cases[] = {
        {"$WILD_DOLLAR$", u"$"},   {"$wild_dollar$", u"$"},        {"$DOLLAR$", u"$"},
        {"$dollar$", u"$"},        {"a$DOLLAR$b", u"a$DOLLAR$b"},  {" $DOLLAR$", u" $DOLLAR$"},
        {"$DOLLAR$$DOLLAR$", u"$DOLLAR$$DOLLAR$"},                 {"$$", u"$$"},
    };
    for (const Case& c : cases) {
        auto sections = SampleSections();
        sections[2][3] = c.line;
        sections[0][2] = "$DOLLAR$";  // outside section 3 nothing is replaced
        StatementTable table;
        table.LoadFromBytes(Script(sections));
        EXPECT_EQ(table.ParameterOf(0, 3), c.delivered) << c.line;
        EXPECT_EQ(table.Command(2), u"$DOLLAR$");
    }
}

TEST(StatementTable, TruncatedScriptThrowsNamingSectionAndLine) {
    const std::string full = Script(SampleSections());
    struct Case {
        std::string bytes;
        std::string message;
    };
    const Case cases[] = {
        {"", "script ends after line 0 inside section 1; each of the 13 sections must end with a line \"$\""},
        {"Set Variable\r\n$\r\n", "script ends after line 2 inside section 2; each of the 13 sections must end "
                                  "with a line \"$\""},
        // Everything up to the last "$" line, which is missing.
        {full.substr(0, full.size() - 3),
         "script ends after line 74 inside section 13; each of the 13 sections must end with a line \"$\""},
        // A "$" with blanks does not end a section.
        {full.substr(0, full.size() - 3) + "$ \r\n",
         "script ends after line 75 inside section 13; each of the 13 sections must end with a line \"$\""},
    };
    for (const Case& c : cases) {
        StatementTable table;
        try {
            table.LoadFromBytes(c.bytes);
            ADD_FAILURE() << "no error for " << c.bytes.size() << " bytes";
        } catch (const ScriptLoadError& error) {
            EXPECT_EQ(error.what(), c.message);
        }
    }
}

TEST(StatementTable, LastLineWithoutLineEndStillCounts) {
    std::string bytes = Script(SampleSections());
    bytes.resize(bytes.size() - 2);  // "$" without CR LF at the very end
    StatementTable table;
    table.LoadFromBytes(bytes);
    EXPECT_EQ(table.StatementCount(), 3u);
}

TEST(StatementTable, TextAfterTheLastSectionIsIgnored) {
    StatementTable table;
    table.LoadFromBytes(Script(SampleSections()) + "garbage\r\n$\r\n\xFF\xFE");
    EXPECT_EQ(table.FileTable().size(), 4u);
}

TEST(StatementTable, NonNumericFixedLineThrows) {
    struct Case {
        size_t section;
        std::string value;
        std::string message;
    };
    const Case cases[] = {
        {7, "two", "line 42, section 8 (media mode): \"two\" is not a whole number"},
        {7, "", "line 42, section 8 (media mode): \"\" is not a whole number"},
        {11, "12a", "line 65, section 12 (code page): \"12a\" is not a whole number"},
        {12, "0x10", "line 70, section 13 (total file size): \"0x10\" is not a whole number"},
        {12, "99999999999999999999", "line 70, section 13 (total file size): \"99999999999999999999\" is not a "
                                     "whole number"},
    };
    for (const Case& c : cases) {
        auto sections = SampleSections();
        sections[c.section][0] = c.value;
        StatementTable table;
        try {
            table.LoadFromBytes(Script(sections));
            ADD_FAILURE() << c.message;
        } catch (const ScriptLoadError& error) {
            EXPECT_EQ(error.what(), c.message);
        }
    }
}

TEST(StatementTable, ShortSectionReadsMissingFixedLinesAsEmpty) {
    auto sections = SampleSections();
    sections[5] = {"Acme", "contact"};  // four fixed lines missing
    sections[9] = {};                   // no flag, no default language
    StatementTable table;
    table.LoadFromBytes(Script(sections));
    EXPECT_EQ(table.Product().publisher, u"Acme");
    EXPECT_EQ(table.Product().display_version, u"");
    EXPECT_TRUE(table.WebMediaPasswords().empty());
    EXPECT_EQ(table.MediaName(1), u"Web1\\");  // nothing borrowed from section 7
    EXPECT_FALSE(table.Product().language_dialog);
    EXPECT_TRUE(table.CommandHeaders().empty());

    sections[7] = {};  // a missing numeric line is reported at the section's "$"
    try {
        table.LoadFromBytes(Script(sections));
        ADD_FAILURE();
    } catch (const ScriptLoadError& error) {
        EXPECT_STREQ(error.what(), "line 34, section 8 (media mode): \"\" is not a whole number");
    }
}

TEST(StatementTable, LanguageFlagIsTrueOnlyForExactUpperCase) {
    const std::pair<std::string, bool> cases[] = {{"TRUE", true}, {"true", false}, {"-1", false}, {"", false}};
    for (const auto& [flag, expected] : cases) {
        auto sections = SampleSections();
        sections[9][0] = flag;
        StatementTable table;
        table.LoadFromBytes(Script(sections));
        EXPECT_EQ(table.Product().language_dialog, expected) << flag;
    }
}

TEST(StatementTable, DisagreeingSectionLengthsStayInBounds) {
    auto sections = SampleSections();
    sections[1].resize(1);              // one identifier for three commands
    sections[3] = {"", "C", "", "C"};   // four flags
    sections[6].clear();                // no media names
    sections[11].resize(2);             // code page and one position
    StatementTable table;
    table.LoadFromBytes(Script(sections));
    EXPECT_EQ(table.StatementCount(), 3u);
    EXPECT_EQ(table.Identifier(2), u"");
    EXPECT_EQ(table.Flag(3), u"C");
    EXPECT_EQ(table.MediaName(0), u"");
    EXPECT_EQ(table.Position(1).line, -1);
    EXPECT_EQ(table.Position(1).file, u"");
    EXPECT_EQ(table.SourceFileTitle(2), u"");
    EXPECT_EQ(table.ParameterOf(2, 1), u"");
    EXPECT_FALSE(table.IsVisible(3));  // a flag without a statement
    EXPECT_FALSE(table.IsVisible(100));
    EXPECT_EQ(table.Command(100), u"");
}

TEST(StatementTable, ParameterLookup) {
    StatementTable table;
    table.LoadFromBytes(Script(SampleSections()));
    const Text first = u"{00000000-0000-0000-0000-00000000000A}";
    EXPECT_EQ(table.Parameter(first, 0), first);
    EXPECT_EQ(table.Parameter(u"{00000000-0000-0000-0000-00000000000a}", 3), u"C:\\App");  // case ignored
    EXPECT_EQ(table.Parameter(first, 2), u"");
    // The block's length is not stored: n runs on into the next block.
    EXPECT_EQ(table.Parameter(first, 4), u"{00000000-0000-0000-0000-00000000000B}");
    EXPECT_EQ(table.Parameter(first, 8), u"FALSE");
    EXPECT_EQ(table.Parameter(first, 9), u"");  // past the end of the section
    EXPECT_EQ(table.Parameter(first, static_cast<size_t>(-1)), u"");
    // "End" has no block: every parameter is empty.
    for (size_t n : {0u, 1u, 5u}) EXPECT_EQ(table.ParameterOf(2, n), u"") << n;
    EXPECT_EQ(table.ParameterOf(1, 4), u"FALSE");
}

TEST(StatementTable, SourcePositionsAndFileTitles) {
    struct Case {
        std::string position;
        Text file;
        int64_t line;
        Text title;
    };
    const Case cases[] = {
        {"C:\\Projects\\Hello\\setup.zev*41", u"C:\\Projects\\Hello\\setup.zev", 41, u"setup"},
        {"/home/a/b/other*7", u"/home/a/b/other", 7, u"other"},
        {"C:\\dir.v2\\main.tar.zev*0", u"C:\\dir.v2\\main.tar.zev", 0, u"main.tar"},
        {"setup.zev*x", u"setup.zev", -1, u"setup"},
        {"no star", u"no star", -1, u"no star"},
        {"a*b*3", u"a", -1, u"a"},
        {"", u"", -1, u""},
    };
    for (const Case& c : cases) {
        auto sections = SampleSections();
        sections[11][1] = c.position;
        StatementTable table;
        table.LoadFromBytes(Script(sections));
        EXPECT_EQ(table.Position(0).file, c.file) << c.position;
        EXPECT_EQ(table.Position(0).line, c.line) << c.position;
        EXPECT_EQ(table.SourceFileTitle(0), c.title) << c.position;
    }
}

TEST(StatementTable, DisabledAndIgnoredStatementsAreInvisible) {
    StatementTableBuilder builder;
    builder.Add(u"Comment", {u"welcome"}, u"C");
    builder.Add(u"Ignore", {u"x"});
    builder.Add(u"Display Dialog", {u"welcome"});
    builder.Add(u"Display Dialog", {u"finish"}, u"c");
    StatementTable table = builder.Build();
    EXPECT_FALSE(table.IsVisible(0));
    EXPECT_FALSE(table.IsVisible(1));
    EXPECT_TRUE(table.IsVisible(2));
    EXPECT_TRUE(table.IsVisible(3));  // only the exact flag "C" disables
    EXPECT_EQ(table.ParameterOf(0, 1), u"welcome");
}

TEST(StatementTable, LoadingAgainReplacesEverything) {
    StatementTable table;
    table.LoadFromBytes(Script(SampleSections()));
    StatementTableBuilder builder;
    builder.Add(u"End");
    table.LoadFromBytes(builder.Bytes());
    EXPECT_EQ(table.StatementCount(), 1u);
    EXPECT_TRUE(table.CompileTimeVariables().empty());
    EXPECT_FALSE(table.IsPluginCommand(u"Call DLL Function"));
    EXPECT_EQ(table.CommandHeaderOf(0), u"");
    EXPECT_EQ(table.Parameter(u"{00000000-0000-0000-0000-00000000000A}", 0), u"");
}

TEST(StatementTable, LoadReportsMissingFile) {
    StatementTable table;
    try {
        table.Load("/nonexistent/zev.tmp");
        ADD_FAILURE();
    } catch (const ScriptLoadError& error) {
        EXPECT_STREQ(error.what(), "cannot open the script file \"/nonexistent/zev.tmp\"");
    }
}

TEST(IndexedLines, FindsFirstLineIgnoringCaseAndReindexesOnReplace) {
    IndexedLines lines;
    for (const char16_t* line : {u"Alpha", u"beta", u"ALPHA", u""}) lines.Append(line);
    EXPECT_EQ(lines.IndexOf(u"alpha"), 0u);
    EXPECT_EQ(lines.IndexOf(u"BETA"), 1u);
    EXPECT_EQ(lines.IndexOf(u""), 3u);
    EXPECT_EQ(lines.IndexOf(u"gamma"), IndexedLines::npos);
    lines.Replace(0, u"gamma");
    EXPECT_EQ(lines.IndexOf(u"alpha"), 2u);
    EXPECT_EQ(lines.IndexOf(u"Gamma"), 0u);
    lines.Replace(9, u"ignored");
    EXPECT_EQ(lines.Count(), 4u);
    EXPECT_EQ(lines.AtOrEmpty(4), u"");
}

TEST(ProtectedPassword, EncodesAndDecodesKnownForms) {
    struct Case {
        Text password;
        Text protected_form;
    };
    const Case cases[] = {
        {u"", u""},
        {u"A", u"3135"},
        {u"s3cret", u"33363130373334303D3F3E3C"},
        {u"\u00FF\u0001", u"46473333"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EncodeProtectedPassword(c.password), c.protected_form) << ToUtf8(c.password);
        EXPECT_EQ(DecodeProtectedPassword(c.protected_form), c.password) << ToUtf8(c.protected_form);
    }
    EXPECT_EQ(DecodeProtectedPassword(u"33363130373334303d3f3e3c"), u"s3cret");  // lower-case digits
}

TEST(ProtectedPassword, MalformedFormsDecodeToNothing) {
    for (const char16_t* text : {u"313", u"31G5", u"31", u"3135 ", u"\u0663\u0661\u0663\u0665"}) {
        EXPECT_EQ(TryDecodeProtectedPassword(text), std::nullopt) << ToUtf8(text);
        EXPECT_EQ(DecodeProtectedPassword(text), u"") << ToUtf8(text);
    }
}

TEST(ProtectedPassword, LongestAndWidestPasswordsRoundTripOthersAreRefused) {
    Text longest;
    for (size_t i = 0; i < kMaxProtectedPasswordLength; ++i) longest.push_back(static_cast<char16_t>(0x20 + i % 0xE0));
    EXPECT_EQ(DecodeProtectedPassword(EncodeProtectedPassword(longest)), longest);
    EXPECT_THROW(EncodeProtectedPassword(longest + u"x"), std::invalid_argument);
    EXPECT_THROW(EncodeProtectedPassword(u"\u0100"), std::invalid_argument);
}

TEST(ScriptWriter, WritesWhatItReadByteForByte) {
    const std::string bytes = Script(SampleSections());
    EXPECT_EQ(WriteScriptSections(ReadScriptSections(bytes)), bytes);
    auto sections = SampleSections();
    sections[2][3] = "$wild_dollar$";  // kept as written: only an exact "$" is escaped
    EXPECT_EQ(WriteScriptSections(ReadScriptSections(Script(sections))), Script(sections));
}

TEST(ScriptWriter, EscapesALoneDollarParameter) {
    ScriptSections sections;
    sections.Section(3) = {u"{A}", u"$", u"$$", u"a$"};
    sections.Section(5) = {u"{P}", u"T"};
    std::string bytes = WriteScriptSections(sections);
    EXPECT_EQ(bytes, "$\r\n$\r\n{A}\r\n$WILD_DOLLAR$\r\n$$\r\na$\r\n$\r\n$\r\n{P}\r\nT\r\n$\r\n"
                     "$\r\n$\r\n$\r\n$\r\n$\r\n$\r\n$\r\n$\r\n");

    StatementTableBuilder builder;
    builder.Add(u"Set Variable", {u"PRICE", u"$"});
    EXPECT_NE(builder.Bytes().find("\r\nPRICE\r\n$WILD_DOLLAR$\r\n$\r\n"), std::string::npos);
    EXPECT_EQ(builder.Build().ParameterOf(0, 2), u"$");
}

TEST(ScriptWriter, RefusesValuesThatCannotBeOneLine) {
    struct Case {
        int section;
        Text value;
        std::string message;
    };
    const Case cases[] = {
        {1, u"$", "section 1: a value that is exactly \"$\" can only be written as a statement parameter"},
        {11, u"$", "section 11: a value that is exactly \"$\" can only be written as a statement parameter"},
        {3, u"a\r\nb", "section 3: a value cannot hold a line break (write $NEWLINE$ instead)"},
        {6, u"a\rb", "section 6: a value cannot hold a line break (write $NEWLINE$ instead)"},
        {13, u"\n", "section 13: a value cannot hold a line break (write $NEWLINE$ instead)"},
    };
    for (const Case& c : cases) {
        ScriptSections sections;
        sections.Section(c.section).push_back(c.value);
        try {
            WriteScriptSections(sections);
            ADD_FAILURE() << c.message;
        } catch (const ScriptWriteError& error) {
            EXPECT_EQ(error.what(), c.message);
        }
    }
}

}  // namespace
}  // namespace zev
