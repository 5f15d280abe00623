#include "platform/win32/scoped_handle.h"
#include "platform/win32/win32_platform.h"

namespace zev::win32 {

namespace {

using WideProgress = int(__stdcall*)(int percent, const wchar_t* text);
using NarrowProgress = int(__stdcall*)(int percent, const char* text);
using WideEntry = int(__stdcall*)(HWND owner, const wchar_t* variables, const wchar_t* parameters,
                                  WideProgress progress, unsigned char* flag, wchar_t* buffer);
using NarrowEntry = int(__stdcall*)(HWND owner, const char* variables, const char* parameters,
                                    NarrowProgress progress, unsigned char* flag, char* buffer);

// The plug-in calls back on the thread that called it; each call publishes its
// progress function here for the duration of the call.
thread_local const PluginLibrary::ProgressFunction* current_progress = nullptr;

struct ProgressScope {
    explicit ProgressScope(const PluginLibrary::ProgressFunction& progress) { current_progress = &progress; }
    ~ProgressScope() { current_progress = nullptr; }
};

int __stdcall WideProgressCallback(int percent, const wchar_t* text) {
    if (!current_progress || !*current_progress) return 1;
    return (*current_progress)(percent, FromWide(text));
}

Text FromCodePage(const char* text) {
    if (!text) return Text();
    const int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (length <= 0) return Text();
    Text out(static_cast<size_t>(length), u'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, reinterpret_cast<wchar_t*>(out.data()), length);
    out.resize(static_cast<size_t>(length - 1));
    return out;
}

int __stdcall NarrowProgressCallback(int percent, const char* text) {
    if (!current_progress || !*current_progress) return 1;
    return (*current_progress)(percent, FromCodePage(text));
}

class Win32PluginLibrary final : public PluginLibrary {
public:
    explicit Win32PluginLibrary(ScopedLibrary library) : library_(std::move(library)) {
        wide_ = reinterpret_cast<WideEntry>(reinterpret_cast<void*>(GetProcAddress(library_.Get(), "RunTimeExecuteW")));
        narrow_ =
            reinterpret_cast<NarrowEntry>(reinterpret_cast<void*>(GetProcAddress(library_.Get(), "RunTimeExecute")));
    }

    bool HasWideEntry() override { return wide_ != nullptr; }
    bool HasNarrowEntry() override { return narrow_ != nullptr; }

    int32_t CallWide(uintptr_t owner, const char16_t* variables, const char16_t* parameters,
                     const ProgressFunction& progress, uint8_t* flag, char16_t* buffer) override {
        ProgressScope scope(progress);
        return wide_(reinterpret_cast<HWND>(owner), reinterpret_cast<const wchar_t*>(variables),
                     reinterpret_cast<const wchar_t*>(parameters), WideProgressCallback, flag,
                     reinterpret_cast<wchar_t*>(buffer));
    }

    int32_t CallNarrow(uintptr_t owner, const char* variables, const char* parameters, const ProgressFunction& progress,
                       uint8_t* flag, char* buffer) override {
        ProgressScope scope(progress);
        return narrow_(reinterpret_cast<HWND>(owner), variables, parameters, NarrowProgressCallback, flag, buffer);
    }

    std::string ToSystemCodePage(TextView text) override {
        const Text source(text);
        const int length = WideCharToMultiByte(CP_ACP, 0, Wide(source), -1, nullptr, 0, nullptr, nullptr);
        if (length <= 0) return std::string();
        std::string out(static_cast<size_t>(length), '\0');
        WideCharToMultiByte(CP_ACP, 0, Wide(source), -1, out.data(), length, nullptr, nullptr);
        out.resize(static_cast<size_t>(length - 1));
        return out;
    }

    Text FromSystemCodePage(std::string_view text) override { return FromCodePage(std::string(text).c_str()); }

private:
    ScopedLibrary library_;
    WideEntry wide_ = nullptr;
    NarrowEntry narrow_ = nullptr;
};

}  // namespace

std::unique_ptr<PluginLibrary> Win32Libraries::LoadPlugin(TextView full_path) {
    // Full path only; the library's own folder is searched for its dependencies.
    ScopedLibrary library(LoadLibraryExW(Wide(Text(full_path)), nullptr,
                                         LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32));
    if (!library) return nullptr;
    return std::make_unique<Win32PluginLibrary>(std::move(library));
}

}  // namespace zev::win32
