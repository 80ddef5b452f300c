// File versions of executables, their normalised form and the update gate.
#pragma once

#include <cstdint>
#include <string>

struct UpdateContext;

// The four words of the file version joined by "." (e.g. "7.0.2.2"); "0.0.0.0" for a file
// without version information. A blank path means the running executable.
std::string GetFileVersion(const std::string& path);

// Prefixes each one-character part after the first with "0": "7.0.2.2" becomes "7.00.02.02".
std::string NormalizeVersion(const std::string& raw);

// A version text read as a number: every "." removed, the rest a signed 32-bit decimal integer
// (leading blanks and a sign allowed). Throws std::range_error when it is not one.
std::int32_t ToVersionNumber(const std::string& text);

// Sets InstalledVersion and UpdateVersion from the two executables; always true.
bool ReadVersions(UpdateContext& context, const std::string& installedExe, const std::string& updateExe);

// True when the shipped version is not older than the installed one. Throws std::range_error
// when a version number does not fit into a signed 32-bit integer.
bool IsUpdatePossible(const UpdateContext& context);
