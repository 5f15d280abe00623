#include <gtest/gtest.h>

#include "tools/zevc/source_reader.h"

namespace zev::zevc {
namespace {

std::vector<Text> ParametersOf(const std::string& source) {
    SourceScript script = ReadSource(source);
    EXPECT_EQ(script.statements.size(), 1u) << source;
    std::vector<Text> out;
    if (script.statements.empty()) return out;
    for (const auto& parameter : script.statements[0].parameters) out.push_back(parameter.text);
    return out;
}

TEST(ZevcSource, ParameterTextsAreKeptExactly) {
    struct Case {
        std::string source;
        std::vector<Text> parameters;
    };
    const Case cases[] = {
        {R"(X "")", {u""}},
        {R"(X "  padded  " " ")", {u"  padded  ", u" "}},
        {R"(X "a|b,c" "#no comment" "$" "$DOLLAR$")", {u"a|b,c", u"#no comment", u"$", u"$DOLLAR$"}},
        {R"(X "say ""hi""" """")", {u"say \"hi\"", u"\""}},
        {R"(X "C:\Program Files\" "\\server\share")", {u"C:\\Program Files\\", u"\\\\server\\share"}},
        {"X \"Grüße 日本 \xF0\x9F\x98\x80\"", {u"Grüße 日本 \U0001F600"}},
        {R"(X "a"<U+0009>"b" <U+0024> <U+1F600>"")", {u"a\tb", u"$", u"\U0001F600"}},
        {R"(X "<U+0009> stays literal inside quotes")", {u"<U+0009> stays literal inside quotes"}},
        {"X \"tab\tinside\"", {u"tab\tinside"}},
        {R"(X "a" # a comment "not a parameter")", {u"a"}},
        {"X (\n  \"one\"  # first\n\n  \"two\" \"three\"\n)", {u"one", u"two", u"three"}},
        {R"(X ("inline" "list"))", {u"inline", u"list"}},
    };
    for (const Case& c : cases) EXPECT_EQ(ParametersOf(c.source), c.parameters) << c.source;
}

TEST(ZevcSource, CommandNames) {
    struct Case {
        std::string source;
        Text command;
        bool has_block;
    };
    const Case cases[] = {
        {"Set Variable \"X\" \"1\"", u"Set Variable", true},
        {"  End   # closes the If", u"End", false},
        {"(Un)Install MSI Setup \"a\"", u"(Un)Install MSI Setup", true},
        {"Else If(x) \"a\"", u"Else If(x)", true},
        {"Get Value ()", u"Get Value", true},
        {"C#Thing", u"C#Thing", false},
        {"\"  odd \"\"name\"\" \" \"p\"", u"  odd \"name\" ", true},
        {"\"@at\"", u"@at", false},
        {"[id {4B1D5E38-0C2A-4E8B-9F1D-2A7C3E5B6D10}] End", u"End", false},
    };
    for (const Case& c : cases) {
        SourceScript script = ReadSource(c.source);
        ASSERT_EQ(script.statements.size(), 1u) << c.source;
        EXPECT_EQ(script.statements[0].command.text, c.command) << c.source;
        EXPECT_EQ(script.statements[0].has_block, c.has_block) << c.source;
    }
}

TEST(ZevcSource, AttributesAndDirectives) {
    SourceScript script = ReadSource(
        "\xEF\xBB\xBF# header\r\n"
        "@product-code {4B1D5E38-0C2A-4E8B-9F1D-2A7C3E5B6D10}\r\n"
        "@media-file \"Web\\\" \"a b\" x\r\n"
        "[disabled, media \"Web\\\", header COPY1, line 7] Copy Files \"a\"\r\n"
        "@origin \"other.zev\"\r\n");
    ASSERT_EQ(script.directives.size(), 3u);
    EXPECT_EQ(script.directives[1].keyword, u"media-file");
    ASSERT_EQ(script.directives[1].values.size(), 3u);
    EXPECT_EQ(script.directives[1].values[2].text, u"x");
    EXPECT_FALSE(script.directives[1].values[2].quoted);
    EXPECT_EQ(script.directives[2].statements_before, 1u);
    ASSERT_EQ(script.statements.size(), 1u);
    const SourceStatement& statement = script.statements[0];
    EXPECT_EQ(statement.at.line, 4u);
    ASSERT_EQ(statement.attributes.size(), 4u);
    EXPECT_EQ(statement.Find(u"media")->value->text, u"Web\\");
    EXPECT_EQ(statement.Find(u"header")->value->text, u"COPY1");
    EXPECT_EQ(statement.Find(u"line")->value->text, u"7");
    EXPECT_FALSE(statement.Find(u"disabled")->value.has_value());
}

TEST(ZevcSource, ErrorsNameTheirPlace) {
    struct Case {
        std::string source;
        size_t line;
        size_t column;
        std::string message;
    };
    const Case cases[] = {
        {"X \"open", 1, 3, "this text has no closing double quote"},
        {"X \"a\" b", 1, 7, "expected a parameter in double quotes"},
        {"X \"a\"\"b\" \"c\"d", 1, 13, "expected a parameter in double quotes"},
        {"@title \"a\" \"b\"c", 1, 15, "expected a blank before the next value"},
        {"X (\"a\") \"b\"", 1, 9, "unexpected text; a line holds one statement or directive"},
        {"X (\n\"a\"\n", 1, 3, "the parameter list opened here has no closing \")\""},
        {"X (\n  oops\n)", 2, 3, "expected a parameter in double quotes or \")\""},
        {"X <U+41>", 1, 3, "expected a character code such as <U+0009>"},
        {"X <U+D800>", 1, 3, "U+D800 is not a Unicode character"},
        {"X <U+110000>", 1, 3, "U+110000 is not a Unicode character"},
        {"X <u+0041>", 1, 3, "expected a character code such as <U+0009>"},
        {"[bogus] X", 1, 2, "unknown attribute \"bogus\"; known are id, media, header, flag, disabled, line and "
                            "position"},
        {"[id a, id b] X", 1, 8, "the attribute \"id\" is given twice"},
        {"[id] X", 1, 4, "expected a value for \"id\""},
        {"[disabled X", 1, 11, "expected \",\" or \"]\""},
        {"[disabled]", 1, 11, "expected a command name"},
        {"[disabled] # nothing", 1, 12, "expected a command name"},
        {"@ title", 1, 2, "expected a directive name after @"},
        {"@title\"x\"", 1, 7, "expected a blank before the next value"},
        {"ok\nbad \x01", 2, 5, "control character U+0001 is not allowed in a source file; write <U+0001> in a "
                               "value"},
        {"a\rb", 1, 2, "control character U+000D is not allowed in a source file; write <U+000D> in a value"},
        {"X \"\xC3\x28\"", 1, 4, "the source file is not valid UTF-8 here"},
        {"X \"\xED\xA0\x80\"", 1, 4, "the source file is not valid UTF-8 here"},
        {"X \"\xC0\xAF\"", 1, 4, "the source file is not valid UTF-8 here"},
        {"\xE6\x97\xA5 \"a\" \"", 1, 7, "this text has no closing double quote"},
    };
    for (const Case& c : cases) {
        try {
            ReadSource(c.source);
            ADD_FAILURE() << "no error for " << c.source;
        } catch (const SourceError& error) {
            EXPECT_EQ(error.what(), c.message) << c.source;
            EXPECT_EQ(error.At().line, c.line) << c.source;
            EXPECT_EQ(error.At().column, c.column) << c.source;
        }
    }
}

TEST(ZevcSource, QuotedValuesReadBackExactly) {
    const Text values[] = {
        u"",          u"$",          u"\"",           u"\"\"",          u" lead and trail ",
        u"a\tb",      u"\r",         u"line\nbreak",  Text(u"\u0000zero", 5),    u"\u007F\u0085\u2028\uFEFF",
        u"#|,<>()[]", u"<U+0041>",   u"Grüße",        u"\U0001F600x",   u"C:\\dir\\",
    };
    for (const Text& value : values) {
        const std::string source = "X " + QuoteValue(value);
        EXPECT_EQ(ParametersOf(source), std::vector<Text>{value}) << source;
    }
}

TEST(ZevcSource, CommandSourceReadsBackExactly) {
    const Text commands[] = {u"Set Variable", u"(Un)Install MSI Setup", u" lead", u"trail ", u"a \"b\"",
                             u"x #y",         u"x (y",                  u"@x",    u"[x",    u"#x",
                             u"",             u"a<b",                   u"tab\tname", u"C#"};
    for (const Text& command : commands) {
        const std::string source = CommandSource(command) + " \"p\"";
        SourceScript script = ReadSource(source);
        ASSERT_EQ(script.statements.size(), 1u) << source;
        EXPECT_EQ(script.statements[0].command.text, command) << source;
        EXPECT_EQ(script.statements[0].parameters.size(), 1u) << source;
    }
    EXPECT_EQ(CommandSource(u"Set Variable"), "Set Variable");
    EXPECT_EQ(CommandSource(u"x #y"), "\"x #y\"");
}

}  // namespace
}  // namespace zev::zevc
