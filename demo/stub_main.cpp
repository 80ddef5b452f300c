// Stand-in for the product's main executable: it carries a version resource and, when started,
// notes its start in "started.txt" in its working folder, so a test can see that it ran. Started
// with "/warten" it stays for a minute, as an open program does.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR arguments, int show)
{
    if (lstrcmpA(arguments, "/warten") == 0) {
        Sleep(60000);
        return 0;
    }
    HANDLE file = CreateFileA("started.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        char line[32];
        const int length = wsprintfA(line, "show=%d\r\n", show);
        DWORD written = 0;
        WriteFile(file, line, static_cast<DWORD>(length), &written, nullptr);
        CloseHandle(file);
    }
    return 0;
}
