// The setup source location: where the setup's own files are when one the engine needs
// is missing from the media root - the installed product's cached sources, or a folder
// the user points to.
#pragma once

#include <functional>
#include <optional>
#include <stdexcept>

#include "platform/platform.h"

namespace zev {

// Raised when no folder with the sources was found and ABORTONERROR is set.
inline constexpr char16_t kSourcesRequiredMessage[] =
    u"Original setup sources required to complete operation, sources not found";
inline constexpr char16_t kLocateSourcesPrompt[] = u"Please locate your original setup sources to continue operation";

class SetupSourcesMissing : public std::runtime_error {
public:
    SetupSourcesMissing();
};

// True when folder holds the setup sources: folder + PRODUCTCODE exists as a file, or
// folder + "data\" + PRODUCTCODE does.
bool HoldsSetupSources(FileSystem& files, TextView folder, TextView product_code);

struct SetupSourceSettings {
    int64_t media_mode = 1;
    Text product_code;        // PRODUCTCODE
    Text title;               // TITLE: the product's uninstall key name
    bool all_users = false;   // ALLUSERS passes the truth test
    bool windows_9x = false;  // the system is of the Windows 9x platform
    bool silent = false;
    bool abort_on_error = false;
    Text source_override;     // the "/p=" folder; empty when not given
};

// Shows the folder browser with a prompt (taskbar paused while it is open); the chosen
// folder, or nothing when cancelled.
using FolderBrowser = std::function<std::optional<Text>(TextView prompt)>;

struct SetupSourceResult {
    Text media_root;  // possibly changed, trailing backslash
    Text path;        // media root + the wanted relative path; may still be missing
};

// Finds the media root that holds the wanted file (a path relative to the media root).
// With media mode 3 the installed product's cached source folder is tried; then, unless
// silent, the user is asked until a folder with the sources is chosen or the browser is
// cancelled. Throws SetupSourcesMissing when no folder came and abort_on_error is set.
SetupSourceResult LocateSetupFile(FileSystem& files, Registry& registry, const SetupSourceSettings& settings,
                                  TextView media_root, TextView relative_path, const FolderBrowser& browse);

}  // namespace zev
