#include "app/admin_rights.h"

#include <shellapi.h>
#include <stdlib.h>

#include <string>

#include "app/launch_arguments.h"

namespace {

// Private access bits of the check: they mean nothing outside it.
constexpr DWORD kAccessRead = 0x1;
constexpr DWORD kAccessWrite = 0x2;

// Every object the check obtains, released in reverse order on any path.
struct AccessCheckResources {
    HANDLE token = nullptr;
    HANDLE impersonationToken = nullptr;
    PSID administrators = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    PACL acl = nullptr;

    AccessCheckResources() = default;
    AccessCheckResources(const AccessCheckResources&) = delete;
    AccessCheckResources& operator=(const AccessCheckResources&) = delete;

    ~AccessCheckResources()
    {
        if (acl != nullptr)
            LocalFree(acl);
        if (descriptor != nullptr)
            LocalFree(descriptor);
        if (administrators != nullptr)
            FreeSid(administrators);
        if (impersonationToken != nullptr)
            CloseHandle(impersonationToken);
        if (token != nullptr)
            CloseHandle(token);
    }
};

bool OpenCallerToken(HANDLE* token)
{
    constexpr DWORD access = TOKEN_DUPLICATE | TOKEN_QUERY;
    if (OpenThreadToken(GetCurrentThread(), access, TRUE, token))
        return true;
    if (GetLastError() != ERROR_NO_TOKEN)
        return false;
    return OpenProcessToken(GetCurrentProcess(), access, token) != FALSE;
}

bool BuildAdministratorsDescriptor(AccessCheckResources& r)
{
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0,
                                  0, &r.administrators))
        return false;

    r.descriptor = LocalAlloc(LPTR, SECURITY_DESCRIPTOR_MIN_LENGTH);
    if (r.descriptor == nullptr || !InitializeSecurityDescriptor(r.descriptor, SECURITY_DESCRIPTOR_REVISION))
        return false;

    // List header, one allowed-entry header without its first SID word, the SID.
    const DWORD aclBytes = sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + GetLengthSid(r.administrators);
    r.acl = static_cast<PACL>(LocalAlloc(LPTR, aclBytes));
    if (r.acl == nullptr || !InitializeAcl(r.acl, aclBytes, ACL_REVISION2))
        return false;
    if (!AddAccessAllowedAce(r.acl, ACL_REVISION2, kAccessRead | kAccessWrite, r.administrators))
        return false;
    if (!SetSecurityDescriptorDacl(r.descriptor, TRUE, r.acl, FALSE))
        return false;
    SetSecurityDescriptorGroup(r.descriptor, r.administrators, FALSE);
    SetSecurityDescriptorOwner(r.descriptor, r.administrators, FALSE);
    return IsValidSecurityDescriptor(r.descriptor) != FALSE;
}

// The shell is loaded for the one start that needs it: linked, it was loaded
// before every dialog. It stays loaded, as the start may go on in it.
HINSTANCE ShellExecuteRunas(const char* path, const char* parameters)
{
    const HMODULE shell = LoadLibraryA("shell32.dll");
    const FARPROC entry = shell != nullptr ? GetProcAddress(shell, "ShellExecuteA") : nullptr;
    if (entry == nullptr)
        return nullptr;
    const auto shellExecute = reinterpret_cast<decltype(&ShellExecuteA)>(reinterpret_cast<void*>(entry));
    return shellExecute(nullptr, "runas", path, parameters, nullptr, SW_SHOWNORMAL);
}

}  // namespace

BOOL IsUserAdmin()
{
    AccessCheckResources r;
    if (!OpenCallerToken(&r.token))
        return FALSE;
    if (!DuplicateToken(r.token, SecurityImpersonation, &r.impersonationToken))
        return FALSE;
    if (!BuildAdministratorsDescriptor(r))
        return FALSE;

    GENERIC_MAPPING mapping = {kAccessRead, kAccessWrite, 0, kAccessRead | kAccessWrite};
    PRIVILEGE_SET privileges = {};
    DWORD privilegesLength = sizeof privileges;
    DWORD granted = 0;
    BOOL status = FALSE;
    if (!AccessCheck(r.descriptor, r.impersonationToken, kAccessRead, &mapping, &privileges, &privilegesLength,
                     &granted, &status))
        status = FALSE;
    return status;
}

BOOL RelaunchElevated(const char* arguments)
{
    if (IsRelaunchedInstance(__argc, __argv))
        return FALSE;
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    const std::string parameters = RelaunchParameters(arguments != nullptr ? arguments : "");
    const HINSTANCE result = ShellExecuteRunas(path, parameters.c_str());
    return reinterpret_cast<INT_PTR>(result) > 32 ? TRUE : FALSE;
}
