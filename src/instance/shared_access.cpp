#include "shared_access.h"

#include <aclapi.h>
#include <sddl.h>

#include "scoped.h"
#include "strutil.h"

namespace {

// The ACL header and two entry heads (type, flags, size and mask) before the SIDs.
constexpr DWORD ACL_FIXED_BYTES = sizeof(ACL) + 2 * (sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD));
static_assert(ACL_FIXED_BYTES == 24, "ACL size without SIDs");

// The SID of the OWNER RIGHTS entry, written out (older systems have no SDDL alias for it).
const char kOwnerRightsSid[] = "S-1-3-4";

// The user of an open token into `sid` (SECURITY_MAX_SID_SIZE bytes).
bool TokenUserSid(HANDLE token, BYTE* sid)
{
    BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    DWORD size = 0;
    if (!GetTokenInformation(token, TokenUser, buffer, sizeof(buffer), &size))
        return false;
    PSID user = reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid;
    return CopySid(SECURITY_MAX_SID_SIZE, sid, user) != FALSE;
}

bool SidText(PSID sid, std::string* text)
{
    char* converted = nullptr;
    if (!ConvertSidToStringSidA(sid, &converted))
        return false;
    *text = converted;
    LocalFree(converted);
    return true;
}

// true when the owner of `object` is LocalSystem, the Administrators or `user` (optional).
bool OwnerIs(HANDLE object, const BYTE* user)
{
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(object, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                        &descriptor) != ERROR_SUCCESS)
        return false;
    const bool is = owner && IsValidSid(owner) &&
                    ((user && EqualSid(owner, const_cast<BYTE*>(user))) || IsWellKnownSid(owner, WinLocalSystemSid) ||
                     IsWellKnownSid(owner, WinBuiltinAdministratorsSid));
    LocalFree(descriptor);
    return is;
}

} // namespace

CSharedAccess::CSharedAccess(DWORD access) : m_descriptor(), m_attributes()
{
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    SID_IDENTIFIER_AUTHORITY worldAuthority = SECURITY_WORLD_SID_AUTHORITY;
    if (!AllocateAndInitializeSid(&ntAuthority, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0, 0, 0, &m_system) ||
        !AllocateAndInitializeSid(&worldAuthority, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &m_everyone))
        return;
    DWORD aclSize = ACL_FIXED_BYTES + GetLengthSid(m_system) + GetLengthSid(m_everyone);
    m_acl = static_cast<PACL>(HeapAlloc(GetProcessHeap(), 0, aclSize));
    if (!m_acl)
        return;
    m_ok = InitializeAcl(m_acl, aclSize, ACL_REVISION) &&
           AddAccessAllowedAce(m_acl, ACL_REVISION, access, m_system) &&
           AddAccessAllowedAce(m_acl, ACL_REVISION, access, m_everyone) &&
           InitializeSecurityDescriptor(&m_descriptor, SECURITY_DESCRIPTOR_REVISION) &&
           SetSecurityDescriptorDacl(&m_descriptor, TRUE, m_acl, FALSE);
    m_attributes = {sizeof(m_attributes), &m_descriptor, FALSE};
}

CSharedAccess::~CSharedAccess()
{
    if (m_acl)
        HeapFree(GetProcessHeap(), 0, m_acl);
    if (m_everyone)
        FreeSid(m_everyone);
    if (m_system)
        FreeSid(m_system);
}

bool ProcessUserSid(HANDLE process, std::string* sid)
{
    HANDLE raw = nullptr;
    if (!process || !OpenProcessToken(process, TOKEN_QUERY, &raw))
        return false;
    ScopedHandle token(raw);
    BYTE user[SECURITY_MAX_SID_SIZE];
    return TokenUserSid(token.Get(), user) && SidText(user, sid);
}

CUserObjects::CUserObjects() : m_user()
{
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw))
        return;
    ScopedHandle token(raw);
    if (!TokenUserSid(token.Get(), m_user) || !SidText(m_user, &m_sid))
        m_sid.clear();
}

bool CUserObjects::OwnsObject(HANDLE object) const
{
    return !m_sid.empty() && OwnerIs(object, m_user);
}

bool OwnedBySystem(HANDLE object)
{
    return OwnerIs(object, nullptr);
}

HANDLE CUserObjects::Open(Kind kind, const char* name, DWORD access, bool administrators) const
{
    if (m_sid.empty() || !name || !name[0])
        return nullptr;
    // The user as owner; the user, LocalSystem, the Administrators when asked, and the
    // owner's rights, each allowed the same.
    char sddl[512];
    const unsigned long mask = USER_OBJECT_ACCESS;
    char admins[32] = "";
    if (administrators)
        SafeFormat(admins, sizeof(admins), "(A;;0x%lx;;;BA)", mask);
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!SafeFormat(sddl, sizeof(sddl), "O:%sD:(A;;0x%lx;;;%s)(A;;0x%lx;;;SY)%s(A;;0x%lx;;;%s)", m_sid.c_str(), mask,
                    m_sid.c_str(), mask, admins, mask, kOwnerRightsSid) ||
        !ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor, nullptr))
        return nullptr;
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor, FALSE};
    access |= READ_CONTROL;
    HANDLE object = kind == Mutex ? CreateMutexExA(&attributes, name, 0, access)
                                  : CreateEventExA(&attributes, name, CREATE_EVENT_MANUAL_RESET, access);
    LocalFree(descriptor);
    if (object && !OwnsObject(object)) {
        CloseHandle(object);
        object = nullptr;
    }
    return object;
}
