// The check the engine makes before a script's first statement, run by the authoring
// tool so that a script the engine would refuse never ships.
#pragma once

#include <string>
#include <vector>

namespace zev {

// Every violation of the compiled script, one line each: "file:line: rule", where the
// file is shown_source and the line the statement's 1-based source line.
std::vector<std::string> CheckCompiledScript(const std::string& script_bytes, const std::string& shown_source);

}  // namespace zev
