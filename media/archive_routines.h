// The engine's archive routines over the archive library: each returns success and
// gives an error text ("#" + the library's code, or a message), empty on success.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "script/text.h"

namespace zev {
class Engine;
}

namespace zev {

// Progress of an archive routine: current file name, bytes done and total.
// Returns false to stop the work.
using ArchiveProgress = std::function<bool(TextView file_name, uint64_t done, uint64_t total)>;

struct ExtractRequest {
    Text archive;
    Text password;
    Text output_folder;
    std::vector<Text> entries;   // empty: every entry of the archive
    bool keep_paths = true;      // the path flag
    bool overwrite = true;
};

// Extracts an archive. A retryable failure is retried once in this process and then,
// unless this process is itself an out-of-process extraction, in a second engine
// process started with "OutOfProcessExtract".
bool ExtractArchiveRoutine(Engine& engine, const ExtractRequest& request, const ArchiveProgress& progress,
                           Text& error);

// Lists the names of an archive's entries.
bool ListArchiveRoutine(Engine& engine, TextView archive, TextView password, std::vector<Text>& names, Text& error);

struct CreateRequest {
    Text archive;
    Text password;
    Text switches;
    std::vector<Text> files1;
    std::vector<Text> files2;
    int32_t level_code = 0;
    int32_t mode = 0;
};

// Packs files. A retryable failure of a switch text made by LevelSwitches is retried up
// to three times with less demanding levels.
bool CreateArchiveRoutine(Engine& engine, const CreateRequest& request, const ArchiveProgress& progress,
                          Text& error);
bool DeleteArchiveRoutine(Engine& engine, TextView archive, TextView password, const std::vector<Text>& entries,
                          const ArchiveProgress& progress, Text& error);
bool TestArchiveRoutine(Engine& engine, TextView archive, TextView password, const ArchiveProgress& progress,
                        Text& error);

// The message a web media extraction compares with to learn that the password was wrong.
inline constexpr char16_t kWrongPasswordMessage[] =
    u"The archive cannot be opened: unsupported archive or incorrect password";

// True when an archive routine's error text says that the archive could not be opened
// for want of the right password: the library's code 1003 ("#1003"), or the message
// above. Scripts keep seeing the "#" + code text; this only classifies it.
bool IsWrongPasswordError(TextView error);

// The switch text of a compression level digit ("0" to "6"), with the header-encryption
// flag and a thread count chosen for the processor count.
Text LevelSwitches(TextView digit, bool encrypt_headers, uint32_t processors);

}  // namespace zev
