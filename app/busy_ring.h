// The busy indicator: a ring of dots whose bright dot moves on every 100 ms. While the update
// run blocks the message loop, every repaint of the window moves it on instead.
#pragma once

#include <windows.h>

namespace busy_ring {

inline constexpr char kClassName[] = "KvBusyRing";

bool Register(HINSTANCE instance);

}  // namespace busy_ring
