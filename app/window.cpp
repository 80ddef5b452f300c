#include "app/window.h"

#include "util/handles.h"

namespace {

// A function of user32 that older Windows versions lack; null there.
template <typename Function>
Function User32Function(const char* name)
{
    return ProcAddress<Function>(GetModuleHandleA("user32.dll"), name);
}

}  // namespace

bool RegisterWindowClass(HINSTANCE instance, const char* name, WNDPROC procedure, UINT style, int extraBytes,
                         HCURSOR cursor, HBRUSH background)
{
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = style;
    windowClass.lpfnWndProc = procedure;
    windowClass.cbWndExtra = extraBytes;
    windowClass.hInstance = instance;
    windowClass.hCursor = cursor;
    windowClass.hbrBackground = background;
    windowClass.lpszClassName = name;
    return RegisterClassExA(&windowClass) != 0;
}

int WindowDpi(HWND window)
{
    using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
    const auto getDpiForWindow = User32Function<GetDpiForWindowFunction>("GetDpiForWindow");
    if (getDpiForWindow) {
        if (const UINT dpi = getDpiForWindow(window))
            return static_cast<int>(dpi);
    }
    const WindowDc dc(window);
    return GetDeviceCaps(dc.get(), LOGPIXELSY);
}

void TakeOverDpiScaling(HWND dialog)
{
    // DDC_DISABLE_ALL: no resizing, no font updates, no relayout of the controls.
    constexpr int kDisableAll = 0x0001 | 0x0002 | 0x0004;
    using SetBehaviorFunction = BOOL(WINAPI*)(HWND, int, int);
    const auto setBehavior = User32Function<SetBehaviorFunction>("SetDialogDpiChangeBehavior");
    if (setBehavior)
        setBehavior(dialog, kDisableAll, kDisableAll);
}
