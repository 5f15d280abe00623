// The end of a Windows executable's image: where data appended to it begins.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace zev {

// The largest (raw data offset + raw data size) over the section table of a PE
// image, read from its headers; nullopt when the bytes are not a PE image or its
// headers run past the end of the bytes. Only the headers need to be present.
std::optional<uint64_t> PeImageEnd(std::string_view bytes);

// The same for a file, reading only its headers; nullopt also when the file cannot
// be read.
std::optional<uint64_t> PeImageEndOfFile(const std::filesystem::path& path);

}  // namespace zev
