// The statement cycle: prepares the run, then fetches visible statements one by one and
// hands each to its handler (or to a plug-in library), pumping window messages itself.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <thread>
#include <vector>

#include "interpreter/control_flow.h"
#include "script/text.h"
#include "startup/engine.h"

namespace zev {

// An error raised by a statement; ends the script with the runtime error report.
class ScriptError : public std::runtime_error {
public:
    explicit ScriptError(TextView message) : std::runtime_error(ToUtf8(message)) {}
    explicit ScriptError(const std::string& message) : std::runtime_error(message) {}
};

// Exit codes the engine sets itself.
inline constexpr int kExitScriptCheckFailed = 314;

class Interpreter {
public:
    explicit Interpreter(Engine& engine);

    // Runs the whole script: preparation, the cycle and the end sequence. Returns when
    // the script has ended and the exit-script routine has run.
    void Run(TextView package_path);

    // ---- For command handlers ----
    Engine& engine() { return engine_; }
    TVariableManager& variables() { return engine_.variables; }
    const StatementTable& script() const { return engine_.script; }
    Platform& platform() { return engine_.platform; }

    size_t CurrentIndex() const { return current_; }
    const Text& CurrentCommand() const { return engine_.script.Command(current_); }
    // Raw parameter n of the current statement (n = 0 is its identifier).
    Text Parameter(size_t n) const;
    // Parameter n after variable substitution.
    Text Expanded(size_t n) const;

    size_t StatementPointer() const { return pointer_; }
    void SetStatementPointer(size_t index) { pointer_ = index; }
    // Ends the script after the current statement; the end sequence runs.
    void EndScript() { ended_ = true; }
    bool Ended() const { return ended_; }

    // Block state, loop lists and labels of this run.
    ControlFlow& control_flow() { return control_flow_; }

    // Waits for a worker thread: interactive runs handle one window message per step,
    // silent runs block until the worker has ended.
    void WaitStep(std::thread* worker);

    // Stores a handler's result: created when missing, the assignment rule otherwise.
    void AssignResult(TextView name, TextView value, TextView origin);

private:
    void Prepare(TextView package_path);
    void Cycle();
    void RefreshSettings();
    bool FetchNext();
    void Execute();
    void EndSequence();
    void ExitScript();
    void ReportRuntimeError(TextView message);
    void ResolveStatements();
    void RefreshClock(uint64_t now, bool store_changed);

    Engine& engine_;
    size_t pointer_ = 0;
    size_t current_ = 0;
    bool ended_ = false;
    uint64_t last_pump_ = 0;
    bool exit_script_done_ = false;
    ControlFlow control_flow_;

    // Per statement, resolved once before the cycle from the read-only table: where
    // its parameter block starts, whether a plug-in runs it, and its handler.
    struct ResolvedStatement {
        size_t parameter_block;
        bool plugin;
        void (*handler)(Interpreter&);
    };
    std::vector<ResolvedStatement> resolved_;
    // DATE and TIME as last formatted, and the tick count when that was done.
    Text date_;
    Text time_;
    uint64_t clock_tick_ = 0;
    bool clock_valid_ = false;
    // The store's change count after the last refresh of the settings, DATE, TIME and
    // ABORT; while it stays the same, refreshing again would change nothing.
    uint64_t refreshed_changes_ = 0;
    bool refreshed_ = false;
};

}  // namespace zev
