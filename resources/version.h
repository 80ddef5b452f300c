// The tool's own version, shown in its caption.
#pragma once

#define TOOL_VERSION_NUMBERS 1,0,0,0
#define TOOL_VERSION_TEXT    "1.0.0.0"
