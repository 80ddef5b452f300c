#include "demo/gui_driver.h"

#include "app/u_main.h"
#include "resources/resource.h"

#include <algorithm>
#include <fstream>

namespace {

constexpr UINT kReadTimeoutMs = 5000;

LRESULT Send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
{
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kReadTimeoutMs, &result))
        return -1;
    return static_cast<LRESULT>(result);
}

// Texts are read as UTF-16, which crosses the process boundary unchanged, and converted to
// code page 1252 here. The buffer leaves room beyond the announced length, since a length
// asked for separately may be counted in other units than the text that is then copied.
std::string ReadText(HWND window, UINT lengthMessage, UINT textMessage, WPARAM item)
{
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, lengthMessage, lengthMessage == WM_GETTEXTLENGTH ? 0 : item, 0,
                             SMTO_ABORTIFHUNG, kReadTimeoutMs, &length) ||
        static_cast<LRESULT>(length) <= 0)
        return {};
    std::wstring wide(static_cast<size_t>(length) * 2 + 16, L'\0');
    const WPARAM wParam = textMessage == WM_GETTEXT ? wide.size() : item;
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, textMessage, wParam, reinterpret_cast<LPARAM>(wide.data()), SMTO_ABORTIFHUNG,
                             kReadTimeoutMs, &copied) ||
        static_cast<LRESULT>(copied) <= 0)
        return {};
    wide.resize(std::min(static_cast<size_t>(copied), wide.size()));
    const int size = WideCharToMultiByte(1252, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                         nullptr);
    std::string text(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(1252, 0, wide.data(), static_cast<int>(wide.size()), text.data(), size, nullptr, nullptr);
    return text;
}

std::string ClassName(HWND window)
{
    char name[64] = {};
    GetClassNameA(window, name, sizeof(name));
    return name;
}

}  // namespace

GuiDriver::~GuiDriver()
{
    if (process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_.get(), 1);
        WaitForSingleObject(process_.get(), kReadTimeoutMs);
    }
}

bool GuiDriver::Start(const std::string& exe, const std::string& arguments)
{
    const std::string folder = exe.substr(0, exe.find_last_of('\\') + 1);
    std::string commandLine = "\"" + exe + "\"" + (arguments.empty() ? "" : " " + arguments);
    if (!job_) {
        job_.reset(CreateJobObjectA(nullptr, nullptr));
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        SetInformationJobObject(job_.get(), JobObjectExtendedLimitInformation, &limits, sizeof(limits));
    }
    // No standard handles: a pipe of the caller would otherwise stay open while the tool runs.
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                        folder.c_str(), &startup, &info))
        return false;
    if (job_)
        AssignProcessToJobObject(job_.get(), info.hProcess);
    ResumeThread(info.hThread);
    CloseHandle(info.hThread);
    process_.reset(info.hProcess);
    processId_ = info.dwProcessId;
    main_ = nullptr;
    return true;
}

