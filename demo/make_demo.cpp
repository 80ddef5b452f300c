// Writes the demo installation into the current Wine prefix (or Windows user):
//   make_demo <folder> [farms [KB]]
// The folder receives "Kolvano" (the installed product) and "Update" (the update folder with the
// tool); the registry keys of the product are written anew. With a number, that many further
// farms with stored keys join the demo's, for timing runs at scale, each data file filled with
// records up to the size in KB when one is given.
#include "demo/installation.h"
#include "util/files.h"
#include "util/handles.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 4) {
        std::fprintf(stderr, "usage: make_demo <folder> [farms [KB]]\n");
        return 2;
    }
    // The shortcuts of the demo are written through the shell's COM objects.
    ComApartment com;
    try {
        const std::string root = WithBackslash(argv[1]);
        std::printf("%s\n", BuildDemo(root, ExecutableFolder()).c_str());
        const DemoInstallation demo(root, ExecutableFolder());
        const int farms = argc >= 3 ? std::atoi(argv[2]) : 0;
        const size_t size = argc == 4 ? static_cast<size_t>(std::atoi(argv[3])) * 1024 : 0;
        for (int i = 0; i < farms; ++i) {
            const DemoFarm farm{"BNR5" + std::to_string(10000 + i), std::to_string(9000 + i) + "_1_1",
                                "Schluessel " + std::to_string(i), "Antrag " + std::to_string(i)};
            std::string data = DemoDataCsv(farm);
            for (int record = 0; data.size() < size; ++record)
                data += DemoRecord("D40X0U9T1C" + std::to_string(record) + "L1R1", "Fl\xE4" "che " + std::to_string(record));
            demo.AddFarm(farm, data);
            demo.AddStructureFile(farm.FarmId(), ";version=2014.12.01.00");
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
