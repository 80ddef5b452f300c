// The tool's side of the file encryption library: load by full path, find an export, call it,
// release it.
#pragma once

#include "pbfdec/pbfdec.h"
#include "util/handles.h"

#include <string>

class PbfLibrary {
public:
    // Loads updatePath + "pbfdec.dll"; no other folder is tried.
    bool Load(const std::string& updatePath);

    // The named export, or null when the library is not loaded or lacks it.
    PbfFileFunction Find(const char* name) const;

    // Releases the library now; false when FreeLibrary failed or nothing was loaded.
    bool Release();

private:
    Module module_;
};

// Calls an export with the zero-filled 256-byte work buffer and 0 as fourth argument.
int CallPbf(PbfFileFunction function, const std::string& source, const std::string& target, const std::string& key);

// The German text for a failure code. False (text untouched) for success and unknown codes.
bool PbfResultText(int code, std::string& text);
