// Drives the real tool from another process: starts it, finds its window, reads controls,
// clicks buttons and answers message boxes. Every read goes through SendMessageTimeout, so that a
// tool that stops answering fails a test instead of blocking it.
#pragma once

#include "util/handles.h"

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

// Polls until done() holds; false on time-out.
template <typename Done>
bool WaitUntil(DWORD timeoutMs, Done done)
{
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        if (done())
            return true;
        if (GetTickCount64() >= end)
            return false;
        Sleep(20);
    }
}

struct MessageBoxSeen {
    HWND window = nullptr;
    std::string caption;
    std::string text;
};

class GuiDriver {
public:
    GuiDriver() = default;
    // Ends the tool if it still runs.
    ~GuiDriver();
    GuiDriver(const GuiDriver&) = delete;
    GuiDriver& operator=(const GuiDriver&) = delete;

    // Starts the executable with its own folder as working folder.
    bool Start(const std::string& exe, const std::string& arguments = "");
    // The main window of the tool, once it exists (shown or not).
    HWND MainWindow(DWORD timeoutMs = 10000);
    // Waits until the main window is visible.
    bool WaitVisible(DWORD timeoutMs = 10000);
    // Whether any top-level window of the tool is visible now.
    bool ShowsWindow();
    // The window that has the keyboard focus in the tool's main thread.
    HWND FocusedWindow();

    HWND Control(int id);
    std::string Text(HWND window);
    std::string ControlText(int id) { return Text(Control(id)); }
    bool IsVisible(int id) { return IsWindowVisible(Control(id)) != FALSE; }
    bool IsEnabled(int id) { return IsWindowEnabled(Control(id)) != FALSE; }
    // The lines of a list box, top first.
    std::vector<std::string> ListLines(int id);
    // The rows of the farm key grid: each row's two cells.
    std::vector<std::vector<std::string>> GridRows(int id);
    // Client size of the main window and outer size.
    SIZE ClientSize();
    SIZE OuterSize();

    // Presses a button of the main window.
    void Click(int id);
    // A left click at client coordinates of a window.
    void ClickAt(HWND window, int x, int y);
    // Types the text into a window, one character message each, then presses Enter. The
    // messages go through the tool's message loop: wait for their effect.
    void Type(HWND window, const std::string& text);
    void PressKey(HWND window, WPARAM key);
    // A message box of the tool's process, once one is open.
    std::optional<MessageBoxSeen> WaitForMessageBox(DWORD timeoutMs = 10000);
    // Presses OK and waits until the box is gone.
    bool PressOk(const MessageBoxSeen& box, DWORD timeoutMs = 5000);

    // Presses Start and answers every message box with OK until the run is over; the texts of
    // the boxes in order. Only calls that need no answer from the busy window are used meanwhile.
    std::vector<std::string> RunUpdate(DWORD timeoutMs = 120000);

    // Repaints the tool's windows and saves the screen as a BMP file.
    bool Screenshot(const std::string& path);

    // Ends the tool at once, as a crash or a power cut would.
    void Terminate();

    // Waits for the process to end; its exit code, or nothing on time-out.
    std::optional<DWORD> WaitForExit(DWORD timeoutMs = 10000);

    // The tool's process, also after it ended.
    HANDLE Process() const { return process_.get(); }

private:
    HWND FindTopLevel(const char* className);

    // The tool runs in a job that ends it when the driver's process ends, even by a crash.
    KernelHandle job_;
    KernelHandle process_;
    DWORD processId_ = 0;
    HWND main_ = nullptr;
};

// The colour of a screen pixel at client coordinates of a window.
COLORREF PixelAt(HWND window, int x, int y);

// The client area of a window as the screen shows it now, read at once.
class ClientPixels {
public:
    explicit ClientPixels(HWND window);
    int Width() const { return width_; }
    int Height() const { return height_; }
    // Black outside the area.
    COLORREF At(int x, int y) const;

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<RGBQUAD> pixels_;
};

// Saves the whole screen as a 24-bit BMP file.
bool SaveScreenshot(const std::string& path);
