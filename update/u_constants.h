// File names, registry names and export names shared by the update operations. The German texts
// live in the string table (resources/strings.rc).
#pragma once

namespace names {

// Encryption library in the update folder and its exports.
inline constexpr char kPbfLibrary[] = "pbfdec.dll";
inline constexpr char kDecryptExport[] = "FileDecryptA";
inline constexpr char kEncryptExport[] = "FileEncryptA";

}  // namespace names
