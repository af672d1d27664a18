// The access list of the objects that monitors of every account share (the instance
// tables and their locks): LocalSystem, then Everyone, each allowed the same access.
#pragma once

#include <windows.h>

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
