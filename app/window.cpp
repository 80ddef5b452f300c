#include "app/window.h"

bool RegisterWindowClass(HINSTANCE instance, const char* name, WNDPROC procedure, UINT style, int extraBytes,
                         HCURSOR cursor, HBRUSH background)
{
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = style;
    windowClass.lpfnWndProc = procedure;
    windowClass.cbWndExtra = extraBytes;
    windowClass.hInstance = instance;
    windowClass.hCursor = cursor;
    windowClass.hbrBackground = background;
    windowClass.lpszClassName = name;
    return RegisterClassExA(&windowClass) != 0;
}
