// Statements whose command is listed as a plug-in command: the product's own library is
// loaded by full path and called on a worker thread with the engine's variables.
#pragma once

#include <optional>

#include "platform/platform.h"
#include "script/text.h"

namespace zev {

class Interpreter;

void RunPluginStatement(Interpreter& interpreter);

// The two-call protocol with one library: the size call, then the call with a buffer.
// Returns the result text, or nullopt when the library reported failure.
// Narrow libraries that fail return the variables text unchanged, as the protocol says.
std::optional<Text> CallPluginEntry(PluginLibrary& library, uintptr_t owner_window, TextView variables,
                                    TextView parameters, const PluginLibrary::ProgressFunction& progress);

}  // namespace zev
