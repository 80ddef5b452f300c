// The status list's queue: lines and the progress line that any thread hands in wait until the
// window's thread shows them, all at once and with one repaint.
#pragma once

#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

class StatusList {
public:
    void Attach(HWND list) { list_ = list; }
    // A line that emptying the list keeps: what start-up recovered tells why the installation is
    // as it is.
    void KeepLine(const std::string& text) { kept_ = text; }

    // Any thread: a new line on top, the progress line (empty to remove it), the list emptied.
    void Add(const std::string& text);
    void SetProgress(const std::string& text);
    void Clear();

    // The window's thread: shows what waits.
    void ShowPending();

private:
    HWND list_ = nullptr;
    std::string kept_;
    // The progress line, while one stands at the top of the list.
    std::string progress_;
    std::mutex mutex_;
    std::vector<std::string> pendingLines_;
    std::string pendingProgress_;
    bool progressPending_ = false;
    // The lines that wait come after an emptying of the list.
    bool clearPending_ = false;
};
