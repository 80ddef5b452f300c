// Writes the demo installation into the current Wine prefix (or Windows user):
//   make_demo <folder>
// The folder receives "Kolvano" (the installed product) and "Update" (the update folder with the
// tool); the registry keys of the product are written anew.
#include "demo/installation.h"
#include "util/files.h"

#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <exception>
#include <string>

namespace {

std::string ExeFolder()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder = path;
    return folder.substr(0, folder.find_last_of('\\') + 1);
}

const DemoFarm kFarms[] = {
    {"BNR276001", "4711_1_1", "Sommerweide", "Agrarf\xF6rderung 2026"},
    {"BNR276001", "4712_1_Z", "Sommerweide", "Erg\xE4nzung Stallbau"},
    {"BNR310777", "5230_1_1", "Hofladen#7", "Gr\xFCnland Ost"},
};

void Build(const std::string& root)
{
    const std::string bin = ExeFolder();
    const std::string stubs = bin + "..\\stubs\\";
    RemoveDemoRegistry();
    for (const char* folder : {"Kolvano", "Update", "Sicherung"})
        if (FolderExists(root + folder))
            DeleteFolder(root + folder, false, true, false);

    char appData[MAX_PATH] = {};
    SHGetSpecialFolderPathA(nullptr, appData, CSIDL_APPDATA, FALSE);

    DemoInstallation demo(root, bin);
    demo.Register();
    for (const DemoFarm& farm : kFarms) {
        demo.AddFarm(farm, DemoDataCsv(farm));
        demo.AddStructureFile(farm.FarmId(), ";version=2014.12.01.00");
        demo.AddAppData(farm, appData);
    }
    demo.AddSaveFile(kFarms[0], "Sicherung_2025.CND", DemoDataCsv(kFarms[0]));
    // A farm still in the old layout, which the run moves into the current one.
    const DemoFarm oldFarm{"BNR402000", "8800_1_1", "Altbestand", ""};
    demo.AddOldLayoutFarm(oldFarm, DemoDataCsv(oldFarm));
    demo.AddStructureFile(oldFarm.farm, ";version=2014.12.01.00");
    demo.InstallCopy(stubs + "version_7_0_1_0.exe", "kolvano3.exe");

    demo.ShipTool();
    demo.ShipCopy(stubs + "version_7_0_2_2.exe", "kolvano3.exe");
    demo.ShipFile("update.ini", "[UPDATES]\r\nReplacePlausiCSV=1\r\nDeleteAppdatas=0\r\n");
    demo.ShipFile("KATALOGE4UPDATE.CSV", DemoCatalog());
    demo.ShipFile("CSV_PLAUSI.CSV", "Regel;Feld;Bedingung\r\nP1;Fl\xE4" "che;>0\r\n");
    demo.ShipFile("CSV_ALL_STR.CSV", ";version=2015.03.17.01\r\nEbene;Feld;Typ\r\n1;Fl\xE4" "che;N\r\n");
    std::printf("%s\n", demo.ToolPath().c_str());
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_demo <folder>\n");
        return 2;
    }
    try {
        Build(WithBackslash(argv[1]));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
