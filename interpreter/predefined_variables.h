// The engine's predefined variables, set in three groups before the first statement.
#pragma once

#include "startup/engine.h"

namespace zev {

// Worker-progress and cancel variables, written directly.
void InitializeWorkerVariables(Engine& engine);
// The "Pre-Initialization" group, before the maintenance bootstrap, and the product
// identity (PRODUCTCODE, REVISIONCODE) as the script states it.
void InitializePreVariables(Engine& engine);
// The "Initialization" group, after the bootstrap and the single-instance check.
void InitializeVariables(Engine& engine);

// Compile-time settings (section 11 of the script).
Text CompileTimeValue(const StatementTable& script, TextView name);
bool CompileTimeFlag(const StatementTable& script, TextView name);

}  // namespace zev
