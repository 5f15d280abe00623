#include "startup/zevstub.h"

#include <exception>

#include "interpreter/interpreter.h"
#include "interpreter/path_functions.h"
#include "media/archive_routines.h"
#include "script/pe_image.h"
#include "startup/engine.h"
#include "startup/out_of_process_extract.h"

namespace zev {

namespace {

constexpr int kSupportFolderAttempts = 100000;

// Ends the run early with an exit code, after the support folder has been removed.
struct EarlyExit {
    int code;
};

Text FileNameWithoutExtension(TextView path) {
    const Text name = FileNamePart(path);
    return name.substr(0, name.size() - FileExtensionPart(name).size());
}

class SetupRun {
public:
    explicit SetupRun(Engine& engine) : engine_(engine), log_(engine.log) {}

    int Run();

private:
    void WriteCompatibilityMarks();
    void ComputeFolders();
    void CreateSupportFolder();
    void LoadScript();
    void ExtractResources();
    void CopyPackage();
    void PreloadDialogs();
    void RunScript();
    void RemoveSupportFolder();
    void Fail(int code, TextView message);

    Engine& engine_;
    SetupLog& log_;
    std::unique_ptr<PreparationWindow> window_;
};

void SetupRun::Fail(int code, TextView message) {
    if (!engine_.silent) engine_.platform.ui.ShowMessage(engine_.WizardTitle(), message, MessageIcon::Error);
    throw EarlyExit{code};
}

void SetupRun::WriteCompatibilityMarks() {
    try {
        Platform& platform = engine_.platform;
        const OsVersion version = platform.system.Version();
        const Text exe = platform.system.ExecutablePath();
        if (version.major > 6 || (version.major == 6 && version.minor >= 1)) {
            platform.registry.WriteString(RegistryRoot::ClassesRoot, u"Applications\\" + FileNamePart(exe),
                                          u"IsHostApp", u"");
        } else if (version.major == 6 && version.minor == 0) {
            platform.registry.WriteDword(
                RegistryRoot::CurrentUser,
                u"Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Compatibility Assistant\\Persisted",
                exe, 32);
        }
    } catch (...) {
        // These marks only tune the system's compatibility prompts.
    }
}

void SetupRun::ComputeFolders() {
    Platform& platform = engine_.platform;
    EngineFolders& folders = engine_.folders;
    folders.executable_path = platform.system.ExecutablePath();
    folders.executable_folder = WithTrailingBackslash(FolderPart(folders.executable_path));
    folders.setup_name = FileNameWithoutExtension(folders.executable_path);
    folders.temporary_folder = WithTrailingBackslash(platform.system.TemporaryFolder());
    platform.files.CreateFolderTree(folders.temporary_folder);
    folders.resource_archive = folders.executable_folder + folders.setup_name + u".res";
}

void SetupRun::CreateSupportFolder() {
    FileSystem& files = engine_.platform.files;
    const Text& temp = engine_.folders.temporary_folder;
    for (int n = 1; n <= kSupportFolderAttempts; ++n) {
        const Text candidate = temp + u"zev" + FromInt(n);
        if (files.FolderExists(candidate) || files.FileExists(candidate)) continue;
        // Creation fails when another process took the name first: never share a folder.
        if (files.CreatePrivateFolder(candidate).ok()) {
            engine_.folders.support_folder = candidate + u"\\";
            return;
        }
    }
    throw std::runtime_error("Unable to create a support folder in " + ToUtf8(temp));
}

void SetupRun::LoadScript() {
    FileSystem& files = engine_.platform.files;
    const Text& exe = engine_.folders.executable_path;

    log_.Write(u"    <StubSize>");
    auto image = files.ReadWholeFile(exe);
    if (!image) throw std::runtime_error("Unable to read " + ToUtf8(exe));
    const auto stub_size = PeImageEnd(*image);
    if (!stub_size) throw std::runtime_error("The setup executable is damaged: its section table cannot be read");
    if (*stub_size >= image->size()) Fail(kExitNoScript, u"For internal use only");
    log_.Write(u"    </StubSize>");

    log_.Write(u"    <StubData>");
    const Text script_copy = engine_.folders.temporary_folder + u"zev.tmp";
    const std::string_view appended = std::string_view(*image).substr(*stub_size);
    if (PlatformStatus status = files.WriteWholeFile(script_copy, appended); !status.ok())
        throw std::runtime_error("Unable to write " + ToUtf8(script_copy) + ": " + ToUtf8(status.message));
    log_.Write(u"    </StubData>");

    log_.Write(u"    <GlobalLists>");
    auto bytes = files.ReadWholeFile(script_copy);
    files.DeleteFile(script_copy);
    if (!bytes) throw std::runtime_error("Unable to read " + ToUtf8(script_copy));
    engine_.script.LoadFromBytes(*bytes);
    log_.Write(u"    </GlobalLists>");
}

void SetupRun::ExtractResources() {
    log_.Write(u"    <ExtractArchive>");
    const EngineFolders& folders = engine_.folders;
    if (!engine_.platform.files.FileExists(folders.resource_archive))
        Fail(kExitResourceMissing, u"Setup resource not found");
    ExtractRequest request;
    request.archive = folders.resource_archive;
    request.output_folder = folders.support_folder;
    Text error;
    if (!ExtractArchiveRoutine(engine_, request, nullptr, error)) {
        log_.Write(u"      " + error);
        Fail(kExitResourceUnreadable, u"Setup resource decompression failure");
    }
    log_.Write(u"    </ExtractArchive>");
    if (window_) window_->ReloadLogo(folders.support_folder + u"quorvane.png");
}

void SetupRun::CopyPackage() {
    log_.Write(u"    <ResourcePath>");
    FileSystem& files = engine_.platform.files;
    EngineFolders& folders = engine_.folders;
    for (const char16_t* extension : {u".msi", u".msp"}) {
        const Text source = folders.executable_folder + folders.setup_name + extension;
        if (!files.FileExists(source)) continue;
        const Text target = folders.support_folder + folders.setup_name + extension;
        if (PlatformStatus status = files.CopyFile(source, target, true); !status.ok())
            throw std::runtime_error("Unable to copy " + ToUtf8(source) + ": " + ToUtf8(status.message));
        files.SetNormalAttributes(target);
    }
    log_.Write(u"    </ResourcePath>");
    folders.data_folder = folders.executable_folder + u"data\\";
}

void SetupRun::PreloadDialogs() {
    log_.Write(u"    <Dialogs>");
    const StatementTable& script = engine_.script;
    int count = 0;
    for (size_t i = 0; i < script.StatementCount(); ++i)
        if (script.Command(i) == u"Display Dialog" && script.Flag(i) != u"C") ++count;
    if (window_) {
        window_->SetProgressRange(count);
        window_->SetProgressPosition(1);
    }
    log_.Write(u"    </Dialogs>");
    window_.reset();
}

void SetupRun::RunScript() {
    log_.Write(u"  <RunScript>");
    Interpreter interpreter(engine_);
    interpreter.Run(engine_.folders.resource_package);
    log_.Write(u"  </RunScript>");
    log_.Write(u"  <Free>");
    engine_.script.Clear();
    log_.Write(u"  </Free>");
}

void SetupRun::RemoveSupportFolder() {
    const Text& folder = engine_.folders.support_folder;
    FileSystem& files = engine_.platform.files;
    if (folder.empty() || !files.FolderExists(folder)) return;
    // Files still closing (scanners, the system's own handles) can make one pass miss some.
    for (int pass = 0; pass < 3; ++pass) files.DeleteFolderContents(folder);
    files.RemoveEmptyFolder(folder);
}

int SetupRun::Run() {
    Platform& platform = engine_.platform;
    const CommandLine& command_line = engine_.command_line;
    try {
        WriteCompatibilityMarks();
        ComputeFolders();
        log_.SetPath(command_line.log_path);
        log_.Write(u"<Quorvane>");
        log_.Write(u"    <SupportDir>");
        CreateSupportFolder();
        engine_.folders.resource_package = engine_.folders.support_folder + engine_.folders.setup_name + u".msi";
        log_.Write(u"    </SupportDir>");

        log_.Write(u"  <SetupSplash>");
        if (!engine_.silent && !command_line.suppress_windows) {
            window_ = platform.ui.ShowPreparationWindow(
                engine_.folders.executable_folder + u"setup.bmp", engine_.WizardTitle(),
                u"Quorvane is preparing the Quorvane Wizard which will install this application. Please wait.",
                engine_.folders.support_folder + u"quorvane.png");
        }
        LoadScript();
        ExtractResources();
        CopyPackage();
        PreloadDialogs();
        log_.Write(u"  </SetupSplash>");
        RunScript();
    } catch (const EarlyExit& early) {
        window_.reset();
        // The support folder is ours alone: leave nothing behind in the user's temporary folder.
        RemoveSupportFolder();
        return early.code;
    } catch (const std::exception& error) {
        window_.reset();
        const Text text = FromUtf8(error.what());
        log_.Write(u"  <Error>" + text + u"</Error>");
        if (!engine_.silent) platform.ui.ShowMessage(engine_.WizardTitle(), u"Runtime error in install: " + text,
                                                     MessageIcon::Error);
        engine_.exit_code = kExitRuntimeError;
    }
    log_.Write(u"  <CachedSupportDir>");
    RemoveSupportFolder();
    log_.Write(u"  </CachedSupportDir>");
    log_.Write(u"</Quorvane>");
    if (engine_.ended_by_single_instance) return kExitNormal;
    return engine_.exit_code;
}

}  // namespace

int StubMain(Platform& platform, TVariableManager& variables) {
    Engine engine(platform, variables);
    engine.command_line = ParseCommandLine(platform.system.RawCommandLine());
    if (engine.command_line.out_of_process_extract) return RunOutOfProcessExtract(engine);
    engine.silent = engine.command_line.silent;
    variables.SetSilent(engine.silent);
    variables.SetCommandLinePairs(engine.command_line.pairs);
    SetupRun run(engine);
    return run.Run();
}

}  // namespace zev
