#include "update/temp_files.h"

#include "util/files.h"

#include <windows.h>

TempFileGuard::~TempFileGuard()
{
    for (const std::string& path : paths_)
        RemoveFile(path);
}

bool RemoveFile(const std::string& path)
{
    if (!FileExists(path))
        return true;
    ClearFileAttributes(path);
    return DeleteFileA(path.c_str()) != 0;
}
