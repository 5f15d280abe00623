#include "script/variable_manager.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "script/substitution.h"

namespace zev {
namespace {

std::vector<Text> Names(const TStringHashTable& table) {
    std::vector<Text> names;
    table.ForEach([&](const Text& name, const Text&) { names.push_back(name); });
    return names;
}

std::vector<Text> NumberedNames(size_t count) {
    std::vector<Text> names;
    for (size_t i = 0; i < count; ++i) names.push_back(u"V" + FromInt(static_cast<int64_t>(i)));
    return names;
}

TEST(StringHashTable, HashIsElfOverLowerCasedName) {
    struct Case { const char16_t* name; uint32_t hash; };
    const Case cases[] = {
        {u"", 0},
        {u"a", 0x61},
        {u"AB", 0x672},
        {u"ab", 0x672},
        {u"TargetDir", 0x8dcd182},
        {u"QUIB_LastDelegateTick", 0xd82d45b},
        {u"NATIVE_OVERRIDE_NON_RESTORABLE_PERMISSIONS", 0x6553ef3},
    };
    for (const auto& c : cases) EXPECT_EQ(TStringHashTable::Hash(c.name), c.hash) << ToUtf8(c.name);
}

TEST(StringHashTable, GrowsTo32ThenDoublesWhenCountReachesTwicePerBucket) {
    TStringHashTable table;
    EXPECT_EQ(table.BucketCount(), 0u);
    const std::vector<Text> names = NumberedNames(129);
    struct Step { size_t inserted; size_t buckets; };
    const Step steps[] = {{1, 32}, {64, 32}, {65, 64}, {128, 64}, {129, 128}};
    size_t done = 0;
    for (const auto& step : steps) {
        while (done < step.inserted) table.Set(names[done++], u"x");
        EXPECT_EQ(table.BucketCount(), step.buckets) << "after " << step.inserted;
        EXPECT_EQ(table.Count(), step.inserted);
    }
}

TEST(StringHashTable, ReplacingAtTheGrowthLimitStillGrowsFirst) {
    TStringHashTable table;
    const std::vector<Text> names = NumberedNames(64);
    for (const Text& name : names) table.Set(name, u"x");
    table.Set(u"v3", u"replaced");
    EXPECT_EQ(table.BucketCount(), 64u);
    EXPECT_EQ(table.Count(), 64u);
    EXPECT_EQ(*table.Find(u"V3"), u"replaced");
}

TEST(StringHashTable, EnumeratesBucketsInOrderAndNewestOfAChainFirst) {
    TStringHashTable table;
    // "a", "!" and "B!" share bucket 1 of 32, "b" is in bucket 2, "zz" in bucket 26.
    for (const char16_t* name : {u"a", u"!", u"b", u"A", u"B!", u"zz"}) table.Set(name, u"1");
    EXPECT_EQ(Names(table), (std::vector<Text>{u"B!", u"!", u"a", u"b", u"zz"}));
}

TEST(StringHashTable, GrowthReordersChains) {
    TStringHashTable table;
    const std::vector<Text> names = NumberedNames(65);
    for (size_t i = 0; i < 64; ++i) table.Set(names[i], u"x");
    std::vector<Text> before = Names(table);
    before.resize(12);
    EXPECT_EQ(before, (std::vector<Text>{u"V50", u"V30", u"V10", u"V51", u"V31", u"V11", u"V52",
                                         u"V32", u"V12", u"V53", u"V33", u"V13"}));
    table.Set(names[64], u"x");
    std::vector<Text> after = Names(table);
    EXPECT_EQ(after.size(), 65u);
    after.resize(12);
    EXPECT_EQ(after, (std::vector<Text>{u"V10", u"V50", u"V11", u"V51", u"V12", u"V52", u"V13",
                                        u"V53", u"V14", u"V54", u"V15", u"V55"}));
}

TEST(StringHashTable, RemoveUnlinksWithoutShrinking) {
    TStringHashTable table;
    for (const char16_t* name : {u"a", u"!", u"B!"}) table.Set(name, u"1");
    EXPECT_TRUE(table.Remove(u"!"));
    EXPECT_FALSE(table.Remove(u"!"));
    EXPECT_FALSE(table.Remove(u""));
    EXPECT_EQ(Names(table), (std::vector<Text>{u"B!", u"a"}));
    EXPECT_EQ(table.Count(), 2u);
    EXPECT_EQ(table.BucketCount(), 32u);
}

TEST(StringHashTable, ModifyingWhileIteratingRaises) {
    TStringHashTable table;
    table.Set(u"A", u"1");
    table.Set(u"B", u"2");
    const auto expect_refused = [&](auto&& modify) {
        try {
            table.ForEach([&](const Text&, const Text&) { modify(); });
            ADD_FAILURE() << "no error";
        } catch (const CollectionError& error) {
            EXPECT_STREQ(error.what(), "Can not modify a collection while iterating");
        }
    };
    expect_refused([&] { table.Set(u"C", u"3"); });
    expect_refused([&] { table.Set(u"A", u"changed"); });
    expect_refused([&] { table.Remove(u"A"); });
    // The flag is cleared when the enumeration ends, also after an error.
    table.Set(u"C", u"3");
    EXPECT_EQ(table.Count(), 3u);
    EXPECT_EQ(*table.Find(u"A"), u"1");
}

TEST(VariableManager, NamesIgnoreCaseAndKeepTheirFirstSpelling) {
    TVariableManager store;
    store.SetItem(u"Path", u"C:\\");
    EXPECT_EQ(store.GetItem(u"PATH"), u"C:\\");
    store.SetItem(u"PATH", u"D:\\");
    std::vector<Text> names;
    EXPECT_EQ(store.GetNames(names), 1u);
    EXPECT_EQ(names, std::vector<Text>{u"Path"});
    EXPECT_EQ(store.ValueOf(u"path"), u"D:\\");
}

TEST(VariableManager, EmptyNameIsNeverStored) {
    TVariableManager store;
    store.SetItem(u"", u"x");
    store.AssignOrCreate(u"", u"x", u"Initialization");
    store.Assign(u"", u"x", u"Initialization");
    EXPECT_FALSE(store.Exists(u""));
    EXPECT_EQ(store.GetItem(u""), u"");
    std::vector<Text> names;
    EXPECT_EQ(store.GetNames(names), 0u);
    store.RemoveIfExists(u"");
}

TEST(VariableManager, EmptyValueStillExists) {
    TVariableManager store;
    store.SetItem(u"A", u"");
    EXPECT_TRUE(store.Exists(u"a"));
    EXPECT_EQ(store.Lookup(u"a"), Text());
    EXPECT_EQ(store.Lookup(u"missing"), std::nullopt);
}

TEST(VariableManager, PairsAndNamesFollowEnumerationOrder) {
    TVariableManager store;
    for (const char16_t* name : {u"a", u"!", u"b", u"B!", u"zz"}) store.SetItem(name, Text(u"v") + name);
    std::vector<Text> list{u"stale"};
    EXPECT_EQ(store.GetPairs(list), 10u);
    EXPECT_EQ(list, (std::vector<Text>{u"B!", u"vB!", u"!", u"v!", u"a", u"va", u"b", u"vb", u"zz", u"vzz"}));
    EXPECT_EQ(store.ExportCommaText(), u"B!,vB!,!,v!,a,va,b,vb,zz,vzz");
}

TEST(VariableManager, ExportQuotesAndImportRestores) {
    TVariableManager source;
    source.SetItem(u"TARGETDIR", u"C:\\Program Files\\App");
    source.SetItem(u"EMPTY", u"");
    source.SetItem(u"QUOTED", u"say \"hi\", then go");
    TVariableManager copy;
    copy.ImportCommaText(source.ExportCommaText());
    std::vector<Text> original, restored;
    source.GetPairs(original);
    copy.GetPairs(restored);
    EXPECT_EQ(restored, original);
}

TEST(VariableManager, ImportIgnoresATrailingOddItem) {
    TVariableManager store;
    store.ImportCommaText(u"A,1,B");
    EXPECT_EQ(store.GetItem(u"A"), u"1");
    EXPECT_FALSE(store.Exists(u"B"));
}

TEST(VariableManager, RemoveAllAndRemoveIfExists) {
    TVariableManager store;
    for (const Text& name : NumberedNames(70)) store.SetItem(name, u"x");
    store.RemoveIfExists(u"v5");
    EXPECT_FALSE(store.Exists(u"V5"));
    store.RemoveIfExists(u"V5");
    store.RemoveAll();
    std::vector<Text> names;
    EXPECT_EQ(store.GetNames(names), 0u);
    EXPECT_EQ(store.BucketCount(), 64u);
}

TEST(VariableManager, OwnReferenceIsStoredEmptyWhateverTheLabel) {
    struct Case { bool existing; const char16_t* label; };
    const Case cases[] = {{false, u"Set Variable Action"}, {true, u"Set Variable Action"},
                          {false, u"Initialization"}, {true, kInjectOverrideLabel}};
    for (const auto& c : cases) {
        TVariableManager store;
        if (c.existing) store.SetItem(u"X", u"old");
        store.Assign(u"X", u"$x$", c.label);
        EXPECT_TRUE(store.Exists(u"X"));
        EXPECT_EQ(store.GetItem(u"X"), u"") << c.existing << ToUtf8(c.label);
        store.AssignOrCreate(u"Y", u"$Y$", c.label);
        EXPECT_TRUE(store.Exists(u"Y"));
        EXPECT_EQ(store.GetItem(u"Y"), u"");
    }
    TVariableManager store;
    store.Assign(u"X", u"$X$ and more", u"Set Variable Action");
    EXPECT_EQ(store.GetItem(u"X"), u"$X$ and more");
}

TEST(VariableManager, CommandLineLockHoldsOnlyInSilentRuns) {
    struct Case {
        bool silent;
        const char16_t* name;
        const char16_t* label;
        const char16_t* expected;
    };
    const Case cases[] = {
        {true, u"A", u"Set Variable Action", u"1"},
        {true, u"a", u"Set Variable Action", u"1"},
        {true, u"A", u"inject override command line", u"1"},  // the label is exact
        {true, u"A", kInjectOverrideLabel, u"2"},
        {false, u"A", u"Set Variable Action", u"2"},
        {true, u"OTHER", u"Set Variable Action", u"2"},
    };
    for (const auto& c : cases) {
        TVariableManager store;
        store.SetSilent(c.silent);
        // Only names count, never the value positions of the pair list.
        store.SetCommandLinePairs({u"A", u"OTHER"});
        store.Assign(u"A", u"1", kInjectOverrideLabel);
        store.SetItem(u"OTHER", u"1");
        store.Assign(c.name, u"2", c.label);
        store.AssignOrCreate(c.name, u"2", c.label);
        EXPECT_EQ(store.GetItem(c.name), c.expected)
            << c.silent << " " << ToUtf8(c.name) << " " << ToUtf8(c.label);
    }
}

TEST(VariableManager, EngineWritesBypassTheCommandLineLock) {
    TVariableManager store;
    store.SetSilent(true);
    store.SetCommandLinePairs({u"A", u"1"});
    store.Assign(u"A", u"1", kInjectOverrideLabel);
    store.SetItem(u"A", u"engine");
    EXPECT_EQ(store.GetItem(u"A"), u"engine");
}

TEST(VariableManager, SilentRunsCreateUpperCaseNames) {
    struct Case { bool silent; const char16_t* created; };
    for (const auto& c : {Case{true, u"ABC"}, Case{false, u"abc"}}) {
        TVariableManager store;
        store.SetSilent(c.silent);
        store.AssignOrCreate(u"abc", u"1", u"Set Variable Action");
        store.Assign(u"def", u"2", u"Set Variable Action");
        std::vector<Text> names;
        store.GetNames(names);
        ASSERT_EQ(names.size(), 2u);
        EXPECT_TRUE(names[0] == c.created || names[1] == c.created) << c.silent;
        EXPECT_EQ(store.GetItem(u"ABC"), u"1");
    }
}

TEST(VariableManager, ExistingNameKeepsItsSpellingWhenAssignedSilently) {
    TVariableManager store;
    store.SetItem(u"Path", u"1");
    store.SetSilent(true);
    store.Assign(u"path", u"2", u"Set Variable Action");
    std::vector<Text> pairs;
    store.GetPairs(pairs);
    EXPECT_EQ(pairs, (std::vector<Text>{u"Path", u"2"}));
}

TEST(VariableManager, ProcessWideStoreIsOneInstance) {
    Variables().SetItem(u"ZEV_UNIT_SHARED", u"1");
    EXPECT_EQ(&Variables(), &Variables());
    EXPECT_EQ(Expand(u"$zev_unit_shared$"), u"1");
    Variables().Remove(u"ZEV_UNIT_SHARED");
}

// Workers write while the main thread expands and enumerates; run under the sanitizers.
TEST(VariableManager, WorkersWriteWhileTheMainThreadExpands) {
    TVariableManager store;
    store.SetItem(u"DIR", u"C:\\");
    store.SetItem(u"FILE", u"$DIR$setup.log");
    std::atomic<bool> stop{false};
    std::vector<std::thread> workers;
    for (int worker = 0; worker < 2; ++worker) {
        workers.emplace_back([&store, &stop, worker] {
            const Text own = u"QUIB_thProgress" + FromInt(worker);
            int64_t round = 0;
            while (!stop.load()) {
                store.SetItem(own, FromInt(round));
                store.SetItem(u"DIR", round % 2 == 0 ? u"C:\\" : u"D:\\");
                store.Assign(u"Worker" + FromInt(round % 50), u"x", u"Worker Action");
                store.RemoveIfExists(u"Worker" + FromInt((round + 25) % 50));
                ++round;
            }
        });
    }
    for (int i = 0; i < 3000; ++i) {
        const Text expanded = store.Expand(u"$FILE$|$QUIB_thProgress0$");
        ASSERT_TRUE(expanded.starts_with(u"C:\\setup.log|") || expanded.starts_with(u"D:\\setup.log|"))
            << ToUtf8(expanded);
        if (i % 100 == 0) {
            std::vector<Text> pairs;
            store.GetPairs(pairs);
            EXPECT_EQ(pairs.size() % 2, 0u);
        }
    }
    stop = true;
    for (auto& worker : workers) worker.join();
}

}  // namespace
}  // namespace zev
