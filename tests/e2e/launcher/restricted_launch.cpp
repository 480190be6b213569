// Starts a program as an administrator without an elevated token would:
// the Administrators group of this process's token is made deny-only, so an
// access check that asks for it fails. Waits for the program and exits with
// its exit code. Usage: restricted-launch PROGRAM [ARGUMENTS...]
#include <windows.h>

#include <iostream>
#include <string>

namespace {

// The command line after this program's own name, as it was written.
std::string CommandLineAfterOwnName()
{
    const char* line = GetCommandLineA();
    bool quoted = false;
    for (; *line != '\0'; ++line) {
        if (*line == '"')
            quoted = !quoted;
        else if (!quoted && (*line == ' ' || *line == '\t'))
            break;
    }
    while (*line == ' ' || *line == '\t')
        ++line;
    return line;
}

HANDLE RestrictedToken()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, &token))
        return nullptr;
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    HANDLE restricted = nullptr;
    if (AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0,
                                 0, &administrators)) {
        SID_AND_ATTRIBUTES denyOnly = {administrators, 0};
        if (!CreateRestrictedToken(token, 0, 1, &denyOnly, 0, nullptr, 0, nullptr, &restricted))
            restricted = nullptr;
        FreeSid(administrators);
    }
    CloseHandle(token);
    return restricted;
}

}  // namespace

int main(int argc, char**)
{
    if (argc < 2) {
        std::cerr << "usage: restricted-launch PROGRAM [ARGUMENTS...]" << std::endl;
        return 2;
    }
    HANDLE token = RestrictedToken();
    if (token == nullptr) {
        std::cerr << "cannot make a restricted token: error " << GetLastError() << std::endl;
        return 2;
    }
    std::string commandLine = CommandLineAfterOwnName();
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessAsUserA(token, nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                              &startup, &process)) {
        std::cerr << "cannot start " << commandLine << ": error " << GetLastError() << std::endl;
        CloseHandle(token);
        return 2;
    }
    CloseHandle(token);
    CloseHandle(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 2;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}
