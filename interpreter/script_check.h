// The check a script must pass before its first statement: blocks balanced and nested,
// jumps and loop exits in place, every variable a condition or command reads defined
// before it, and the parameters the engine cannot run without present. A script that
// fails is refused with exit code 314. The authoring tool runs the same check.
#pragma once

#include <optional>
#include <vector>

#include "script/statement_table.h"
#include "script/variable_manager.h"

namespace zev {

struct ScriptCheckFailure {
    size_t statement = 0;  // 0-based index of the offending statement
    Text rule;             // which rule it breaks, in words
    Text Describe() const;
};

// The first violation the scan meets (blocks left open and unknown jump targets are
// known only at the end of the table), or nothing for a script that passes. The
// store is emptied and then used as the table of defined variables; the caller
// empties it again before the run.
std::optional<ScriptCheckFailure> CheckScript(const StatementTable& script, TVariableManager& variables);

// Every violation, in statement order (several may name one statement). Empty for a
// script that passes. The store is used as by CheckScript.
std::vector<ScriptCheckFailure> CheckScriptAll(const StatementTable& script, TVariableManager& variables);

}  // namespace zev
