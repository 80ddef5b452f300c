// Writes the demo installation into the current Wine prefix (or Windows user):
//   make_demo <folder>
// The folder receives "Kolvano" (the installed product) and "Update" (the update folder with the
// tool); the registry keys of the product are written anew.
#include "demo/installation.h"
#include "util/files.h"
#include "util/handles.h"

#include <windows.h>

#include <cstdio>
#include <exception>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_demo <folder>\n");
        return 2;
    }
    // The shortcuts of the demo are written through the shell's COM objects.
    ComApartment com;
    try {
        std::printf("%s\n", BuildDemo(WithBackslash(argv[1]), ExecutableFolder()).c_str());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
