// Program entry of the update tool.
#include "app/u_main.h"
#include "util/handles.h"

#include <windows.h>
#include <commctrl.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    // Before anything loads a library: never from the tool's own folder, which is the update
    // folder and often Downloads. The encryption library is loaded by its full path.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
    ComApartment com;
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    Tw_main w_main(instance);
    if (!w_main.Create())
        return 1;
    return w_main.RunMessageLoop();
}
