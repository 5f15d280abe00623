
#include "platform/win32/scoped_handle.h"
#include "platform/win32/win32_platform.h"

#include <commctrl.h>

namespace zev::win32 {

namespace {

constexpr wchar_t kSplashClass[] = L"TSetupSplash";
constexpr wchar_t kPreparationClass[] = L"TSetupInit";
constexpr int kClientWidth = 369;
constexpr int kClientHeight = 89;

UINT IconFlags(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Error: return MB_ICONERROR;
        case MessageIcon::Warning: return MB_ICONWARNING;
        case MessageIcon::Information: return MB_ICONINFORMATION;
        case MessageIcon::Question: return MB_ICONQUESTION;
        case MessageIcon::None: return 0;
    }
    return 0;
}

void RegisterWindowClasses() {
    static bool registered = false;
    if (registered) return;
    registered = true;
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    WNDCLASSW window_class{};
    window_class.lpfnWndProc = DefWindowProcW;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.hCursor = LoadCursorW(nullptr, IDC_WAIT);
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    window_class.lpszClassName = kPreparationClass;
    RegisterClassW(&window_class);
    window_class.lpszClassName = kSplashClass;
    RegisterClassW(&window_class);
}

void Repaint(HWND window) {
    if (!window) return;
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_ERASE);
}

// The splash picture (optional) and the preparation window with its text and progress bar.
class Win32PreparationWindow final : public PreparationWindow {
public:
    Win32PreparationWindow(TextView splash_bitmap, TextView caption, TextView text) {
        RegisterWindowClasses();
        HINSTANCE instance = GetModuleHandleW(nullptr);
        const int screen_width = GetSystemMetrics(SM_CXSCREEN);
        const int screen_height = GetSystemMetrics(SM_CYSCREEN);
        RECT frame{0, 0, kClientWidth, kClientHeight};
        const DWORD style = WS_POPUP | WS_CAPTION | WS_BORDER;
        AdjustWindowRect(&frame, style, FALSE);
        const int width = frame.right - frame.left;
        const int height = frame.bottom - frame.top;
        int left = (screen_width - width) / 2;
        int top = (screen_height - height) / 2;

        bitmap_.Reset(LoadImageW(nullptr, Wide(Text(splash_bitmap)), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
        if (bitmap_) {
            BITMAP info{};
            GetObjectW(bitmap_.Get(), sizeof(info), &info);
            const int splash_left = (screen_width - info.bmWidth) / 2;
            const int splash_top = (screen_height - info.bmHeight) / 2;
            splash_.Reset(CreateWindowExW(WS_EX_TOOLWINDOW, kSplashClass, L"", WS_POPUP, splash_left, splash_top,
                                          info.bmWidth, info.bmHeight, nullptr, nullptr, instance, nullptr));
            HWND picture = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_BITMAP, 0, 0, info.bmWidth,
                                           info.bmHeight, splash_.Get(), nullptr, instance, nullptr);
            SendMessageW(picture, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap_.Get()));
            ShowWindow(splash_.Get(), SW_SHOWNOACTIVATE);
            Repaint(splash_.Get());
            left = splash_left + info.bmWidth / 2 + 50;
            top = splash_top + info.bmHeight + 25;
            if (top > screen_height - height - 45) top = screen_height - height - 45;
            if (left > screen_width - width - 25) left = screen_width - width - 25;
        }

        window_.Reset(CreateWindowExW(0, kPreparationClass, Wide(Text(caption)), style, left, top, width, height,
                                      nullptr, nullptr, instance, nullptr));
        font_.Reset(CreateFontW(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, L"Tahoma"));
        HWND label = CreateWindowExW(0, L"STATIC", Wide(Text(text)), WS_CHILD | WS_VISIBLE, 56, 16, 297, 33,
                                     window_.Get(), nullptr, instance, nullptr);
        SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), TRUE);
        progress_ = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE, 16, 56, 337, 17, window_.Get(),
                                    nullptr, instance, nullptr);
        ShowWindow(window_.Get(), SW_SHOW);
        Repaint(window_.Get());
    }

    void SetProgressRange(int maximum) override {
        SendMessageW(progress_, PBM_SETRANGE32, 0, maximum);
        Repaint(window_.Get());
    }
    void SetProgressPosition(int position) override {
        SendMessageW(progress_, PBM_SETPOS, position, 0);
        Repaint(window_.Get());
        Repaint(splash_.Get());
    }
    void ReloadLogo(TextView) override { Repaint(window_.Get()); }

private:
    ScopedGdiObject bitmap_;
    ScopedGdiObject font_;
    ScopedWindow splash_;
    ScopedWindow window_;
    HWND progress_ = nullptr;  // owned by window_
};

}  // namespace

Win32UserInterface::Win32UserInterface() : main_thread_(GetCurrentThreadId()) {}

void Win32UserInterface::ShowMessage(TextView caption, TextView text, MessageIcon icon) {
    MessageBoxW(nullptr, Wide(Text(text)), Wide(Text(caption)), MB_OK | IconFlags(icon));
}

void Win32UserInterface::PumpPendingMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void Win32UserInterface::ProcessOneMessage() {
    MSG message;
    if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        WaitMessage();
        if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) return;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

void Win32UserInterface::ProcessOneMessageFor(uint32_t milliseconds) {
    MSG message;
    if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        MsgWaitForMultipleObjectsEx(0, nullptr, milliseconds, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) return;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

void Win32UserInterface::WakeMainThread() {
    PostThreadMessageW(main_thread_, WM_NULL, 0, 0);
}

std::unique_ptr<PreparationWindow> Win32UserInterface::ShowPreparationWindow(TextView splash_bitmap, TextView caption,
                                                                             TextView text, TextView) {
    return std::make_unique<Win32PreparationWindow>(splash_bitmap, caption, text);
}

}  // namespace zev::win32
