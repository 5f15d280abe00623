// Out-of-process extraction: another engine process hands over one archive job through a
// control file (archive, password, target folder, path flag, overwrite flag) and an items
// file beside it; the result text is written back into the control file.
#pragma once

#include "startup/engine.h"

namespace zev {

int RunOutOfProcessExtract(Engine& engine);

// Reads a flag line of the control file: "TRUE"/"FALSE" in any case, or a number
// (true when not zero).
bool ReadControlFlag(TextView line);

}  // namespace zev
