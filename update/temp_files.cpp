#include "update/temp_files.h"

#include "update/u_constants.h"
#include "util/files.h"

TempFileGuard::~TempFileGuard()
{
    for (const std::string& path : paths_)
        RemoveFile(path);
}

void RemoveOwnTempFiles(const std::string& tempPath)
{
    // Without a temp folder the bare names would be taken in the current folder.
    if (tempPath.empty())
        return;
    for (const char* name : {names::kTempCnd, names::kTempPlain, names::kTempEdited, names::kTempPlausi,
                             names::kTempPlausiAnsi, names::kTempStructure})
        RemoveFile(tempPath + name);
}
