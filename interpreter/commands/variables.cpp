// Set Variable and the other commands that compute texts, paths and variables.
#include "interpreter/dispatch.h"
#include "interpreter/interpreter.h"

namespace zev {

std::span<const CommandRow> VariableCommands() {
    return {};
}

}  // namespace zev
