#include "util/session.h"

#include <vector>

bool IsLocalSystemSid(PSID sid)
{
    return sid && IsValidSid(sid) && IsWellKnownSid(sid, WinLocalSystemSid);
}

bool RunsAsLocalSystem()
{
    KernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put()))
        return false;
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    if (size == 0)
        return false;
    std::vector<unsigned char> buffer(size);
    if (!GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size))
        return false;
    return IsLocalSystemSid(reinterpret_cast<const TOKEN_USER*>(buffer.data())->User.Sid);
}

InstanceLock::InstanceLock(const std::string& name)
    : mutex_(CreateMutexA(nullptr, FALSE, ("Local\\" + name).c_str()))
{
    // A mutex that cannot be made at all does not stop the tool.
    first_ = !mutex_ || GetLastError() != ERROR_ALREADY_EXISTS;
}
