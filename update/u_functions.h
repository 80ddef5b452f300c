// The update operations. Each reads the UpdateContext it is given, writes to the status log
// through the registered sink, and reports failure as false with a German text in message.
// None of them touches a window.
#pragma once

#include "update/u_context.h"

#include <string>

// Verifies the farm's key by decrypting a temp copy of cndFile. Temp files are removed on
// every path; the key never reaches the log.
bool FIsRightKeyForFile(const UpdateContext& context, const std::string& farm, const std::string& cndFile,
                        const std::string& key, std::string& message);
