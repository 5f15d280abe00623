#include "interpreter/parameter_forms.h"

#include "interpreter/interpreter.h"
#include "script/variable_manager.h"

namespace zev {

Text CollapseAllBackslashPairs(TextView text) {
    return ReplaceAll(text, u"\\\\", u"\\");
}

Text CleanPath(TextView expanded) {
    Text cleaned = CollapseAllBackslashPairs(expanded);
    if (expanded.starts_with(u"\\\\")) cleaned.insert(cleaned.begin(), u'\\');
    return cleaned;
}

Text VariableName(TextView parameter, NameForm form) {
    if (form == NameForm::DollarAllowed && parameter.size() >= 2 && parameter.front() == u'$' &&
        parameter.find(u'$', 1) == parameter.size() - 1)
        return Text(parameter.substr(1, parameter.size() - 2));
    return Text(parameter);
}

Text ActionLabel(TextView command) {
    return Text(command) + u" Action";
}

Text NotAnIntegerMessage(TextView text) {
    Text message(u"'");
    message.append(text);
    message.append(u"' is not a valid integer value");
    return message;
}

Text CleanedPathParameter(const Interpreter& interpreter, size_t n) {
    return CleanPath(interpreter.Expanded(n));
}

Text CleanedPath(const TVariableManager& variables, TextView text) {
    return CleanPath(variables.Expand(text));
}

bool FlagParameter(const Interpreter& interpreter, size_t n) {
    return IsTrue(interpreter.Parameter(n));
}

int64_t IntegerParameter(const Interpreter& interpreter, size_t n) {
    const Text text = interpreter.Parameter(n);
    const std::optional<int64_t> value = ParseInt(text);
    if (!value) throw ScriptError(NotAnIntegerMessage(text));
    return *value;
}

Text NameParameter(const Interpreter& interpreter, size_t n, NameForm form) {
    return VariableName(interpreter.Parameter(n), form);
}

void CreateIfMissing(Interpreter& interpreter, TextView name) {
    TVariableManager& variables = interpreter.variables();
    if (name.empty() || variables.Exists(name)) return;
    variables.AssignOrCreate(ToUpper(name), u"", ActionLabel(interpreter.CurrentCommand()));
}

void StoreResult(Interpreter& interpreter, TextView name, TextView value) {
    interpreter.AssignResult(name, value, ActionLabel(interpreter.CurrentCommand()));
}

Text Translated(Interpreter& interpreter, TextView text, TextView key, size_t parameter_index) {
    const auto& translate = interpreter.engine().translate;
    return translate ? translate(text, key, parameter_index) : Text(text);
}

std::unique_ptr<ScopeGuard> RedirectionForBitnessMode(Interpreter& interpreter) {
    Engine& engine = interpreter.engine();
    if (engine.bitness_mode == u"Win32" || !engine.platform.system.Is64BitWindows()) return nullptr;
    return engine.platform.system.SuspendFileSystemRedirection();
}

}  // namespace zev
