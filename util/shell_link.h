// Shortcuts (.lnk files) written through the shell.
#pragma once

#include <string>

// Writes one shortcut. False when the shell's link object cannot be had; a link that cannot be
// saved is not reported. COM must be initialised on the calling thread.
bool CreateShellLink(const std::string& linkFile, const std::string& target, const std::string& arguments,
                     const std::string& workingFolder, int showCommand, const std::string& iconFile,
                     unsigned char iconIndex);
