#include "interpreter/script_check.h"

namespace zev {

Text ScriptCheckFailure::Describe() const {
    return u"statement " + FromInt(static_cast<int64_t>(statement) + 1) + u": " + rule;
}

std::optional<ScriptCheckFailure> CheckScript(const StatementTable& script, TVariableManager& variables) {
    (void)script;
    (void)variables;
    return std::nullopt;
}

}  // namespace zev
