// Engine-wide values of one run: what start-up establishes before the interpreter runs,
// and the few settings the interpreter refreshes from variables before every statement.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/platform.h"
#include "script/statement_table.h"
#include "script/text.h"
#include "script/variable_manager.h"
#include "startup/command_line.h"
#include "startup/setup_log.h"

namespace zev {

struct EngineFolders {
    Text executable_path;    // full path of the engine executable
    Text executable_folder;  // with a trailing backslash
    Text setup_name;         // executable file name without folder and extension
    Text temporary_folder;   // long form, trailing backslash
    Text support_folder;     // temporary folder + "zev" + N + "\"; empty until created
    Text resource_archive;   // executable folder + setup name + ".res"
    Text resource_package;   // support folder + setup name + ".msi"
    Text data_folder;        // executable folder + "data\"
};

class Engine {
public:
    Engine(Platform& platform, TVariableManager& variables)
        : platform(platform), variables(variables), log(platform.files) {}

    Platform& platform;
    TVariableManager& variables;
    SetupLog log;
    CommandLine command_line;
    EngineFolders folders;
    StatementTable script;
    Text package_path;       // handed to the interpreter; MSIFILE

    int exit_code = 0;
    bool silent = false;
    Text title;              // TITLE as last refreshed
    bool title_alone = false;  // QUIBLOGO is "TRUE"
    // Compression level code and mode of the last "Compress 7Zip Archive"; kept between
    // statements.
    int32_t archive_level_code = 0;
    int32_t archive_mode = 0;
    // Set when the single-instance check ended the run; start-up then exits with 0.
    bool ended_by_single_instance = false;

    // The script's bitness mode for file and registry work: "Win32", "x64" or "ia64".
    Text bitness_mode = u"Win32";
    // Names that "Set Variable" marked persistent, in the order first marked, without
    // duplicates (letter case ignored); saved with the maintenance state.
    std::vector<Text> persistent_variables;
    // Receive time-out of web-media downloads, in seconds (QUIB_TIMEOUT).
    int64_t download_timeout_seconds = 10;

    // Seams to subsystems that hook themselves in; an empty one means "not present".
    // Script-text translation: the text unchanged unless a translation applies to the
    // key (a statement identifier or a localization-variable key) and parameter index.
    std::function<Text(TextView text, TextView key, size_t parameter_index)> translate;
    // NATIVE_LOGGING changes from previous to value: moves the native log target and
    // tells whether the new value can be used (false stores the empty text instead).
    std::function<bool(TextView previous, TextView value)> switch_native_log;
    // Shows a progress text and a position on a scale of 0 to 100 at once; an open
    // progress dialog may refresh itself on its timer while this runs.
    std::function<void(TextView text, int64_t position)> refresh_progress;

    // Caption of every engine message box.
    Text WizardTitle() const;
    // Shows an error message unless the run is silent.
    void ShowError(TextView text);
};

}  // namespace zev
