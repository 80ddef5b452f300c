// The update operations. Each reads the UpdateContext it is given and writes to the status log
// through the registered sink. None of them touches a window.
//
// Error policy:
// - An operation that can fail returns false and puts a German text into message; the run logs
//   and shows it. An operation that cannot fail returns nothing.
// - A failed Windows call keeps its cause: GetLastError is read right after it, and
//   WithWindowsError appends "(Windows-Fehler <n>: <Windows' text>)" to the message, so the
//   status list and the run log carry it.
// - Exceptions are for what an operation cannot handle itself: util's FileError and NumberError,
//   PbfCrash from the library, std::bad_alloc. Their comments say which operations let them
//   through; the run words them with ErrorText (update/errors.h).
#pragma once

#include "update/u_context.h"

#include <string>
#include <vector>

// Verifies the farm's key by decrypting a temp copy of cndFile. Temp files are removed on
// every path; the key never reaches the log.
bool FIsRightKeyForFile(const UpdateContext& context, const std::string& farm, const std::string& cndFile,
                        const std::string& key, std::string& message);

// Encrypts the shipped plausibility rules with the farm's key into the farm's folder. Rules saved
// as UTF-8 are converted to code page 1252 first; without a code page 1252 form TextError is
// thrown.
bool FReplacePlausiCSV(const UpdateContext& context, const std::string& farm, const std::string& key,
                       std::string& message);

// Rewrites every data CSV of the farm (its main file and the "*.CND" files of its save folder)
// and notes the farm in UpdatedFarmList once a file is stored. A file that the library cannot
// decrypt is skipped with the message set; any other failure (the temp files, the catalogue,
// storing the rewritten file, the library itself) stops with false and leaves the file as it was.
bool FModifyDataCSV(UpdateContext& context, const std::string& farm, const std::string& key, std::string& message);

// The farm's main data file first, then every "*.CND" file of its save folder ("SavePath").
// Throws std::runtime_error when "SavePath" is no string.
std::vector<std::string> FFarmDataFiles(const UpdateContext& context, const std::string& farm);

// "3" when the plain data CSV holds the version-3 marker record, otherwise "2".
std::string FGetDataCSVVersion(const std::string& path);

// Copies the records that no catalogue of the update replaces, with the data version record set
// to UpdateVersion (added at the end when missing). Throws FileError on a read or write error.
void FFilterDataCSV(const UpdateContext& context, const std::string& source, const std::string& target);

// Appends the record lines of source to target; a header, blank lines and other text are left
// out, so they never reach farm data. Throws FileError on a read or write error.
void FAppendTextFile(const std::string& source, const std::string& target);

// Gives every farm rewritten in this run the shipped structure file (in code page 1252) when its
// stamp is newer, or the farm's cannot be read, and then empties the farm's application-data
// folder. A shipped file that cannot be read or converted throws FileError or TextError, a shipped
// stamp that is not a number NumberError, a farm file that cannot be written FileError.
void FUpdateStructureCSV(const UpdateContext& context);

// Empties the application-data folders of the farms rewritten in this run.
void FDeleteAppData(const UpdateContext& context);

// True when the shipped structure file's stamp is newer than the farm's; logs either way.
bool FIsNewerStructureCSV(const std::string& shipped, const std::string& farmFile, const std::string& farm);

// Deletes the files directly in the farm's application-data folder.
void FRemoveFarmAppData(const UpdateContext& context, const std::string& farm);

// True when the farm's data CSVs were rewritten in this run.
bool IsDataCsvUpdated(const UpdateContext& context, const std::string& farm);

// Moves a farm of the old layout into the current one: folder, application-data folder and
// registry values go to farm + "_" + application id + "_1_1" together, or not at all; then the
// farm's data CSVs are rewritten under the new name. movedTo receives the new name after a move.
// Rows of the current layout (and wrong keys) pass with true and no change.
bool FModifyFolderStructure(UpdateContext& context, const std::string& farm, const std::string& key,
                            std::string& message, std::string& movedTo);

// Whether an old-layout farm can move: its registry values are complete and its data holds an
// application id that can name its new folder. True also when the key does not open the file
// (the key phase reports that).
bool FCheckOldLayoutFarm(const UpdateContext& context, const std::string& farm, const std::string& key,
                         std::string& message);

// Programs running from the installation folder (Kolvano, say) would work on files the run
// rewrites: each is logged with its process id, and the message names them; empty when none runs.
std::string FRunningProgramsProblem(const UpdateContext& context);

// The folders of the user's profile that the run works in (and the temp folder) must have a name
// the tool can use: one message per folder that has none; empty when all have one.
std::string FFolderNameProblems();

// The temp folder must exist and take a file before the keys are checked; empty when it does,
// otherwise the message.
std::string FTempFolderProblem(const UpdateContext& context);

// A farm and the key typed for it.
struct FarmKey {
    std::string farm;
    std::string key;
};

// Everything that would stop the run half way and can be known before the first change: held
// or protected program files, names the run must create that are taken, folders that take no
// new file, documents that cannot be archived, old-layout farms without a usable application
// id, too little room for the data files and their temp copies, a catalogue that is no text or
// holds no record. One German message per problem; empty when the run can begin. held, when
// given, counts the problems that are files another program holds.
std::vector<std::string> FPreflight(const UpdateContext& context, const std::vector<FarmKey>& farms,
                                    size_t* held = nullptr);

// Every installed program file that the update would replace but cannot, because a running
// program holds it or a right is missing: one message each, with the Windows error.
std::vector<std::string> FProgramFileProblems(const UpdateContext& context, size_t* held = nullptr);
// The program files the update carries, by name.
std::vector<std::string> FShippedProgramFiles(const UpdateContext& context);

// Replaces the installed program files by the update's copies, the old ones kept by the run's
// journal. Stops before anything changes when FProgramFileProblems finds one.
bool FUpdateProgramFiles(const UpdateContext& context, std::string& message);

// Sets the old main executable aside; called once the links lead to the new one, so that a link
// on the desktop starts a program at every moment of the run.
bool FRemoveOldMainProgram(const UpdateContext& context, std::string& message);

// Removes the desktop link and start-menu folders of the product ("Kolvano" or "Kolvano3"), and
// the company folder when nothing is left in it.
void RemoveShortcuts(const UpdateContext& context, const std::string& product);
// The links to the installation's main program. Throw std::runtime_error when a link cannot be
// written.
void CreateDesktopShortcut(const UpdateContext& context);
void CreateStartMenuShortcuts(const UpdateContext& context);

// The documents that the list names as newer than the installed version, each once.
std::vector<std::string> FDocumentNames(const UpdateContext& context);

// Whether this user's last successful run applied this very update: its version and identity
// (the manifest's SHA-256, or the folder's fingerprint), which is handed out in identity.
bool FIsUpdateApplied(const UpdateContext& context, std::string& identity);

// Notes the update as applied (version, identity and the manifest's sequence number, a debug
// line too), through the run's journal; false with the message when the registry takes no value.
bool FRecordAppliedUpdate(const UpdateContext& context, std::string& message);

// Notes an identity under the product's key outside any run, for a distribution system's
// detection: of an update that this PC needs no more, or that /check found ready.
bool FRecordUpdateIdentity(const char* valueName, const std::string& identity);

// Copies the documents listed as newer than the installed version into the farm's folder,
// archiving existing copies. True without a list.
bool FModifyDocuments(const UpdateContext& context, const std::string& farm, std::string& message);


