#include <gtest/gtest.h>

#include <algorithm>

#include "command_script.h"
#include "interpreter/parameter_forms.h"

namespace zev {
namespace {

using testing::CommandScript;
using testing::RuntimeErrorReport;

struct TextCase {
    const char16_t* input;
    const char16_t* expected;
};

TEST(ParameterForms, CleanPathCollapsesPairsAndKeepsANetworkPrefix) {
    const TextCase cases[] = {
        {u"C:\\\\Program Files\\\\App\\\\", u"C:\\Program Files\\App\\"},
        {u"\\\\server\\share\\dir", u"\\\\server\\share\\dir"},
        {u"\\\\server\\\\share", u"\\\\server\\share"},
        // Three backslashes: one pair and a single one, left to right.
        {u"C:\\\\\\x", u"C:\\\\x"},
        // Four at the start collapse to two, and the leading pair adds one more.
        {u"\\\\\\\\x", u"\\\\\\x"},
        {u"\\single", u"\\single"},
        {u"", u""},
        {u"no backslash", u"no backslash"},
    };
    for (const auto& c : cases) EXPECT_EQ(CleanPath(c.input), c.expected) << ToUtf8(c.input);
}

TEST(ParameterForms, CollapseAllBackslashPairsIncludesTheLeadingPair) {
    const TextCase cases[] = {
        {u"\\\\server\\\\share", u"\\server\\share"},
        {u"C:\\\\a\\b", u"C:\\a\\b"},
        {u"\\\\\\", u"\\\\"},
    };
    for (const auto& c : cases) EXPECT_EQ(CollapseAllBackslashPairs(c.input), c.expected) << ToUtf8(c.input);
}

TEST(ParameterForms, VariableNameUnwrapsTheDollarFormOnlyWhereAllowed) {
    struct Case {
        const char16_t* parameter;
        NameForm form;
        const char16_t* expected;
    };
    const Case cases[] = {
        {u"$TARGETDIR$", NameForm::DollarAllowed, u"TARGETDIR"},
        {u"$TARGETDIR$", NameForm::Plain, u"$TARGETDIR$"},
        {u"TARGETDIR", NameForm::DollarAllowed, u"TARGETDIR"},
        {u"$A$B$", NameForm::DollarAllowed, u"$A$B$"},
        {u"$A", NameForm::DollarAllowed, u"$A"},
        {u"A$", NameForm::DollarAllowed, u"A$"},
        {u"$$", NameForm::DollarAllowed, u""},
        {u"$", NameForm::DollarAllowed, u"$"},
        {u"$WITH SPACE$", NameForm::DollarAllowed, u"WITH SPACE"},
    };
    for (const auto& c : cases) EXPECT_EQ(VariableName(c.parameter, c.form), c.expected) << ToUtf8(c.parameter);
}

TEST(ParameterForms, LabelsAndIntegerMessage) {
    EXPECT_EQ(ActionLabel(u"Parse String"), u"Parse String Action");
    EXPECT_EQ(NotAnIntegerMessage(u"two"), u"'two' is not a valid integer value");
}

// Flags are read as written: a reference to a variable holding TRUE is not true.
TEST(ParameterForms, FlagsAreTestedAsWritten) {
    const struct {
        const char16_t* flag;
        const char16_t* expected;
    } cases[] = {
        {u"TRUE", u"C:\\SETUP"}, {u"true", u"C:\\SETUP"}, {u"-1", u"C:\\SETUP"},  {u"1", u"c:\\setup"},
        {u"", u"c:\\setup"},     {u"yes", u"c:\\setup"},  {u"$ON$", u"c:\\setup"}, {u" TRUE", u"c:\\setup"},
    };
    for (const auto& c : cases) {
        CommandScript script;
        script.Set(u"ON", u"TRUE");
        script.Set(u"P", u"C:\\Setup");
        script.Add(u"Convert Case", {u"P", c.flag});
        script.Run();
        EXPECT_EQ(script.Value(u"P"), c.expected) << ToUtf8(c.flag);
    }
}

TEST(ParameterForms, ResultVariableIsCreatedUnderItsUpperCasedName) {
    CommandScript script;
    script.Add(u"Does File/Folder Exist", {u"found", u"C:\\Setup", u"FALSE"});
    script.Run({});
    std::vector<Text> names;
    script.variables.GetNames(names);
    EXPECT_NE(std::find(names.begin(), names.end(), u"FOUND"), names.end());
    EXPECT_EQ(std::find(names.begin(), names.end(), u"found"), names.end());
    EXPECT_EQ(script.Value(u"found"), u"TRUE");
}

TEST(ParameterForms, SilentRunKeepsCommandLinePresets) {
    for (bool silent : {true, false}) {
        CommandScript script;
        script.Set(u"TARGETDIR", u"E:\\Script");
        script.Add(u"Get Environment", {u"SystemRoot", u"PRESET"});
        script.Add(u"Get Environment", {u"SystemRoot", u"OTHER"});
        std::vector<Text> arguments{u"TARGETDIR=D:\\App", u"PRESET=kept"};
        if (silent) arguments.push_back(u"/s");
        script.Run(arguments);
        EXPECT_EQ(script.Value(u"TARGETDIR"), silent ? u"D:\\App" : u"E:\\Script");
        EXPECT_EQ(script.Value(u"PRESET"), silent ? u"kept" : u"C:\\Windows");
        EXPECT_EQ(script.Value(u"OTHER"), u"C:\\Windows");
        EXPECT_TRUE(script.Messages().empty());
    }
}

TEST(ParameterForms, NonIntegerModeIsARuntimeError) {
    CommandScript script;
    script.Set(u"P", u"C:\\a\\b.txt");
    const size_t failing = script.Add(u"Extract Path", {u"P", u"two"});
    script.Set(u"AFTER", u"ran");
    script.Run({});
    EXPECT_EQ(script.Messages(), std::vector<Text>{RuntimeErrorReport(failing, u"'two' is not a valid integer value")});
    EXPECT_EQ(script.Value(u"P"), u"C:\\a\\b.txt");
    EXPECT_FALSE(script.Exists(u"AFTER"));
}

TEST(ParameterForms, RedirectionIsSuspendedOnlyInA64BitModeOn64BitWindows) {
    const struct {
        const char16_t* mode;
        bool windows_64;
        bool suspended;
    } cases[] = {
        {u"Win32", true, false},
        {u"x64", true, true},
        {u"ia64", true, true},
        {u"x64", false, false},
    };
    for (const auto& c : cases) {
        CommandScript script;
        script.engine.bitness_mode = c.mode;
        script.fake.system.is_64_bit = c.windows_64;
        Interpreter interpreter(script.engine);
        {
            const auto guard = RedirectionForBitnessMode(interpreter);
            EXPECT_EQ(guard != nullptr, c.suspended) << ToUtf8(c.mode);
        }
        EXPECT_EQ(script.fake.system.redirection_suspensions.load(), c.suspended ? 1 : 0) << ToUtf8(c.mode);
    }
}

}  // namespace
}  // namespace zev
