// "Convert Case", "Replace String" and "Parse String": commands that reshape the text
// of engine variables.
#include "interpreter/dispatch.h"
#include "interpreter/interpreter.h"
#include "interpreter/parameter_forms.h"
#include "interpreter/string_functions.h"

namespace zev {

namespace {

void ConvertCase(Interpreter& interpreter) {
    const Text name = NameParameter(interpreter, 1, NameForm::Plain);
    const bool upper = FlagParameter(interpreter, 2);
    const TVariableManager& variables = interpreter.variables();
    const Text value = CleanedPath(variables, variables.ValueOf(name));
    StoreResult(interpreter, name, upper ? ToUpper(value) : ToLower(value));
}

void ReplaceString(Interpreter& interpreter) {
    const Text name = NameParameter(interpreter, 1, NameForm::DollarAllowed);
    const Text search = interpreter.Expanded(2);
    const Text replacement = interpreter.Expanded(3);
    const bool ignore_case = FlagParameter(interpreter, 4);
    const bool replace_all = FlagParameter(interpreter, 5);
    const Text value = interpreter.variables().ValueOf(name);
    StoreResult(interpreter, name, ReplaceText(value, search, replacement, ignore_case, replace_all));
}

void ParseString(Interpreter& interpreter) {
    const Text source = CleanedPathParameter(interpreter, 1);
    const Text pattern = CleanedPathParameter(interpreter, 2);
    const Text first_name = NameParameter(interpreter, 3, NameForm::Plain);
    const Text second_name = NameParameter(interpreter, 4, NameForm::Plain);
    CreateIfMissing(interpreter, first_name);
    CreateIfMissing(interpreter, second_name);
    const int64_t mode = IntegerParameter(interpreter, 5);
    const bool trim = FlagParameter(interpreter, 6);
    const bool ignore_case = FlagParameter(interpreter, 7);
    const SplitText parts = SplitByPattern(source, pattern, mode, trim, ignore_case);
    if (!first_name.empty()) StoreResult(interpreter, first_name, parts.first);
    if (!second_name.empty()) StoreResult(interpreter, second_name, parts.second);
}

constexpr CommandRow kRows[] = {
    {u"Convert Case", ConvertCase},
    {u"Replace String", ReplaceString},
    {u"Parse String", ParseString},
};

}  // namespace

std::span<const CommandRow> StringCommands() {
    return kRows;
}

}  // namespace zev
