// File versions of executables, their normalised form and their comparison.
#pragma once

#include <cstdint>
#include <string>

// The four words of the file version joined by "." (e.g. "7.0.2.2"); "0.0.0.0" for a file
// without version information. A blank path means the running executable.
std::string GetFileVersion(const std::string& path);

// Prefixes each one-character part after the first with "0": "7.0.2.2" becomes "7.00.02.02".
std::string NormalizeVersion(const std::string& raw);

// A version text read as a number: every "." removed, the rest a signed 32-bit decimal integer
// (leading blanks and a sign allowed). Throws NumberError when it is not one.
std::int32_t ToVersionNumber(const std::string& text);

// True when the candidate's version number is greater. Throws NumberError for a text that is
// not a number.
bool IsVersionNewer(const std::string& candidate, const std::string& reference);
