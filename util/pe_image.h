// Reads the headers of a Windows image file (DLL or executable) without loading it.
#pragma once

#include <windows.h>

#include <string>

enum class PeStatus {
    Valid,
    Unreadable,  // the file cannot be opened or read; error holds GetLastError
    NotImage,    // empty, a text file, or headers that are not those of a Windows image
    Truncated,   // the headers promise more data than the file holds
};

struct PeImage {
    PeStatus status = PeStatus::NotImage;
    DWORD error = 0;
    WORD machine = 0;  // IMAGE_FILE_MACHINE_… of a valid image
};

// The headers of the image at path. Never throws.
PeImage ReadPeImage(const std::string& path);

// The machine type of images built like the running process.
WORD OwnMachine();
