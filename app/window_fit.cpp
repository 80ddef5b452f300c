#include "app/window_fit.h"

#include "app/window.h"

#include <algorithm>

namespace {

// Below this the text would be too small to read; a smaller work area cuts the window off.
constexpr int kMinScale = 72;

// The largest scale at which the length fits into the pixels.
int ScaleFor(int length, int pixels)
{
    return length > 0 ? pixels * kLayoutDpi / length : kLayoutDpi;
}

}  // namespace

Fit FitToWorkArea(const FitRequest& request)
{
    Fit fit;
    fit.scale = request.dpi;
    const int width = request.workWidth - request.frameWidth;
    const int height = request.workHeight - request.frameHeight;
    if (width <= 0 || height <= 0)
        return fit;
    if (Scaled(request.layoutWidth, fit.scale) > width)
        fit.scale = std::max(kMinScale, ScaleFor(request.layoutWidth, width));
    const int excess = Scaled(request.layoutHeight, fit.scale) - height;
    if (excess <= 0)
        return fit;
    const int cut = (excess * kLayoutDpi + fit.scale - 1) / fit.scale;
    fit.gridCut = std::clamp(cut, 0, std::max(0, request.gridHeight - request.gridMinHeight));
    fit.listCut = std::clamp(cut - fit.gridCut, 0, std::max(0, request.listHeight - request.listMinHeight));
    const int left = request.layoutHeight - fit.gridCut - fit.listCut;
    if (Scaled(left, fit.scale) > height)
        fit.scale = std::max(kMinScale, std::min(fit.scale, ScaleFor(left, height)));
    return fit;
}
