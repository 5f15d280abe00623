#include "media/archive_jobs.h"

#include <atomic>
#include <mutex>
#include <thread>

#include "interpreter/interpreter.h"
#include "interpreter/worker_wait.h"
#include "interpreter/path_functions.h"

namespace zev {

namespace {

// What the worker and the waiting statement share. Held by both, so that a worker the
// watchdog gave up can finish on its own without touching freed memory.
struct JobState {
    std::atomic<bool> finished{false};
    std::atomic<bool> terminate{false};
    std::mutex lock;
    bool success = false;
    Text error;
};

Text TickText(Engine& engine) {
    return FromInt(static_cast<int64_t>(engine.platform.system.TickCount() & 0xFFFFFFFFu));
}

}  // namespace

int ProgressPercent(uint64_t done, uint64_t total) {
    if (total == 0 || done >= total) return 100;
    const uint64_t percent = done * 100 / total + 1;
    return static_cast<int>(percent > 100 ? 100 : percent);
}

ArchiveJobResult RunArchiveJob(Interpreter& interpreter, ArchiveJobKind kind, ArchiveJobBody body) {
    Engine& engine = interpreter.engine();
    TVariableManager& vars = engine.variables;
    auto state = std::make_shared<JobState>();
    const bool file_names_in_progress = kind != ArchiveJobKind::Delete;

    ArchiveProgress progress = [&engine, state, file_names_in_progress](TextView name, uint64_t done,
                                                                         uint64_t total) {
        const int percent = ProgressPercent(done, total);
        const Text text = (file_names_in_progress ? FileNamePart(name) + u", " : Text()) + FromInt(percent) +
                          u"% complete";
        TVariableManager& variables = engine.variables;
        {
            std::lock_guard<std::recursive_mutex> guard(variables.Lock());
            variables.SetItem(u"QUIB_thProgressText", text);
            variables.SetItem(u"QUIB_thMin", u"0");
            variables.SetItem(u"QUIB_thMax", u"100");
            variables.SetItem(u"QUIB_thProgress", FromInt(percent));
            variables.SetItem(u"QUIB_LastDelegateTick", TickText(engine));
        }
        engine.platform.ui.WakeMainThread();
        return !state->terminate.load();
    };

    std::thread worker([&engine, state, body = std::move(body), progress]() mutable {
        auto redirection = engine.platform.system.SuspendFileSystemRedirection();
        Text error;
        bool success = false;
        try {
            success = body(progress, error);
        } catch (const std::exception& failure) {
            error = FromUtf8(failure.what());
        }
        {
            std::lock_guard<std::mutex> guard(state->lock);
            state->success = success;
            state->error = error;
        }
        state->finished = true;
        engine.platform.ui.WakeMainThread();
    });

    ArchiveJobResult result;
    const WorkerWaitOutcome waited =
        WaitForWorker(engine, worker, state->finished, state->terminate, kArchiveWatchdogMilliseconds);
    result.cancelled = waited.stop_requested;
    result.abandoned = waited.abandoned;
    if (IsTrue(vars.ValueOf(u"QUIB_IsCancelled"))) result.cancelled = true;
    if (result.abandoned) {
        result.error = u"The archive operation was cancelled";
        return result;
    }
    std::lock_guard<std::mutex> guard(state->lock);
    result.success = state->success;
    result.error = state->error;
    return result;
}

}  // namespace zev
