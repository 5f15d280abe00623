// Programs, messages and the end of the run.
#include "interpreter/dispatch.h"
#include "interpreter/interpreter.h"
#include "interpreter/parameter_forms.h"

namespace zev {

namespace {

void TerminateInstall(Interpreter& interpreter) {
    interpreter.EndScript();
}

void TerminateWithExitCode(Interpreter& interpreter) {
    const Text text = interpreter.Expanded(1);
    const auto code = ParseInt(text);
    if (!code || *code < INT32_MIN || *code > UINT32_MAX)
        throw ScriptError(NotAnIntegerMessage(text));
    interpreter.engine().exit_code = static_cast<int>(static_cast<uint32_t>(*code));
    interpreter.EndScript();
}

constexpr CommandRow kProgramCommands[] = {
    {u"Terminate Install", TerminateInstall},
    {u"Terminate with Exit Code", TerminateWithExitCode},
};

}  // namespace

std::span<const CommandRow> ProgramCommands() {
    return kProgramCommands;
}

}  // namespace zev
