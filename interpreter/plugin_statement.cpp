#include "interpreter/plugin_statement.h"

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "interpreter/interpreter.h"
#include "interpreter/worker_wait.h"
#include "interpreter/path_functions.h"
#include "script/substitution.h"

namespace zev {

namespace {

// Longest result a plug-in may return, in characters; a larger size answer is treated
// as a failure instead of an allocation the process cannot survive.
constexpr int32_t kMaxPluginResult = 64 * 1024 * 1024;

Text LocatePluginLibrary(Interpreter& interpreter) {
    Engine& engine = interpreter.engine();
    const Text library = interpreter.Parameter(2);
    const Text& media = engine.script.MediaName(interpreter.CurrentIndex());
    if (media.empty()) return engine.folders.support_folder + FileNamePart(library);
    // Media folders lie under the media root, which starts as the executable folder.
    return engine.folders.executable_folder + WithTrailingBackslash(media) + library;
}

}  // namespace

std::optional<Text> CallPluginEntry(PluginLibrary& library, uintptr_t owner_window, TextView variables,
                                    TextView parameters, const PluginLibrary::ProgressFunction& progress) {
    uint8_t flag = 0;
    if (library.HasWideEntry()) {
        const Text vars(variables);
        const Text params(parameters);
        const int32_t length = library.CallWide(owner_window, vars.c_str(), params.c_str(), progress, &flag, nullptr);
        if (length < 0 || length > kMaxPluginResult) return std::nullopt;
        // The buffer is 5 x length + 1 bytes, as plug-ins expect.
        const size_t bytes = 5 * static_cast<size_t>(length) + 1;
        std::vector<char16_t> buffer(bytes / 2 + 1, u'\0');
        const int32_t second = library.CallWide(owner_window, vars.c_str(), params.c_str(), progress, &flag,
                                                buffer.data());
        if (second < 0) return std::nullopt;
        buffer.back() = u'\0';
        return Text(buffer.data());
    }
    if (library.HasNarrowEntry()) {
        const std::string vars = library.ToSystemCodePage(variables);
        const std::string params = library.ToSystemCodePage(parameters);
        const int32_t length = library.CallNarrow(owner_window, vars.c_str(), params.c_str(), progress, &flag, nullptr);
        if (length < 0 || length > kMaxPluginResult) return Text(variables);
        std::vector<char> buffer(static_cast<size_t>(length) + 1, '\0');
        const int32_t second = library.CallNarrow(owner_window, vars.c_str(), params.c_str(), progress, &flag,
                                                  buffer.data());
        if (second < 0) return Text(variables);
        buffer.back() = '\0';
        return library.FromSystemCodePage(buffer.data());
    }
    return std::nullopt;
}

void RunPluginStatement(Interpreter& interpreter) {
    Engine& engine = interpreter.engine();
    TVariableManager& vars = engine.variables;
    const Text path = LocatePluginLibrary(interpreter);
    const Text exported = vars.ExportCommaText();

    if (!engine.platform.files.FileExists(path)) {
        engine.ShowError(u"Unable to load plug-in library. Please rebuild your project and make sure all required "
                         u"plug-ins are installed.\r\rAction skipped");
        engine.log.Write(u"      <PlugIn>" + path + u" not found</PlugIn>");
        return;
    }

    const Text parameters = ProtectSpacesInCommaText(interpreter.Parameter(1));
    std::atomic<bool> finished{false};
    std::atomic<bool> stop_requested{false};
    std::optional<Text> result;
    bool loaded = true;
    PluginLibrary::ProgressFunction progress = [&](int32_t percent, TextView text) -> int {
        vars.SetItem(u"QUIB_thProgress", FromInt(percent < 0 ? 0 : percent > 100 ? 100 : percent));
        vars.SetItem(u"QUIB_thProgressText", text);
        vars.SetItem(u"QUIB_LastDelegateTick", FromInt(static_cast<int64_t>(
                                                    engine.platform.system.TickCount() & 0xFFFFFFFFu)));
        return stop_requested ? 0 : 1;
    };

    // In a 64-bit bitness mode the plug-in sees the real system folders, except the
    // installer helper library on Windows 7 and later, which handles that itself.
    const OsVersion version = engine.platform.system.Version();
    const bool installer_helper = EqualsNoCase(FileNamePart(path), u"mMSIExec.dll") &&
                                  (version.major > 6 || (version.major == 6 && version.minor >= 1));
    const bool suspend_redirection =
        engine.bitness_mode != u"Win32" && engine.platform.system.Is64BitWindows() && !installer_helper;

    std::thread worker([&] {
        std::unique_ptr<ScopeGuard> redirection;
        if (suspend_redirection) redirection = engine.platform.system.SuspendFileSystemRedirection();
        if (auto library = engine.platform.libraries.LoadPlugin(path)) {
            result = CallPluginEntry(*library, 0, exported, parameters, progress);
        } else {
            loaded = false;
        }
        finished = true;
        engine.platform.ui.WakeMainThread();
    });
    while (!finished) {
        interpreter.WaitStep(&worker);
        if (IsTrue(vars.ValueOf(u"QUIB_IsCancelled"))) {
            vars.SetItem(u"QUIB_LastActiveTick", vars.ValueOf(u"QUIB_LastDelegateTick"));
            stop_requested = true;
        }
    }
    if (worker.joinable()) worker.join();

    if (!loaded) {
        engine.ShowError(u"Unable to load plug-in library. Please rebuild your project and make sure all required "
                         u"plug-ins are installed.\r\rAction skipped");
        engine.log.Write(u"      <PlugIn>" + path + u" could not be loaded</PlugIn>");
        return;
    }

    if (IsTrue(vars.ValueOf(u"QUIB_IsCancelled")) && FinishCancelledWait(interpreter, u"Cancel at Plug-In Time"))
        return;

    const Text text = result.value_or(Text());
    if (text.empty()) {
        if (IsTrue(vars.ValueOf(u"ABORTONERROR"))) throw ScriptError(u"General setup failure");
        return;
    }
    vars.ImportCommaText(text);
}

}  // namespace zev
