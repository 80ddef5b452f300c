#include "app/status_list.h"

void StatusList::Add(const std::string& text)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    pendingLines_.push_back(text);
}

void StatusList::SetProgress(const std::string& text)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    pendingProgress_ = text;
    progressPending_ = true;
}

void StatusList::Clear()
{
    const std::lock_guard<std::mutex> lock(mutex_);
    pendingLines_.clear();
    clearPending_ = true;
}

// New lines go on top, the progress line above them.
void StatusList::ShowPending()
{
    std::vector<std::string> lines;
    std::string progress = progress_;
    bool clear = false;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        lines.swap(pendingLines_);
        if (progressPending_)
            progress = pendingProgress_;
        progressPending_ = false;
        std::swap(clear, clearPending_);
    }
    if (lines.empty() && progress == progress_ && !clear)
        return;
    SendMessageA(list_, WM_SETREDRAW, FALSE, 0);
    if (clear) {
        SendMessageA(list_, LB_RESETCONTENT, 0, 0);
        if (!kept_.empty())
            SendMessageA(list_, LB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(kept_.c_str()));
    } else if (!progress_.empty()) {
        SendMessageA(list_, LB_DELETESTRING, 0, 0);
    }
    for (const std::string& line : lines)
        SendMessageA(list_, LB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    progress_ = progress;
    if (!progress_.empty())
        SendMessageA(list_, LB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(progress_.c_str()));
    SendMessageA(list_, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(list_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
}
