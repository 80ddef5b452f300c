// The busy indicator: a ring of dots whose bright dot moves on every 100 ms.
#pragma once

#include <windows.h>

namespace busy_ring {

inline constexpr char kClassName[] = "KvBusyRing";

bool Register(HINSTANCE instance);

}  // namespace busy_ring
