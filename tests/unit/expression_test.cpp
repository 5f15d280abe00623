#include <gtest/gtest.h>

#include <limits>

#include "engine_fixture.h"
#include "interpreter/expression.h"

namespace zev {
namespace {

using testing::EngineRun;

TEST(IntegerReading, AcceptsTheEngineNumberForms) {
    struct Case {
        const char16_t* text;
        std::optional<int64_t> expected;
    };
    const Case cases[] = {
        {u"42", 42},
        {u"  42", 42},
        {u"+42", 42},
        {u"-42", -42},
        {u"007", 7},
        {u"$ff", 255},
        {u"0x1F", 31},
        {u"0X1f", 31},
        {u"x10", 16},
        {u"X10", 16},
        {u"-$10", -16},
        {u"9223372036854775807", std::numeric_limits<int64_t>::max()},
        {u"-9223372036854775808", std::numeric_limits<int64_t>::min()},
        {u"$FFFFFFFFFFFFFFFF", -1},
        {u"9223372036854775808", std::nullopt},
        {u"$1FFFFFFFFFFFFFFFF", std::nullopt},
        {u"", std::nullopt},
        {u" ", std::nullopt},
        {u"-", std::nullopt},
        {u"42 ", std::nullopt},
        {u"4 2", std::nullopt},
        {u"\t42", std::nullopt},
        {u"--1", std::nullopt},
        {u"1e3", std::nullopt},
        {u"0x", std::nullopt},
        {u"$", std::nullopt},
        {u"$fg", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseInteger64(c.text), c.expected) << ToUtf8(c.text);
}

TEST(IntegerReading, ThirtyTwoBitRangeWrapsOnlyHexadecimal) {
    struct Case {
        const char16_t* text;
        std::optional<int32_t> expected;
    };
    const Case cases[] = {
        {u"2147483647", 2147483647},
        {u"-2147483648", std::numeric_limits<int32_t>::min()},
        {u"2147483648", std::nullopt},
        {u"-2147483649", std::nullopt},
        {u"$FFFFFFFF", -1},
        {u"$80000000", std::numeric_limits<int32_t>::min()},
        {u"$100000000", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseInteger32(c.text), c.expected) << ToUtf8(c.text);
}

TEST(Expression, EvaluatesComparisonsAndConnectives) {
    struct Case {
        const char16_t* expression;
        const char16_t* expected;
    };
    const Case cases[] = {
        // Integer texts compare as numbers, everything else by code units.
        {uR"("10" > "9")", u"TRUE"},
        {uR"("10a" > "9")", u"FALSE"},
        {uR"("007" = "7")", u"TRUE"},
        {uR"("+5" = "5")", u"TRUE"},
        {uR"("-5" < "3")", u"TRUE"},
        {uR"("-" > "3")", u"FALSE"},
        {uR"("abc" = "ABC")", u"FALSE"},
        {uR"("a" < "b")", u"TRUE"},
        {uR"("B" < "a")", u"TRUE"},
        {uR"("" = "")", u"TRUE"},
        {uR"("5" >= "5")", u"TRUE"},
        {uR"("5" <= "4")", u"FALSE"},
        {uR"("5" <> "4")", u"TRUE"},
        {uR"("2147483647" = "2147483647")", u"TRUE"},
        {uR"("a"="a")", u"TRUE"},
        {uR"(  "a" = "a"  )", u"TRUE"},
        {uR"("say ""hi""" = "say ""hi""")", u"TRUE"},
        // Connectives combine strictly left to right.
        {uR"("a" = "a" or "a" = "b" and "a" = "b")", u"FALSE"},
        {uR"("a" = "a" or ("a" = "b" and "a" = "b"))", u"TRUE"},
        {uR"("a" = "b" and "a" = "a" or "b" = "b")", u"TRUE"},
        {uR"(("a" = "a" and ("b" = "c" or "c" = "c")))", u"TRUE"},
        {uR"("1" = "1" and "1" = "2")", u"FALSE"},
        // Malformed input.
        {u"", u"ERROR"},
        {u"   ", u"ERROR"},
        {uR"("1" != "1")", u"ERROR"},
        {uR"("1" == "1")", u"ERROR"},
        {uR"("1" = "1" xor "2" = "2")", u"ERROR"},
        {uR"("1" = "1" AND "2" = "2")", u"ERROR"},
        {uR"("1" = "1" and("2" = "2"))", u"ERROR"},
        {uR"("a" = "a") or "b" = "b")", u"ERROR"},
        {uR"("a" = "a"))", u"ERROR"},
        {uR"(("a" = "a")", u"ERROR"},
        {uR"("a" = b)", u"ERROR"},
        {uR"("a" =)", u"ERROR"},
        {uR"("x" = "x" or "y")", u"ERROR"},
        {uR"(a = "a")", u"ERROR"},
        {u"\"a\"\t= \"a\"", u"ERROR"},
        // An error anywhere makes the whole expression an error.
        {uR"("1" != "1" or "a" = "a")", u"ERROR"},
        {uR"("a" = "a" or "1" != "1")", u"ERROR"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ToText(EvaluateExpression(c.expression)), c.expected) << ToUtf8(c.expression);
}

TEST(Expression, IntegerBeyondThirtyTwoBitsIsAConversionError) {
    for (const char16_t* expression : {uR"("2147483648" = "1")", uR"("1" = "-2147483649")"}) {
        try {
            EvaluateExpression(expression);
            ADD_FAILURE() << ToUtf8(expression);
        } catch (const ConversionError& error) {
            EXPECT_NE(std::string(error.what()).find("is not a valid integer value"), std::string::npos);
        }
    }
    // Beyond 32 bits but not an integer text: compared as texts.
    EXPECT_EQ(EvaluateExpression(uR"("2147483648x" = "1")"), ExpressionResult::False);
}

TEST(Expression, SyntaxCheckIgnoresValues) {
    struct Case {
        const char16_t* expression;
        bool valid;
    };
    const Case cases[] = {
        {uR"("2147483648" = "1")", true},
        {uR"("" = "" and ("" <> "x" or "1" > "2"))", true},
        {uR"($X$ = "1")", false},
        {uR"("1" != "1")", false},
        {u"", false},
        {uR"("a" = "a"))", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsValidExpression(c.expression), c.valid) << ToUtf8(c.expression);
}

TEST(Mathematics, ComputesEachOperationWithWrapping) {
    struct Case {
        const char16_t* a;
        const char16_t* b;
        const char16_t* operation;
        const char16_t* expected;
    };
    const Case cases[] = {
        {u"2", u"3", u"0", u"5"},
        {u"0x10", u"1", u"0", u"17"},
        {u"5", u"7", u"1", u"-2"},
        {u"3", u"4", u"2", u"12"},
        {u"-7", u"2", u"3", u"-3"},
        {u"7", u"0", u"3", u""},
        {u"-7", u"2", u"4", u"-1"},
        {u"7", u"-2", u"4", u"1"},
        {u"7", u"0", u"4", u""},
        {u"12", u"10", u"5", u"8"},
        {u"12", u"10", u"6", u"14"},
        {u"12", u"10", u"7", u"6"},
        {u"5", u"64", u"8", u"5"},
        {u"5", u"65", u"8", u"10"},
        {u"1", u"63", u"8", u"-9223372036854775808"},
        {u"-1", u"60", u"9", u"15"},
        {u"-8", u"1", u"9", u"9223372036854775804"},
        {u"0", u"", u"10", u"-1"},
        {u"65", u"", u"12", u"A"},
        {u"65601", u"", u"12", u"A"},
        {u"abc", u"", u"11", u"97"},
        {u"", u"", u"11", u""},
        // Wrapping at the 64-bit edges.
        {u"9223372036854775807", u"1", u"0", u"-9223372036854775808"},
        {u"-9223372036854775808", u"1", u"1", u"9223372036854775807"},
        {u"4611686018427387904", u"4", u"2", u"0"},
        {u"-9223372036854775808", u"-1", u"3", u"-9223372036854775808"},
        {u"-9223372036854775808", u"-1", u"4", u"0"},
        // Operand reading: B is read only where the operation uses it.
        {u" 12", u"3", u"0", u"15"},
        {u"12 ", u"3", u"0", u""},
        {u"1", u"abc", u"0", u""},
        {u"1", u"abc", u"10", u"-2"},
        {u"abc", u"1", u"10", u""},
        {u"$FF", u"x10", u"5", u"16"},
        // The operation number: taken as written, low 32 bits select.
        {u"2", u"3", u"4294967296", u"5"},
        {u"2", u"3", u"abc", u""},
        {u"2", u"3", u"$2", u"6"},
        {u"5", u"3", u"99", u"0"},
        {u"5", u"3", u"-1", u"0"},
        {u"5", u"x", u"-1", u""},
        {u"5", u"x", u"16", u"0"},
    };
    for (const auto& c : cases) {
        RandomGenerator generator;
        EXPECT_EQ(ComputeMathematics(c.a, c.b, c.operation, generator), c.expected)
            << ToUtf8(c.a) << " " << ToUtf8(c.b) << " op " << ToUtf8(c.operation);
    }
}

TEST(Mathematics, RandomGeneratorFollowsItsRecurrence) {
    RandomGenerator generator;
    struct Step {
        const char16_t* a;
        const char16_t* b;
        const char16_t* operation;
        const char16_t* expected;
        int32_t value_after;
    };
    const Step steps[] = {
        {u"100", u"", u"15", u"0", 0},        // unseeded: always 0
        {u"5", u"3", u"13", u"8", 0},          // seed: M 5, C 3
        {u"1", u"", u"14", u"1", 1},           // X 1
        {u"100", u"", u"15", u"8", 8},         // T = 5 * 1 + 3
        {u"100", u"", u"15", u"43", 43},       // T = 5 * 8 + 3
        {u"0", u"", u"15", u"", 218},          // division by zero, X still advances
        {u"1", u"-100", u"13", u"-99", 218},   // M 1, C -100
        {u"0", u"", u"14", u"0", 0},
        {u"7", u"", u"15", u"-2", -100},       // T = -100: remainders keep the sign of T
        {u"1", u"32767", u"13", u"32768", -100},
        {u"0", u"", u"14", u"0", 0},
        {u"100000", u"", u"15", u"32767", 0},  // modulus 32767, not 32768
        {u"4294967297", u"4294967298", u"13", u"8589934595", 0},  // low 32 bits: M 1, C 2
        {u"4294967301", u"", u"14", u"5", 5},
        {u"1000", u"", u"15", u"7", 7},
    };
    for (const auto& step : steps) {
        EXPECT_EQ(ComputeMathematics(step.a, step.b, step.operation, generator), step.expected)
            << "op " << ToUtf8(step.operation) << " a " << ToUtf8(step.a);
        EXPECT_EQ(generator.value, step.value_after) << "op " << ToUtf8(step.operation) << " a " << ToUtf8(step.a);
    }
}

TEST(Mathematics, MultiplierWrapsInThirtyTwoBits) {
    RandomGenerator generator;
    ComputeMathematics(u"65536", u"0", u"13", generator);
    ComputeMathematics(u"65536", u"", u"14", generator);
    // 65536 * 65536 wraps to 0 in 32 bits.
    EXPECT_EQ(ComputeMathematics(u"1000", u"", u"15", generator), u"0");
    ComputeMathematics(u"65536", u"", u"14", generator);
    generator.multiplier = 32768;
    // 32768 * 65536 = 2^31 wraps to -2147483648; widened with its sign.
    EXPECT_EQ(ComputeMathematics(u"9223372036854775807", u"", u"15", generator), u"-2147483648");
    EXPECT_EQ(generator.value, -2147483648LL % 32767);
}

// Whole runs: results land in the store; the store outlives the run.
TEST(ExpressionCommands, StoreResultsThroughTheScript) {
    EngineRun run;
    StatementTableBuilder script;
    script.Add(u"Mathematics", {u"5", u"0", u"0", u"Count"});
    script.Add(u"Mathematics", {u"$COUNT$", u"10", u"2", u"product"});
    script.Add(u"Evaluate Expression", {uR"($PRODUCT$ = "50" and $COUNT$ < "6")", u"Verdict"});
    script.Add(u"Mathematics", {u"34", u"", u"12", u"QUOTE"});
    script.Add(u"Evaluate Expression", {uR"($QUOTE$ = "a")", u"Broken"});
    script.Add(u"Mathematics", {u"3", u"0", u"3", u"Empty"});
    script.Add(u"Mathematics", {u"7", u"8", u"13", u""});
    run.SetScript(script);
    run.SetArguments(u"/s");
    EXPECT_EQ(run.Run(), 0);
    struct Case {
        const char16_t* name;
        const char16_t* value;
    };
    const Case cases[] = {
        {u"COUNT", u"5"}, {u"PRODUCT", u"50"}, {u"VERDICT", u"TRUE"},
        {u"QUOTE", u"\""}, {u"BROKEN", u"ERROR"}, {u"EMPTY", u""},
    };
    for (const auto& c : cases) EXPECT_EQ(run.variables.Lookup(c.name), Text(c.value)) << ToUtf8(c.name);
    // The new variables are created under upper-cased names.
    std::vector<Text> names;
    run.variables.GetNames(names);
    EXPECT_NE(std::find(names.begin(), names.end(), u"VERDICT"), names.end());
    EXPECT_EQ(std::find(names.begin(), names.end(), u"Verdict"), names.end());
}

TEST(ExpressionCommands, OversizedIntegerEndsTheScriptWithARuntimeError) {
    EngineRun run;
    StatementTableBuilder script;
    script.Add(u"Evaluate Expression", {uR"("99999999999" = "1")", u"R"});
    script.Add(u"Mathematics", {u"1", u"1", u"0", u"AFTER"});
    script.Sections().Section(12)[1] = u"C:\\Projects\\proj.zev*6";
    run.SetScript(script);
    EXPECT_EQ(run.Run(), 0);
    ASSERT_EQ(run.fake.ui.messages.size(), 1u);
    EXPECT_EQ(run.fake.ui.messages[0].text,
              u"Runtime error in setup script:\r\rSource File: proj\rLine Number: 7\r\r"
              u"'99999999999' is not a valid integer value");
    EXPECT_FALSE(run.variables.Exists(u"AFTER"));
}

}  // namespace
}  // namespace zev
