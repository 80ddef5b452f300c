#include "update/pbf_library.h"

#include "resources/resource.h"
#include "update/u_constants.h"
#include "update/errors.h"
#include "update/u_log.h"
#include "util/pe_image.h"
#include "util/seh_guard.h"
#include "util/text.h"

namespace {

constexpr size_t kWorkBufferSize = 256;

std::string MachineText(WORD machine)
{
    switch (machine) {
    case IMAGE_FILE_MACHINE_I386:
        return LoadText(IDS_MACHINE_X86);
    case IMAGE_FILE_MACHINE_AMD64:
        return LoadText(IDS_MACHINE_X64);
    case IMAGE_FILE_MACHINE_ARM64:
        return LoadText(IDS_MACHINE_ARM64);
    default:
        char hex[8];
        wsprintfA(hex, "%04X", machine);
        return FormatText(IDS_MACHINE_OTHER, {hex});
    }
}

struct PbfCall {
    PbfFileFunction function;
    const char* source;
    const char* target;
    const char* key;
    char* buffer;
    int result;
};

void RunPbfCall(void* data)
{
    auto* call = static_cast<PbfCall*>(data);
    call->result = call->function(call->source, call->target, call->key, 0, call->buffer);
}

std::string HexCode(unsigned long code)
{
    char hex[12];
    wsprintfA(hex, "%08lX", code);
    return hex;
}

}  // namespace

bool CheckPbfLibrary(const std::string& updatePath, std::string& reason)
{
    const std::string path = updatePath + names::kPbfLibrary;
    const PeImage image = ReadPeImage(path);
    switch (image.status) {
    case PeStatus::Unreadable:
        reason = FormatText(IDS_PBF_UNREADABLE, {path, WindowsErrorText(image.error)});
        return false;
    case PeStatus::NotImage:
        reason = FormatText(IDS_PBF_NOT_LIBRARY, {path});
        return false;
    case PeStatus::Truncated:
        reason = FormatText(IDS_PBF_TRUNCATED, {path});
        return false;
    case PeStatus::Valid:
        break;
    }
    if (image.machine != OwnMachine()) {
        reason = FormatText(IDS_PBF_WRONG_MACHINE, {path, MachineText(image.machine), MachineText(OwnMachine())});
        return false;
    }
    return true;
}

bool PbfLibrary::Load(const std::string& updatePath)
{
    module_.reset();
    error_.clear();
    if (!CheckPbfLibrary(updatePath, error_))
        return false;
    const std::string path = updatePath + names::kPbfLibrary;
    module_.reset(LoadLibraryExA(path.c_str(), nullptr,
                                 LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS));
    if (!module_) {
        const DWORD error = GetLastError();
        error_ = FormatText(IDS_PBF_LOAD_FAILED, {path, WindowsErrorText(error)});
    }
    return static_cast<bool>(module_);
}

PbfFileFunction PbfLibrary::Find(const char* name) const
{
    return ProcAddress<PbfFileFunction>(module_.get(), name);
}

bool PbfLibrary::Release()
{
    return module_.close();
}

PbfCrash::PbfCrash(unsigned long code) : std::runtime_error(FormatText(IDS_PBF_EXCEPTION, {HexCode(code)})) {}

int CallPbf(PbfFileFunction function, const std::string& source, const std::string& target, const std::string& key)
{
    if (!function)
        return PBF_UNKNOWN;
    char buffer[kWorkBufferSize] = {};
    PbfCall call = {function, source.c_str(), target.c_str(), key.c_str(), buffer, PBF_UNKNOWN};
    DWORD exception = 0;
    if (!CallGuarded(RunPbfCall, &call, exception))
        throw PbfCrash(exception);
    return call.result;
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

bool WithPbfLibrary(const std::string& updatePath, const PbfStep& step, std::string& message,
                    const std::function<bool(const PbfLibrary&)>& work)
{
    PbfLibrary library;
    if (!library.Load(updatePath)) {
        message = step.loadFailed + library.Error();
        if (step.logLoadFailure)
            step.logLoadFailure(message);
        return false;
    }
    bool done = false;
    try {
        done = work(library);
    } catch (const PbfCrash& crash) {
        if (!step.crashed)
            throw;
        message = step.crashed(crash);
    }
    if (library.Release())
        return done;
    if (step.release == ReleaseFailure::Fails) {
        message = LoadText(IDS_DLL_NOT_UNLOADED);
        return false;
    }
    ShowPlainMessage(LoadText(IDS_DLL_NOT_UNLOAD_BOX));
    return done && step.release == ReleaseFailure::Box;
}
