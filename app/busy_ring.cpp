#include "app/busy_ring.h"

#include "app/window.h"
#include "util/handles.h"

#include <cmath>

namespace {

constexpr UINT_PTR kTimer = 1;
constexpr UINT kStepMs = 100;
constexpr int kDots = 12;
constexpr double kPi = 3.14159265358979323846;

void Paint(HWND window, HDC dc)
{
    RECT client;
    GetClientRect(window, &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    // The step follows the clock, so each repaint shows the current position.
    const int step = static_cast<int>((GetTickCount64() / kStepMs) % kDots);
    const double radius = std::min(client.right, client.bottom) / 2.0;
    const double dot = radius / 5.0;
    for (int i = 0; i < kDots; ++i) {
        const int age = (step - i + kDots) % kDots;
        const int shade = age == 0 ? 0 : 96 + age * 12;
        const GdiObject brush(CreateSolidBrush(age == 0 ? RGB(0, 0, 128) : RGB(shade, shade, 255)));
        const SelectedObject selectedBrush(dc, brush.get());
        const SelectedObject noPen(dc, GetStockObject(NULL_PEN));
        const double angle = 2 * kPi * i / kDots - kPi / 2;
        const double cx = radius + (radius - dot - 1) * std::cos(angle);
        const double cy = radius + (radius - dot - 1) * std::sin(angle);
        Ellipse(dc, static_cast<int>(cx - dot), static_cast<int>(cy - dot), static_cast<int>(cx + dot),
                static_cast<int>(cy + dot));
    }
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SHOWWINDOW:
        if (wParam)
            SetTimer(window, kTimer, kStepMs, nullptr);
        else
            KillTimer(window, kTimer);
        break;
    case WM_TIMER:
        InvalidateRect(window, nullptr, FALSE);
        return 0;
    case WM_PAINT: {
        const PaintDc dc(window);
        Paint(window, dc.get());
        return 0;
    }
    case WM_DESTROY:
        KillTimer(window, kTimer);
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

namespace busy_ring {

bool Register(HINSTANCE instance)
{
    return RegisterWindowClass(instance, kClassName, WindowProc, 0, 0, LoadCursor(nullptr, IDC_WAIT));
}

}  // namespace busy_ring
