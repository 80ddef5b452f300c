#include "app/path_label.h"

#include "util/handles.h"

#include <vector>

namespace {

constexpr char kEllipsis[] = "...";

int TextWidth(HDC dc, const std::string& text)
{
    SIZE size = {};
    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
    return size.cx;
}

}  // namespace

std::string CompactPath(HDC dc, const std::string& path, int width)
{
    if (TextWidth(dc, path) <= width)
        return path;
    // The places after each backslash but the trailing one: the last folder begins after the last.
    std::vector<size_t> starts;
    for (size_t at = path.find('\\'); at != std::string::npos && at + 1 < path.size(); at = path.find('\\', at + 1))
        starts.push_back(at + 1);
    if (starts.size() < 2)
        return path;
    const std::string last = path.substr(starts.back());
    // As many leading folders as fit, the drive at least.
    for (size_t kept = starts.size() - 1; kept > 0; --kept) {
        const std::string text = path.substr(0, starts[kept - 1]) + kEllipsis + "\\" + last;
        if (TextWidth(dc, text) <= width || kept == 1)
            return text;
    }
    return path;
}

void DrawPathLabel(const DRAWITEMSTRUCT& item)
{
    const int length = GetWindowTextLengthA(item.hwndItem);
    std::string path(static_cast<size_t>(length) + 1, '\0');
    path.resize(static_cast<size_t>(GetWindowTextA(item.hwndItem, path.data(), length + 1)));
    RECT rect = item.rcItem;
    FillRect(item.hDC, &rect, GetSysColorBrush(COLOR_BTNFACE));
    const SelectedObject font(item.hDC, reinterpret_cast<HGDIOBJ>(SendMessageA(item.hwndItem, WM_GETFONT, 0, 0)));
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC, GetSysColor(COLOR_BTNTEXT));
    const std::string shown = CompactPath(item.hDC, path, rect.right - rect.left);
    // A last folder wider than the label itself is cut at its end.
    DrawTextA(item.hDC, shown.c_str(), static_cast<int>(shown.size()), &rect,
              DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
}
