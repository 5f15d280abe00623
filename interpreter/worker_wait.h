// How a statement waits for its worker thread: the interpreter's wait step (one window
// message at a time, or blocking on the thread in a silent run), a stop request when the
// user cancels, and a watchdog that gives up a worker which stops reporting progress.
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

#include "startup/engine.h"

namespace zev {

class Interpreter;

struct WorkerWaitOutcome {
    bool stop_requested = false;  // QUIB_IsCancelled was seen and the worker asked to stop
    bool abandoned = false;       // the watchdog gave the worker up; its thread is detached
};

// Waits until finished is set. After a cancellation the worker is asked to stop through
// stop; when it then publishes no progress (QUIB_LastDelegateTick) for a whole watchdog
// period it is given up: it keeps its own shared state and ends on its own later.
WorkerWaitOutcome WaitForWorker(Engine& engine, std::thread& worker, const std::atomic<bool>& finished,
                                std::atomic<bool>& stop, uint32_t watchdog_milliseconds);

// After a wait that the user cancelled: "Setup cancelled" unless ABORTEDONERROR is set
// already (nothing in a silent run); then, under ABORTONERROR, the script ends and this
// returns true; otherwise ABORTEDONERROR becomes "TRUE" with the origin label and the
// statement goes on (false).
bool FinishCancelledWait(Interpreter& interpreter, TextView origin_label);

}  // namespace zev
