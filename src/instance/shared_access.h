// The access lists of the named objects that processes of several accounts meet.
//
// The objects that monitors of every account share (the instance tables and their locks)
// allow LocalSystem and Everyone the same access (CSharedAccess).
//
// The objects that belong to one user (the user's target-store lock, the close requests of
// the user's monitors) carry the user's SID in their names, and the names are known to
// every account: another user can make such an object first, set or held, with an access
// list that refuses its user, or of another type. So a user's object is made with an
// access list of the user, LocalSystem and, where they must reach it, the Administrators,
// with the user as its owner and an OWNER RIGHTS entry that leaves the owner no more than
// the list grants (without it, the owner could rewrite the list); and an object found under
// such a name is used only when its owner is the user, LocalSystem or the Administrators
// (CUserObjects).
#pragma once

#include <windows.h>

#include <string>

class CSharedAccess {
public:
    // Builds the descriptor whose list allows `access` to LocalSystem and to Everyone.
    explicit CSharedAccess(DWORD access);
    // Frees the access list, then the two SIDs.
    ~CSharedAccess();
    CSharedAccess(const CSharedAccess&) = delete;
    CSharedAccess& operator=(const CSharedAccess&) = delete;

    // The attributes to create the object with (not inheritable); null when the
    // descriptor could not be built.
    SECURITY_ATTRIBUTES* Get() { return m_ok ? &m_attributes : nullptr; }

private:
    PSID m_system = nullptr;
    PSID m_everyone = nullptr;
    PACL m_acl = nullptr;
    SECURITY_DESCRIPTOR m_descriptor;
    SECURITY_ATTRIBUTES m_attributes;
    bool m_ok = false;
};

// What the access list of a user's object grants each account it names: waiting for it,
// setting it (an event) or releasing it (a mutex), reading its access list and owner.
constexpr DWORD USER_OBJECT_ACCESS = SYNCHRONIZE | EVENT_MODIFY_STATE | MUTEX_MODIFY_STATE | READ_CONTROL;

// true when the owner of `object` (opened with READ_CONTROL) is LocalSystem or the
// Administrators: an object that only an installer, not a user, can have made.
bool OwnedBySystem(HANDLE object);

// The SID of the user of `process` (opened with PROCESS_QUERY_LIMITED_INFORMATION) as text,
// "S-1-5-21-..."; false when it cannot be read.
bool ProcessUserSid(HANDLE process, std::string* sid);

// The objects of the running process's user.
class CUserObjects {
public:
    enum Kind { Mutex, Event };

    CUserObjects();
    CUserObjects(const CUserObjects&) = delete;
    CUserObjects& operator=(const CUserObjects&) = delete;

    // The user's SID as text; "" when the process's token could not be read.
    const std::string& Sid() const { return m_sid; }

    // Makes the user's object `name` (a mutex, or a manual-reset event that is not set),
    // with the access list of the user, LocalSystem and, with `administrators`, the
    // Administrators; or opens it when it exists. `access` asks for no more than
    // USER_OBJECT_ACCESS, and READ_CONTROL with it. Null when it cannot be made or opened,
    // or when another account made it (its owner is not the user, LocalSystem or the
    // Administrators).
    HANDLE Open(Kind kind, const char* name, DWORD access, bool administrators) const;

    // true when the owner of `object` (opened with READ_CONTROL) is the user, LocalSystem
    // or the Administrators.
    bool OwnsObject(HANDLE object) const;

private:
    std::string m_sid;
    BYTE m_user[SECURITY_MAX_SID_SIZE];
};
