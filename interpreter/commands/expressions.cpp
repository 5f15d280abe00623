// Evaluate Expression and Mathematics: the computing commands. Neither reports an
// error for bad operands except an out-of-range integer in an expression comparison,
// which ends the script through the runtime error report.
#include <mutex>

#include "interpreter/dispatch.h"
#include "interpreter/expression.h"
#include "interpreter/interpreter.h"

namespace zev {

namespace {

// Stores a result into a plain-named variable, creating it empty under its
// upper-cased name first when it is missing.
void StoreResult(Interpreter& interpreter, TextView name, TextView value, TextView origin) {
    if (name.empty()) return;
    TVariableManager& variables = interpreter.variables();
    std::lock_guard lock(variables.Lock());
    if (!variables.Exists(name)) variables.SetItem(ToUpper(name), u"");
    variables.Assign(name, value, origin);
}

void EvaluateExpressionCommand(Interpreter& interpreter) {
    const Text expression = interpreter.variables().ExpandQuoted(interpreter.Parameter(1));
    const ExpressionResult result = EvaluateExpression(expression);
    StoreResult(interpreter, interpreter.Parameter(2), ToText(result), u"Evaluate Expression Action");
}

void MathematicsCommand(Interpreter& interpreter) {
    const Text result = ComputeMathematics(interpreter.Expanded(1), interpreter.Expanded(2),
                                           interpreter.Parameter(3), EngineRandomGenerator());
    StoreResult(interpreter, interpreter.Parameter(4), result, u"Mathematics Action");
}

constexpr CommandRow kExpressionCommands[] = {
    {u"Evaluate Expression", EvaluateExpressionCommand},
    {u"Mathematics", MathematicsCommand},
};

}  // namespace

std::span<const CommandRow> ExpressionCommands() {
    return kExpressionCommands;
}

}  // namespace zev
