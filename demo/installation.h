// Builds an installed product and an update folder beside it, for the demo and for the tests:
// registry keys, farm folders with encrypted data files, and the files of the update folder.
#pragma once

#include <string>

// One application of a farm in the current layout; for the old layout only farm and key count,
// and the application id is the one its data CSV will carry.
struct DemoFarm {
    std::string farm;         // "BNR" + farm number
    std::string application;  // application id + "_1_1", or another entry name
    std::string key;
    std::string description;

    std::string FarmId() const { return farm + "_" + application; }
};

// One record line with its CR LF.
std::string DemoRecord(const std::string& key, const std::string& value, const std::string& enabled = "1");

// Plain text of a data CSV of version 3 for the farm: the version marker, a data version record,
// the application id and a few catalogue records.
std::string DemoDataCsv(const DemoFarm& farm);

// The demo's "KATALOGE4UPDATE.CSV": new records of the catalogue "D40X0U5".
std::string DemoCatalog();

// What DemoDataCsv becomes after an update to the version with the demo's catalogue.
std::string DemoUpdatedCsv(const DemoFarm& farm, const std::string& version);

class DemoInstallation {
public:
    // root: an existing folder with a trailing backslash; binFolder holds the tool and pbfdec.dll.
    DemoInstallation(const std::string& root, const std::string& binFolder);

    std::string ProgramPath() const { return root_ + "Kolvano\\"; }
    std::string UpdatePath() const { return root_ + "Update\\"; }
    std::string ToolPath() const { return UpdatePath() + "Kolvano-UpdateTool.exe"; }

    // Writes "AppPath" (the installation folder without trailing backslash).
    void Register() const;
    // Registry entry and farm folder with the data file encrypted under the farm's key.
    void AddFarm(const DemoFarm& farm, const std::string& dataCsv) const;
    // A farm of the old layout: folder "BNR..." and the values Key, SaveKey and SavePath directly
    // in the farm's registry key. Its data CSV should carry the application id record.
    void AddOldLayoutFarm(const DemoFarm& farm, const std::string& dataCsv) const;
    // The plain structure file in the farm folder, with the given first line.
    void AddStructureFile(const std::string& farmFolder, const std::string& firstLine) const;
    // A further encrypted data CSV in the farm's save folder (registered as "SavePath").
    std::string AddSaveFile(const DemoFarm& farm, const std::string& name, const std::string& dataCsv) const;
    // Files in the farm's application-data folder below appDataFolder ("...\AppData\Roaming\").
    void AddAppData(const DemoFarm& farm, const std::string& appDataFolder) const;
    // The main data file of the farm.
    std::string DataFile(const DemoFarm& farm) const;
    // Copies the tool and the encryption library into the update folder.
    void ShipTool() const;
    void ShipFile(const std::string& name, const std::string& bytes) const;
    void InstallFile(const std::string& name, const std::string& bytes) const;
    // Copies an existing file (an executable with a version, say) into either folder.
    void ShipCopy(const std::string& source, const std::string& name) const;
    void InstallCopy(const std::string& source, const std::string& name) const;
    // Sets the developer switch that turns on the debug lines.
    void SetDebugInfo(unsigned long value) const;

private:
    std::string root_;
    std::string binFolder_;
};

// Encrypts the text into target with the library in binFolder; throws when that fails.
void EncryptText(const std::string& binFolder, const std::string& text, const std::string& target,
                 const std::string& key);
// The plain text of an encrypted file; throws when it cannot be decrypted with the key.
std::string DecryptText(const std::string& binFolder, const std::string& source, const std::string& key);

// Removes the product's and the developer switch's registry keys.
void RemoveDemoRegistry();
// Removes the desktop links and start-menu folders of the product.
void RemoveDemoShortcuts();

// The file's bytes; throws std::runtime_error when it cannot be read.
std::string ReadFileBytes(const std::string& path);

// Every file below the folder with its bytes, then every key and value below the product's
// registry key: compared before and after a step that promises to change nothing. Without
// exactBytes, encrypted files (fresh salts) and shell links (times) count by their size, so that
// two runs over equal installations can be compared.
std::string InstallationSnapshot(const std::string& folder, bool exactBytes = true);

// Helpers that throw std::runtime_error when they fail.
void WriteFileBytes(const std::string& path, const std::string& bytes);
void SetUserString(const std::string& keyPath, const std::string& name, const std::string& value);
void SetUserDword(const std::string& keyPath, const std::string& name, unsigned long value);

// The whole demo below root: three applications of two farms and one old-layout farm, save
// folder, structure files, application data, old shortcuts, installed program files; and an
// update folder with the tool, new program files, catalogue, rules, structure file and
// documents. Earlier demo folders and registry keys are removed first. Returns the tool's path.
std::string BuildDemo(const std::string& root, const std::string& binFolder);
