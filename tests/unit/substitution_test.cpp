#include "script/substitution.h"

#include <gtest/gtest.h>

namespace zev {
namespace {

class Substitution : public ::testing::Test {
protected:
    void Define(std::initializer_list<std::pair<const char16_t*, const char16_t*>> values) {
        for (const auto& [name, value] : values) store.SetItem(name, value);
    }
    TVariableManager store;
};

struct ExpandCase {
    const char16_t* text;
    const char16_t* expanded;
};

TEST_F(Substitution, ExpandReplacesKnownReferencesLeftToRight) {
    Define({{u"TITLE", u"App"}, {u"A", u"$B$"}, {u"B", u"x"}, {u"EMPTY", u""},
            {u"NEWLINE", u"\r\n"}, {u"SP ACE", u"s"}, {u"OPEN", u"$TI"}, {u"DOLLAR1", u"$"}});
    const ExpandCase cases[] = {
        {u"", u""},
        {u"no reference", u"no reference"},
        {u"Installing $TITLE$", u"Installing App"},
        {u"Installing $title$", u"Installing App"},
        {u"$UNDEFINED$ then $TITLE$", u"$UNDEFINED$ then App"},
        {u"$$TITLE$", u"$App"},
        {u"$", u"$"},
        {u"cost: 5$", u"cost: 5$"},
        {u"$TITLE", u"$TITLE"},
        {u"$TITLE$$TITLE$", u"AppApp"},
        {u"$A$", u"x"},
        {u"[$EMPTY$]", u"[]"},
        {u"one$NEWLINE$two", u"one\r\ntwo"},
        {u"$SP ACE$", u"s"},
        // An inserted value is scanned again together with the text after it.
        {u"$OPEN$TLE$", u"App"},
        {u"$DOLLAR1$TITLE$", u"App"},
        {u"$DOLLAR1$A$DOLLAR1$", u"xDOLLAR1$"},
        // The closing "$" of an unknown reference opens the next one.
        {u"$X$TITLE$", u"$XApp"},
        {u"a $ b $TITLE$", u"a $ b App"},
    };
    for (const auto& c : cases) EXPECT_EQ(store.Expand(c.text), c.expanded) << ToUtf8(c.text);
}

TEST_F(Substitution, ExpandQuotedWrapsEveryInsertedValue) {
    Define({{u"TITLE", u"App"}, {u"A", u"$B$"}, {u"B", u"x"}});
    const ExpandCase cases[] = {
        {u"$TITLE$=1", u"\"App\"=1"},
        {u"$MISSING$=1", u"$MISSING$=1"},
        {u"$A$", u"\"\"x\"\""},
        {u"plain", u"plain"},
    };
    for (const auto& c : cases) EXPECT_EQ(store.ExpandQuoted(c.text), c.expanded) << ToUtf8(c.text);
}

TEST_F(Substitution, SelfReferenceStopsAndLeavesTheReferenceAsWritten) {
    Define({{u"A", u"$A$x"}, {u"P", u"$Q$"}, {u"Q", u"$P$"}, {u"R", u"[$S$]"}, {u"S", u"($r$)"},
            {u"DOLLAR", u"$"}, {u"T", u"$DOLLAR$T$"}, {u"U", u"a$U$b$U$c"}});
    const ExpandCase cases[] = {
        {u"$A$", u"$A$x"},
        {u"<$A$|$A$>", u"<$A$x|$A$x>"},
        {u"$P$", u"$P$"},
        {u"$Q$", u"$Q$"},
        {u"$R$", u"[($r$)]"},
        {u"$T$", u"$T$"},
        {u"$U$", u"a$U$b$U$c"},
    };
    for (const auto& c : cases) EXPECT_EQ(store.Expand(c.text), c.expanded) << ToUtf8(c.text);
}

TEST_F(Substitution, ReferenceClosingAfterTheInsertedValueIsStillExpanded) {
    // The value "$" combines with the text after it; nothing here repeats itself.
    Define({{u"D", u"$"}, {u"OPENS", u"$OPENS"}});
    const ExpandCase cases[] = {
        {u"$D$D$", u"$"},
        {u"$OPENS$$", u"$OPENS"},
        {u"$OPENS$$$", u"$OPENS"},
    };
    for (const auto& c : cases) EXPECT_EQ(store.Expand(c.text), c.expanded) << ToUtf8(c.text);
}

TEST_F(Substitution, DeepFiniteChainsExpandCompletely) {
    constexpr int kDepth = 3000;
    for (int i = 0; i < kDepth; ++i)
        store.SetItem(u"L" + FromInt(i), u"$L" + FromInt(i + 1) + u"$" + (i % 100 == 0 ? u"." : u""));
    store.SetItem(u"L" + FromInt(kDepth), u"end");
    EXPECT_EQ(store.Expand(u"$L0$"), u"end" + Text(kDepth / 100, u'.'));
    // The same variable may appear many times in one expansion when it is not inside
    // its own value.
    store.SetItem(u"PAIR", u"$L2999$$L2999$");
    store.SetItem(u"QUAD", u"$PAIR$$PAIR$");
    EXPECT_EQ(store.Expand(u"$QUAD$"), u"endendendend");
}

TEST_F(Substitution, ResultSizeIsCapped) {
    // Each level doubles the text: 2^30 characters if nothing stopped it.
    store.SetItem(u"E0", Text(1024, u'x'));
    for (int i = 1; i <= 30; ++i) {
        const Text below = u"$E" + FromInt(i - 1) + u"$";
        store.SetItem(u"E" + FromInt(i), below + below);
    }
    const Text expanded = store.Expand(u"$E30$");
    // It stops only when the next insertion would not fit, and what it could not insert
    // stays as references.
    EXPECT_LE(expanded.size(), kMaxExpandedLength);
    EXPECT_GT(expanded.size(), kMaxExpandedLength - 1024);
    const size_t expanded_part = expanded.find_first_not_of(u'x');
    ASSERT_NE(expanded_part, Text::npos);
    EXPECT_EQ(expanded_part % 1024, 0u);
    EXPECT_EQ(expanded.substr(expanded_part, 4), u"$E0$");
    EXPECT_EQ(expanded.find_first_not_of(u"$E0123456789", expanded_part), Text::npos);

    // A self-feeding value that grows with every round ends too.
    store.SetItem(u"G", u"$H$$H$");
    store.SetItem(u"H", u"$G$");
    EXPECT_EQ(store.Expand(u"$G$"), u"$G$$G$");
}

TEST_F(Substitution, TextsLongerThanTheCapStillExpandWhenTheyDoNotGrow) {
    store.SetItem(u"S", u"ab");
    const Text long_text = Text(kMaxExpandedLength, u'.') + u"$S$";
    const Text expanded = store.Expand(long_text);
    EXPECT_EQ(expanded.size(), kMaxExpandedLength + 2);
    EXPECT_EQ(expanded.substr(kMaxExpandedLength), u"ab");
    store.SetItem(u"S", u"abcd");
    EXPECT_EQ(store.Expand(long_text), long_text);
}

TEST_F(Substitution, ExpandWithLooksUpOnlyReferencedNames) {
    std::vector<Text> asked;
    const ReferenceLookup lookup = [&](TextView name) -> std::optional<Text> {
        asked.emplace_back(name);
        if (name == u"K") return Text(u"v");
        return std::nullopt;
    };
    EXPECT_EQ(ExpandWith(u"no dollar at all", lookup, false), u"no dollar at all");
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(ExpandWith(u"$$K$ $", lookup, false), u"$v $");
    EXPECT_EQ(asked, std::vector<Text>{u"K"});
}

TEST(DollarForm, InnerNameOnlyForExactlyTwoDollarsAtTheEnds) {
    struct Case { const char16_t* text; const char16_t* name; };
    const Case cases[] = {
        {u"$TARGETDIR$", u"TARGETDIR"}, {u"$a b$", u"a b"}, {u"TARGETDIR", u""},
        {u"$A$B$", u""}, {u"$A", u""}, {u"A$", u""}, {u"$$", u""}, {u"$", u""}, {u"", u""},
        {u" $A$", u""},
    };
    for (const auto& c : cases) EXPECT_EQ(DollarFormName(c.text), c.name) << ToUtf8(c.text);
}

TEST_F(Substitution, BindingValueExpandsOrReportsMissing) {
    Define({{u"TITLE", u"App"}, {u"CAPTION", u"Install $TITLE$"}, {u"BLANK", u""}});
    struct Case { const char16_t* name; const char16_t* binding; const char16_t* bound; };
    const Case cases[] = {
        {u"CAPTION", u"Install App", u"Install App"},
        {u"$caption$", u"Install App", u"Install App"},
        {u"BLANK", u"", u""},
        {u"MISSING", u"$QUIBNX$", u""},
        {u"$MISSING$", u"$QUIBNX$", u""},
        {u"", u"$QUIBNX$", u""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BindingValue(c.name, store), c.binding) << ToUtf8(c.name);
        EXPECT_EQ(BoundValueOrEmpty(c.name, store), c.bound) << ToUtf8(c.name);
    }
}

TEST(LineBreakToken, ConvertsBothWays) {
    EXPECT_EQ(LineBreaksToToken(u"a\r\nb\r\n"), u"a$NEWLINE$b$NEWLINE$");
    EXPECT_EQ(LineBreaksToToken(u"lone\n and \r stay"), u"lone\n and \r stay");
    EXPECT_EQ(TokenToLineBreaks(u"a$NEWLINE$b$newline$c$NewLine$"), u"a\r\nb\r\nc\r\n");
    EXPECT_EQ(TokenToLineBreaks(u"$NEWLINE"), u"$NEWLINE");
    EXPECT_EQ(TokenToLineBreaks(LineBreaksToToken(u"x\r\n\r\ny")), u"x\r\n\r\ny");
}

TEST(SpaceProtection, ItemsWithSpacesComeOutQuoted) {
    struct Case { const char16_t* text; const char16_t* protected_text; };
    const Case cases[] = {
        {u"\"a b\",c", u"\"a b\",c"},
        {u"a b,c", u"\"a b\",c"},
        {u"plain,list", u"plain,list"},
        {u"x,,y", u"x,,y"},
        {u"", u""},
        {u"A=C:\\Program Files\\App,B", u"\"A=C:\\Program Files\\App\",B"},
        {u"keep $space_safe$ token", u"\"keep   token\""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ProtectSpacesInCommaText(c.text), c.protected_text) << ToUtf8(c.text);
}

TEST(CompileTime, ReplacesSettingsRepeatedlyUntilStable) {
    const std::vector<Text> pairs = {u"SINGLEINSTANCE", u"TRUE", u"OUTER", u"#INNER#!",
                                     u"INNER", u"#LEAF#", u"LEAF", u"leaf", u"ODD"};
    struct Case { const char16_t* text; const char16_t* expanded; };
    const Case cases[] = {
        {u"#SINGLEINSTANCE#", u"TRUE"},
        {u"#singleinstance#", u"TRUE"},
        {u"#CACHESOURCES#", u"#CACHESOURCES#"},
        {u"no hash", u"no hash"},
        {u"#OUTER#", u"leaf!"},
        {u"#ODD#", u"#ODD#"},
        {u"#SINGLEINSTANCE##SINGLEINSTANCE#", u"TRUETRUE"},
        {u"# alone", u"# alone"},
    };
    for (const auto& c : cases) EXPECT_EQ(ExpandCompileTime(c.text, pairs), c.expanded) << ToUtf8(c.text);
}

TEST(CompileTime, CyclesAndGrowthEnd) {
    // A chain that needs one pass per setting, listed in the least helpful order.
    const std::vector<Text> chain = {u"C", u"done", u"B", u"#C#", u"A", u"#B#"};
    EXPECT_EQ(ExpandCompileTime(u"#A#", chain), u"done");
    const std::vector<Text> swap = {u"X", u"#Y#", u"Y", u"#X#"};
    EXPECT_EQ(ExpandCompileTime(u"#X#", swap), u"#X#");
    const std::vector<Text> grows = {u"G", u"#G#g"};
    EXPECT_EQ(ExpandCompileTime(u"#G#", grows), u"#G#gg");
    const std::vector<Text> doubles = {u"D", u"#D##D#"};
    EXPECT_LE(ExpandCompileTime(u"#D#", doubles).size(), kMaxExpandedLength);
}

}  // namespace
}  // namespace zev
