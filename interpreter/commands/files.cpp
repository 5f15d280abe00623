// The file, text, INI and XML commands: all act on files at once and record nothing
// for uninstall. Here file versions, disk space, and the folder-tree search and
// deletion; the text, INI and XML handlers live beside this file.
#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

#include "interpreter/dispatch.h"
#include "interpreter/file_commands.h"
#include "interpreter/file_search.h"
#include "interpreter/file_version.h"
#include "interpreter/interpreter.h"
#include "interpreter/worker_wait.h"
#include "interpreter/parameter_forms.h"
#include "media/delimited_text.h"

namespace zev {

namespace {

// How long a search asked to stop may stay silent before it is given up.
constexpr uint64_t kSearchWatchdogMilliseconds = 5000;

void GetFileVersion(Interpreter& interpreter) {
    const Text path = CleanedPathParameter(interpreter, 1);
    const Text result_name = NameParameter(interpreter, 2, NameForm::DollarAllowed);
    CreateIfMissing(interpreter, result_name);
    VersionQuadruple version;
    {
        const auto redirection = RedirectionForBitnessMode(interpreter);
        version = ReadFileVersion(interpreter.platform().files, path);
    }
    StoreResult(interpreter, result_name, VersionText(version));
}

void CheckFileVersion(Interpreter& interpreter) {
    const Text result_name = NameParameter(interpreter, 1, NameForm::Plain);
    CreateIfMissing(interpreter, result_name);
    const Text path = CleanedPathParameter(interpreter, 2);
    const bool against_file = FlagParameter(interpreter, 3);
    VersionQuadruple version;
    VersionQuadruple other;
    {
        const auto redirection = RedirectionForBitnessMode(interpreter);
        FileSystem& files = interpreter.platform().files;
        version = ReadFileVersion(files, path);
        other = against_file ? ReadFileVersion(files, CleanedPathParameter(interpreter, 4))
                             : ParseVersionText(interpreter.Expanded(5));
    }
    StoreResult(interpreter, result_name, FromBool(version > other));
}

void CheckDiskSpace(Interpreter& interpreter) {
    const Text result_name = NameParameter(interpreter, 1, NameForm::DollarAllowed);
    CreateIfMissing(interpreter, result_name);
    const Text path = CleanedPathParameter(interpreter, 2);
    const bool free_space = FlagParameter(interpreter, 3);
    std::optional<FileSystem::VolumeSpace> space;
    {
        const auto redirection = RedirectionForBitnessMode(interpreter);
        space = interpreter.platform().files.QueryVolumeSpace(path);
    }
    const int64_t bytes = !space ? 0 : free_space ? space->free_to_caller : space->total;
    StoreResult(interpreter, result_name, FromInt(bytes));
}

// What the search worker and the waiting statement share. Held by both, so that a
// worker that was given up can finish on its own without touching freed memory.
struct SearchState {
    std::atomic<bool> finished{false};
    std::atomic<bool> stop{false};
    std::mutex lock;
    std::vector<Text> found;
};

Text TickText(SystemInfo& system) {
    return FromInt(static_cast<int64_t>(system.TickCount() & 0xFFFFFFFFu));
}

// The worker's progress reports: the folder counter as the position on a scale of 0 to
// 100 with the text unchanged, and each file found as the text with the numbers
// unchanged. Each value is written under the store's lock.
SearchHooks WorkerHooks(Engine& engine, const std::shared_ptr<SearchState>& state) {
    SearchHooks hooks;
    hooks.folder_searched = [&engine](int position) {
        TVariableManager& variables = engine.variables;
        variables.SetItem(u"QUIB_LastDelegateTick", TickText(engine.platform.system));
        variables.SetItem(u"QUIB_thMax", u"100");
        variables.SetItem(u"QUIB_thMin", u"0");
        variables.SetItem(u"QUIB_thProgress", FromInt(position));
    };
    hooks.file_found = [&engine](TextView path) {
        TVariableManager& variables = engine.variables;
        variables.SetItem(u"QUIB_LastDelegateTick", TickText(engine.platform.system));
        variables.SetItem(u"QUIB_thProgressText", path);
    };
    hooks.stop_requested = [state] { return state->stop.load(); };
    return hooks;
}

void FindAllFiles(Interpreter& interpreter) {
    Engine& engine = interpreter.engine();
    TVariableManager& variables = engine.variables;
    const Text pattern = CleanedPathParameter(interpreter, 1);
    const bool recurse = FlagParameter(interpreter, 2);
    const bool include_folders = FlagParameter(interpreter, 3);
    const Text result_name = NameParameter(interpreter, 4, NameForm::DollarAllowed);
    const bool suspend_redirection = engine.bitness_mode != u"Win32" && engine.platform.system.Is64BitWindows();

    auto state = std::make_shared<SearchState>();
    std::thread worker([&engine, state, pattern, recurse, include_folders, suspend_redirection] {
        std::unique_ptr<ScopeGuard> redirection;
        if (suspend_redirection) redirection = engine.platform.system.SuspendFileSystemRedirection();
        std::vector<Text> found;
        try {
            found = SearchFiles(engine.platform.files, pattern, recurse, include_folders, WorkerHooks(engine, state));
        } catch (const std::exception&) {
            // A search that fails hands over nothing.
        }
        {
            std::lock_guard<std::mutex> guard(state->lock);
            state->found = std::move(found);
        }
        state->finished = true;
        engine.platform.ui.WakeMainThread();
    });

    const bool abandoned =
        WaitForWorker(engine, worker, state->finished, state->stop, kSearchWatchdogMilliseconds).abandoned;

    if (IsTrue(variables.ValueOf(u"QUIB_IsCancelled")) && FinishCancelledWait(interpreter, u"Cancel at Find-Files Time"))
        return;
    std::vector<Text> found;
    if (!abandoned) {
        std::lock_guard<std::mutex> guard(state->lock);
        found = state->found;
    }
    StoreResult(interpreter, result_name, JoinDelimited(found));
}

void DeleteFilesRecursiveCommand(Interpreter& interpreter) {
    const Text pattern = CleanedPathParameter(interpreter, 1);
    const auto redirection = RedirectionForBitnessMode(interpreter);
    DeleteFilesRecursive(interpreter.platform().files, pattern);
}

constexpr CommandRow kRows[] = {
    {u"Read from Text File", file_commands::ReadFromTextFile},
    {u"Write to Text File", file_commands::WriteToTextFile},
    {u"Get INI File Settings", file_commands::GetIniFileSettings},
    {u"Get XML File Settings", file_commands::GetXmlFileSettings},
    {u"Evaluate XPath Query", file_commands::EvaluateXPathQuery},
    {u"Edit XML File", file_commands::EditXmlFile},
    {u"Get File Version", GetFileVersion},
    {u"Check File Version", CheckFileVersion},
    {u"Check Disk Space", CheckDiskSpace},
    {u"Find All Files", FindAllFiles},
    {u"Delete Files Recursive", DeleteFilesRecursiveCommand},
};

}  // namespace

std::span<const CommandRow> FileCommands() {
    return kRows;
}

}  // namespace zev
