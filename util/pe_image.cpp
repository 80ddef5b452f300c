// Only the DOS stub, the file header and the section table are read: enough to tell a library
// of the wrong machine or a damaged file from one that Windows can map.
#include "util/pe_image.h"

#include "util/handles.h"

#include <algorithm>

namespace {

bool ReadAt(HANDLE file, LONGLONG offset, void* data, DWORD size)
{
    LARGE_INTEGER at;
    at.QuadPart = offset;
    DWORD read = 0;
    return SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && ReadFile(file, data, size, &read, nullptr) &&
           read == size;
}

}  // namespace

PeImage ReadPeImage(const std::string& path)
{
    PeImage image;
    const FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size = {};
    if (!file || !GetFileSizeEx(file.get(), &size)) {
        image.status = PeStatus::Unreadable;
        image.error = GetLastError();
        return image;
    }

    IMAGE_DOS_HEADER dos = {};
    if (!ReadAt(file.get(), 0, &dos, sizeof(dos)) || dos.e_magic != IMAGE_DOS_SIGNATURE || dos.e_lfanew <= 0)
        return image;
    DWORD signature = 0;
    IMAGE_FILE_HEADER header = {};
    WORD magic = 0;
    const LONGLONG headerAt = dos.e_lfanew + static_cast<LONGLONG>(sizeof(signature));
    const LONGLONG optionalAt = headerAt + static_cast<LONGLONG>(sizeof(header));
    if (!ReadAt(file.get(), dos.e_lfanew, &signature, sizeof(signature)) || signature != IMAGE_NT_SIGNATURE)
        return image;
    if (!ReadAt(file.get(), headerAt, &header, sizeof(header)) || !ReadAt(file.get(), optionalAt, &magic, sizeof(magic)))
        return image;
    if (magic != IMAGE_NT_OPTIONAL_HDR32_MAGIC && magic != IMAGE_NT_OPTIONAL_HDR64_MAGIC)
        return image;
    image.machine = header.Machine;

    LONGLONG end = optionalAt + header.SizeOfOptionalHeader;
    const LONGLONG sectionsAt = end;
    for (WORD index = 0; index < header.NumberOfSections; ++index) {
        IMAGE_SECTION_HEADER section = {};
        if (!ReadAt(file.get(), sectionsAt + index * static_cast<LONGLONG>(sizeof(section)), &section,
                    sizeof(section))) {
            image.status = PeStatus::Truncated;
            return image;
        }
        end = std::max<LONGLONG>(end, static_cast<LONGLONG>(section.PointerToRawData) + section.SizeOfRawData);
    }
    image.status = end <= size.QuadPart ? PeStatus::Valid : PeStatus::Truncated;
    return image;
}

WORD OwnMachine()
{
#if defined(_M_IX86) || defined(__i386__)
    return IMAGE_FILE_MACHINE_I386;
#elif defined(_M_ARM64) || defined(__aarch64__)
    return IMAGE_FILE_MACHINE_ARM64;
#else
    return IMAGE_FILE_MACHINE_AMD64;
#endif
}
