// Formatting writes raw sectors: the tool runs only as an administrator and
// otherwise starts an elevated copy of itself.
#pragma once

#include <windows.h>

// TRUE when this process's (or the impersonating thread's) token may act as
// a member of the built-in Administrators group.
BOOL IsUserAdmin();

// Starts an elevated copy through the shell's "runas" verb with "runas" and
// this instance's arguments as parameters. FALSE when this already is the
// relaunched copy (no loop), or when the start failed or was declined.
BOOL RelaunchElevated(const char* arguments);
