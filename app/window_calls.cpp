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
