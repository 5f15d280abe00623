#include "interpreter/predefined_variables.h"

#include "interpreter/path_functions.h"

namespace zev {

void InitializeWorkerVariables(Engine& engine) {
    TVariableManager& vars = engine.variables;
    const Text tick = FromInt(static_cast<int64_t>(engine.platform.system.TickCount() & 0xFFFFFFFFu));
    vars.SetItem(u"QUIB_thProgress", u"0");
    vars.SetItem(u"QUIB_thMax", u"100");
    vars.SetItem(u"QUIB_thMin", u"0");
    vars.SetItem(u"QUIB_thProgressText", u"");
    vars.SetItem(u"QUIB_thFinished", u"FALSE");
    vars.SetItem(u"QUIB_thCancelled", u"FALSE");
    vars.SetItem(u"QUIB_IsCancelled", u"FALSE");
    vars.SetItem(u"QUIB_LastDelegateTick", tick);
    vars.SetItem(u"QUIB_LastActiveTick", tick);
}

void InitializePreVariables(Engine& engine) {
    TVariableManager& vars = engine.variables;
    const char16_t* label = u"Pre-Initialization";
    vars.AssignOrCreate(u"TARGETDIR", u"", label);
    vars.AssignOrCreate(u"STARTMENU", engine.script.Product().product_title, label);
    const OsVersion version = engine.platform.system.Version();
    const bool admin = version.nt_family && engine.platform.system.IsAdministrator();
    vars.AssignOrCreate(u"ALLUSERS", FromBool(admin), label);

    // The product identity as the script states it. The maintenance bootstrap, which
    // runs next, assigns it again once it has read the identity of an installed build.
    const ProductValues& product = engine.script.Product();
    vars.AssignOrCreate(u"PRODUCTCODE", product.product_code, u"Bootstrap");
    vars.AssignOrCreate(u"REVISIONCODE", product.revision_code, u"Bootstrap");
}

void InitializeVariables(Engine& engine) {
    TVariableManager& vars = engine.variables;
    SystemInfo& system = engine.platform.system;
    const EngineFolders& folders = engine.folders;
    const CommandLine& command_line = engine.command_line;
    const ProductValues& product = engine.script.Product();
    const char16_t* label = u"Initialization";
    auto set = [&](TextView name, TextView value) { vars.AssignOrCreate(name, value, label); };
    auto set_if_missing = [&](TextView name, TextView value) {
        if (!vars.Exists(name)) set(name, value);
    };

    set(u"QUIB_TIMEOUT", u"10");
    set(u"QUIB_COMPRESS_INSTALLER_CACHE", u"FALSE");
    set(u"QUIB_DISABLE_ROLLBACK", u"FALSE");
    set(u"QUIB_DISABLE_VISTA_RESTART_MANAGER", u"FALSE");
    set(u"CHARSET_OVERRIDE", u"");
    set_if_missing(u"NATIVE_ENGINE", u"FALSE");
    set(u"NATIVE_LOGGING", u"");
    set(u"NATIVE_ROLLBACK", u"TRUE");
    set(u"NATIVE_HARDLINK", u"TRUE");
    set(u"NATIVE_ERROR", u"PROMPT");
    set(u"NATIVE_OVERWRITE", u"PROMPT");
    set(u"NATIVE_OVERWRITE_OLDER", u"FALSE");
    set(u"NATIVE_PROGRESS", u"0");
    set(u"DELAYUNTIL_APPLYCHANGES", u"FALSE");
    set(u"NATIVE_OVERRIDE_PERMISSIONS", u"FALSE");
    set(u"NATIVE_OVERRIDE_NON_RESTORABLE_PERMISSIONS", u"FALSE");
    set(u"IISHOST", u"localhost");
    set_if_missing(u"OVERRIDECACHE", u"");
    set(u"QUIBLOGO", u"");
    set(u"SELECTED", u"0");
    set(u"WINDOWHANDLE", u"0");
    set(u"EXEFILE", folders.executable_path);
    set(u"EXEDIR", folders.executable_folder);
    set(u"PROGRESSTEXT", u"");
    set(u"PROGRESSMODE", u"");
    set(u"CUSTOM_TASKBAR_PROGRESS_ENABLED", u"FALSE");
    set(u"CUSTOM_TASKBAR_PROGRESS_PERCENT", u"0");
    set(u"CUSTOM_TASKBAR_PROGRESS_MAX", u"100");
    set(u"ABORT", u"FALSE");
    set(u"PROGRESS", u"0");
    set(u"LASTERROR", u"");
    set(u"LICENSE", u"FALSE");
    const OsVersion version = system.Version();
    const char16_t* owner_key = version.nt_family ? u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion"
                                                  : u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
    Registry& registry = engine.platform.registry;
    set(u"USERNAME", registry.ReadString(RegistryRoot::LocalMachine, owner_key, u"RegisteredOwner").value_or(u""));
    set(u"USERCOMPANY",
        registry.ReadString(RegistryRoot::LocalMachine, owner_key, u"RegisteredOrganization").value_or(u""));
    set(u"COPYWEBLOCK", u"");
    set(u"REBOOTCOMPUTER", u"FALSE");
    set(u"RUNAPP", u"TRUE");
    set(u"WIZARD", u"NEXT");
    set(u"FX", u"SLIDE");
    set(u"FXGROUND", u"BACKGROUND");
    set(u"FXTIME", u"1000");
    set(u"VERSION", product.display_version);
    set(u"SILENT", FromBool(engine.silent));
    set(u"LOGGED", command_line.log_path);
    set(u"CMDLINE", command_line.tail);
    set(u"REBOOTNOW", u"OK");
    const Text sfx_path = command_line.self_extractor_path.empty() ? Text() : FolderPart(command_line.self_extractor_path);
    set(u"SFXPATH", sfx_path);
    set(u"SFXFILE", FileNamePart(command_line.self_extractor_path));
    const Text gpo_path = command_line.group_policy_path.empty() ? Text() : FolderPart(command_line.group_policy_path);
    set(u"GPOPATH", gpo_path);
    set(u"SETUPPATH", !gpo_path.empty() ? u"$GPOPATH$" : !sfx_path.empty() ? u"$SFXPATH$" : u"$EXEDIR$");
    set(u"COMPLETE", u"TRUE");
    set(u"NEWLINE", u"\r\n");
    set(u"MINIMUM", u"FALSE");
    set(u"PERSONALIZED", u"FALSE");
    set(u"MODIFY", u"TRUE");
    set(u"GLASS", FromBool(system.GlassAvailable()));
    set(u"REPAIR", u"FALSE");
    set(u"REMOVE", u"FALSE");
    set(u"ROOTDIR", folders.executable_folder);
    set(u"TITLE", product.product_title);
    set(u"COMPANY", product.publisher);
    set(u"ADVERTISE", u"FALSE");
    set(u"DATE", system.CurrentDate());
    set(u"TIME", system.CurrentTime());
    set(u"TEMPDIR", folders.temporary_folder);
    set(u"ABORTONERROR", u"TRUE");
    set(u"ABORTEDONERROR", u"FALSE");
    set(u"SAVEDATA", u"FALSE");
    set(u"SUPPORTDIR", folders.support_folder);
    set(u"MSIFILE", engine.package_path);
}

Text CompileTimeValue(const StatementTable& script, TextView name) {
    Text value;
    script.FindCompileTimeVariable(name, value);
    return value;
}

bool CompileTimeFlag(const StatementTable& script, TextView name) {
    return IsTrue(CompileTimeValue(script, name));
}

}  // namespace zev
