// The tool's side of the file encryption library: check the file, load it by full path, find
// an export, call it behind a guard, release it.
#pragma once

#include "pbfdec/pbfdec.h"
#include "util/handles.h"

#include <functional>
#include <stdexcept>
#include <string>

// Whether updatePath + "pbfdec.dll" is a library this process can load: false with a German
// reason naming the file when it is unreadable, no Windows library, truncated, or built for
// another processor or bitness.
bool CheckPbfLibrary(const std::string& updatePath, std::string& reason);

class PbfLibrary {
public:
    // Checks and loads updatePath + "pbfdec.dll"; libraries that the vendor ships beside it are
    // found, nothing else from the tool's or the current folder. False with Error() set.
    bool Load(const std::string& updatePath);

    // Why the last Load failed, in German, with the Windows error where there is one.
    const std::string& Error() const { return error_; }

    // The named export, or null when the library is not loaded or lacks it.
    PbfFileFunction Find(const char* name) const;

    // Releases the library now; false when FreeLibrary failed or nothing was loaded.
    bool Release();

private:
    Module module_;
    std::string error_;
};

// A structured exception (an access violation, another language's exception) that the library
// raised and did not handle itself. The call counts as failed; the process goes on.
class PbfCrash : public std::runtime_error {
public:
    explicit PbfCrash(unsigned long code);
};

// Calls an export with the zero-filled 256-byte work buffer and 0 as fourth argument. Throws
// PbfCrash when the call ended in an unhandled structured exception.
int CallPbf(PbfFileFunction function, const std::string& source, const std::string& target, const std::string& key);

// The German text for a failure code. False (text untouched) for success and unknown codes.
bool PbfResultText(int code, std::string& text);

// How a step tells that the library could not be released after its work.
enum class ReleaseFailure {
    // The step fails with "DLL konnte nicht entladen werden" as its message.
    Fails,
    // A plain box tells it; the step's own result stands.
    Box,
    // A plain box tells it, and the step fails.
    BoxAndFails,
};

// What a step that uses the library says when the library fails it.
struct PbfStep {
    // Put before the load error when the library cannot be loaded.
    std::string loadFailed;
    // The message for a crash inside the library; without it the crash passes on as PbfCrash.
    std::function<std::string(const PbfCrash&)> crashed;
    ReleaseFailure release = ReleaseFailure::Fails;
    // Writes the message of a failed load to the status log; none for no line.
    void (*logLoadFailure)(const std::string&) = nullptr;
};

// Loads the library, does the work with it and releases it: work's result, or false with the
// message of a load, a crash or a release that failed, as the step says. The library is released
// on every way out.
bool WithPbfLibrary(const std::string& updatePath, const PbfStep& step, std::string& message,
                    const std::function<bool(const PbfLibrary&)>& work);
