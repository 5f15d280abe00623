// Web media placement, the body of the `TExtractMedia` worker: a downloaded web media
// archive is unpacked into a temporary root and each file the media file table names is
// moved (or, in copy mode, linked or copied) to its folder under the media root; what is
// left is moved over as a folder tree. Also the file moves both media workers share.
#pragma once

#include <functional>
#include <vector>

#include "media/archive_routines.h"
#include "platform/platform.h"

namespace zev {

class Engine;

// Publishes a progress text at a position 0 to 100; returns false when the worker has
// been asked to terminate.
using MediaProgress = std::function<bool(TextView text, int position)>;

// ---- File moves shared by the media workers ----

// The long-path form of a path: "\\?\" + path, "\\?\UNC\server\share..." for a network
// path; a path already in that form is returned as it is.
Text LongPathForm(TextView path);

// A hard link when both paths lie on the same drive, else (or when linking fails) a plain
// copy. Fails when the destination exists.
PlatformStatus LinkOrCopyFile(FileSystem& files, TextView from, TextView to);

// Moves every file below from to the same place below to (creating folders, replacing
// files), then removes the emptied folders of from. A missing from moves nothing.
PlatformStatus MoveFolderTree(FileSystem& files, TextView from, TextView to);

// Every file below folder, as paths relative to it ("sub\name"), folders first listed
// depth first in the order the system gives; nothing when folder cannot be listed.
std::optional<std::vector<Text>> ListFilesBelow(FileSystem& files, TextView folder);

// ---- Web media placement ----

// One row of the media file table (script section 9).
struct MediaFileRow {
    Text media_name;  // the web media it comes from ("Name" or "Name\")
    Text file_path;   // inside the archive's top folder: folder + "\" + file name
    Text folder;      // below the media root, with a trailing backslash
};

// The table's flat list of texts taken three at a time; a trailing incomplete row is left out.
std::vector<MediaFileRow> MediaFileRows(const std::vector<Text>& flat_table);

// What the rest of the run remembers between placements.
struct WebMediaState {
    // Once set, files are linked or copied instead of moved, for the rest of the run.
    bool copy_mode = false;
    // The last extraction failed for want of the right password.
    bool wrong_password = false;
};

struct WebMediaPlacementJob {
    Text archive;          // the downloaded archive (or a local copy of it)
    Text password;
    Text media_root;       // trailing backslash
    Text progress_prefix;  // "Extracting Web Media: " + media name
    Text temporary_root;   // common application data folder + "quib\"
    Text copy_web_location;  // COPYWEBLOCK: where a copy of the archive goes; empty: none
    std::vector<MediaFileRow> table;
};

// Runs the placement; true when every file of the archive's media reached the media root.
// error: the extraction's error text, or the failed file operation's message.
bool PlaceWebMedia(Engine& engine, const WebMediaPlacementJob& job, WebMediaState& state,
                   const MediaProgress& progress, Text& error);

}  // namespace zev
