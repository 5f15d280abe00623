#include "tools/zevc/script_checker.h"

#include "interpreter/script_check.h"
#include "script/statement_table.h"
#include "script/variable_manager.h"

namespace zev {

std::vector<std::string> CheckCompiledScript(const std::string& script_bytes, const std::string& shown_source) {
    StatementTable table;
    table.LoadFromBytes(script_bytes);
    TVariableManager variables;
    std::vector<std::string> lines;
    for (const ScriptCheckFailure& failure : CheckScriptAll(table, variables)) {
        const SourcePosition position = table.Position(failure.statement);
        const std::string line = position.line >= 0 ? std::to_string(position.line + 1) : std::string("?");
        lines.push_back(shown_source + ":" + line + ": " + ToUtf8(failure.rule));
    }
    return lines;
}

}  // namespace zev
