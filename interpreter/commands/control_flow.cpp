// If, loops, labels and jumps.
#include "interpreter/dispatch.h"
#include "interpreter/interpreter.h"

namespace zev {

std::span<const CommandRow> ControlFlowCommands() {
    return {};
}

}  // namespace zev
