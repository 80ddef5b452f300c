// The account the process runs as, and a lock that keeps a program to one instance per session.
#pragma once

#include "util/handles.h"

#include <windows.h>

#include <string>

// Whether the SID is the local system account's (S-1-5-18).
bool IsLocalSystemSid(PSID sid);

// Whether this process runs as the local system account; false when that cannot be read.
bool RunsAsLocalSystem();

// The user the process runs as: the SID as text and "DOMAIN\\name"; both empty when the token
// cannot be read.
struct CurrentUser {
    std::string sid;
    std::string name;
};
CurrentUser CurrentUserIdentity();

// A named mutex in the session's namespace, held while the object lives.
class InstanceLock {
public:
    explicit InstanceLock(const std::string& name);

    // False when another process of the session holds the lock already.
    bool IsFirst() const { return first_; }

private:
    KernelHandle mutex_;
    bool first_ = false;
};
