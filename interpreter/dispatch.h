// The one dispatch table: every built-in command name, matched exactly (letter case
// counts), with its handler. Each command family contributes its rows.
#pragma once

#include <span>
#include <string_view>

#include "script/text.h"

namespace zev {

class Interpreter;

using CommandHandler = void (*)(Interpreter&);

struct CommandRow {
    std::u16string_view name;
    CommandHandler handler;
};

// The handler registered for a command name, or null (the statement does nothing).
CommandHandler FindHandler(TextView command);

// Rows of each command family, defined in interpreter/commands/*.cpp.
std::span<const CommandRow> ControlFlowCommands();
std::span<const CommandRow> VariableCommands();
std::span<const CommandRow> ArchiveCommands();
std::span<const CommandRow> ProgramCommands();
std::span<const CommandRow> StringCommands();
std::span<const CommandRow> PathCommands();
std::span<const CommandRow> ExpressionCommands();
std::span<const CommandRow> FileCommands();

}  // namespace zev
