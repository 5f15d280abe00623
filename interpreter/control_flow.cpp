#include "interpreter/control_flow.h"

#include <algorithm>

#include "interpreter/expression.h"
#include "interpreter/interpreter.h"
#include "platform/platform.h"
#include "script/substitution.h"

namespace zev {

namespace {

// Messages are pumped after this many statements examined by one partner search.
constexpr size_t kSearchPumpInterval = 313;

bool IsCommand(const StatementTable& script, size_t index, TextView command) {
    return script.Command(index) == command;
}

// The partner a loop opener or closer is searched for; empty for other commands.
TextView LoopEndOf(TextView head) {
    if (head == u"While") return u"Wend";
    if (head == u"Repeat") return u"Until";
    if (head == u"For Each") return u"Next";
    return {};
}

TextView LoopHeadOf(TextView end) {
    if (end == u"Wend") return u"While";
    if (end == u"Until") return u"Repeat";
    if (end == u"Next") return u"For Each";
    return {};
}

bool EqualsAsciiNoCase(TextView left, TextView right) {
    if (left.size() != right.size()) return false;
    auto fold = [](char16_t c) -> char16_t { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c; };
    for (size_t i = 0; i < left.size(); ++i)
        if (fold(left[i]) != fold(right[i])) return false;
    return true;
}

}  // namespace

// ---- ControlFlow ----

void ControlFlow::Reset() {
    if_depth = 0;
    skip_to_else = false;
    skip_to_end = false;
    landed_on_else_if = false;
    wizard_active = false;
    wizard_ended = false;
    loop_kinds.clear();
    for_each_states.clear();
    labels_.clear();
}

void ControlFlow::BuildLabelTable(const StatementTable& script) {
    labels_.clear();
    // Only visible labels: the script check ignores the others, so a disabled label
    // of the same name must not capture the jump.
    for (size_t index = 0; index < script.StatementCount(); ++index)
        if (script.IsVisible(index) && IsCommand(script, index, u"Label"))
            labels_.emplace(ToUpper(script.ParameterOf(index, 1)), index);
}

size_t ControlFlow::FindLabel(TextView name) const {
    const auto found = labels_.find(ToUpper(name));
    return found == labels_.end() ? npos : found->second;
}

size_t ControlFlow::FindForEachState(TextView name) const {
    for (size_t i = 0; i < for_each_states.size(); ++i)
        if (EqualsNoCase(for_each_states[i].name, name)) return i;
    return npos;
}

void ControlFlow::BeforeFetch(Interpreter& interpreter) {
    const StatementTable& script = interpreter.script();
    if (skip_to_else) {
        skip_to_else = false;
        const size_t stop = FindBranchEnd(script, interpreter.StatementPointer(), false);
        const Text& command = script.Command(stop);
        if (command == u"Else") {
            interpreter.SetStatementPointer(stop + 1);
        } else {
            if (command == u"Else If") landed_on_else_if = true;
            interpreter.SetStatementPointer(stop);
        }
    }
    if (skip_to_end) {
        skip_to_end = false;
        interpreter.SetStatementPointer(FindBranchEnd(script, interpreter.StatementPointer(), true));
    }
    if (wizard_active && wizard_navigation) wizard_navigation(interpreter);
}

// ---- Scans ----

size_t FindBranchEnd(const StatementTable& script, size_t start, bool end_only) {
    int depth = 0;
    for (size_t index = start; index < script.StatementCount(); ++index) {
        if (!script.IsVisible(index)) continue;
        const Text& command = script.Command(index);
        if (command == u"If" || command == u"Wizard Loop") {
            ++depth;
        } else if (command == u"End") {
            if (depth == 0) return index;
            --depth;
        } else if (!end_only && depth == 0 && (command == u"Else" || command == u"Else If")) {
            return index;
        }
    }
    throw ScriptError(end_only ? u"No matching \"End\" found for the If block"
                               : u"No matching \"Else\", \"Else If\" or \"End\" found for the If block");
}

size_t FindLoopPartner(const StatementTable& script, size_t from, SearchDirection direction, TextView wanted,
                       UserInterface* ui) {
    const bool forward = direction == SearchDirection::Forward;
    std::vector<TextView> inner;  // partners of the inner loops being passed over
    size_t examined = 0;
    size_t index = from;
    for (;;) {
        if (forward) {
            if (index + 1 >= script.StatementCount()) break;
            ++index;
        } else {
            if (index == 0 || index > script.StatementCount()) break;
            --index;
        }
        if (ui && ++examined % kSearchPumpInterval == 0) ui->PumpPendingMessages();
        if (!script.IsVisible(index)) continue;
        const Text& command = script.Command(index);
        if (inner.empty()) {
            if (command == wanted) return index;
        } else if (command == inner.back()) {
            inner.pop_back();
            continue;
        }
        const TextView partner = forward ? LoopEndOf(command) : LoopHeadOf(command);
        if (!partner.empty()) inner.push_back(partner);
    }
    throw ScriptError(u"No matching \"" + Text(wanted) + u"\" found for the loop");
}

size_t FindWizardLoopEnd(const StatementTable& script, size_t wizard_loop) {
    for (size_t index = wizard_loop + 1; index < script.StatementCount(); ++index)
        if (script.IsVisible(index) && IsCommand(script, index, u"End")) return index;
    throw ScriptError(u"No matching \"End\" found for the Wizard Loop");
}

std::vector<size_t> WizardLoopStatements(const StatementTable& script, size_t wizard_loop) {
    std::vector<size_t> statements;
    const size_t end = FindWizardLoopEnd(script, wizard_loop);
    for (size_t index = wizard_loop + 1; index < end; ++index)
        if (script.IsVisible(index) && !IsCommand(script, index, u"Comment")) statements.push_back(index);
    return statements;
}

// ---- Conditions ----

Version4 ParseVersion(TextView text) {
    Version4 version;
    TextView rest = text;
    for (int64_t& part : version.part) {
        const size_t dot = rest.find(u'.');
        if (dot == TextView::npos) {
            part = ParseInteger32(rest).value_or(0);
            rest = {};
        } else {
            const TextView number = rest.substr(0, dot);
            const auto value = ParseInteger32(number);
            if (!value) throw ConversionError(number);
            part = *value;
            rest.remove_prefix(dot + 1);
        }
    }
    return version;
}

bool VersionGreater(TextView left, TextView right) {
    const Version4 l = ParseVersion(left);
    const Version4 r = ParseVersion(right);
    for (int i = 0; i < 4; ++i)
        if (l.part[i] != r.part[i]) return l.part[i] > r.part[i];
    return false;
}

bool CompareValues(TextView operator_code, TextView left, TextView right) {
    if (operator_code == u"6") return VersionGreater(left, right);
    const auto left_number = ParseInteger32(left);
    const auto right_number = ParseInteger32(right);
    const bool numbers = left_number && right_number;
    const bool equal_numbers = numbers && *left_number == *right_number;
    if (operator_code == u"0") return numbers ? equal_numbers : left == right;
    if (operator_code == u"1") return numbers ? equal_numbers : left.find(right) != TextView::npos;
    if (operator_code == u"2") return numbers ? *left_number > *right_number : left > right;
    if (operator_code == u"3")
        return numbers ? equal_numbers : ToUpper(left).find(ToUpper(right)) != Text::npos;
    if (operator_code == u"4") return numbers ? equal_numbers : EqualsAsciiNoCase(left, right);
    return false;
}

Text VariableNameOf(TextView parameter) {
    Text inner = DollarFormName(parameter);
    return inner.empty() ? Text(parameter) : inner;
}

bool EvaluateCondition(Interpreter& interpreter) {
    TVariableManager& variables = interpreter.variables();
    const Text first = interpreter.Parameter(1);
    const Text operator_code = interpreter.Parameter(2);
    bool result;
    if (operator_code == u"5") {
        result = variables.Exists(first);
    } else {
        const Text left = variables.Expand(variables.ValueOf(VariableNameOf(first)));
        const Text right = interpreter.Expanded(3);
        result = CompareValues(operator_code, left, right);
    }
    return result != IsTrue(interpreter.Parameter(4));
}

}  // namespace zev
