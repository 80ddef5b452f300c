#include "update/pbf_library.h"

#include "resources/resource.h"
#include "update/u_constants.h"
#include "util/text.h"

namespace {
constexpr size_t kWorkBufferSize = 256;
}

bool PbfLibrary::Load(const std::string& updatePath)
{
    module_.reset(LoadLibraryA((updatePath + names::kPbfLibrary).c_str()));
    return static_cast<bool>(module_);
}

PbfFileFunction PbfLibrary::Find(const char* name) const
{
    if (!module_)
        return nullptr;
    return reinterpret_cast<PbfFileFunction>(reinterpret_cast<void*>(GetProcAddress(module_.get(), name)));
}

bool PbfLibrary::Release()
{
    return module_.close();
}

int CallPbf(PbfFileFunction function, const std::string& source, const std::string& target, const std::string& key)
{
    if (!function)
        return PBF_UNKNOWN;
    char buffer[kWorkBufferSize] = {};
    return function(source.c_str(), target.c_str(), key.c_str(), 0, buffer);
}

bool PbfResultText(int code, std::string& text)
{
    unsigned int id = 0;
    switch (code) {
    case PBF_WRONG_KEY:
        id = IDS_PBF_WRONG_KEY;
        break;
    case PBF_CANNOT_WRITE:
        id = IDS_PBF_READ_ONLY;
        break;
    case PBF_SOURCE_MISSING:
        id = IDS_PBF_NOT_FOUND;
        break;
    case PBF_UNKNOWN:
        id = IDS_PBF_UNKNOWN;
        break;
    default:
        return false;
    }
    text = LoadText(id);
    return true;
}
