// Windows path texts taken apart and rebuilt: the parts that "Extract Path" selects,
// the drive of a path, and the short and long forms that "Convert Path" asks of the
// file system.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "script/text.h"

namespace zev {

// The drive ("C:") or network share ("\\server\share") at the start of a path, without
// a trailing backslash; empty when the path has neither.
Text FileDrive(TextView path);

// The file name: the text after the last backslash or colon.
Text FileNamePart(TextView path);
// The extension with its dot (".gz"), or empty: the text from the last dot of the file
// name on.
Text FileExtensionPart(TextView path);
// The folder part: up to and including the last backslash or colon; empty when none.
Text FolderPart(TextView path);

// The part of a cleaned path that an "Extract Path" mode selects:
// 0 file name, 1 file name without extension, 2 extension without its dot,
// 3 folder with a trailing backslash, 4 parent folder with a trailing backslash,
// 5 drive or share with a trailing backslash, 6 every pair of backslashes collapsed.
// Modes 3 to 5 give the empty text when the path has no such part. Any other mode
// gives the path unchanged.
Text ExtractPathPart(TextView cleaned, int64_t mode);

// The long form of an existing path, built from its root component by component, each
// replaced by the name a directory search reports for it; double quotes are removed and
// no trailing backslash is kept. A component the search cannot find ends the result
// there, as written.
Text LongPathForm(FileSystem& files, TextView path);

// The short form of an existing path: asked for the path as it is, then for the path
// with the "\\?\" prefix; the path unchanged when both fail.
Text ShortPathForm(FileSystem& files, TextView path);

// "Convert Path" on a cleaned value: environment references expanded, a path without
// drive or share put under setup_folder, made absolute, then converted to its short or
// long form. The empty text when nothing exists at the resulting path.
Text ConvertPathValue(FileSystem& files, SystemInfo& system, TextView cleaned, TextView setup_folder,
                      bool short_form);

}  // namespace zev
