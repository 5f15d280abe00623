// Archive work run off the interpreter's thread: one worker per statement, waited for
// with the interpreter's wait step, cancelled cooperatively through its progress
// callback, and given up by a watchdog when it stops reporting after a cancellation.
#pragma once

#include <functional>
#include <memory>

#include "media/archive_routines.h"

namespace zev {

class Interpreter;

enum class ArchiveJobKind { Extract, Test, Compress, Delete };

struct ArchiveJobResult {
    bool success = false;
    Text error;
    bool cancelled = false;  // QUIB_IsCancelled was set while the job ran
    bool abandoned = false;  // the watchdog gave the worker up
};

// The work of one job: runs on the worker thread with a progress callback.
using ArchiveJobBody = std::function<bool(const ArchiveProgress& progress, Text& error)>;

// Runs body on a worker thread (with file-system redirection off for that thread) and
// waits for it. Progress reaches the worker-progress variables as it comes.
ArchiveJobResult RunArchiveJob(Interpreter& interpreter, ArchiveJobKind kind, ArchiveJobBody body);

// How long a cancelled worker may stay silent before the watchdog gives it up.
inline constexpr uint32_t kArchiveWatchdogMilliseconds = 5000;

// The percentage of a progress report: done x 100 div total + 1, at most 100.
int ProgressPercent(uint64_t done, uint64_t total);

}  // namespace zev
