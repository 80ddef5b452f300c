// Shortcuts through the shell's link object (IShellLinkA and IPersistFile).
#include "util/shell_link.h"

#include "util/handles.h"

#include <shlobj.h>

namespace {

std::wstring Wide(const std::string& text)
{
    const int size = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), size);
    return wide;
}

}  // namespace

bool CreateShellLink(const std::string& linkFile, const std::string& target, const std::string& arguments,
                     const std::string& workingFolder, int showCommand, const std::string& iconFile,
                     unsigned char iconIndex)
{
    ComPtr<IUnknown> object;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IUnknown,
                                reinterpret_cast<void**>(object.put()))))
        return false;
    ComPtr<IShellLinkA> link;
    ComPtr<IPersistFile> file;
    if (FAILED(object.As(link)) || FAILED(object.As(file)))
        return false;
    link->SetPath(target.c_str());
    link->SetArguments(arguments.c_str());
    link->SetWorkingDirectory(workingFolder.c_str());
    link->SetShowCmd(showCommand);
    link->SetIconLocation(iconFile.c_str(), iconIndex);
    return SUCCEEDED(file->Save(Wide(linkFile).c_str(), FALSE));
}
