// Offline media copy, the body of the `TCopyMedia` worker: the files of the setup's
// "offline" and "mergemod" folders are moved (or linked or copied, when sources are
// cached) into the media root.
#pragma once

#include "media/web_media_placement.h"

namespace zev {

struct OfflineMediaCopyJob {
    Text source_folder;  // S: the folder that holds "offline" and "mergemod" (or one below it)
    Text media_root;     // D, trailing backslash
    bool compress = false;       // QUIB_COMPRESS_INSTALLER_CACHE: compress each copied file
    bool cache_sources = false;  // #CACHESOURCES# is "TRUE" (letter case ignored)
    int64_t media_mode = 1;
    Text copy_web_location;  // COPYWEBLOCK; empty: none
    Text setup_file;         // SFXPATH + "\" + SFXFILE, in its long form
};

// What one run found out; kept for the caller's information.
struct OfflineMediaCopyState {
    // Set when plain listing met a name it could not open: every name is then used in
    // its long-path form.
    bool long_paths = false;
};

// Copies the offline media; progress gets "$IGNORE$" (the text stays) with each position
// and the file name with its percentage. False when asked to terminate or when a file did
// not reach its destination (error tells which).
bool CopyOfflineMedia(FileSystem& files, const OfflineMediaCopyJob& job, OfflineMediaCopyState& state,
                      const MediaProgress& progress, Text& error);

}  // namespace zev
