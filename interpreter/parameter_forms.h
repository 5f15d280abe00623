// How command handlers read their parameters and store their results. Every command
// family uses these forms, so that a path, a flag, a count or a variable name means the
// same thing in every command:
//
// - expanded parameter: the parameter after variable substitution (Interpreter::Expanded);
// - cleaned path: expanded, then every pair of backslashes collapsed into one, a leading
//   pair of a network path kept;
// - flag: the truth test of the parameter as written;
// - integer: the parameter as written, read as a decimal number;
// - name parameter: a variable name, in dollar form ("$NAME$") where the command allows
//   it, or plain;
// - result assignment: the variable is created when missing and the value stored under
//   the command's origin label ("<command> Action"), with the variable store's rules.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "platform/platform.h"
#include "script/text.h"

namespace zev {

class Interpreter;
class TVariableManager;

// Pure forms, on texts already in hand.

// Collapses every pair of consecutive backslashes into one, left to right without
// rescanning the output; when the text began with a pair, one backslash more is put in
// front afterwards, so that "\\server\share" keeps its leading pair.
Text CleanPath(TextView expanded);
// Collapses every pair of backslashes, the leading pair included.
Text CollapseAllBackslashPairs(TextView text);

enum class NameForm { Plain, DollarAllowed };
// The variable named by a parameter. With DollarAllowed, a text that begins with "$"
// and whose next "$" is its last character names the variable between the dollars.
Text VariableName(TextView parameter, NameForm form);

// The origin label of a command's assignments.
Text ActionLabel(TextView command);

// The message of the error raised for a parameter that must be an integer.
Text NotAnIntegerMessage(TextView text);

// Forms of the current statement's parameters.

// Parameter n expanded, as a cleaned path.
Text CleanedPathParameter(const Interpreter& interpreter, size_t n);
// A text (for example a variable's value) expanded, as a cleaned path.
Text CleanedPath(const TVariableManager& variables, TextView text);
// The truth test of parameter n as written.
bool FlagParameter(const Interpreter& interpreter, size_t n);
// Parameter n as written, read as an integer; raises ScriptError when it is none.
int64_t IntegerParameter(const Interpreter& interpreter, size_t n);
// The variable named by parameter n as written.
Text NameParameter(const Interpreter& interpreter, size_t n, NameForm form);

// Results.

// Creates the variable empty under its upper-cased name when it does not exist, with
// the current command's origin label.
void CreateIfMissing(Interpreter& interpreter, TextView name);
// Stores a result with the current command's origin label: created when missing; a
// value equal to the variable's own reference is stored empty; in a silent run a
// variable preset on the command line keeps its value.
void StoreResult(Interpreter& interpreter, TextView name, TextView value);

// Translation of a script text of the current run: the text unchanged unless the
// language subsystem has a translation for the key and parameter index.
Text Translated(Interpreter& interpreter, TextView text, TextView key, size_t parameter_index);

// For commands that touch the file system: while the returned guard lives, the
// file-system redirection of the 32-bit engine is off when the script is in a 64-bit
// mode on 64-bit Windows. Null when nothing had to change.
std::unique_ptr<ScopeGuard> RedirectionForBitnessMode(Interpreter& interpreter);

}  // namespace zev
