// Block and loop state of the statement cycle. The script has no nested syntax: blocks
// are found at run time by scanning the visible statements between an opener ("If",
// "While", "Repeat", "For Each", "Wizard Loop") and its closer ("End", "Wend", "Until",
// "Next", "End"). Statements flagged "C" and "Ignore" statements are passed over by
// every scan.
#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "script/statement_table.h"
#include "script/text.h"
#include "script/variable_manager.h"

namespace zev {

class Interpreter;
class UserInterface;

enum class LoopKind { While, Repeat, ForEach };

// One running For Each loop.
struct ForEachState {
    Text name;       // loop variable as the statement names it
    Text remaining;  // list text not yet delivered
    Text separator;
};

enum class SearchDirection { Forward, Backward };

class ControlFlow {
public:
    // Starts a run: block state at zero, loop lists empty, no labels.
    void Reset();

    // The label table: one (upper-cased parameter 1, index) pair per "Label" statement,
    // visible or not, in table order. The first of equal names wins a lookup.
    void BuildLabelTable(const StatementTable& script);
    // Statement index of a label (letter case ignored), or npos.
    size_t FindLabel(TextView name) const;

    // The step before each fetch: a pending skip-to-else or skip-to-end moves the
    // statement pointer. Throws ScriptError when the partner lies past the table end.
    void BeforeFetch(Interpreter& interpreter);

    // ---- Block state ----
    int if_depth = 0;
    bool skip_to_else = false;
    bool skip_to_end = false;
    bool landed_on_else_if = false;
    // Wizard navigation: the dialog engine sets wizard_ended when a Wizard Loop
    // finishes and places the pointer on the block's "End"; that End then closes the
    // Wizard Loop instead of an If block. GoTo Label clears both flags.
    bool wizard_active = false;
    bool wizard_ended = false;
    // The dialog engine's navigation step, run before each fetch while a wizard is
    // active; it may move the statement pointer. Not cleared by Reset.
    using NavigationStep = void (*)(Interpreter&);
    NavigationStep wizard_navigation = nullptr;

    // ---- Loop lists ----
    std::vector<LoopKind> loop_kinds;  // innermost last
    std::vector<ForEachState> for_each_states;  // innermost last

    // Index of the For Each state for a variable name (letter case ignored), or npos.
    size_t FindForEachState(TextView name) const;

    static constexpr size_t npos = static_cast<size_t>(-1);

private:
    std::unordered_map<Text, size_t> labels_;  // key: upper-cased name
};

// ---- Scans shared by the handlers and the dialog engine ----

// Index of the "Else", "Else If" or "End" that ends the current branch of an If block,
// scanning visible statements forward from start; with end_only, the matching "End".
// Inner "If" and "Wizard Loop" blocks are passed over. Throws ScriptError when no such
// statement exists.
size_t FindBranchEnd(const StatementTable& script, size_t start, bool end_only);

// The partner of the loop statement at from: scans the statements after it (forward)
// or before it (backward) until a visible statement whose command is wanted; inner loops met on the way
// are passed over whole. Window messages are pumped every 313 statements examined
// when ui is given. Throws ScriptError when the scan runs past either end.
size_t FindLoopPartner(const StatementTable& script, size_t from, SearchDirection direction, TextView wanted,
                       UserInterface* ui);

// The "End" that closes the Wizard Loop at index: the first visible "End" after it.
size_t FindWizardLoopEnd(const StatementTable& script, size_t wizard_loop);
// The visible statements of that block other than "Comment", in order.
std::vector<size_t> WizardLoopStatements(const StatementTable& script, size_t wizard_loop);

// ---- Conditions ----

// Operator codes "0" to "6" of "If", "Else If", "While" and "Until".
// Compares the values as 32-bit integers when both are whole numbers, else as texts.
// Operator "5" (variable exists) is decided by the caller. Throws ScriptError for a
// version text with a non-numeric part before a ".".
bool CompareValues(TextView operator_code, TextView left, TextView right);

// Reads a version text as four numbers; missing numbers are 0.
struct Version4 {
    int64_t part[4] = {0, 0, 0, 0};
};
Version4 ParseVersion(TextView text);
// True when left is a higher version than right.
bool VersionGreater(TextView left, TextView right);

// Evaluates the condition of the current statement: parameter 1 variable, 2 operator,
// 3 value, 4 negation flag.
bool EvaluateCondition(Interpreter& interpreter);

// The loop variable or condition variable named by a parameter: the inner part of a
// dollar-form text, else the text itself.
Text VariableNameOf(TextView parameter);

}  // namespace zev
