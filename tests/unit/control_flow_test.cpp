#include <gtest/gtest.h>

#include "engine_fixture.h"
#include "interpreter/control_flow.h"
#include "interpreter/expression.h"
#include "interpreter/interpreter.h"

namespace zev {
namespace {

using testing::EngineRun;

// A script run in memory whose "Mark" statements record their parameter 1, expanded
// with the variables of the moment, through a plug-in on the fake platform.
class TracedScript {
public:
    TracedScript() { script.Sections().Section(5).push_back(u"Mark"); }

    TracedScript& Add(TextView command, std::vector<Text> parameters = {}, TextView flag = u"") {
        script.Add(command, parameters, flag);
        return *this;
    }
    TracedScript& Mark(TextView text, TextView flag = u"") { return Add(u"Mark", {Text(text), u"mark.dll"}, flag); }
    TracedScript& Set(TextView name, TextView number) { return Add(u"Mathematics", {Text(number), u"0", u"0", Text(name)}); }
    TracedScript& Increment(TextView name) {
        return Add(u"Mathematics", {u"$" + Text(name) + u"$", u"1", u"0", Text(name)});
    }
    // Condition statements: variable, operator, value, negation.
    TracedScript& Condition(TextView command, TextView name, TextView code, TextView value, TextView negate = u"",
                            TextView flag = u"") {
        return Add(command, {Text(name), Text(code), Text(value), Text(negate)}, flag);
    }
    TracedScript& If(TextView name, TextView code, TextView value, TextView negate = u"") {
        return Condition(u"If", name, code, value, negate);
    }
    TracedScript& ElseIf(TextView name, TextView code, TextView value) { return Condition(u"Else If", name, code, value); }
    // While not (name > limit), so the body runs while name <= limit.
    TracedScript& WhileAtMost(TextView name, TextView limit) { return Condition(u"While", name, u"2", limit, u"TRUE"); }
    TracedScript& UntilAbove(TextView name, TextView limit) { return Condition(u"Until", name, u"2", limit); }
    TracedScript& ForEach(TextView name, TextView separator, TextView list) {
        return Add(u"For Each", {Text(name), Text(separator), Text(list)});
    }

    // Runs the script silently and returns the marks joined by spaces.
    Text Run() {
        run.fake.archives.AddArchive(u"C:\\Setup\\setup.res", {{u"mark.dll", "MZ"}});
        run.fake.libraries.Register(
            u"C:\\Temp\\zev1\\mark.dll",
            [this](TextView variables, TextView parameters, const PluginLibrary::ProgressFunction&)
                -> std::optional<Text> {
                TVariableManager values;
                values.ImportCommaText(variables);
                marks.push_back(values.Expand(parameters));
                return u"MARKED,TRUE";
            });
        run.SetScript(script);
        run.SetArguments(u"/s /l=C:\\Temp\\setup.log");
        exit_code = run.Run();
        Text joined;
        for (const Text& mark : marks) joined += (joined.empty() ? u"" : u" ") + mark;
        return joined;
    }

    // The runtime error written to the setup log, or the empty text.
    Text RuntimeError() {
        for (const Text& line : run.Log()) {
            const size_t start = line.find(u"<RuntimeError>");
            if (start != Text::npos) return line.substr(start);
        }
        return {};
    }

