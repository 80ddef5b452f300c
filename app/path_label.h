// A label that shows a path shortened in the middle: the drive and as many leading folders as
// fit, "...", and the last folder whole. The label's text stays the whole path, for screen readers
// and for programs that read the window.
#pragma once

#include <windows.h>

#include <string>

// The path as it fits the width in the DC's font; the whole path when it fits.
std::string CompactPath(HDC dc, const std::string& path, int width);

// Draws an owner-drawn path label.
void DrawPathLabel(const DRAWITEMSTRUCT& item);
