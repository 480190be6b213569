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

TEST(AdminRights, ThisProcessIsAnAdministratorUnderWine)
{
    EXPECT_TRUE(IsUserAdmin());
}

TEST(AdminRights, AnImpersonatingThreadIsCheckedWithItsOwnToken)
{
    ASSERT_TRUE(ImpersonateSelf(SecurityImpersonation));
    EXPECT_TRUE(IsUserAdmin());
    RevertToSelf();
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
