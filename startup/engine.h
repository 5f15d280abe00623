// Engine-wide values of one run: what start-up establishes before the interpreter runs,
// and the few settings the interpreter refreshes from variables before every statement.
#pragma once

#include <atomic>

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
    // Set when the single-instance check ended the run; start-up then exits with 0.
    bool ended_by_single_instance = false;

    // Caption of every engine message box.
    Text WizardTitle() const;
    // Shows an error message unless the run is silent.
    void ShowError(TextView text);
};

}  // namespace zev
