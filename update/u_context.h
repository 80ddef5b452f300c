// The process-wide update context: filled once while the main window is created, read by the
// update operations. No window header may be included here.
#pragma once

#include "util/handles.h"

#include <string>
#include <vector>

class RunJournal;

struct UpdateContext {
    // Folders, each ending in a backslash; ProgramPath is empty when no installation was found.
    std::string UpdatePath;
    std::string ProgramPath;
    std::string AppDataPath;
    std::string TempPath;
    // A file named on the command line that receives the run log too; empty when none.
    std::string LogPath;

    // Normalised file versions of the installed and the shipped main executable.
    std::string InstalledVersion;
    std::string UpdateVersion;

    // Which phases the run carries out.
    bool HasProgramFiles = false;
    bool ReplacePlausi = false;
    bool UpdateDataCsvs = false;
    bool RestructureFolders = false;
    bool DeleteAppData = false;
    bool DebugInfo = false;

    // Catalogue prefixes whose records the update replaces.
    std::vector<std::string> CatalogList;
    // Farm folders whose data CSVs this run brought to the current version.
    std::vector<std::string> UpdatedFarmList;
    // The update's identity (its manifest's SHA-256, or the folder's fingerprint without one) and
    // the manifest's sequence number, set when the folder is verified at Start.
    std::string UpdateId;
    unsigned long long UpdateSequence = 0;
    // The verified files of the update folder, held against writing until the tool ends, so that
    // none can be swapped between the check and the run that loads and copies them.
    std::vector<FileHandle> HeldUpdateFiles;
    // While a run changes the installation: where each change is recorded before it is made.
    RunJournal* Journal = nullptr;
};
