// Entry point of the engine stub.
#include "platform/win32/windows_api.h"

#include "media/seven_zip_api.h"
#include "platform/win32/win32_platform.h"
#include "script/variable_manager.h"
#include "startup/zevstub.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // Before anything else loads: libraries named without a path come from the system
    // folder only, never from the download folder the setup may have been started from.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);

    zev::win32::Win32FileSystem files;
    zev::win32::Win32Registry registry;
    zev::win32::Win32SystemInfo system;
    zev::win32::Win32UserInterface ui;
    zev::win32::Win32Libraries libraries;
    zev::win32::Win32Processes processes;
    zev::TSevenZipLibrary archives;
    zev::Platform platform{files, registry, system, ui, libraries, processes, archives};
    return zev::StubMain(platform, zev::Variables());
}