    StatementTableBuilder script;
    EngineRun run;
    std::vector<Text> marks;
    int exit_code = -1;
};

TEST(ConditionOperators, CompareIntegersTextsAndVersions) {
    struct Case {
        const char16_t* code;
        const char16_t* left;
        const char16_t* right;
        bool expected;
    };
    const Case cases[] = {
        {u"0", u"010", u"10", true},     // both integers
        {u"0", u"010", u"10a", false},   // texts differ
        {u"0", u"Abc", u"aBC", false},
        {u"0", u"abc", u"abc", true},
        {u"0", u"$10", u"16", true},     // the engine reads hexadecimal integers too
        {u"0", u" 7", u"7", true},
        {u"1", u"Hello World", u"World", true},
        {u"1", u"Hello World", u"world", false},
        {u"1", u"5", u"05", true},       // integers: equality, not containment
        {u"1", u"15", u"5", false},
        {u"2", u"9", u"10", false},      // integers
        {u"2", u"b", u"a", true},        // texts
        {u"2", u"a", u"B", true},        // code units: lower case sorts after upper case
        {u"2", u"abc", u"abd", false},
        {u"2", u"-1", u"-2", true},
        {u"3", u"Hello World", u"WORLD", true},
        {u"3", u"Hello", u"xyz", false},
        {u"3", u"15", u"5", false},
        {u"4", u"Abc", u"aBC", true},
        {u"4", u"\u00C9t\u00E9", u"\u00E9t\u00E9", false},  // only ASCII letters fold
        {u"4", u"Abc", u"Abcd", false},
        {u"6", u"1.2.0.0", u"1.10", false},
        {u"6", u"2", u"1.99.99.99", true},
        {u"6", u"1.2", u"1.2.0.0", false},  // equal versions
        {u"6", u"1.10", u"1.9", true},
        {u"6", u"1.0.0.1", u"1", true},
        {u"6", u"1.2.3.4.9", u"1.2.3.4", false},  // a fifth number is never read
        {u"6", u"1.x", u"1.0", false},            // a non-numeric last part reads as 0
        {u"7", u"1", u"1", false},
        {u"", u"1", u"1", false},
        {u"00", u"1", u"1", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CompareValues(c.code, c.left, c.right), c.expected)
            << ToUtf8(c.code) << " " << ToUtf8(c.left) << " " << ToUtf8(c.right);
}

TEST(ConditionOperators, NonNumericVersionPartBeforeADotIsAConversionError) {
    for (const char16_t* version : {u"a.1", u"1..2", u"1.2b.3"})
        EXPECT_THROW(VersionGreater(version, u"1.0"), ConversionError) << ToUtf8(version);
}

TEST(Conditions, NegationOperatorFiveAndDollarForms) {
    struct Case {
        const char16_t* name;
        const char16_t* code;
        const char16_t* value;
        const char16_t* negate;
        bool expected;
    };
    const Case cases[] = {
        {u"X", u"0", u"5", u"", true},
        {u"X", u"0", u"5", u"-1", false},
        {u"X", u"0", u"5", u"TRUE", false},
        {u"X", u"0", u"5", u"true", false},
        {u"X", u"0", u"5", u"1", true},
        {u"X", u"0", u"6", u"-1", true},
        {u"$X$", u"0", u"5", u"", true},   // dollar form names X
        {u"x", u"0", u"$X$", u"", true},   // the value is expanded
        {u"X", u"5", u"", u"", true},
        {u"$X$", u"5", u"", u"", false},  // taken literally: "$X$" never exists
        {u"Y", u"5", u"", u"", false},
        {u"Y", u"5", u"", u"TRUE", true},
        {u"X", u"9", u"5", u"", false},
    };
    for (const auto& c : cases) {
        TracedScript traced;
        traced.Set(u"X", u"5").If(c.name, c.code, c.value, c.negate).Mark(u"yes").Add(u"Else").Mark(u"no").Add(u"End");
        EXPECT_EQ(traced.Run(), c.expected ? u"yes" : u"no") << ToUtf8(c.name) << " " << ToUtf8(c.code);
        EXPECT_EQ(traced.exit_code, 0);
    }
}

TEST(Conditions, ElseIfChainRunsExactlyOneBranch) {
    struct Case {
        const char16_t* x;
        const char16_t* expected;
    };
    const Case cases[] = {{u"1", u"a z"}, {u"2", u"b z"}, {u"3", u"c z"}, {u"4", u"d z"}};
    for (const auto& c : cases) {
        TracedScript traced;
        traced.Set(u"X", c.x)
            .If(u"X", u"0", u"1").Mark(u"a")
            .ElseIf(u"X", u"0", u"2").Mark(u"b")
            .ElseIf(u"X", u"0", u"3").Mark(u"c")
            .Add(u"Else").Mark(u"d")
            .Add(u"End")
            .Mark(u"z");
        EXPECT_EQ(traced.Run(), c.expected) << ToUtf8(c.x);
    }
}

TEST(Conditions, FinishedBranchSkipsLaterTrueElseIfEvenAfterAFalseInnerIf) {
    TracedScript traced;
    traced.Set(u"X", u"1")
        .If(u"X", u"0", u"1")
            .Mark(u"a")
            .If(u"X", u"0", u"2").Mark(u"inner").Add(u"End")
            .Mark(u"b")
        .ElseIf(u"X", u"0", u"1").Mark(u"c")
        .Add(u"End")
        .Mark(u"z");
    EXPECT_EQ(traced.Run(), u"a b z");
}

TEST(Conditions, SkipPassesOverInnerBlocksAndTheirElse) {
    TracedScript traced;
    traced.Set(u"X", u"1")
        .If(u"X", u"0", u"2")
            .If(u"X", u"0", u"1").Mark(u"n1").Add(u"Else").Mark(u"n2").Add(u"End")
            .Add(u"Wizard Loop").Add(u"End")
        .ElseIf(u"X", u"0", u"3").Mark(u"c")
        .Add(u"Else")
            .If(u"X", u"0", u"1").Mark(u"e1").Add(u"Else").Mark(u"e2").Add(u"End")
        .Add(u"End")
        .Mark(u"z");
    EXPECT_EQ(traced.Run(), u"e1 z");
}

TEST(Conditions, DisabledStatementsNeitherOpenNorCloseBlocks) {
    struct Case {
        const char16_t* x;
        const char16_t* expected;
    };
    const Case cases[] = {{u"1", u"a b c z"}, {u"2", u"z"}};
    for (const auto& c : cases) {
        TracedScript traced;
        traced.Set(u"X", c.x)
            .If(u"X", u"0", u"1")
                .Mark(u"a")
                .Add(u"End", {}, u"C")
                .Condition(u"If", u"X", u"0", u"7", u"", u"C")
                .Add(u"Ignore")
                .Mark(u"b")
                .Add(u"Else", {}, u"C")
                .Condition(u"Else If", u"X", u"0", u"2", u"", u"C")
                .Mark(u"c")
            .Add(u"End")
            .Mark(u"z")
            .Mark(u"hidden", u"C");
        EXPECT_EQ(traced.Run(), c.expected) << ToUtf8(c.x);
    }
}

TEST(Loops, WhileRunsWhileTrueAndSkipsAFalseBody) {
    TracedScript traced;
    traced.Set(u"I", u"0")
        .WhileAtMost(u"I", u"2").Mark(u"$I$").Increment(u"I").Add(u"Wend")
        .WhileAtMost(u"I", u"0").Mark(u"never").WhileAtMost(u"I", u"0").Add(u"Wend").Add(u"Wend")
        .Mark(u"end");
    EXPECT_EQ(traced.Run(), u"0 1 2 end");
}

TEST(Loops, RepeatRunsItsBodyAtLeastOnce) {
    TracedScript traced;
    traced.Set(u"I", u"7")
        .Add(u"Repeat").Mark(u"$I$").Increment(u"I").UntilAbove(u"I", u"0")
        .Set(u"I", u"0")
        .Add(u"Repeat").Mark(u"$I$").Increment(u"I").UntilAbove(u"I", u"2")
        .Mark(u"end");
    EXPECT_EQ(traced.Run(), u"7 0 1 2 end");
}

TEST(Loops, NestedLoopsOfEveryKind) {
    TracedScript traced;
    traced.Set(u"I", u"0")
        .WhileAtMost(u"I", u"1")
            .ForEach(u"ITEM", u",", u"a,b")
                .Set(u"J", u"0")
                .Add(u"Repeat")
                    .Mark(u"$I$$ITEM$$J$")
                    .Increment(u"J")
                .UntilAbove(u"J", u"1")
            .Add(u"Next")
            .Increment(u"I")
        .Add(u"Wend")
        .Mark(u"end");
    EXPECT_EQ(traced.Run(), u"0a0 0a1 0b0 0b1 1a0 1a1 1b0 1b1 end");
    EXPECT_FALSE(traced.run.variables.Exists(u"ITEM"));
}

TEST(Loops, ForEachDeliversNonEmptyItems) {
    struct Case {
        const char16_t* list;
        const char16_t* separator;
        const char16_t* expected;
    };
    const Case cases[] = {
        {u"a;;b", u";", u"[a] [b] end"},
        {u";;a;", u";", u"[a] end"},
        {u"a,b", u"", u"[a,b] end"},
        {u"a::b:c", u"::", u"[a] [b:c] end"},
        {u"", u",", u"end"},
        {u",,,", u",", u"end"},
        {u"one", u",", u"[one] end"},
    };
    for (const auto& c : cases) {
        TracedScript traced;
        traced.ForEach(u"$ITEM$", c.separator, c.list).Mark(u"[$ITEM$]").Add(u"Next").Mark(u"end");
        EXPECT_EQ(traced.Run(), c.expected) << ToUtf8(c.list);
        EXPECT_FALSE(traced.run.variables.Exists(u"ITEM"));
    }
}

TEST(Loops, ForEachExpandsItsListAndSeparator) {
    TracedScript traced;
    traced.Add(u"Mathematics", {u"124", u"", u"12", u"SEP"})  // "|"
        .Add(u"Mathematics", {u"120", u"", u"12", u"X"})    // "x"
        .ForEach(u"ITEM", u"$SEP$", u"$X$|b")
        .Mark(u"$ITEM$")
        .Add(u"Next");
    EXPECT_EQ(traced.Run(), u"x b");
}

TEST(Loops, BreakLeavesTheInnermostLoopOfEachKind) {
    TracedScript while_loop;
    while_loop.Set(u"I", u"0")
        .WhileAtMost(u"I", u"9")
            .Increment(u"I")
            .If(u"I", u"0", u"3").Add(u"Break").Add(u"End")
            .Mark(u"$I$")
        .Add(u"Wend")
        .Mark(u"end");
    EXPECT_EQ(while_loop.Run(), u"1 2 end");

    TracedScript repeat_loop;
    repeat_loop.Set(u"I", u"0")
        .Add(u"Repeat")
            .Increment(u"I")
            .If(u"I", u"0", u"3").Add(u"Break").Add(u"End")
            .Mark(u"$I$")
        .UntilAbove(u"I", u"9")
        .Mark(u"end");
    EXPECT_EQ(repeat_loop.Run(), u"1 2 end");

    TracedScript for_each_loop;
    for_each_loop.ForEach(u"ITEM", u",", u"a,b,c,d")
            .If(u"ITEM", u"0", u"c").Add(u"Break").Add(u"End")
            .Mark(u"$ITEM$")
        .Add(u"Next")
        .Mark(u"between")
        .ForEach(u"ITEM", u",", u"x,y").Mark(u"$ITEM$").Add(u"Next")
        .Mark(u"end");
    EXPECT_EQ(for_each_loop.Run(), u"a b between x y end");
    EXPECT_FALSE(for_each_loop.run.variables.Exists(u"ITEM"));
}

TEST(Loops, ContinueReturnsToTheHeadOfEachKind) {
    TracedScript while_loop;
    while_loop.Set(u"I", u"0")
        .WhileAtMost(u"I", u"3")
            .Increment(u"I")
            .If(u"I", u"0", u"2").Add(u"Continue").Add(u"End")
            .Mark(u"$I$")
        .Add(u"Wend")
        .Mark(u"end");
    EXPECT_EQ(while_loop.Run(), u"1 3 4 end");

    // Continue goes back to Repeat itself; the Until is not evaluated on that pass.
    TracedScript repeat_loop;
    repeat_loop.Set(u"I", u"0")
        .Add(u"Repeat")
            .Increment(u"I")
            .If(u"I", u"0", u"2").Add(u"Continue").Add(u"End")
            .Mark(u"$I$")
        .UntilAbove(u"I", u"1")
        .Mark(u"end");
    EXPECT_EQ(repeat_loop.Run(), u"1 3 end");

    TracedScript for_each_loop;
    for_each_loop.ForEach(u"ITEM", u",", u"a,b,c")
            .If(u"ITEM", u"0", u"b").Add(u"Continue").Add(u"End")
            .Mark(u"$ITEM$")
        .Add(u"Next")
        .Mark(u"end");
    EXPECT_EQ(for_each_loop.Run(), u"a c end");
}

// The loop-kind stack stays balanced through Until, Continue and For Each, so a Break
// afterwards leaves the right loop.
TEST(Loops, BreakAfterInnerLoopsLeavesTheEnclosingLoop) {
    TracedScript after_repeat;
    after_repeat.Set(u"I", u"0")
        .WhileAtMost(u"I", u"100")
            .Set(u"J", u"0")
            .Add(u"Repeat").Increment(u"J").UntilAbove(u"J", u"4")
            .Mark(u"$J$")
            .Add(u"Break")
        .Add(u"Wend")
        .Mark(u"end");
    EXPECT_EQ(after_repeat.Run(), u"5 end");
    EXPECT_EQ(after_repeat.RuntimeError(), u"");

    TracedScript after_continue;
    after_continue.Set(u"I", u"0")
        .Add(u"Repeat")
            .Increment(u"I")
            .Set(u"J", u"0")
            .WhileAtMost(u"J", u"2")
                .Increment(u"J")
                .If(u"J", u"0", u"2").Add(u"Continue").Add(u"End")
            .Add(u"Wend")
            .ForEach(u"ITEM", u",", u"p,q").If(u"ITEM", u"0", u"p").Add(u"Continue").Add(u"End").Add(u"Next")
            .Mark(u"$I$$J$")
            .If(u"I", u"0", u"2").Add(u"Break").Add(u"End")
        .UntilAbove(u"I", u"9")
        .Mark(u"end");
    EXPECT_EQ(after_continue.Run(), u"13 23 end");
    EXPECT_EQ(after_continue.RuntimeError(), u"");
}

TEST(Jumps, GoToLabelIgnoresLetterCase) {
    TracedScript traced;
    traced.Set(u"I", u"0")
        .Add(u"Label", {u"Again"})
        .Increment(u"I")
        .If(u"I", u"0", u"3").Add(u"GoTo Label", {u"done"}).Add(u"End")
        .Add(u"GoTo Label", {u"AGAIN"})
        .Mark(u"never")
        .Add(u"Label", {u"Done"})
        .Mark(u"$I$");
    EXPECT_EQ(traced.Run(), u"3");
}

TEST(Jumps, DisabledLabelOfTheSameNameDoesNotCaptureTheJump) {
    TracedScript traced;
    traced.Add(u"GoTo Label", {u"target"})
        .Add(u"Label", {u"target"}, u"C")
        .Mark(u"skipped")
        .Add(u"Label", {u"Target"})
        .Mark(u"landed");
    EXPECT_EQ(traced.Run(), u"landed");
}

TEST(Jumps, ForEachEnteredAgainAfterAJumpOutStartsAfresh) {
    TracedScript traced;
    traced.Set(u"I", u"0")
        .Add(u"Label", {u"Top"})
        .Increment(u"I")
        .ForEach(u"ITEM", u",", u"a,b,c")
            .Mark(u"$I$$ITEM$")
            .If(u"I", u"0", u"1").Add(u"GoTo Label", {u"Top"}).Add(u"End")
        .Add(u"Next")
        .Mark(u"end");
    EXPECT_EQ(traced.Run(), u"1a 2a 2b 2c end");
}

TEST(Jumps, JumpOutOfAnIfClearsPendingSkips) {
    TracedScript traced;
    traced.Set(u"X", u"1")
        .If(u"X", u"0", u"1")
            .Add(u"GoTo Label", {u"out"})
        .Add(u"Else")
            .Mark(u"never")
        .Add(u"End")
        .Add(u"Label", {u"out"})
        .If(u"X", u"0", u"2").Mark(u"no").Add(u"Else").Mark(u"else").Add(u"End")
        .Mark(u"end");
    EXPECT_EQ(traced.Run(), u"else end");
}

TEST(ControlFlowErrors, ElseWithoutIfEndsTheRunWithARuntimeError) {
    TracedScript traced;
    traced.Mark(u"a").Add(u"Else").Mark(u"b").Add(u"Comment");
    EXPECT_EQ(traced.Run(), u"a");
    EXPECT_EQ(traced.exit_code, 0);
    EXPECT_EQ(traced.RuntimeError(),
              u"<RuntimeError>test(2): No matching \"End\" found for the If block</RuntimeError>");
}

// The cycle re-derives ABORT, DATE and TIME before each statement; a statement that
// changes their sources (or them) is seen by the next one.
TEST(StatementCycle, RefreshesDerivedVariablesAfterAStatementChangesThem) {
    // Operation 11 keeps the code of the first character: T 84, F 70, 1 49.
    TracedScript traced;
    traced.Add(u"Mathematics", {u"$ABORT$", u"", u"11", u"A1"})
        .Add(u"Mathematics", {u"-1", u"0", u"0", u"QUIB_IsCancelled"})
        .Add(u"Mathematics", {u"$ABORT$", u"", u"11", u"A2"})
        .Add(u"Mathematics", {u"5", u"0", u"0", u"DATE"})
        .Add(u"Mathematics", {u"$DATE$", u"", u"11", u"D"})
        .Add(u"Mathematics", {u"0", u"0", u"0", u"QUIB_IsCancelled"})
        .Add(u"Mathematics", {u"$ABORT$", u"", u"11", u"A3"});
    traced.Run();
    struct Case {
        const char16_t* name;
        const char16_t* value;
    };
    const Case cases[] = {{u"A1", u"70"}, {u"A2", u"84"}, {u"D", u"49"}, {u"A3", u"70"}};
    for (const auto& c : cases) EXPECT_EQ(traced.run.variables.ValueOf(c.name), c.value) << ToUtf8(c.name);
}

// Partner searches over a table built in memory.
TEST(PartnerSearch, PassesOverInnerLoopsAndInvisibleStatements) {
    StatementTableBuilder builder;
    builder.Add(u"While");            // 0
    builder.Add(u"Wend", {}, u"C");   // 1
    builder.Add(u"Repeat");           // 2
    builder.Add(u"While");            // 3
    builder.Add(u"Wend");             // 4
    builder.Add(u"Until");            // 5
    builder.Add(u"For Each");         // 6
    builder.Add(u"Ignore");           // 7
    builder.Add(u"Next");             // 8
    builder.Add(u"Wend");             // 9
    builder.Add(u"Next");             // 10: no head
    const StatementTable table = builder.Build();
    struct Case {
        size_t from;
        SearchDirection direction;
        const char16_t* wanted;
        size_t expected;
    };
    const Case cases[] = {
        {0, SearchDirection::Forward, u"Wend", 9},
        {9, SearchDirection::Backward, u"While", 0},
        {2, SearchDirection::Forward, u"Until", 5},
        {5, SearchDirection::Backward, u"Repeat", 2},
        {4, SearchDirection::Backward, u"While", 3},
        {8, SearchDirection::Backward, u"For Each", 6},
        {3, SearchDirection::Forward, u"Until", 5},  // a Break in the While inside the Repeat
    };
    for (const auto& c : cases)
        EXPECT_EQ(FindLoopPartner(table, c.from, c.direction, c.wanted, nullptr), c.expected) << c.from;
    EXPECT_THROW(FindLoopPartner(table, 10, SearchDirection::Backward, u"For Each", nullptr), ScriptError);
    EXPECT_THROW(FindLoopPartner(table, 9, SearchDirection::Forward, u"Wend", nullptr), ScriptError);
    EXPECT_THROW(FindLoopPartner(table, 0, SearchDirection::Backward, u"While", nullptr), ScriptError);
}

TEST(PartnerSearch, PumpsMessagesEvery313StatementsExamined) {
    StatementTableBuilder builder;
    builder.Add(u"While");
    for (int i = 0; i < 700; ++i) builder.Add(u"Comment");
    builder.Add(u"Wend");
    const StatementTable table = builder.Build();
    fake::FakeUserInterface ui;
    EXPECT_EQ(FindLoopPartner(table, 0, SearchDirection::Forward, u"Wend", &ui), 701u);
    EXPECT_EQ(ui.pumps, 2);  // 701 statements examined
}

TEST(BranchSearch, StopsAtTheBranchEndOfTheRightBlock) {
    StatementTableBuilder builder;
    builder.Add(u"If");               // 0
    builder.Add(u"Else", {}, u"C");   // 1
    builder.Add(u"If");               // 2
    builder.Add(u"Else");             // 3
    builder.Add(u"End");              // 4
    builder.Add(u"Wizard Loop");      // 5
    builder.Add(u"End");              // 6
    builder.Add(u"Else If");          // 7
    builder.Add(u"Else");             // 8
    builder.Add(u"End");              // 9
    const StatementTable table = builder.Build();
    EXPECT_EQ(FindBranchEnd(table, 1, false), 7u);
    EXPECT_EQ(FindBranchEnd(table, 1, true), 9u);
    EXPECT_EQ(FindBranchEnd(table, 3, false), 3u);
    EXPECT_EQ(FindBranchEnd(table, 8, false), 8u);
    EXPECT_THROW(FindBranchEnd(table, 0, true), ScriptError);
}

TEST(WizardLoopBlock, RecordsItsVisibleStatementsUpToTheFirstVisibleEnd) {
    StatementTableBuilder builder;
    builder.Add(u"Wizard Loop");                     // 0
    builder.Add(u"Display Dialog", {u"Welcome"});    // 1
    builder.Add(u"Comment");                         // 2
    builder.Add(u"Display Dialog", {u"Old"}, u"C");  // 3
    builder.Add(u"Ignore");                          // 4
    builder.Add(u"End", {}, u"C");                   // 5
    builder.Add(u"Display Dialog", {u"Finish"});     // 6
    builder.Add(u"End");                             // 7
    const StatementTable table = builder.Build();
    EXPECT_EQ(FindWizardLoopEnd(table, 0), 7u);
    EXPECT_EQ(WizardLoopStatements(table, 0), (std::vector<size_t>{1, 6}));
}

}  // namespace
}  // namespace zev
