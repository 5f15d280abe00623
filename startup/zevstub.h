// The engine's entry point: the setup run from process start to the end of the script,
// and the out-of-process extraction mode.
#pragma once

#include "platform/platform.h"
#include "script/variable_manager.h"

namespace zev {

// Process exit codes of start-up.
inline constexpr int kExitNormal = 0;
inline constexpr int kExitRuntimeError = 11;
inline constexpr int kExitNoScript = 13;
inline constexpr int kExitResourceMissing = 14;
inline constexpr int kExitResourceUnreadable = 15;

// Out-of-process extraction exit codes.
inline constexpr int kExitControlFileMissing = 1;
inline constexpr int kExitArchiveMissing = 2;

// Runs the process and returns its exit code.
int StubMain(Platform& platform, TVariableManager& variables);

}  // namespace zev
