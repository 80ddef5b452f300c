// The plumbing every window of the tool shares: registering its class, binding the C++ object
// to its window, and handing each message to the object's Handle, which names the handlers.
#pragma once

#include <windows.h>

#include <memory>

// Registers a window class of this program; false when Windows refuses.
bool RegisterWindowClass(HINSTANCE instance, const char* name, WNDPROC procedure, UINT style = 0,
                         int extraBytes = 0, HCURSOR cursor = LoadCursor(nullptr, IDC_ARROW),
                         HBRUSH background = nullptr);

// The tool's layout is given in pixels at this DPI.
inline constexpr int kLayoutDpi = 96;

// A length of the layout at the DPI.
inline int Scaled(int length, int dpi)
{
    return MulDiv(length, dpi, kLayoutDpi);
}

// The DPI the window is shown at: the window's own where Windows tells it (per monitor), the
// screen's otherwise.
int WindowDpi(HWND window);

// Keeps the dialog manager from rescaling the dialog itself when its DPI changes: the window
// lays itself out from the 96-DPI layout instead.
void TakeOverDpiScaling(HWND dialog);

// Base of the tool's window objects: the window they are bound to.
class Window {
public:
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    HWND handle() const { return window_; }

protected:
    explicit Window(HWND window = nullptr) : window_(window) {}
    ~Window() = default;

    HWND window_;

    template <typename Self>
    friend struct WindowBinding;
};

// Window procedures that bind an object of type Self (derived from Window) to its window and
// forward every message to Self::Handle.
template <typename Self>
struct WindowBinding {
    // For a control class: the window makes its object, Self(HWND), on WM_NCCREATE and destroys
    // it on WM_NCDESTROY.
    static LRESULT CALLBACK ControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_NCCREATE)
            SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(std::make_unique<Self>(window).release()));
        Self* self = From(window);
        if (message == WM_NCDESTROY) {
            const std::unique_ptr<Self> owned(self);
            SetWindowLongPtrA(window, GWLP_USERDATA, 0);
            return DefWindowProcA(window, message, wParam, lParam);
        }
        return self ? self->Handle(message, wParam, lParam) : DefWindowProcA(window, message, wParam, lParam);
    }

    // The object of a window of a control class.
    static Self* From(HWND window) { return reinterpret_cast<Self*>(GetWindowLongPtrA(window, GWLP_USERDATA)); }

    // For a dialog: the object comes as CreateDialogParam's parameter and outlives the window.
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_INITDIALOG) {
            SetWindowLongPtrA(window, DWLP_USER, lParam);
            reinterpret_cast<Self*>(lParam)->window_ = window;
        }
        auto* self = reinterpret_cast<Self*>(GetWindowLongPtrA(window, DWLP_USER));
        return self ? self->Handle(message, wParam, lParam) : FALSE;
    }
};
