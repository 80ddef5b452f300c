// How the main window's layout fits a monitor's work area: the grid and the status list give up
// height first; only when that is not enough, or the layout is too wide, the whole layout is
// drawn at a smaller scale than the display's.
#pragma once

struct FitRequest {
    // The client area at 96 DPI, and the heights there that the grid and the status list have
    // and keep at least.
    int layoutWidth = 0;
    int layoutHeight = 0;
    int gridHeight = 0;
    int gridMinHeight = 0;
    int listHeight = 0;
    int listMinHeight = 0;
    // The display's DPI for the window, the frame around the client area and the work area, in
    // pixels.
    int dpi = 96;
    int frameWidth = 0;
    int frameHeight = 0;
    int workWidth = 0;
    int workHeight = 0;
};

struct Fit {
    // The DPI at which the layout is drawn.
    int scale = 96;
    // What the grid and the status list give up, in pixels at 96 DPI.
    int gridCut = 0;
    int listCut = 0;
};

Fit FitToWorkArea(const FitRequest& request);
