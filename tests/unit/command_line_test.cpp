#include "startup/command_line.h"

#include <gtest/gtest.h>

#include <random>

namespace zev {
namespace {

std::string Show(const std::vector<Text>& items) {
    std::string out = "[";
    for (const Text& item : items) out += "<" + ToUtf8(item) + ">";
    return out + "]";
}

TEST(CommandLineSplit, FollowsThePlatformRules) {
    struct Case { const char16_t* raw; std::vector<Text> arguments; };
    const Case cases[] = {
        {u"setup.exe", {u"setup.exe"}},
        {u"\"C:\\Program Files\\setup.exe\"", {u"C:\\Program Files\\setup.exe"}},
        {u"\"C:\\My App\\setup.exe\" /s A=1", {u"C:\\My App\\setup.exe", u"/s", u"A=1"}},
        {u"setup.exe   /s\t\tB=2  ", {u"setup.exe", u"/s", u"B=2"}},
        {u"setup.exe TARGETDIR=\"C:\\Program Files\\App\"",
         {u"setup.exe", u"TARGETDIR=C:\\Program Files\\App"}},
        {u"setup.exe \"\"", {u"setup.exe", u""}},
        {u"setup.exe a\\b c\\\\d", {u"setup.exe", u"a\\b", u"c\\\\d"}},
        {u"setup.exe \"a\\\\\" b", {u"setup.exe", u"a\\", u"b"}},
        {u"setup.exe a\\\"b", {u"setup.exe", u"a\"b"}},
        {u"setup.exe a\\\\\\\"b", {u"setup.exe", u"a\\\"b"}},
        {u"setup.exe a\\\\\\\\\"b c\"", {u"setup.exe", u"a\\\\b c"}},
        {u"setup.exe \"a\"\"\"b\"", {u"setup.exe", u"a\"b"}},
        {u"setup.exe \"a\"\"b\" c", {u"setup.exe", u"a\"b c"}},
        {u"setup.exe \"open to the end", {u"setup.exe", u"open to the end"}},
        // The executable path takes no escapes and ends at its closing quote.
        {u"\"C:\\dir\\\"x y", {u"C:\\dir\\", u"x", u"y"}},
        {u"\"C:\\dir\\setup.exe\"/s", {u"C:\\dir\\setup.exe", u"/s"}},
        {u"", {u""}},
    };
    for (const auto& c : cases) EXPECT_EQ(SplitCommandLine(c.raw), c.arguments) << ToUtf8(c.raw);
}

TEST(CommandLineSplit, JoinedArgumentsSplitBackUnchanged) {
    const char16_t alphabet[] = {u'a', u' ', u'\t', u'"', u'\\', u'=', u'/'};
    std::mt19937 random(1211);
    for (int round = 0; round < 2000; ++round) {
        std::vector<Text> arguments{u"C:\\Program Files\\setup.exe"};
        const size_t count = random() % 4;
        for (size_t i = 0; i < count; ++i) {
            Text argument;
            const size_t length = random() % 6;
            for (size_t k = 0; k < length; ++k) argument.push_back(alphabet[random() % 7]);
            arguments.push_back(argument);
        }
        const Text joined = JoinCommandLine(arguments);
        ASSERT_EQ(SplitCommandLine(joined), arguments) << Show(arguments) << " as " << ToUtf8(joined);
    }
}

TEST(CommandLineTail, DropsTheExecutablePart) {
    struct Case { const char16_t* raw; const char16_t* tail; };
    const Case cases[] = {
        {u"\"C:\\My App\\setup.exe\" /s A=1", u"/s A=1"},
        {u"\"C:\\My App\\setup.exe\"", u""},
        {u"\"C:\\My App\\setup.exe\" ", u""},
        {u"\"C:\\My App\\setup.exe\"  /s", u" /s"},
        {u"\"unterminated", u""},
        {u"setup.exe /s A=1", u"/s A=1"},
        {u"setup.exe", u""},
        {u"", u""},
    };
    for (const auto& c : cases) EXPECT_EQ(CommandLineTail(c.raw), c.tail) << ToUtf8(c.raw);
}

CommandLine Parse(std::vector<Text> arguments) {
    arguments.insert(arguments.begin(), u"C:\\setup.exe");
    return ParseArguments(std::move(arguments));
}

TEST(CommandLineSwitches, SilentAndWindowSuppression) {
    struct Case { std::vector<Text> arguments; bool silent; bool suppress; };
    const Case cases[] = {
        {{}, false, false},
        {{u"/s"}, true, false},
        {{u"/S"}, true, false},
        {{u"-s"}, true, false},
        {{u"/qn"}, true, false},
        {{u"-QN"}, true, false},
        {{u"/silent"}, false, false},
        {{u"s"}, false, false},
        {{u"/s "}, false, false},
        {{u"/update"}, false, true},
        {{u"-UpdateSetup"}, false, true},
        {{u"/updates"}, false, false},
        {{u"A=1", u"/update", u"/s"}, true, true},
    };
    for (const auto& c : cases) {
        const CommandLine line = Parse(c.arguments);
        EXPECT_EQ(line.silent, c.silent) << Show(c.arguments);
        EXPECT_EQ(line.suppress_windows, c.suppress) << Show(c.arguments);
    }
    // Argument 0 is never examined.
    EXPECT_FALSE(ParseArguments({u"/s"}).silent);
}

TEST(CommandLineSwitches, ValueSwitchesAreLowerCasedAndFirstMatchWins) {
    struct Case {
        std::vector<Text> arguments;
        const char16_t* log;
        const char16_t* cache;
        const char16_t* policy;
        const char16_t* extractor;
    };
    const Case cases[] = {
        {{u"/l=C:\\Logs\\Setup.LOG"}, u"c:\\logs\\setup.log", u"", u"", u""},
        {{u"/L=C:\\Logs\\Setup.log"}, u"c:\\logs\\setup.log", u"", u"", u""},
        {{u"-l=first.log", u"/l=second.log"}, u"first.log", u"", u"", u""},
        {{u"/l=first.log", u"-l=second.log"}, u"first.log", u"", u"", u""},
        {{u"-p=D:\\Cache"}, u"", u"d:\\cache", u"", u""},
        {{u"/P=E:\\X", u"-p=D:\\Cache"}, u"", u"e:\\x", u"", u""},
        {{u"/g=\\\\Server\\Share\\Policy.ini"}, u"", u"", u"\\\\server\\share\\policy.ini", u""},
        {{u"/M=C:\\Down\\Setup.EXE"}, u"", u"", u"", u"c:\\down\\setup.exe"},
        // Only the "/" form exists for these two.
        {{u"-g=x", u"-m=y"}, u"", u"", u"", u""},
        {{u"/l="}, u"", u"", u"", u""},
        // A switch text further inside an argument is not that switch.
        {{u"NOTE=a/l=b", u"x/p=y"}, u"", u"", u"", u""},
        {{u"NOTE=a/l=b", u"/l=real.log"}, u"real.log", u"", u"", u""},
    };
    for (const auto& c : cases) {
        const CommandLine line = Parse(c.arguments);
        EXPECT_EQ(line.log_path, c.log) << Show(c.arguments);
        EXPECT_EQ(line.cache_override, c.cache) << Show(c.arguments);
        EXPECT_EQ(line.group_policy_path, c.policy) << Show(c.arguments);
        EXPECT_EQ(line.self_extractor_path, c.extractor) << Show(c.arguments);
    }
}

TEST(CommandLineSwitches, PresetsKeepArgumentOrderAndValueCase) {
    struct Case { std::vector<Text> arguments; std::vector<Text> pairs; };
    const Case cases[] = {
        {{u"targetdir=x"}, {u"TARGETDIR", u"x"}},
        {{u"TARGETDIR=C:\\Program Files\\App"}, {u"TARGETDIR", u"C:\\Program Files\\App"}},
        {{u"A=1", u"/s", u"b=Two=2", u"-c=3", u"/D=4", u"plain"}, {u"A", u"1", u"B", u"Two=2"}},
        {{u"EMPTY="}, {u"EMPTY", u""}},
        {{u"=value"}, {u"", u"value"}},
        {{u"A=1", u"A=2"}, {u"A", u"1", u"A", u"2"}},
    };
    for (const auto& c : cases) EXPECT_EQ(Parse(c.arguments).pairs, c.pairs) << Show(c.arguments);
}

TEST(CommandLineSwitches, RawCommandLineGivesTailAndArguments) {
    const CommandLine line =
        ParseCommandLine(u"\"C:\\My App\\setup.exe\" /s TARGETDIR=\"C:\\Program Files\\App\" /l=C:\\X.LOG");
    EXPECT_EQ(line.tail, u"/s TARGETDIR=\"C:\\Program Files\\App\" /l=C:\\X.LOG");
    EXPECT_TRUE(line.silent);
    EXPECT_EQ(line.pairs, (std::vector<Text>{u"TARGETDIR", u"C:\\Program Files\\App"}));
    EXPECT_EQ(line.log_path, u"c:\\x.log");
    EXPECT_EQ(line.arguments.size(), 4u);
    EXPECT_EQ(line.arguments[0], u"C:\\My App\\setup.exe");

    const CommandLine bare = ParseCommandLine(u"\"C:\\My App\\setup.exe\"");
    EXPECT_EQ(bare.tail, u"");
    EXPECT_FALSE(bare.silent);
    EXPECT_TRUE(bare.pairs.empty());
    EXPECT_EQ(bare.log_path, u"");
}

TEST(CommandLineSwitches, OutOfProcessExtractionNeedsExactFirstArgument) {
    struct Case { std::vector<Text> arguments; bool mode; const char16_t* control; };
    const Case cases[] = {
        {{u"OutOfProcessExtract", u"C:\\Temp\\zev1\\extract.ctl"}, true, u"C:\\Temp\\zev1\\extract.ctl"},
        {{u"OutOfProcessExtract"}, true, u""},
        {{u"outofprocessextract", u"x"}, false, u""},
        {{u"/s", u"OutOfProcessExtract", u"x"}, false, u""},
    };
    for (const auto& c : cases) {
        const CommandLine line = Parse(c.arguments);
        EXPECT_EQ(line.out_of_process_extract, c.mode) << Show(c.arguments);
        EXPECT_EQ(line.control_file, c.control) << Show(c.arguments);
    }
}

}  // namespace
}  // namespace zev

namespace zev {
namespace {

TEST(CommandLineArguments, TailIsJoinedBeforeTheArgumentsAreTaken) {
    const CommandLine line = ParseArguments({u"C:\\Setup\\setup.exe", u"/s", u"NAME=a b"});
    EXPECT_EQ(line.tail, u"/s \"NAME=a b\"");
    EXPECT_EQ(line.pairs, (std::vector<Text>{u"NAME", u"a b"}));
}

}  // namespace
}  // namespace zev
