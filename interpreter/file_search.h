// The folder-tree walk of "Find All Files" and "Delete Files Recursive".
#pragma once

#include <functional>
#include <vector>

#include "platform/platform.h"
#include "script/text.h"

namespace zev {

// What a search reports while it walks and how it learns that it should stop. Every
// member may be empty.
struct SearchHooks {
    // Called once per folder searched with a counter that advances by one modulo 101.
    std::function<void(int position)> folder_searched;
    // Called for every file found, with its full path.
    std::function<void(TextView path)> file_found;
    // Asked after every sub-folder and every file; true ends the whole search.
    std::function<bool()> stop_requested;
};

// Searches a pattern (a folder path followed by a file-name pattern with wildcards,
// such as C:\Data\*.txt). For each folder the list holds, for every sub-folder in the
// order the system lists them, what the sub-folder's search found (with recurse) and
// then the sub-folder itself (with include_folders), followed by the folder's files
// that match the file-name pattern. Sub-folders are listed whatever the pattern; links
// to folders are listed but never entered. A stopped search returns what it has so far.
std::vector<Text> SearchFiles(FileSystem& files, TextView pattern, bool recurse, bool include_folders,
                              const SearchHooks& hooks = {});

// Deletes the files that match the pattern in its folder and every sub-folder, and the
// sub-folders that become empty, in passes until a pass removes nothing; the pattern's
// own folder stays. Failures are passed over.
void DeleteFilesRecursive(FileSystem& files, TextView pattern);

}  // namespace zev
