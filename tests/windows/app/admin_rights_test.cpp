#include "app/admin_rights.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <tlhelp32.h>

#include <string>

#include "app/launch_arguments.h"

namespace {

int CountProcessesNamed(const char* name)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        if (_stricmp(entry.szExeFile, name) == 0)
            ++count;
    }
    CloseHandle(snapshot);
    return count;
}

enum class Impersonation { none, administrator, administratorsDenyOnly };

// An impersonation copy of this process's token; with Administrators
// deny-only, as an administrator's token is without elevation.
HANDLE ImpersonationToken(Impersonation kind)
{
    HANDLE process = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, &process))
        return nullptr;
    HANDLE primary = process;
    if (kind == Impersonation::administratorsDenyOnly) {
        SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
        PSID administrators = nullptr;
        AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0,
                                 0, &administrators);
        SID_AND_ATTRIBUTES denyOnly = {administrators, 0};
        primary = nullptr;
        CreateRestrictedToken(process, 0, 1, &denyOnly, 0, nullptr, 0, nullptr, &primary);
        FreeSid(administrators);
    }
    HANDLE impersonation = nullptr;
    if (primary != nullptr)
        DuplicateTokenEx(primary, TOKEN_ALL_ACCESS, nullptr, SecurityImpersonation, TokenImpersonation, &impersonation);
    if (primary != process && primary != nullptr)
        CloseHandle(primary);
    CloseHandle(process);
    return impersonation;
}

// Both answers, each from the token in use: a thread that impersonates is
// checked with its own token, whatever the process's is.
TEST(AdminRights, TheAnswerFollowsTheAdministratorsGroupOfTheTokenInUse)
{
    struct Case {
        const char* what;
        Impersonation impersonation;
        BOOL expected;
    };
    const Case cases[] = {
        {"the process's own token, an administrator's under Wine", Impersonation::none, TRUE},
        {"a thread impersonating Administrators deny-only", Impersonation::administratorsDenyOnly, FALSE},
        {"a thread impersonating an administrator", Impersonation::administrator, TRUE},
    };
    for (const Case& c : cases) {
        if (c.impersonation != Impersonation::none) {
            HANDLE token = ImpersonationToken(c.impersonation);
            ASSERT_NE(token, nullptr) << c.what;
            ASSERT_TRUE(SetThreadToken(nullptr, token)) << c.what;
            CloseHandle(token);
        }
        EXPECT_EQ(IsUserAdmin(), c.expected) << c.what;
        RevertToSelf();
    }
}

// Run with "runas" as the first argument: this process plays the relaunched copy.
TEST(AdminRights, RelaunchedCopyNeverRelaunchesAgain)
{
    if (!IsRelaunchedInstance(__argc, __argv))
        GTEST_SKIP() << "needs \"runas\" as the first argument";
    const int before = CountProcessesNamed("windows_app_tests.exe");
    EXPECT_FALSE(RelaunchElevated("-start top=1 left=2 END"));
    Sleep(300);
    EXPECT_EQ(CountProcessesNamed("windows_app_tests.exe"), before);
}

}  // namespace
