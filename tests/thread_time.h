// CPU time a thread has used, for time bounds that must not fail when other
// work crowds a shared machine (wall time also counts waiting for a processor).
#pragma once
#include <windows.h>

// Milliseconds `thread` has run, in user and kernel mode; 0 when unknown.
inline ULONGLONG ThreadBusyMs(HANDLE thread)
{
    FILETIME created, exited, kernel, user;
    if (!GetThreadTimes(thread, &created, &exited, &kernel, &user))
        return 0;
    ULARGE_INTEGER k, u;
    k.LowPart = kernel.dwLowDateTime;
    k.HighPart = kernel.dwHighDateTime;
    u.LowPart = user.dwLowDateTime;
    u.HighPart = user.dwHighDateTime;
    return (k.QuadPart + u.QuadPart) / 10000;
}
