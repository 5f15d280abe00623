// The short cuts taken on the statement cycle's hot paths must give exactly what the
// general code gives: a text that is one whole reference, a replace of an existing
// variable, a lookup with a hash worked out beforehand, the ASCII case mapping and the
// decimal writer.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <map>
#include <vector>

#include "script/substitution.h"
#include "script/text.h"
#include "script/variable_manager.h"

namespace zev {
namespace {

struct WholeReferenceCase {
    const char16_t* text;
    bool quoted;
    const char16_t* expanded;
};

TEST(WholeReference, ExpandsAsTheFullScanDoes) {
    TVariableManager store;
    for (const auto& [name, value] :
         std::vector<std::pair<const char16_t*, const char16_t*>>{{u"I", u"41"},
                                                                  {u"EMPTY", u""},
                                                                  {u"A", u"$B$-"},
                                                                  {u"B", u"b"},
                                                                  {u"SELF", u"$SELF$x"},
                                                                  {u"LONE", u"1$"},
                                                                  {u"QUOTE", u"say \"hi\""}})
        store.SetItem(name, value);
    const WholeReferenceCase cases[] = {
        {u"$I$", false, u"41"},
        {u"$i$", false, u"41"},
        {u"$I$", true, u"\"41\""},
        {u"$EMPTY$", false, u""},
        {u"$EMPTY$", true, u"\"\""},
        {u"$MISSING$", false, u"$MISSING$"},
        {u"$MISSING$", true, u"$MISSING$"},
        {u"$A$", false, u"b-"},
        {u"$A$", true, u"\"\"b\"-\""},
        {u"$SELF$", false, u"$SELF$x"},
        {u"$LONE$", false, u"1$"},
        {u"$QUOTE$", true, u"\"say \"hi\"\""},
        {u"$$", false, u"$$"},
        {u"$$$", false, u"$$$"},
        {u"$I$$", false, u"41$"},
        {u"$$I$", false, u"$41"},
        {u"$I$I$", false, u"41I$"},
    };
    for (const auto& c : cases) {
        const Text expanded = c.quoted ? ExpandQuoted(c.text, store) : Expand(c.text, store);
        EXPECT_EQ(expanded, Text(c.expanded)) << ToUtf8(c.text) << (c.quoted ? " quoted" : "");
    }
}

TEST(WholeReference, LooksUpEachNameOnceInOrder) {
    const std::map<Text, Text> values{{u"A", u"$B$ and $C$"}, {u"B", u"b"}, {u"C", u"c"}};
    std::vector<Text> asked;
    const ReferenceLookup lookup = [&](TextView name) -> std::optional<Text> {
        asked.emplace_back(name);
        const auto found = values.find(Text(name));
        if (found == values.end()) return std::nullopt;
        return found->second;
    };
    EXPECT_EQ(ExpandWith(u"$A$", lookup, false), u"b and c");
    EXPECT_EQ(asked, (std::vector<Text>{u"A", u"B", u"C"}));
    asked.clear();
    EXPECT_EQ(ExpandWith(u"$NONE$", lookup, false), u"$NONE$");
    EXPECT_EQ(asked, (std::vector<Text>{u"NONE"}));
}

TEST(WholeReference, KeepsTheSizeCap) {
    const Text at_cap(kMaxExpandedLength, u'x');
    const Text over_cap(kMaxExpandedLength + 1, u'x');
    const ReferenceLookup lookup = [&](TextView name) -> std::optional<Text> {
        return name == u"AT" ? at_cap : over_cap;
    };
    EXPECT_EQ(ExpandWith(u"$AT$", lookup, false), at_cap);
    EXPECT_EQ(ExpandWith(u"$OVER$", lookup, false), u"$OVER$");
    // The quotes count: at the cap the quoted value no longer fits.
    EXPECT_EQ(ExpandWith(u"$AT$", lookup, true), u"$AT$");
}

TEST(StringHashTable, ReplaceChangesOnlyExistingNames) {
    TStringHashTable table;
    table.Set(u"Path", u"old");
    const uint64_t changes = table.Changes();
    EXPECT_FALSE(table.Replace(u"MISSING", u"v"));
    EXPECT_FALSE(table.Replace(u"", u"v"));
    EXPECT_EQ(table.Changes(), changes);
    EXPECT_EQ(table.Count(), 1u);
    EXPECT_EQ(table.Find(u"MISSING"), nullptr);

    EXPECT_TRUE(table.Replace(u"PATH", u"new"));
    EXPECT_EQ(table.Changes(), changes + 1);
    ASSERT_NE(table.Find(u"path"), nullptr);
    EXPECT_EQ(*table.Find(u"path"), u"new");
    std::vector<Text> names;
    table.ForEach([&](const Text& name, const Text&) { names.push_back(name); });
    EXPECT_EQ(names, std::vector<Text>{u"Path"});
}

// A replace at the growth limit grows the table exactly as Set does, so the
// enumeration order cannot tell which of the two made the write.
TEST(StringHashTable, ReplaceAtTheGrowthLimitGrowsLikeSet) {
    TStringHashTable by_set;
    TStringHashTable by_replace;
    for (int i = 0; i < 64; ++i) {
        by_set.Set(u"V" + FromInt(i), u"x");
        by_replace.Set(u"V" + FromInt(i), u"x");
    }
    ASSERT_EQ(by_replace.BucketCount(), 32u);
    by_set.Set(u"V7", u"y");
    EXPECT_TRUE(by_replace.Replace(u"v7", u"y"));
    EXPECT_EQ(by_replace.BucketCount(), 64u);
    std::vector<Text> set_order;
    std::vector<Text> replace_order;
    by_set.ForEach([&](const Text& name, const Text& value) { set_order.push_back(name + u"=" + value); });
    by_replace.ForEach([&](const Text& name, const Text& value) { replace_order.push_back(name + u"=" + value); });
    EXPECT_EQ(replace_order, set_order);
}

TEST(StringHashTable, ReplaceWhileIteratingRaises) {
    TStringHashTable table;
    table.Set(u"A", u"1");
    EXPECT_THROW(table.ForEach([&](const Text&, const Text&) { table.Replace(u"A", u"2"); }), CollectionError);
    EXPECT_EQ(*table.Find(u"A"), u"1");
}

TEST(VariableManager, HashedNamesReadLikePlainNames) {
    TVariableManager store;
    store.SetItem(u"Silent", u"TRUE");
    store.SetItem(u"EMPTY", u"");
    struct Case {
        const char16_t* name;
        const char16_t* value;
        bool exists;
    };
    const Case cases[] = {
        {u"SILENT", u"TRUE", true}, {u"silent", u"TRUE", true}, {u"EMPTY", u"", true},
        {u"MISSING", u"", false},   {u"", u"", false},
    };
    for (const auto& c : cases) {
        const HashedName name(c.name);
        EXPECT_EQ(name.hash, TStringHashTable::Hash(c.name)) << ToUtf8(c.name);
        EXPECT_EQ(store.ValueOf(name), Text(c.value)) << ToUtf8(c.name);
        EXPECT_EQ(store.Holds(name, c.value), c.exists) << ToUtf8(c.name);
        EXPECT_FALSE(store.Holds(name, u"other")) << ToUtf8(c.name);
    }
    // A later write is seen at once: the hashed name keeps no value.
    const HashedName silent(u"SILENT");
    store.SetItem(u"SILENT", u"FALSE");
    EXPECT_EQ(store.ValueOf(silent), u"FALSE");
    EXPECT_TRUE(store.Holds(silent, u"FALSE"));
    store.Remove(u"SILENT");
    EXPECT_EQ(store.ValueOf(silent), u"");
    EXPECT_FALSE(store.Holds(silent, u""));
}

TEST(Text, CaseMappingAtTheAsciiBoundary) {
    struct Case {
        char16_t upper;
        char16_t lower;
    };
    // Pairs that map both ways, on both sides of the ASCII fast path.
    const Case pairs[] = {{u'A', u'a'}, {u'Z', u'z'}, {0xC0, 0xE0}, {0xDE, 0xFE}, {0x178, 0xFF},
                          {0x100, 0x101}, {0x391, 0x3B1}, {0x410, 0x430}, {0xFF21, 0xFF41}};
    for (const auto& c : pairs) {
        EXPECT_EQ(LowerChar(c.upper), c.lower) << int(c.upper);
        EXPECT_EQ(UpperChar(c.lower), c.upper) << int(c.lower);
    }
    // Characters next to the letter ranges map to themselves.
    for (char16_t same : {u'@', u'[', u'`', u'{', u'_', u'$', char16_t(0x7F), char16_t(0xD7), char16_t(0xF7)}) {
        EXPECT_EQ(LowerChar(same), same) << int(same);
        EXPECT_EQ(UpperChar(same), same) << int(same);
    }
    EXPECT_EQ(UpperChar(0xB5), 0xB5);
}

TEST(Text, FromIntWritesEveryValueInDecimal) {
    struct Case {
        int64_t value;
        const char16_t* text;
    };
    const Case cases[] = {
        {0, u"0"},
        {7, u"7"},
        {-1, u"-1"},
        {10, u"10"},
        {1000000, u"1000000"},
        {-1000001, u"-1000001"},
        {std::numeric_limits<int64_t>::max(), u"9223372036854775807"},
        {std::numeric_limits<int64_t>::min(), u"-9223372036854775808"},
    };
    for (const auto& c : cases) EXPECT_EQ(FromInt(c.value), Text(c.text)) << c.value;
}

}  // namespace
}  // namespace zev
