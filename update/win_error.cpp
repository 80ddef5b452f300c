#include "update/win_error.h"

#include "resources/resource.h"
#include "util/text.h"

std::string WindowsErrorText(unsigned long code)
{
    return FormatText(IDS_WINDOWS_ERROR, {std::to_string(code), SystemErrorText(code)});
}
