// File names, registry names and export names shared by the tool. The German texts live in
// the string table (resources/strings.rc).
#pragma once

namespace names {

// Registry, below HKEY_CURRENT_USER.
inline constexpr char kProductKey[] = "SOFTWARE\\Orvalis GmbH\\Kolvano";
inline constexpr char kAppPathValue[] = "AppPath";
inline constexpr char kDeveloperKey[] = "Software\\Orvalis\\Development\\KOLVANO3";
inline constexpr char kDebugInfoValue[] = "ShowUpdateDebugInfo";
inline constexpr char kKeyValue[] = "Key";
inline constexpr char kDescriptionValue[] = "BezAntrag";
// What the last successful run applied, for this user: the update's version and fingerprint.
inline constexpr char kAppliedVersionValue[] = "AppliedUpdate";
inline constexpr char kAppliedIdValue[] = "AppliedUpdateId";
// The sequence number of the applied update's manifest: an older update is refused.
inline constexpr char kAppliedSequenceValue[] = "AppliedUpdateSequence";
// The identity of the update that the last /check found ready to begin, for a pilot's detection.
inline constexpr char kCheckedIdValue[] = "CheckedUpdateId";

// update.ini in the update folder.
inline constexpr char kUpdateIni[] = "update.ini";
inline constexpr char kUpdatesSection[] = "UPDATES";
inline constexpr char kReplacePlausiKey[] = "ReplacePlausiCSV";
inline constexpr char kDeleteAppDataKey[] = "DeleteAppdatas";

// Files of the update folder and of the installation.
inline constexpr char kMainExe[] = "kolvano3.exe";
inline constexpr char kOldMainExe[] = "kolvano2.exe";
inline constexpr char kPlausiCsv[] = "CSV_PLAUSI.CSV";
inline constexpr char kCatalogCsv[] = "KATALOGE4UPDATE.CSV";

// Farm folders of the old layout are named "BNR" + farm number, without "_".
inline constexpr char kOldFarmPrefix[] = "BNR";

// Shell special folders.
inline constexpr int kCsidlDesktop = 0;
inline constexpr int kCsidlPrograms = 2;
inline constexpr int kCsidlCommonPrograms = 23;
inline constexpr int kCsidlAppData = 26;
inline constexpr int kCsidlLocalAppData = 28;
inline constexpr int kCsidlProfile = 40;

// Shortcuts.
inline constexpr char kCompanyFolder[] = "Orvalis GmbH";
inline constexpr char kOldProduct[] = "Kolvano";
inline constexpr char kNewProduct[] = "Kolvano3";
inline constexpr char kUninstaller[] = "setup.exe";
inline constexpr char kUninstallArguments[] = "-uninstall";
inline constexpr char kUninstallLink[] = "Deinstallation.lnk";

// Documents.
inline constexpr char kDocumentList[] = "DOKUMENTE.TXT";

// Temp files, in TempPath.
inline constexpr char kTempCnd[] = "DATEN_CSV.CND";
inline constexpr char kTempPlain[] = "DATEN_CSV.TXT";
inline constexpr char kTempEdited[] = "DATEN_CSV_M.TXT";
inline constexpr char kTempPlausi[] = "CSV_PLAUSI.TXT";
inline constexpr char kTempPlausiAnsi[] = "CSV_PLAUSI_ANSI.TXT";
inline constexpr char kTempStructure[] = "CSV_ALL_STR_ANSI.CSV";

// Farm files, below ProgramPath + farm folder.
inline constexpr char kFarmCsvFolder[] = "\\CSV-Dateien\\";
inline constexpr char kFarmDataFile[] = "CSV_ALL_DAT.CND";
inline constexpr char kFarmPlausiFile[] = "CSV_PLAUSI.CND";
inline constexpr char kStructureCsv[] = "CSV_ALL_STR.CSV";
inline constexpr char kSavePathValue[] = "SavePath";
inline constexpr char kSaveKeyValue[] = "SaveKey";
inline constexpr char kAppDataProduct[] = "Kolvano\\";

// Encryption library in the update folder and its exports.
inline constexpr char kPbfLibrary[] = "pbfdec.dll";
inline constexpr char kDecryptExport[] = "FileDecryptA";
inline constexpr char kEncryptExport[] = "FileEncryptA";

}  // namespace names
