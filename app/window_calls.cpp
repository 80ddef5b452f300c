#include "app/window_calls.h"

#include <exception>

namespace {

struct WindowCall {
    const std::function<void()>& call;
    std::exception_ptr error;
};

}  // namespace

void CallOnWindowThread(HWND window, const std::function<void()>& call)
{
    WindowCall pending{call, nullptr};
    SendMessageA(window, kWindowCallMessage, 0, reinterpret_cast<LPARAM>(&pending));
    if (pending.error)
        std::rethrow_exception(pending.error);
}

// No exception may pass through Windows' frames; it travels back to the caller instead.
void HandleWindowCall(LPARAM lParam)
{
    auto& pending = *reinterpret_cast<WindowCall*>(lParam);
    try {
        pending.call();
    } catch (...) {
        pending.error = std::current_exception();
    }
}

int RunViewOnWindowThread::RowCount()
{
    int count = 0;
    Call([&] { count = view_.RowCount(); });
    return count;
}

std::string RunViewOnWindowThread::Cell(int column, int row)
{
    std::string text;
    Call([&] { text = view_.Cell(column, row); });
    return text;
}

void RunViewOnWindowThread::SetCell(int column, int row, const std::string& text)
{
    Call([&] { view_.SetCell(column, row, text); });
}

void RunViewOnWindowThread::ShowBusy(bool busy)
{
    Call([&] { view_.ShowBusy(busy); });
}

void RunViewOnWindowThread::SetWaitCursor(bool wait)
{
    Call([&] { view_.SetWaitCursor(wait); });
}

void RunViewOnWindowThread::ClearLog()
{
    Call([&] { view_.ClearLog(); });
}

void RunViewOnWindowThread::EnableControls(bool enabled)
{
    Call([&] { view_.EnableControls(enabled); });
}

void RunViewOnWindowThread::Repaint()
{
    Call([&] { view_.Repaint(); });
}

void RunViewOnWindowThread::ShowInfo(const std::string& text)
{
    Call([&] { view_.ShowInfo(text); });
}

void RunViewOnWindowThread::ShowError(const std::string& text)
{
    Call([&] { view_.ShowError(text); });
}

void RunViewOnWindowThread::SetHeadline(const std::string& text)
{
    Call([&] { view_.SetHeadline(text); });
}

void RunViewOnWindowThread::EnableStart(bool enabled)
{
    Call([&] { view_.EnableStart(enabled); });
}

void RunViewOnWindowThread::EnableRestartBox(bool enabled)
{
    Call([&] { view_.EnableRestartBox(enabled); });
}
