#include "platform/win32/scoped_handle.h"
#include "platform/win32/win32_platform.h"

namespace zev::win32 {

std::optional<uint32_t> Win32Processes::RunAndWait(TextView program, TextView arguments) {
    Text command_line = u"\"" + Text(program) + u"\"";
    if (!arguments.empty()) command_line += u" " + Text(arguments);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(Wide(Text(program)), reinterpret_cast<wchar_t*>(command_line.data()), nullptr, nullptr, FALSE,
                        0, nullptr, nullptr, &startup, &info))
        return std::nullopt;
    ScopedKernelHandle process(info.hProcess);
    ScopedKernelHandle thread(info.hThread);
    WaitForSingleObject(process.Get(), INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.Get(), &code);
    return code;
}

void Win32Processes::TerminateProcess(uint32_t exit_code) {
    ::TerminateProcess(GetCurrentProcess(), exit_code);
    ExitProcess(exit_code);
}

}  // namespace zev::win32

namespace zev::win32 {

void Win32Processes::TrimWorkingSet() {
    SetProcessWorkingSetSize(GetCurrentProcess(), static_cast<SIZE_T>(-1), static_cast<SIZE_T>(-1));
}

}  // namespace zev::win32
