// One farm application as the installation keeps it, and everything derived from its name.
// The name is the farm's folder below the program folder: "BNR276001_4711_1_1" in the current
// layout (the farm's registry key, "_", the application entry), "BNR402000" in the old layout
// (one folder per farm, its values directly in the farm's registry key).
#pragma once

#include <string>

class Farm {
public:
    explicit Farm(std::string name) : name_(std::move(name)) {}

    // The farm of a grid label "name|description|kind": the text before the first "|"; an
    // empty name when the label holds no "|".
    static Farm FromLabel(const std::string& label);
    // The current-layout farm of a registry farm key and one of its application entries.
    static Farm FromEntry(const std::string& farmKey, const std::string& entry);
    // Whether an entry of the program folder is named like a farm ("BNR…").
    static bool IsFarmName(const std::string& name);

    const std::string& Name() const { return name_; }
    // Blank names are no farm; the rows that hold them are skipped.
    bool IsBlank() const;

    // Registry, below HKEY_CURRENT_USER: the farm's key ("BNR…", the text before the first "_"),
    // and the key that holds this application's values (the farm's key itself in the old layout).
    std::string FarmKeyPath() const;
    std::string ValuesKeyPath() const;
    // The application kind from the entry name ("1", "Z", "N", …).
    std::string KindCode() const;

    // Files, below the installation's program folder (which ends in a backslash).
    std::string Folder(const std::string& programPath) const;
    std::string CsvFolder(const std::string& programPath) const;
    std::string DataFile(const std::string& programPath) const;
    std::string PlausiFile(const std::string& programPath) const;
    std::string StructureFile(const std::string& programPath) const;
    // The per-user application data, below the application-data folder.
    std::string AppDataFolder(const std::string& appDataPath) const;

    // The grid label: name, description and kind text, joined by "|".
    std::string Label(const std::string& description) const;
    // The grid label of a farm that still has the old layout.
    std::string OldLayoutLabel() const;

    // The one test for a farm of the old layout: named "BNR…" without "_", its data file in its
    // folder below the program folder, and its key in the registry without application entries.
    bool IsOldLayout(const std::string& programPath) const;

private:
    std::string EntryName() const;

    std::string name_;
};
