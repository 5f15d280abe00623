#include "interpreter/worker_wait.h"

#include "interpreter/interpreter.h"

namespace zev {

WorkerWaitOutcome WaitForWorker(Engine& engine, std::thread& worker, const std::atomic<bool>& finished,
                                std::atomic<bool>& stop, uint32_t watchdog_milliseconds) {
    TVariableManager& variables = engine.variables;
    SystemInfo& system = engine.platform.system;
    WorkerWaitOutcome outcome;
    uint64_t watchdog_started = 0;
    while (!finished) {
        if (engine.silent) {
            worker.join();
            break;
        }
        engine.platform.ui.ProcessOneMessageFor(outcome.stop_requested ? 250 : 1000);
        if (finished) break;
        if (!outcome.stop_requested && IsTrue(variables.ValueOf(u"QUIB_IsCancelled"))) {
            variables.SetItem(u"QUIB_LastActiveTick", variables.ValueOf(u"QUIB_LastDelegateTick"));
            stop = true;
            outcome.stop_requested = true;
            watchdog_started = system.TickCount();
        }
        if (outcome.stop_requested && system.TickCount() - watchdog_started >= watchdog_milliseconds) {
            const Text delegate_tick = variables.ValueOf(u"QUIB_LastDelegateTick");
            if (variables.ValueOf(u"QUIB_LastActiveTick") != delegate_tick) {
                variables.SetItem(u"QUIB_LastActiveTick", delegate_tick);
                watchdog_started = system.TickCount();
            } else {
                outcome.abandoned = true;
                worker.detach();
                break;
            }
        }
    }
    if (worker.joinable()) worker.join();
    return outcome;
}

bool FinishCancelledWait(Interpreter& interpreter, TextView origin_label) {
    Engine& engine = interpreter.engine();
    TVariableManager& variables = engine.variables;
    if (!IsTrue(variables.ValueOf(u"ABORTEDONERROR"))) engine.ShowError(u"Setup cancelled");
    if (IsTrue(variables.ValueOf(u"ABORTONERROR"))) {
        interpreter.EndScript();
        return true;
    }
    variables.Assign(u"ABORTEDONERROR", u"TRUE", origin_label);
    return false;
}

}  // namespace zev
