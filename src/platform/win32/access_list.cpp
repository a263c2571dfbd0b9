#include "platform/win32/access_list.h"

#include "platform/win32/handles.h"
#include "platform/win32/text.h"

#include <aclapi.h>
#include <array>
#include <memory>
#include <sddl.h>
#include <vector>

namespace win32 {
namespace {

struct LocalFreer {
    void operator()(void* memory) const { LocalFree(memory); }
};
using UniqueLocal = std::unique_ptr<void, LocalFreer>;

// What lets a holder change a folder or what it holds.
constexpr ACCESS_MASK kWriting = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA |
                                 FILE_DELETE_CHILD | FILE_WRITE_ATTRIBUTES | DELETE | WRITE_DAC |
                                 WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

std::string sid_text(PSID sid) {
    LPWSTR text = nullptr;
    if (!ConvertSidToStringSidW(sid, &text)) {
        return "an account";
    }
    const UniqueLocal freed(text);
    return utf8(text);
}

// The account the program runs as: an administrator, where this is asked.
std::vector<BYTE> own_sid() {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) {
        return {};
    }
    const UniqueHandle token(raw);
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    if (size == 0 || !GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) {
        return {};
    }
    const PSID sid = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
    return std::vector<BYTE>(static_cast<BYTE*>(sid), static_cast<BYTE*>(sid) + GetLengthSid(sid));
}

bool is_trusted(PSID sid, const std::vector<BYTE>& own) {
    for (const WELL_KNOWN_SID_TYPE type : {WinLocalSystemSid, WinBuiltinAdministratorsSid}) {
        if (IsWellKnownSid(sid, type)) {
            return true;
        }
    }
    static const std::wstring kTrustedInstaller =
        L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
    LPWSTR text = nullptr;
    if (ConvertSidToStringSidW(sid, &text)) {
        const UniqueLocal freed(text);
        if (kTrustedInstaller == text) {
            return true;
        }
    }
    return !own.empty() && EqualSid(sid, const_cast<BYTE*>(own.data()));
}

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

PSECURITY_DESCRIPTOR administrators_only_descriptor() {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    // Protected: nothing inherited from the folders above, whoever made those.
    ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)",
                                                         SDDL_REVISION_1, &descriptor, nullptr);
    return descriptor;
}

std::optional<std::string> others_who_may_write(HANDLE object) {
    PSID owner = nullptr;
    PACL list = nullptr;
    PSECURITY_DESCRIPTOR described = nullptr;
    const DWORD code = GetSecurityInfo(object, SE_FILE_OBJECT,
                                       OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                       &owner, nullptr, &list, nullptr, &described);
    if (code != ERROR_SUCCESS) {
        return "its access list cannot be read: " + error_text(code);
    }
    const UniqueLocal freed(described);
    const std::vector<BYTE> own = own_sid();
    if (!owner || !is_trusted(owner, own)) {
        return "it is owned by " + (owner ? sid_text(owner) : std::string("nobody"));
    }
    if (!list) {
        return "its access list lets everyone in";
    }
    for (DWORD index = 0; index < list->AceCount; ++index) {
        void* entry = nullptr;
        if (!GetAce(list, index, &entry)) {
            return "its access list cannot be read: " + error_text(GetLastError());
        }
        const auto* header = static_cast<const ACE_HEADER*>(entry);
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE || (header->AceFlags & INHERIT_ONLY_ACE)) {
            continue;
        }
        const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(entry);
        PSID holder = const_cast<DWORD*>(&allowed->SidStart);
        if ((allowed->Mask & kWriting) != 0 && !is_trusted(holder, own)) {
            return sid_text(holder) + " may change it";
        }
    }
    return std::nullopt;
}

} // namespace win32
