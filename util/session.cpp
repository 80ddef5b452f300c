#include "util/session.h"

#include <sddl.h>

#include <vector>

bool IsLocalSystemSid(PSID sid)
{
    return sid && IsValidSid(sid) && IsWellKnownSid(sid, WinLocalSystemSid);
}

namespace {

// The process token's user; empty when it cannot be read.
std::vector<unsigned char> TokenUserBuffer()
{
    KernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put()))
        return {};
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    if (size == 0)
        return {};
    std::vector<unsigned char> buffer(size);
    if (!GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size))
        return {};
    return buffer;
}

}  // namespace

bool RunsAsLocalSystem()
{
    const std::vector<unsigned char> buffer = TokenUserBuffer();
    return !buffer.empty() && IsLocalSystemSid(reinterpret_cast<const TOKEN_USER*>(buffer.data())->User.Sid);
}

CurrentUser CurrentUserIdentity()
{
    const std::vector<unsigned char> buffer = TokenUserBuffer();
    if (buffer.empty())
        return {};
    PSID sid = reinterpret_cast<const TOKEN_USER*>(buffer.data())->User.Sid;
    CurrentUser user;
    char* text = nullptr;
    if (ConvertSidToStringSidA(sid, &text)) {
        user.sid = text;
        LocalFree(text);
    }
    char name[256] = {};
    char domain[256] = {};
    DWORD nameSize = sizeof(name);
    DWORD domainSize = sizeof(domain);
    SID_NAME_USE use;
    if (LookupAccountSidA(nullptr, sid, name, &nameSize, domain, &domainSize, &use))
        user.name = std::string(domain) + (domain[0] ? "\\" : "") + name;
    return user;
}

InstanceLock::InstanceLock(const std::string& name)
    : mutex_(CreateMutexA(nullptr, FALSE, ("Local\\" + name).c_str()))
{
    // A mutex that cannot be made at all does not stop the tool.
    first_ = !mutex_ || GetLastError() != ERROR_ALREADY_EXISTS;
}
