// The zevc command line, callable from tests: arguments in, exit code out.
#pragma once

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "tools/zevc/source_model.h"

namespace zev::zevc {

// Runs zevc with its arguments (UTF-8, without the program name). program is the
// path of the zevc executable, used to find the default stub and archive library.
// Returns 0 on success and 1 on any failure, reported on err.
int RunZevc(const std::vector<std::string>& arguments, const std::filesystem::path& program,
            std::ostream& out, std::ostream& err);

// "file:line:column: message", then the source line and a caret under the column.
std::string FormatSourceError(const std::string& file, std::string_view source, const SourceError& error);

// Compiles source bytes to the compiled script's bytes. source_path is recorded in
// section 12. Throws SourceError.
std::string CompileToBytes(std::string_view source, const std::string& source_path);

}  // namespace zev::zevc
