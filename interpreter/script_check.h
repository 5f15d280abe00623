// The check a script must pass before its first statement: blocks balanced and every
// jump target present. A script that fails is refused with exit code 314.
#pragma once

#include <optional>

#include "script/statement_table.h"
#include "script/variable_manager.h"

namespace zev {

struct ScriptCheckFailure {
    size_t statement = 0;  // 0-based index of the offending statement
    Text rule;             // which rule it breaks
    Text Describe() const;
};

std::optional<ScriptCheckFailure> CheckScript(const StatementTable& script, TVariableManager& variables);

}  // namespace zev
