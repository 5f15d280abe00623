// Turning a compiled script back into product script source.
#pragma once

#include <string>

#include "script/statement_table.h"

namespace zev::zevc {

// The source of a compiled script. Compiling it gives back the same sections for
// every script zevc writes: identifiers that differ from the derived ones, flags,
// media names, command headers and the recorded source positions are written out
// explicitly (statements are placed on their recorded lines where blank lines can
// get them there, and carry a "line" attribute otherwise).
std::string DecompileScript(const ScriptSections& sections);

}  // namespace zev::zevc
