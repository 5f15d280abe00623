#include <gtest/gtest.h>

#include "engine_fixture.h"
#include "interpreter/script_check.h"

namespace zev {
namespace {

using testing::EngineRun;

struct Statement {
    const char16_t* command;
    std::vector<Text> parameters;
    const char16_t* flag = u"";
};

StatementTable Build(const std::vector<Statement>& statements) {
    StatementTableBuilder builder;
    for (const Statement& statement : statements) builder.Add(statement.command, statement.parameters, statement.flag);
    return builder.Build();
}

// The first finding as the log shows it, or the empty text for a script that passes.
Text FirstFinding(const std::vector<Statement>& statements) {
    TVariableManager variables;
    const auto failure = CheckScript(Build(statements), variables);
    return failure ? failure->Describe() : Text();
}

// Condition statements: variable, operator, value.
Statement Cond(const char16_t* command, const char16_t* name, const char16_t* code = u"0",
               const char16_t* value = u"1") {
    return {command, {name, code, value, u""}};
}

TEST(ScriptCheck, AcceptsWellFormedScripts) {
    struct Case {
        const char* name;
        std::vector<Statement> statements;
    };
    const std::vector<Case> cases = {
        {"every block kind nested",
         {Cond(u"If", u"SILENT"), Cond(u"While", u"$TITLE$"), {u"Repeat", {}}, {u"For Each", {u"ITEM", u",", u"a"}},
          {u"Next", {}}, Cond(u"Until", u"VERSION"), {u"Wend", {}}, Cond(u"Else If", u"SILENT"), {u"Else", {}},
          {u"Wizard Loop", {}}, {u"Display Dialog", {u"Welcome", u"", u"TRUE", u""}}, {u"Comment", {}},
          {u"Ignore", {}}, {u"Set Variable", {u"X", u"1"}, u"C"}, {u"End", {}}, {u"End", {}}}},
        {"loop exits inside an If inside a loop",
         {Cond(u"While", u"SILENT"), Cond(u"If", u"SILENT"), {u"Break", {}}, {u"Else", {}}, {u"Continue", {}},
          {u"End", {}}, {u"Wend", {}}}},
        {"labels outside blocks, jumps both ways in any letter case",
         {{u"GoTo Label", {u"later"}}, {u"Label", {u"Start"}}, Cond(u"If", u"SILENT"),
          {u"GoTo Label", {u"START"}}, {u"End", {}}, {u"Label", {u"Later"}}}},
        {"persistent variables are defined from the start",
         {Cond(u"If", u"KEPT"), {u"End", {}}, {u"Set Variable", {u"KEPT$QUIB$QUIB$TRUE", u"1"}}}},
        {"operator 5 reads no variable",
         {Cond(u"If", u"UNKNOWN", u"5", u""), {u"End", {}}}},
        {"loop variable reused after its Next",
         {{u"For Each", {u"$ITEM$", u",", u"a"}}, {u"Next", {}}, {u"For Each", {u"item", u";", u"b"}}, {u"Next", {}}}},
        {"results define variables from their statement on",
         {{u"Set Variable", {u"$MINE$", u"1"}}, Cond(u"If", u"MINE"), {u"End", {}},
          {u"Read Registry", {u"VALUE|KEY", u"x"}}, Cond(u"If", u"VALUE"), {u"End", {}},
          {u"Parse String", {u"$MINE$", u"x", u"", u"RIGHT"}}, Cond(u"If", u"RIGHT"), {u"End", {}},
          {u"Mathematics", {u"1", u"2", u"13", u""}}, {u"Mathematics", {u"1", u"", u"14", u""}},
          {u"Evaluate Expression", {uR"($MINE$ = "1" and ($RIGHT$ <> "x"))", u"R"}}, Cond(u"If", u"R", u"0", u"$MINE$"),
          {u"End", {}}, {u"Convert Path", {u"$MINE$"}}, {u"Display Dialog", {u"Ask", u"ANSWER", u"TRUE", u"MINE"}},
          Cond(u"If", u"ANSWER"), {u"End", {}}}},
        {"disabled statements do not count",
         {{u"While", {u""}, u"C"}, {u"Break", {}, u"C"}, {u"GoTo Label", {u"nowhere"}, u"C"}, {u"Wend", {}, u"C"},
          {u"If", {u"NOPE", u"0", u"1", u""}, u"C"}}},
        {"parameter rules met",
         {{u"Web Media Block", {u"", u""}}, {u"Web Media Block", {u"disk1", u"http://example.org/disk1"}},
          {u"Delete Files", {u"a", u"b", u"FALSE", u"-1"}}, {u"Install Files", {u"a", u"b", u"$TARGETDIR$"}},
          {u"System Restore", {u"FALSE", u"x", u""}}, {u"Display Dialog", {u"Done", u"", u"TRUE", u""}}}},
        {"predefined and check-only names are known",
         {Cond(u"If", u"QUIB_IsCancelled"), {u"End", {}}, Cond(u"If", u"MAINTENANCE"), {u"End", {}},
          Cond(u"If", u"LANGUAGE"), {u"End", {}}, Cond(u"If", u"NATIVE_OLDLOG"), {u"End", {}}}},
    };
    for (const auto& c : cases) EXPECT_EQ(FirstFinding(c.statements), u"") << c.name;
}

TEST(ScriptCheck, RefusesEachBrokenRule) {
    struct Case {
        std::vector<Statement> statements;
        const char16_t* finding;
    };
    const std::vector<Case> cases = {
        // Block structure.
        {{Cond(u"While", u"SILENT")}, uR"(statement 1: "While" is not closed by "Wend")"},
        {{{u"Wend", {}}}, uR"(statement 1: "Wend" closes no open block)"},
        {{Cond(u"If", u"SILENT"), Cond(u"While", u"SILENT"), {u"End", {}}, {u"Wend", {}}},
         uR"(statement 3: "End" does not close the innermost open block, "While" at statement 2)"},
        {{{u"Repeat", {}}, {u"Next", {}}},
         uR"(statement 2: "Next" does not close the innermost open block, "Repeat" at statement 1)"},
        {{Cond(u"If", u"SILENT"), {u"End", {}, u"C"}}, uR"(statement 1: "If" is not closed by "End")"},
        {{{u"Wizard Loop", {}}, {u"Ignore", {}}}, uR"(statement 1: "Wizard Loop" is not closed by "End")"},
        // Loop exits and labels.
        {{{u"Break", {}}}, uR"(statement 1: "Break" must stand inside a While, Repeat or For Each loop)"},
        {{Cond(u"If", u"SILENT"), {u"Continue", {}}, {u"End", {}}},
         uR"(statement 2: "Continue" must stand inside a While, Repeat or For Each loop)"},
        {{Cond(u"If", u"SILENT"), {u"Label", {u"a"}}, {u"End", {}}},
         uR"(statement 2: "Label" "A" may not stand inside a block)"},
        {{{u"Label", {u"a"}}, {u"Label", {u"A"}}}, uR"(statement 2: "Label" "A" is defined twice)"},
        {{{u"GoTo Label", {u"nowhere"}}}, uR"(statement 1: "GoTo Label" target "NOWHERE" is not a defined label)"},
        {{{u"GoTo Label", {u"off"}}, {u"Label", {u"off"}, u"C"}},
         uR"(statement 1: "GoTo Label" target "OFF" is not a defined label)"},
        // Wizard Loop content.
        {{{u"Wizard Loop", {}}, {u"Display Dialog", {u"One", u"", u"TRUE", u""}}, {u"Set Variable", {u"X", u"1"}}, {u"End", {}}},
         uR"(statement 3: "Set Variable" may not stand inside a Wizard Loop; only "Display Dialog" and "Comment" may)"},
        // For Each variables.
        {{{u"For Each", {u"", u",", u"a"}}, {u"Next", {}}}, uR"(statement 1: "For Each" needs a loop variable)"},
        {{{u"For Each", {u"$TITLE$", u",", u"a"}}, {u"Next", {}}},
         uR"(statement 1: "For Each" variable "TITLE" is already defined before the loop)"},
        {{{u"For Each", {u"ITEM", u",", u"a"}}, {u"For Each", {u"item", u",", u"b"}}, {u"Next", {}}, {u"Next", {}}},
         uR"(statement 2: "For Each" variable "item" is the variable of an enclosing "For Each")"},
        {{{u"For Each", {u"ITEM", u",", u"a"}}, {u"Next", {}}, Cond(u"If", u"ITEM"), {u"End", {}}},
         uR"(statement 3: "If" reads variable "ITEM", which is not defined)"},
        // Conditions.
        {{Cond(u"If", u""), {u"End", {}}}, uR"(statement 1: "If" needs a variable in parameter 1)"},
        {{Cond(u"If", u"", u"5"), {u"End", {}}}, uR"(statement 1: "If" needs a variable in parameter 1)"},
        {{Cond(u"If", u"$LATER$"), {u"End", {}}, {u"Set Variable", {u"LATER", u"1"}}},
         uR"(statement 1: "If" reads variable "LATER", which is not defined)"},
        {{{u"Repeat", {}}, Cond(u"Until", u"SILENT", u"0", u"$NOPE$")},
         uR"(statement 2: "Until" compares with variable "NOPE", which is not defined)"},
        {{Cond(u"If", u"SILENT"), Cond(u"Else If", u"NOPE"), {u"End", {}}},
         uR"(statement 2: "Else If" reads variable "NOPE", which is not defined)"},
        {{Cond(u"If", u"LOWER"), {u"End", {}}, {u"Set Variable", {u"LOWER$QUIB$QUIB$true", u"1"}}},
         uR"(statement 1: "If" reads variable "LOWER", which is not defined)"},
        // Result parameters.
        {{{u"Evaluate Expression", {uR"("1" = "1")", u""}}},
         uR"(statement 1: "Evaluate Expression" needs a result variable in parameter 2)"},
        {{{u"Mathematics", {u"1", u"2", u"0", u""}}},
         uR"(statement 1: "Mathematics" needs a result variable in parameter 4)"},
        {{{u"Read Registry", {u"|KEY", u"x"}}}, uR"(statement 1: "Read Registry" needs a result variable in parameter 1)"},
        {{{u"Set Variable", {u"$QUIB$QUIB$TRUE", u"x"}}},
         uR"(statement 1: "Set Variable" needs a result variable in parameter 1)"},
        {{{u"Parse String", {u"$TITLE$", u"x", u"", u""}}},
         uR"(statement 1: "Parse String" needs a result variable in parameter 3 or 4)"},
        {{{u"System Restore", {u"TRUE", u"x", u""}}},
         uR"(statement 1: "System Restore" needs a result variable in parameter 3)"},
        {{{u"Check Service", {u"a", u"b", u""}}}, uR"(statement 1: "Check Service" needs a result variable in parameter 3)"},
        // Variables that commands read.
        {{{u"Convert Path", {u"NOPE"}}}, uR"(statement 1: "Convert Path" reads variable "NOPE" in parameter 1, which is not defined)"},
        {{{u"Replace String", {u""}}}, uR"(statement 1: "Replace String" reads variable "" in parameter 1, which is not defined)"},
        {{{u"Display Dialog", {u"Ask", u"", u"TRUE", u"$NOPE$"}}},
         uR"(statement 1: "Display Dialog" reads variable "NOPE" in parameter 4, which is not defined)"},
        // Other parameter rules.
        {{{u"Display Dialog", {u"", u"", u"TRUE", u""}}}, uR"(statement 1: "Display Dialog" needs a dialog name)"},
        {{{u"Web Media Block", {u"disk:1", u"http://example.org"}}},
         u"statement 1: Web Media Block name must be a legal file name"},
        {{{u"Web Media Block", {u"disk1", u""}}}, u"statement 1: Web Media Block must have at least one download URL"},
        {{{u"Delete Files", {u"a", u"b", u"FALSE", u"1"}}},
         uR"(statement 1: "Delete Files" must delete files or folders: parameter 3 or 4 must be TRUE)"},
        {{{u"Install Files", {u"a", u"b", u""}}}, uR"(statement 1: "Install Files" needs a target folder)"},
        {{{u"Evaluate Expression", {uR"("1" != "1")", u"R"}}},
         uR"(statement 1: "Evaluate Expression" expression is not valid: "1" != "1")"},
        {{{u"Evaluate Expression", {uR"($NOPE$ = "1")", u"R"}}},
         uR"(statement 1: "Evaluate Expression" expression is not valid: $NOPE$ = "1")"},
    };
    for (const auto& c : cases) EXPECT_EQ(FirstFinding(c.statements), c.finding) << ToUtf8(c.finding);
}

TEST(ScriptCheck, StartsFromAnEmptyStore) {
    TVariableManager variables;
    variables.SetItem(u"STALE", u"1");
    const auto failure = CheckScript(Build({Cond(u"If", u"STALE"), {u"End", {}}}), variables);
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->statement, 0u);
}

TEST(ScriptCheck, ListsEveryFindingInStatementOrder) {
    TVariableManager variables;
    const auto failures = CheckScriptAll(Build({
                                             {u"GoTo Label", {u"missing"}},
                                             Cond(u"While", u"NOPE"),
                                             {u"Mathematics", {u"1", u"1", u"0", u""}},
                                             {u"Wend", {}},
                                             {u"Next", {}},
                                         }),
                                         variables);
    std::vector<Text> described;
    for (const auto& failure : failures) described.push_back(failure.Describe());
    const std::vector<Text> expected = {
        uR"(statement 1: "GoTo Label" target "MISSING" is not a defined label)",
        uR"(statement 2: "While" reads variable "NOPE", which is not defined)",
        uR"(statement 3: "Mathematics" needs a result variable in parameter 4)",
        uR"(statement 5: "Next" closes no open block)",
    };
    EXPECT_EQ(described, expected);
}

TEST(ScriptCheck, RefusedScriptEndsTheProcessWith314BeforeAnyStatement) {
    EngineRun run;
    StatementTableBuilder script;
    script.Add(u"Probe", {u"", u"probe.dll"});
    script.Sections().Section(5).push_back(u"Probe");
    script.Add(u"Repeat");
    run.SetScript(script);
    run.SetArguments(u"/l=C:\\Temp\\setup.log");
    bool called = false;
    run.fake.archives.AddArchive(u"C:\\Setup\\setup.res", {{u"probe.dll", "MZ"}});
    run.fake.libraries.Register(u"C:\\Temp\\zev1\\probe.dll",
                                [&](TextView, TextView, const PluginLibrary::ProgressFunction&) -> std::optional<Text> {
                                    called = true;
                                    return u"X,1";
                                });
    EXPECT_EQ(run.Run(), 314);
    EXPECT_FALSE(called);
    EXPECT_TRUE(run.fake.ui.messages.empty());
    const auto log = run.Log();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2], u"    <CompileScript>");
    EXPECT_EQ(log.back(), uR"(      statement 2: "Repeat" is not closed by "Until")");
}

TEST(ScriptCheck, CheckDefinitionsDoNotLeakIntoTheRun) {
    EngineRun run;
    StatementTableBuilder script;
    script.Add(u"If", {u"NATIVE_OLDLOG", u"0", u"", u""});
    script.Add(u"End");
    run.SetScript(script);
    run.SetArguments(u"/s");
    EXPECT_EQ(run.Run(), 0);
    // Names the check knows but the run never assigned are gone again.
    EXPECT_FALSE(run.variables.Exists(u"NATIVE_OLDLOG"));
    EXPECT_FALSE(run.variables.Exists(u"RECOMMENDEDUPGRADE"));
    EXPECT_TRUE(run.variables.Exists(u"TITLE"));
}

}  // namespace
}  // namespace zev
