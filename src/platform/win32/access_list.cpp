#include "platform/win32/access_list.h"

#include "platform/win32/text.h"

#include <aclapi.h>
#include <memory>

namespace win32 {
namespace {

struct LocalFreer {
    void operator()(void* memory) const { LocalFree(memory); }
};
using UniqueLocal = std::unique_ptr<void, LocalFreer>;

} // namespace

std::optional<std::string> grant_users_full_control(HANDLE object, bool folder) {
    PACL current = nullptr;
    PSECURITY_DESCRIPTOR described = nullptr;
    DWORD code = GetSecurityInfo(object, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                 nullptr, &current, nullptr, &described);
    if (code != ERROR_SUCCESS) {
        return error_text(code);
    }
    const UniqueLocal old_descriptor(described);
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    if (!GetSecurityDescriptorControl(described, &control, &revision)) {
        return error_text(GetLastError());
    }

    BYTE users[SECURITY_MAX_SID_SIZE];
    DWORD users_size = sizeof users;
    if (!CreateWellKnownSid(WinBuiltinUsersSid, nullptr, users, &users_size)) {
        return error_text(GetLastError());
    }
    EXPLICIT_ACCESSW grant{};
    grant.grfAccessPermissions = FILE_ALL_ACCESS;
    // SET_ACCESS drops the explicit entries Users had, as icacls /grant:r does.
    grant.grfAccessMode = SET_ACCESS;
    grant.grfInheritance = folder ? SUB_CONTAINERS_AND_OBJECTS_INHERIT : NO_INHERITANCE;
    grant.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    grant.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
    grant.Trustee.ptstrName = reinterpret_cast<LPWSTR>(users);
    PACL changed = nullptr;
    code = SetEntriesInAclW(1, &grant, current, &changed);
    if (code != ERROR_SUCCESS) {
        return error_text(code);
    }
    const UniqueLocal new_list(changed);

    SECURITY_DESCRIPTOR descriptor{};
    if (!InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
        !SetSecurityDescriptorDacl(&descriptor, TRUE, changed, FALSE)) {
        return error_text(GetLastError());
    }
    // The object keeps what it inherits and whether it inherits at all.
    const SECURITY_DESCRIPTOR_CONTROL kept = control & (SE_DACL_PROTECTED | SE_DACL_AUTO_INHERITED);
    if (kept != 0 && !SetSecurityDescriptorControl(
                         &descriptor, SE_DACL_PROTECTED | SE_DACL_AUTO_INHERITED, kept)) {
        return error_text(GetLastError());
    }
    // On this object alone: SetSecurityInfo would pass the entry down to what the folder holds
    // by path, following whatever links are there.
    if (!SetKernelObjectSecurity(object, DACL_SECURITY_INFORMATION, &descriptor)) {
        return error_text(GetLastError());
    }
    return std::nullopt;
}

} // namespace win32
