#include "script/comma_text.h"

#include <gtest/gtest.h>

#include <random>

namespace zev {
namespace {

std::string Show(const std::vector<Text>& items) {
    std::string out = "[";
    for (const Text& item : items) out += "<" + ToUtf8(item) + ">";
    return out + "]";
}

TEST(CommaText, WriteQuotesOnlyWhereNeeded) {
    struct Case { std::vector<Text> items; const char16_t* text; };
    const Case cases[] = {
        {{}, u""},
        {{u""}, u"\"\""},
        {{u"", u""}, u","},
        {{u"a", u"", u"b"}, u"a,,b"},
        {{u"a", u""}, u"a,"},
        {{u"plain", u"C:\\Path\\x.txt"}, u"plain,C:\\Path\\x.txt"},
        {{u"a b"}, u"\"a b\""},
        {{u"a,b"}, u"\"a,b\""},
        {{u"say \"hi\""}, u"\"say \"\"hi\"\"\""},
        {{u"\"", u"x"}, u"\"\"\"\",x"},
        {{u"tab\there"}, u"\"tab\there\""},
        {{u"line\r\nbreak"}, u"\"line\r\nbreak\""},
        {{u"Grüße", u"日本"}, u"Grüße,日本"},
    };
    for (const auto& c : cases) EXPECT_EQ(WriteCommaText(c.items), c.text) << Show(c.items);
}

TEST(CommaText, ReadSplitsAtCommasBlanksAndControlCharacters) {
    struct Case { const char16_t* text; std::vector<Text> items; };
    const Case cases[] = {
        {u"", {}},
        {u"   ", {}},
        {u"\"\"", {u""}},
        {u",", {u"", u""}},
        {u"a,,b", {u"a", u"", u"b"}},
        {u"a,", {u"a", u""}},
        {u",a", {u"", u"a"}},
        {u"a b", {u"a", u"b"}},
        {u"a\tb\rc", {u"a", u"b", u"c"}},
        {u"  a , b  ", {u"a", u"b"}},
        {u"\"a b\",c", {u"a b", u"c"}},
        {u"\"say \"\"hi\"\"\"", {u"say \"hi\""}},
        {u"\"open to the end", {u"open to the end"}},
        {u"\"a\"b,c", {u"a", u"b", u"c"}},
        {u"x=\"1 2\"", {u"x=\"1", u"2\""}},
    };
    for (const auto& c : cases) EXPECT_EQ(ReadCommaText(c.text), c.items) << ToUtf8(c.text);
}

TEST(CommaText, WrittenListsReadBackUnchanged) {
    const char16_t alphabet[] = {u'a', u'Z', u' ', u',', u'"', u'\t', u'\r', u'\n', u'\x01',
                                 u'\\', u'$', u'=', u'é', u'\0'};
    std::mt19937 random(20261211);
    for (int round = 0; round < 2000; ++round) {
        std::vector<Text> items(random() % 5);
        for (Text& item : items) {
            const size_t length = random() % 4;
            for (size_t i = 0; i < length; ++i)
                item.push_back(alphabet[random() % (sizeof(alphabet) / sizeof(alphabet[0]))]);
        }
        const Text written = WriteCommaText(items);
        ASSERT_EQ(ReadCommaText(written), items) << Show(items) << " as " << ToUtf8(written);
    }
}

}  // namespace
}  // namespace zev
