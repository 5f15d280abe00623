#include "interpreter/interpreter.h"

#include <exception>
#include <mutex>

#include "interpreter/dispatch.h"
#include "interpreter/plugin_statement.h"
#include "interpreter/predefined_variables.h"
#include "interpreter/script_check.h"
#include "interpreter/text_file.h"

namespace zev {

namespace {

constexpr uint64_t kPumpInterval = 314;  // pump when more than this many ms have passed

// The variables read before statements, hashed once for the whole process.
const HashedName kLoggedName(u"LOGGED");
const HashedName kSilentName(u"SILENT");
const HashedName kTitleName(u"TITLE");
const HashedName kLogoName(u"QUIBLOGO");
const HashedName kDateName(u"DATE");
const HashedName kTimeName(u"TIME");
const HashedName kCancelledName(u"QUIB_IsCancelled");
const HashedName kAbortName(u"ABORT");

}  // namespace

Interpreter::Interpreter(Engine& engine) : engine_(engine) {}

Text Interpreter::Parameter(size_t n) const {
    if (current_ >= resolved_.size()) return engine_.script.ParameterOf(current_, n);
    const size_t block = resolved_[current_].parameter_block;
    const IndexedLines& parameters = engine_.script.Parameters();
    if (block == IndexedLines::npos || n >= parameters.Count() - block) return Text();
    return parameters.At(block + n);
}

void Interpreter::ResolveStatements() {
    const StatementTable& table = engine_.script;
    resolved_.clear();
    resolved_.reserve(table.StatementCount());
    for (size_t index = 0; index < table.StatementCount(); ++index) {
        const Text& identifier = table.Identifier(index);
        const Text& command = table.Command(index);
        resolved_.push_back({identifier.empty() ? IndexedLines::npos : table.Parameters().IndexOf(identifier),
                             table.IsPluginCommand(command), FindHandler(command)});
    }
}

// The date and time texts are formatted again only when the tick count has moved.
// Each is assigned only when the variable does not already hold it, which leaves the
// store exactly as an unconditional assignment would.
void Interpreter::RefreshClock(uint64_t now, bool store_changed) {
    SystemInfo& system = engine_.platform.system;
    if (!clock_valid_ || now != clock_tick_) {
        date_ = system.CurrentDate();
        time_ = system.CurrentTime();
        clock_tick_ = now;
        clock_valid_ = true;
    } else if (!store_changed) {
        return;
    }
    TVariableManager& vars = engine_.variables;
    std::lock_guard hold(vars.Lock());
    if (!vars.Holds(kDateName, date_)) vars.AssignOrCreate(u"DATE", date_, u"Initialization");
    if (!vars.Holds(kTimeName, time_)) vars.AssignOrCreate(u"TIME", time_, u"Initialization");
}

Text Interpreter::Expanded(size_t n) const {
    return engine_.variables.Expand(Parameter(n));
}

void Interpreter::AssignResult(TextView name, TextView value, TextView origin) {
    engine_.variables.AssignOrCreate(name, value, origin);
}

void Interpreter::WaitStep(std::thread* worker) {
    if (engine_.silent) {
        if (worker && worker->joinable()) worker->join();
        return;
    }
    engine_.platform.ui.ProcessOneMessage();
}

void Interpreter::Run(TextView package_path) {
    Prepare(package_path);
    try {
        Cycle();
    } catch (const std::exception& error) {
        ReportRuntimeError(FromUtf8(error.what()));
        return;
    }
    EndSequence();
}

void Interpreter::Prepare(TextView package_path) {
    SetupLog& log = engine_.log;
    log.Write(u"    <Variables>");
    pointer_ = 0;
    ended_ = false;
    control_flow_.Reset();
    engine_.package_path = Text(package_path);
    log.Write(u"    </Variables>");

    log.Write(u"    <CompileScript>");
    engine_.variables.RemoveAll();
    if (auto failure = CheckScript(engine_.script, engine_.variables)) {
        log.Write(u"      " + failure->Describe());
        engine_.platform.processes.TerminateProcess(kExitScriptCheckFailed);
    }
    log.Write(u"    </CompileScript>");

    engine_.variables.RemoveAll();
    InitializeWorkerVariables(engine_);
    InitializePreVariables(engine_);

    log.Write(u"    <BootStrap>");
    log.Write(u"    </BootStrap>");

    control_flow_.BuildLabelTable(engine_.script);
    ResolveStatements();

    log.Write(u"    <quib>");
    InitializeVariables(engine_);
    const auto& pairs = engine_.command_line.pairs;
    for (size_t i = 0; i + 1 < pairs.size(); i += 2)
        engine_.variables.Assign(ToUpper(pairs[i]), pairs[i + 1], kInjectOverrideLabel);
    last_pump_ = engine_.platform.system.TickCount();
}

void Interpreter::RefreshSettings() {
    TVariableManager& vars = engine_.variables;
    Text log_path;
    {
        // One acquisition for the group; each read below still locks, re-entrantly.
        std::lock_guard hold(vars.Lock());
        log_path = vars.ValueOf(kLoggedName);
        engine_.silent = IsTrue(vars.ValueOf(kSilentName));
        vars.SetSilent(engine_.silent);
        engine_.title = vars.ValueOf(kTitleName);
        engine_.title_alone = EqualsNoCase(vars.ValueOf(kLogoName), u"TRUE");
    }
    engine_.log.SetPath(log_path);
}

bool Interpreter::FetchNext() {
    const StatementTable& table = engine_.script;
    const size_t count = table.StatementCount();
    while (pointer_ < count) {
        current_ = pointer_++;
        if (table.IsVisible(current_)) return true;
    }
    return false;
}

void Interpreter::Cycle() {
    TVariableManager& vars = engine_.variables;
    Platform& platform = engine_.platform;
    while (!ended_ && pointer_ < engine_.script.StatementCount()) {
        const uint64_t now = platform.system.TickCount();
        if (now - last_pump_ > kPumpInterval) {
            platform.ui.PumpPendingMessages();
            last_pump_ = now;
        }
        const bool store_changed = !refreshed_ || vars.Changes() != refreshed_changes_;
        if (store_changed) RefreshSettings();
        RefreshClock(now, store_changed);

        control_flow_.BeforeFetch(*this);
        if (!FetchNext()) break;
        if (store_changed) {
            std::lock_guard hold(vars.Lock());
            const Text abort = FromBool(IsTrue(vars.ValueOf(kCancelledName)));
            if (!vars.Holds(kAbortName, abort)) vars.Assign(u"ABORT", abort, u"Cancel State");
        }
        refreshed_changes_ = vars.Changes();
        refreshed_ = true;
        Execute();
    }
}

void Interpreter::Execute() {
    const ResolvedStatement& statement = resolved_[current_];
    if (statement.plugin) {
        RunPluginStatement(*this);
        return;
    }
    if (statement.handler) statement.handler(*this);
}

void Interpreter::EndSequence() {
    engine_.log.Write(u"    </quib>");
    engine_.log.Write(u"    <ExitScript>");
    ExitScript();
    engine_.log.Write(u"    </ExitScript>");
}

void Interpreter::ExitScript() {
    if (exit_script_done_) return;
    exit_script_done_ = true;
    CloseOpenTextFile();
    // The single-instance marker, the tray icon and the dialogs are released here as
    // those features arrive.
}

void Interpreter::ReportRuntimeError(TextView message) {
    const StatementTable& table = engine_.script;
    const SourcePosition position = table.Position(current_);
    const Text line_number = FromInt(position.line + 1);
    const Text report = Text(u"Runtime error in setup script:") + u"\r\r" + u"Source File: " +
                        table.SourceFileTitle(current_) + u"\r" + u"Line Number: " + line_number +
                        u"\r\r" + Text(message);
    engine_.log.Write(u"      <RuntimeError>" + table.SourceFileTitle(current_) + u"(" + line_number +
                      u"): " + Text(message) + u"</RuntimeError>");
    engine_.ShowError(report);
    ExitScript();
}

}  // namespace zev
