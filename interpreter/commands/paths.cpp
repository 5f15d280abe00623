// "Get Temporary File", "Does File/Folder Exist", "Convert Path" and "Extract Path":
// commands that ask the file system about paths or take path texts apart.
#include "interpreter/dispatch.h"
#include "interpreter/interpreter.h"
#include "interpreter/parameter_forms.h"
#include "interpreter/path_functions.h"

namespace zev {

namespace {

// Temporary files of the engine are named "zev" + a number chosen by the system.
constexpr TextView kTemporaryFilePrefix = u"zev";

void GetTemporaryFile(Interpreter& interpreter) {
    const Text result_name = NameParameter(interpreter, 1, NameForm::DollarAllowed);
    Text path;
    {
        const auto redirection = RedirectionForBitnessMode(interpreter);
        path = interpreter.platform()
                   .files.CreateTemporaryFile(interpreter.engine().folders.temporary_folder, kTemporaryFilePrefix)
                   .value_or(Text());
    }
    StoreResult(interpreter, result_name, path);
}

void DoesFileOrFolderExist(Interpreter& interpreter) {
    const Text result_name = NameParameter(interpreter, 1, NameForm::Plain);
    CreateIfMissing(interpreter, result_name);
    const Text path = CleanedPathParameter(interpreter, 2);
    const bool want_file = FlagParameter(interpreter, 3);
    FileSystem& files = interpreter.platform().files;
    bool exists = false;
    {
        const auto redirection = RedirectionForBitnessMode(interpreter);
        exists = want_file ? files.FileExists(path) : files.FolderExists(path);
    }
    StoreResult(interpreter, result_name, FromBool(exists));
}

void ConvertPath(Interpreter& interpreter) {
    const Text name = NameParameter(interpreter, 1, NameForm::Plain);
    const bool short_form = FlagParameter(interpreter, 2);
    const TVariableManager& variables = interpreter.variables();
    const Text cleaned = CleanedPath(variables, variables.ValueOf(name));
    const Text setup_folder = CleanedPath(variables, variables.ValueOf(u"SETUPPATH"));
    Platform& platform = interpreter.platform();
    Text converted;
    {
        const auto redirection = RedirectionForBitnessMode(interpreter);
        converted = ConvertPathValue(platform.files, platform.system, cleaned, setup_folder, short_form);
    }
    StoreResult(interpreter, name, converted);
}

void ExtractPath(Interpreter& interpreter) {
    const Text name = NameParameter(interpreter, 1, NameForm::Plain);
    const TVariableManager& variables = interpreter.variables();
    const Text cleaned = CleanedPath(variables, variables.ValueOf(name));
    const int64_t mode = IntegerParameter(interpreter, 2);
    StoreResult(interpreter, name, ExtractPathPart(cleaned, mode));
}

constexpr CommandRow kRows[] = {
    {u"Get Temporary File", GetTemporaryFile},
    {u"Does File/Folder Exist", DoesFileOrFolderExist},
    {u"Convert Path", ConvertPath},
    {u"Extract Path", ExtractPath},
};

}  // namespace

std::span<const CommandRow> PathCommands() {
    return kRows;
}

}  // namespace zev
