#include "shared_access.h"

namespace {

// The ACL header and two entry heads (type, flags, size and mask) before the SIDs.
constexpr DWORD ACL_FIXED_BYTES = sizeof(ACL) + 2 * (sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD));
static_assert(ACL_FIXED_BYTES == 24, "ACL size without SIDs");

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
