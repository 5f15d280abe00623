#include "script/text.h"

#include <gtest/gtest.h>

namespace zev {
namespace {

TEST(Text, Utf8RoundTripKeepsEveryPlane) {
    const std::string samples[] = {"", "plain", "Grüße", "日本語", "\xF0\x9F\x98\x80 smile"};
    for (const auto& s : samples) EXPECT_EQ(ToUtf8(FromUtf8(s)), s);
    EXPECT_EQ(FromUtf8("\xF0\x9F\x98\x80").size(), 2u);
}

TEST(Text, MalformedUtf8BecomesReplacementCharacters) {
    EXPECT_EQ(FromUtf8("a\xFF" "b"), u"a\uFFFDb");
    EXPECT_EQ(FromUtf8("\xE2\x82"), u"\uFFFD\uFFFD");
    EXPECT_EQ(FromUtf8("\xC0\xAF"), u"\uFFFD\uFFFD");  // overlong slash
}

TEST(Text, CaseRulesCoverLatinGreekCyrillic) {
    EXPECT_EQ(ToUpper(u"abcÿàéıžя"), u"ABCŸÀÉıŽЯ");
    EXPECT_EQ(ToLower(u"ÀÉŽЯΣ"), u"àéžяσ");
    EXPECT_TRUE(EqualsNoCase(u"TargetDir", u"TARGETDIR"));
    EXPECT_FALSE(EqualsNoCase(u"Target", u"TargetDir"));
}

TEST(Text, ParseIntAcceptsOnlyWholeDecimalNumbers) {
    struct Case { const char16_t* text; std::optional<int64_t> value; };
    const Case cases[] = {
        {u"0", 0}, {u" 42 ", 42}, {u"-7", -7}, {u"+3", 3},
        {u"9223372036854775807", INT64_MAX}, {u"-9223372036854775808", INT64_MIN},
        {u"9223372036854775808", std::nullopt}, {u"", std::nullopt}, {u"-", std::nullopt},
        {u"12a", std::nullopt}, {u"0x10", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseInt(c.text), c.value) << ToUtf8(c.text);
}

TEST(Text, TruthTestAcceptsTrueInAnyCaseAndMinusOne) {
    EXPECT_TRUE(IsTrue(u"TRUE"));
    EXPECT_TRUE(IsTrue(u"true"));
    EXPECT_TRUE(IsTrue(u"-1"));
    EXPECT_FALSE(IsTrue(u"1"));
    EXPECT_FALSE(IsTrue(u" TRUE"));
    EXPECT_FALSE(IsTrue(u""));
}

TEST(Text, ReplaceAllNoCaseDoesNotRescanInsertedText) {
    EXPECT_EQ(ReplaceAllNoCase(u"aXa", u"x", u"xx"), u"axxa");
    EXPECT_EQ(ReplaceAllNoCase(u"$newline$ and $NEWLINE$", u"$NEWLINE$", u"\r\n"), u"\r\n and \r\n");
}

}  // namespace
}  // namespace zev
