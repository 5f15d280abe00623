// The setup log as a test sees it.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace zev::e2e {

// Reads a setup log: UTF-16LE, each line ended by CR LF, no byte-order mark.
// Returns the lines in UTF-8. Throws std::runtime_error naming the byte offset when
// the file is missing or breaks that format (a BOM, an odd length, a bare CR or LF,
// text after the last CR LF, an unpaired surrogate).
std::vector<std::string> ReadSetupLog(const std::filesystem::path& path);
std::vector<std::string> ParseSetupLog(std::string_view bytes);

}  // namespace zev::e2e
