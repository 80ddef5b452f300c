// Writes the demo installation into the current Wine prefix (or Windows user):
//   make_demo <folder>
// The folder receives "Kolvano" (the installed product) and "Update" (the update folder with the
// tool); the registry keys of the product are written anew.
#include "demo/installation.h"
#include "util/files.h"

#include <windows.h>

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

const char kCatalog[] = "key=\"D40X0U2T2C20L1R1\"; value=\"Gr\xFCnland 14,0 ha\"; enabled=\"1\"\r\n"
                        "key=\"D40X0U2T2C20L2R1\"; value=\"Ackerland 3,5 ha\"; enabled=\"1\"\r\n";

void Build(const std::string& root)
{
    const std::string bin = ExeFolder();
    const std::string stubs = bin + "..\\stubs\\";
    RemoveDemoRegistry();
    for (const char* folder : {"Kolvano", "Update"})
        if (FolderExists(root + folder))
            DeleteFolder(root + folder, false, true, false);

    DemoInstallation demo(root, bin);
    demo.Register();
    for (const DemoFarm& farm : kFarms)
        demo.AddFarm(farm, DemoDataCsv(farm));
    demo.InstallCopy(stubs + "version_7_0_1_0.exe", "kolvano3.exe");

    demo.ShipTool();
    demo.ShipCopy(stubs + "version_7_0_2_2.exe", "kolvano3.exe");
    demo.ShipFile("update.ini", "[UPDATES]\r\nReplacePlausiCSV=0\r\nDeleteAppdatas=0\r\n");
    demo.ShipFile("KATALOGE4UPDATE.CSV", kCatalog);
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
