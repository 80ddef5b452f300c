// Writes the demo installation into the current Wine prefix (or Windows user):
//   make_demo <folder> [farms]
// The folder receives "Kolvano" (the installed product) and "Update" (the update folder with the
// tool); the registry keys of the product are written anew. With a number, that many further
// farms with stored keys join the demo's, for timing runs at scale.
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
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: make_demo <folder> [farms]\n");
        return 2;
    }
    // The shortcuts of the demo are written through the shell's COM objects.
    ComApartment com;
    try {
        const std::string root = WithBackslash(argv[1]);
        std::printf("%s\n", BuildDemo(root, ExecutableFolder()).c_str());
        const DemoInstallation demo(root, ExecutableFolder());
        const int farms = argc == 3 ? std::atoi(argv[2]) : 0;
        for (int i = 0; i < farms; ++i) {
            const DemoFarm farm{"BNR5" + std::to_string(10000 + i), std::to_string(9000 + i) + "_1_1",
                                "Schluessel " + std::to_string(i), "Antrag " + std::to_string(i)};
            demo.AddFarm(farm, DemoDataCsv(farm));
            demo.AddStructureFile(farm.FarmId(), ";version=2014.12.01.00");
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
