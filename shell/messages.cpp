#include "shell/messages.h"

#include "resources/resource.h"
#include "util/text.h"

#include <windows.h>

namespace {

// Owned by the active window, which the box disables while it is open.
bool ShowMessage(const std::string& text, UINT style)
{
    MessageBoxA(GetActiveWindow(), text.c_str(), LoadText(IDS_APP_TITLE).c_str(), style);
    return true;
}

}  // namespace

bool ShowInfo(const std::string& text)
{
    return ShowMessage(text, MB_ICONINFORMATION);
}

bool ShowError(const std::string& text)
{
    return ShowMessage(text, MB_ICONERROR);
}
