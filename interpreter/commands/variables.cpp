// "Set Variable", "Localization Variable" and "Get Environment": commands that assign
// engine variables from script texts and from the process environment.
#include <algorithm>

#include "interpreter/dispatch.h"
#include "interpreter/interpreter.h"
#include "interpreter/parameter_forms.h"
#include "script/substitution.h"

namespace zev {

namespace {

// Separates the variable name of "Set Variable" from its persistence flag.
constexpr TextView kPersistenceMarker = u"$QUIB$QUIB$";
// Wraps a variable name into the translation key of "Localization Variable".
constexpr TextView kLocalizationKeyStart = u"QUADRIMO$";
constexpr TextView kLocalizationKeyEnd = u"$QUADRIMO";

void AddPersistentVariable(Engine& engine, TextView name) {
    auto& names = engine.persistent_variables;
    const bool known =
        std::any_of(names.begin(), names.end(), [&](const Text& listed) { return EqualsNoCase(listed, name); });
    if (!known) names.emplace_back(name);
}

// The value that NATIVE_LOGGING may take: a new log base that the native engine cannot
// use becomes the empty text.
Text AcceptedNativeLogging(Engine& engine, TextView current, Text value) {
    if (value == current || !engine.switch_native_log) return value;
    return engine.switch_native_log(current, value) ? value : Text();
}

void RefreshProgress(Interpreter& interpreter) {
    const TVariableManager& variables = interpreter.variables();
    const Text position_text = variables.ValueOf(u"PROGRESS");
    const std::optional<int64_t> position = ParseInt(position_text);
    if (!position) throw ScriptError(NotAnIntegerMessage(position_text));
    if (const auto& refresh = interpreter.engine().refresh_progress)
        refresh(variables.ValueOf(u"PROGRESSTEXT"), *position);
}

void SetVariable(Interpreter& interpreter) {
    Engine& engine = interpreter.engine();
    TVariableManager& variables = interpreter.variables();
    Text value = variables.Expand(Translated(interpreter, interpreter.Parameter(2), interpreter.Parameter(0), 1));

    Text target = interpreter.Parameter(1);
    bool persistent = false;
    if (const size_t marker = target.find(kPersistenceMarker); marker != Text::npos) {
        persistent = TextView(target).substr(marker + kPersistenceMarker.size()) == u"TRUE";
        target.resize(marker);
    }
    const Text name = VariableName(target, NameForm::DollarAllowed);

    CreateIfMissing(interpreter, name);
    if (EqualsNoCase(name, u"NATIVE_LOGGING"))
        value = AcceptedNativeLogging(engine, variables.ValueOf(name), std::move(value));
    StoreResult(interpreter, name, value);
    if (persistent) AddPersistentVariable(engine, name);

    if (EqualsNoCase(name, u"ABORT")) {
        const bool own_reference = EqualsNoCase(value, u"$" + name + u"$");
        interpreter.AssignResult(u"QUIB_IsCancelled", own_reference ? Text() : value, u"Set Variable Tricke");
    }
    if (EqualsNoCase(name, u"QUIB_TIMEOUT"))
        engine.download_timeout_seconds = ParseInt(variables.ValueOf(name)).value_or(10);
    if (EqualsNoCase(name, u"PROGRESS") || EqualsNoCase(name, u"PROGRESSTEXT")) RefreshProgress(interpreter);
}

void LocalizationVariable(Interpreter& interpreter) {
    const Text name = NameParameter(interpreter, 1, NameForm::DollarAllowed);
    CreateIfMissing(interpreter, name);
    const Text key = Text(kLocalizationKeyStart) + name + Text(kLocalizationKeyEnd);
    const Text value = interpreter.variables().Expand(Translated(interpreter, interpreter.Parameter(2), key, 1));
    StoreResult(interpreter, name, value);
}

Text WholeEnvironment(SystemInfo& system) {
    const std::vector<Text> entries = system.EnvironmentEntries();
    Text joined;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (i > 0) joined += kNewLineToken;
        joined += entries[i];
    }
    return joined;
}

void GetEnvironment(Interpreter& interpreter) {
    const Text environment_name = interpreter.Expanded(1);
    const Text result_name = NameParameter(interpreter, 2, NameForm::DollarAllowed);
    SystemInfo& system = interpreter.platform().system;
    Text result;
    {
        const auto redirection = RedirectionForBitnessMode(interpreter);
        result = environment_name.empty() ? WholeEnvironment(system)
                                          : system.ExpandEnvironmentText(u"%" + environment_name + u"%");
    }
    StoreResult(interpreter, result_name, result);
}

constexpr CommandRow kRows[] = {
    {u"Set Variable", SetVariable},
    {u"Localization Variable", LocalizationVariable},
    {u"Get Environment", GetEnvironment},
};

}  // namespace

std::span<const CommandRow> VariableCommands() {
    return kRows;
}

}  // namespace zev
