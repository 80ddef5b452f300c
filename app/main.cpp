// Program entry of the update tool.
#include "app/u_main.h"
#include "util/handles.h"

#include <windows.h>
#include <commctrl.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    ComApartment com;
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    Tw_main w_main(instance);
    if (!w_main.Create())
        return 1;
    return w_main.RunMessageLoop();
}
