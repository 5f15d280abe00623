// The 7-Zip statements: extract, test, compress, delete and list archives.
#include <optional>

#include "interpreter/dispatch.h"
#include "interpreter/interpreter.h"
#include "interpreter/parameter_forms.h"
#include "interpreter/worker_wait.h"
#include "media/archive_jobs.h"
#include "media/delimited_text.h"

namespace zev {

namespace {

// The library level code of a compression level parameter 0 to 6.
std::optional<int32_t> LevelCode(TextView parameter) {
    static constexpr int32_t codes[] = {0, 5, 4, 6, 130, 132, 1};
    const auto level = ParseInt(parameter);
    if (!level || *level < 0 || *level > 6) return std::nullopt;
    return codes[*level];
}

// What every worker-run statement does after its job: cancellation, then the result.
void FinishJob(Interpreter& interpreter, const ArchiveJobResult& result, TextView cancel_label, size_t result_param) {
    if (result.cancelled && FinishCancelledWait(interpreter, cancel_label)) return;
    const Text name = NameParameter(interpreter, result_param, NameForm::DollarAllowed);
    if (name.empty()) return;
    StoreResult(interpreter, name, result.success ? Text(u"SUCCESS") : result.error);
}

void ExtractArchiveCommand(Interpreter& interpreter) {
    Engine& engine = interpreter.engine();
    auto redirection = engine.platform.system.SuspendFileSystemRedirection();
    ExtractRequest request;
    request.archive = CleanedPathParameter(interpreter, 1);
    request.output_folder = CleanedPathParameter(interpreter, 2);
    request.password = interpreter.Expanded(4);
    request.overwrite = FlagParameter(interpreter, 5);
    request.keep_paths = FlagParameter(interpreter, 6);
    const ArchiveJobResult result = RunArchiveJob(
        interpreter, ArchiveJobKind::Extract, [&engine, request](const ArchiveProgress& progress, Text& error) {
            if (PlatformStatus made = engine.platform.files.CreateFolderTree(request.output_folder); !made.ok()) {
                error = made.message;
                return false;
            }
            return ExtractArchiveRoutine(engine, request, progress, error);
        });
    FinishJob(interpreter, result, u"Cancel at Extract-7Zip Time", 3);
}

void TestArchiveCommand(Interpreter& interpreter) {
    Engine& engine = interpreter.engine();
    auto redirection = engine.platform.system.SuspendFileSystemRedirection();
    const Text archive = CleanedPathParameter(interpreter, 1);
    const Text password = interpreter.Expanded(2);
    const ArchiveJobResult result = RunArchiveJob(
        interpreter, ArchiveJobKind::Test, [&engine, archive, password](const ArchiveProgress& progress, Text& error) {
            return TestArchiveRoutine(engine, archive, password, progress, error);
        });
    FinishJob(interpreter, result, u"Cancel at Extract-7Zip Time", 3);
}

void CompressArchiveCommand(Interpreter& interpreter) {
    Engine& engine = interpreter.engine();
    auto redirection = engine.platform.system.SuspendFileSystemRedirection();
    CreateRequest request;
    request.archive = CleanedPathParameter(interpreter, 1);
    request.password = interpreter.Expanded(2);
    request.files1 = SplitDelimited(CleanedPathParameter(interpreter, 3));
    request.files2 = SplitDelimited(CleanedPathParameter(interpreter, 4));
    if (auto code = LevelCode(interpreter.Parameter(5))) engine.archive_level_code = *code;
    request.switches = interpreter.Expanded(6);
    if (FlagParameter(interpreter, 7)) engine.archive_mode = 2;
    if (FlagParameter(interpreter, 8)) engine.archive_mode = 0;
    if (FlagParameter(interpreter, 9)) engine.archive_mode = 1;
    request.level_code = engine.archive_level_code;
    request.mode = engine.archive_mode;
    const ArchiveJobResult result = RunArchiveJob(
        interpreter, ArchiveJobKind::Compress, [&engine, request](const ArchiveProgress& progress, Text& error) {
            return CreateArchiveRoutine(engine, request, progress, error);
        });
    FinishJob(interpreter, result, u"Cancel at Compress-7Zip Time", 10);
}

void DeleteArchiveCommand(Interpreter& interpreter) {
    Engine& engine = interpreter.engine();
    auto redirection = engine.platform.system.SuspendFileSystemRedirection();
    const Text archive = CleanedPathParameter(interpreter, 1);
    const Text password = interpreter.Expanded(2);
    const std::vector<Text> entries = SplitDelimited(CleanedPathParameter(interpreter, 3));
    const ArchiveJobResult result =
        RunArchiveJob(interpreter, ArchiveJobKind::Delete,
                      [&engine, archive, password, entries](const ArchiveProgress& progress, Text& error) {
                          return DeleteArchiveRoutine(engine, archive, password, entries, progress, error);
                      });
    FinishJob(interpreter, result, u"Cancel at Delete-7Zip Time", 4);
}

void ListArchiveCommand(Interpreter& interpreter) {
    Engine& engine = interpreter.engine();
    auto redirection = engine.platform.system.SuspendFileSystemRedirection();
    const Text archive = CleanedPathParameter(interpreter, 1);
    const Text password = interpreter.Expanded(2);
    std::vector<Text> names;
    Text error;
    const bool listed = ListArchiveRoutine(engine, archive, password, names, error);
    const Text name = NameParameter(interpreter, 3, NameForm::DollarAllowed);
    if (name.empty()) return;
    StoreResult(interpreter, name, listed ? JoinDelimited(names) : u"#ERROR\\" + error);
}

constexpr CommandRow kArchiveCommands[] = {
    {u"Extract 7Zip Archive", ExtractArchiveCommand},
    {u"Test 7Zip Archive", TestArchiveCommand},
    {u"Compress 7Zip Archive", CompressArchiveCommand},
    {u"Delete 7Zip Archive", DeleteArchiveCommand},
    {u"List 7Zip Archive", ListArchiveCommand},
};

}  // namespace

std::span<const CommandRow> ArchiveCommands() {
    return kArchiveCommands;
}

}  // namespace zev
