// File versions: the fixed version block of a Windows image's version resource, read
// from the file's bytes, and the version texts that scripts compare files against.
#pragma once

#include <array>
#include <cstdint>

#include "platform/platform.h"
#include "script/text.h"

namespace zev {

// Major, minor, build, revision. File versions are 16-bit fields; fields read from a
// version text are 32-bit. Quadruples order field by field as unsigned numbers.
using VersionQuadruple = std::array<uint32_t, 4>;

// The file version of a PE image (32- or 64-bit): major and minor from the high and low
// halves of the most significant file-version word of its first version resource, build
// and revision from the least significant one. 0.0.0.0 for a missing file, a file that
// is no PE image, or an image without version information.
VersionQuadruple ReadFileVersion(FileSystem& files, TextView path);

// A version text read field by field, four times: an empty rest gives 0; with a dot, the
// integer before the first dot (ConversionError when it is none) and the rest after it;
// without, the integer value of the whole rest (0 when it is none). Integers are read as
// signed 32-bit numbers and kept as their unsigned bit pattern. Text after the fourth
// field is ignored.
VersionQuadruple ParseVersionText(TextView text);

// "major.minor.build.revision" in unsigned decimal.
Text VersionText(const VersionQuadruple& version);

}  // namespace zev
