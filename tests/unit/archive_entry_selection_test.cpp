// Entry selection when the caller names entries one by one, as the extraction routine
// does with a whole listing: every name must be seen used, or the call reports it missing.
#include <gtest/gtest.h>

#include "media/zevlib/entry_path.h"

namespace zev {
namespace {

TEST(ArchiveEntrySelection, EveryNameIsMarkedUsedByTheEntryOrFolderItSelects) {
    struct Case {
        std::vector<Text> names;
        std::vector<Text> entries;  // normal names, in archive order
        int unused;                 // index of a name that selected nothing, or -1
    };
    const Case cases[] = {
        // A name given twice (letter case differing) is used by one entry.
        {{u"dir\\a.txt", u"DIR\\A.TXT", u"b"}, {u"dir\\a.txt", u"b"}, -1},
        // A folder name is used by the entries below it, without an entry of its own.
        {{u"dir", u"x"}, {u"dir\\sub\\a.txt", u"x"}, -1},
        // A plain name nothing matches is reported, even when a wildcard selects the rest.
        {{u"*.txt", u"missing.dat"}, {u"a.txt", u"b.txt"}, 1},
        {{u"a.txt", u"*.dat"}, {u"a.txt", u"b.txt"}, 1},
        // Names with and without wildcards both used by the same entry.
        {{u"d*\\a.txt", u"dir\\a.txt"}, {u"dir\\a.txt"}, -1},
    };
    for (const Case& c : cases) {
        archive::EntrySelector selector(c.names);
        for (const Text& entry : c.entries) selector.Selects(entry);
        EXPECT_EQ(selector.UnusedName(), c.unused) << ToUtf8(c.names.front());
    }
}

TEST(ArchiveEntrySelection, ThousandsOfPlainNamesSelectExactlyTheirEntries) {
    std::vector<Text> names;
    for (int i = 0; i < 3000; i += 2) names.push_back(u"dir" + FromInt(i % 40) + u"\\file" + FromInt(i) + u".txt");
    archive::EntrySelector selector(names);
    int selected = 0;
    for (int i = 0; i < 3000; ++i) {
        const bool chosen = selector.Selects(u"DIR" + FromInt(i % 40) + u"\\FILE" + FromInt(i) + u".TXT");
        EXPECT_EQ(chosen, i % 2 == 0) << i;
        selected += chosen;
    }
    EXPECT_EQ(selected, 1500);
    EXPECT_EQ(selector.UnusedName(), -1);
}

}  // namespace
}  // namespace zev
