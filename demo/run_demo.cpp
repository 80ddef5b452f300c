// Works the tool without a person: starts it, takes a screenshot, presses Start, answers every
// box with OK, takes a second screenshot, saves the status list and leaves with Beenden.
//   run_demo <tool> <output folder>
#include "demo/gui_driver.h"
#include "resources/resource.h"
#include "util/files.h"

#include <cstdio>
#include <fstream>
#include <string>

namespace {

void WriteLines(const std::string& path, const std::vector<std::string>& lines)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (const std::string& line : lines)
        out << line << "\r\n";
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: run_demo <tool> <output folder>\n");
        return 2;
    }
    const std::string out = WithBackslash(argv[2]);
    GuiDriver tool;
    if (!tool.Start(argv[1]) || !tool.WaitVisible()) {
        std::fprintf(stderr, "the tool did not open its window\n");
        return 1;
    }
    tool.Screenshot(out + "before.bmp");
    const std::vector<std::string> boxes = tool.RunUpdate();
    tool.Screenshot(out + "after.bmp");
    WriteLines(out + "status.txt", tool.ListLines(IDC_LISTBOX1));
    WriteLines(out + "boxes.txt", boxes);
    tool.Click(IDC_BTN_CLOSE);
    tool.WaitForExit();
    for (const std::string& box : boxes)
        std::printf("box: %s\n", box.c_str());
    return 0;
}