namespace {

// A window of the class, or with no class given, any visible window.
struct TopLevelSearch {
    DWORD processId;
    const char* className;
    HWND found;
};

BOOL CALLBACK MatchTopLevel(HWND window, LPARAM data)
{
    auto* search = reinterpret_cast<TopLevelSearch*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId &&
        (search->className ? ClassName(window) == search->className : IsWindowVisible(window) != FALSE)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

HWND GuiDriver::FocusedWindow()
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    const DWORD thread = GetWindowThreadProcessId(MainWindow(), nullptr);
    return thread && GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
}

bool GuiDriver::ShowsWindow()
{
    return FindTopLevel(nullptr) != nullptr;
}

HWND GuiDriver::FindTopLevel(const char* className)
{
    TopLevelSearch search = {processId_, className, nullptr};
    EnumWindows(MatchTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND GuiDriver::MainWindow(DWORD timeoutMs)
{
    if (!main_)
        WaitUntil(timeoutMs, [&] { return (main_ = FindTopLevel("Tw_main")) != nullptr; });
    return main_;
}

bool GuiDriver::WaitVisible(DWORD timeoutMs)
{
    return WaitUntil(timeoutMs, [&] { return MainWindow(timeoutMs) && IsWindowVisible(main_); });
}

HWND GuiDriver::Control(int id)
{
    return GetDlgItem(MainWindow(), id);
}

std::string GuiDriver::Text(HWND window)
{
    return ReadText(window, WM_GETTEXTLENGTH, WM_GETTEXT, 0);
}

std::vector<std::string> GuiDriver::ListLines(int id)
{
    std::vector<std::string> lines;
    HWND list = Control(id);
    const LRESULT count = Send(list, LB_GETCOUNT);
    for (LRESULT i = 0; i < count; ++i)
        lines.push_back(ReadText(list, LB_GETTEXTLEN, LB_GETTEXT, static_cast<WPARAM>(i)));
    return lines;
}

std::vector<std::vector<std::string>> GuiDriver::GridRows(int id)
{
    // The grid answers WM_GETTEXT with one line per row, its cells separated by tabs.
    std::vector<std::vector<std::string>> rows;
    const std::string text = ControlText(id);
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find("\r\n", start);
        const std::string line = text.substr(start, end - start);
        const size_t tab = line.find('\t');
        rows.push_back({line.substr(0, tab), tab == std::string::npos ? "" : line.substr(tab + 1)});
        if (end == std::string::npos)
            break;
        start = end + 2;
    }
    return rows;
}

SIZE GuiDriver::ClientSize()
{
    RECT rect = {};
    GetClientRect(MainWindow(), &rect);
    return {rect.right - rect.left, rect.bottom - rect.top};
}

SIZE GuiDriver::OuterSize()
{
    RECT rect = {};
    GetWindowRect(MainWindow(), &rect);
    return {rect.right - rect.left, rect.bottom - rect.top};
}

void GuiDriver::Click(int id)
{
    PostMessageA(Control(id), BM_CLICK, 0, 0);
}

void GuiDriver::ClickAt(HWND window, int x, int y)
{
    // A real click activates the window first; without that the dialog would hand the focus
    // back to its last control when it becomes active.
    SetForegroundWindow(MainWindow());
    Send(MainWindow(), WM_NULL);
    Send(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    Send(window, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

void GuiDriver::Type(HWND window, const std::string& text)
{
    for (char c : text)
        PostMessageA(window, WM_CHAR, static_cast<unsigned char>(c), 1);
    PostMessageA(window, WM_KEYDOWN, VK_RETURN, 1);
}

void GuiDriver::PressKey(HWND window, WPARAM key)
{
    PostMessageA(window, WM_KEYDOWN, key, 1);
}

std::optional<MessageBoxSeen> GuiDriver::WaitForMessageBox(DWORD timeoutMs)
{
    HWND box = nullptr;
    if (!WaitUntil(timeoutMs, [&] { return (box = FindTopLevel("#32770")) != nullptr && IsWindowVisible(box); }))
        return std::nullopt;
    // The text of a message box is the static control with id 0xFFFF.
    return MessageBoxSeen{box, Text(box), Text(GetDlgItem(box, 0xFFFF))};
}

bool GuiDriver::PressOk(const MessageBoxSeen& box, DWORD timeoutMs)
{
    PostMessageA(GetDlgItem(box.window, IDOK), BM_CLICK, 0, 0);
    return WaitUntil(timeoutMs, [&] { return !IsWindow(box.window); });
}

std::vector<std::string> GuiDriver::RunUpdate(DWORD timeoutMs)
{
    std::vector<std::string> texts;
    HWND close = Control(IDC_BTN_CLOSE);
    Click(IDC_BTN_START);
    // The run has begun once Beenden is disabled or a box is open (a missing library).
    WaitUntil(timeoutMs, [&] { return !IsWindowEnabled(close) || FindTopLevel("#32770"); });
    WaitUntil(timeoutMs, [&] {
        if (HWND box = FindTopLevel("#32770")) {
            if (IsWindowVisible(box)) {
                texts.push_back(Text(GetDlgItem(box, 0xFFFF)));
                PressOk(MessageBoxSeen{box, {}, {}});
            }
            return false;
        }
        if (!IsWindowEnabled(close) || GetPropA(MainWindow(), Tw_main::kRunningProperty))
            return false;
        // The property is gone just before the window's loop takes over again; a box that the
        // run opened last would be open by now.
        Send(MainWindow(), WM_NULL);
        return FindTopLevel("#32770") == nullptr;
    });
    return texts;
}

bool GuiDriver::Screenshot(const std::string& path)
{
    // A window just shown may not have painted yet; paint it now, then let the X server catch up.
    for (HWND window : {FindTopLevel("#32770"), MainWindow(0)})
        if (window)
            RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Sleep(200);
    return SaveScreenshot(path);
}

void GuiDriver::Terminate()
{
    if (!process_)
        return;
    TerminateProcess(process_.get(), 1);
    WaitForSingleObject(process_.get(), kReadTimeoutMs);
    main_ = nullptr;
}

std::optional<DWORD> GuiDriver::WaitForExit(DWORD timeoutMs)
{
    if (!process_ || WaitForSingleObject(process_.get(), timeoutMs) != WAIT_OBJECT_0)
        return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(process_.get(), &code);
    return code;
}

COLORREF PixelAt(HWND window, int x, int y)
{
    POINT point = {x, y};
    ClientToScreen(window, &point);
    const WindowDc screen(nullptr);
    return GetPixel(screen.get(), point.x, point.y);
}

ClientPixels::ClientPixels(HWND window)
{
    RECT client = {};
    GetClientRect(window, &client);
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    width_ = client.right;
    height_ = client.bottom;
    pixels_.resize(static_cast<size_t>(width_) * static_cast<size_t>(height_));
    const WindowDc screen(nullptr);
    const MemoryDc memory(CreateCompatibleDC(screen.get()));
    const GdiObject bitmap(CreateCompatibleBitmap(screen.get(), width_, height_));
    {
        const SelectedObject selected(memory.get(), bitmap.get());
        BitBlt(memory.get(), 0, 0, width_, height_, screen.get(), origin.x, origin.y, SRCCOPY);
    }
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width_;
    info.bmiHeader.biHeight = -height_;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    GetDIBits(memory.get(), static_cast<HBITMAP>(bitmap.get()), 0, static_cast<UINT>(height_), pixels_.data(), &info,
              DIB_RGB_COLORS);
}

COLORREF ClientPixels::At(int x, int y) const
{
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        return RGB(0, 0, 0);
    const RGBQUAD& pixel = pixels_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)];
    return RGB(pixel.rgbRed, pixel.rgbGreen, pixel.rgbBlue);
}

bool SaveScreenshot(const std::string& path)
{
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    const WindowDc screen(nullptr);
    const MemoryDc memory(CreateCompatibleDC(screen.get()));
    const GdiObject bitmap(CreateCompatibleBitmap(screen.get(), width, height));
    {
        const SelectedObject selected(memory.get(), bitmap.get());
        BitBlt(memory.get(), 0, 0, width, height, screen.get(), 0, 0, SRCCOPY);
    }

    BITMAPINFOHEADER header = {};
    header.biSize = sizeof(header);
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    std::string pixels(static_cast<size_t>(stride) * static_cast<size_t>(height), '\0');
    const int lines = GetDIBits(memory.get(), static_cast<HBITMAP>(bitmap.get()), 0, static_cast<UINT>(height),
                                pixels.data(), reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS);
    if (lines != height)
        return false;

    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(header);
    file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(&file), sizeof(file));
    out.write(reinterpret_cast<const char*>(&header), sizeof(header));
    out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
    return static_cast<bool>(out);
}
