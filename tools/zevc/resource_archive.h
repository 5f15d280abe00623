// The resource archive of a setup: a 7-Zip archive of the support files.
#pragma once

#include <filesystem>
#include <vector>

#include "script/text.h"

namespace zev::zevc {

struct ArchiveEntry {
    std::filesystem::path file;  // the file to pack
    Text name;                   // its path inside the archive
};

// Writes a 7-Zip archive holding exactly these entries (none: an empty archive),
// replacing any file at that path. Throws BuildError.
void CreateResourceArchive(const std::filesystem::path& archive, const std::vector<ArchiveEntry>& entries);

}  // namespace zev::zevc
