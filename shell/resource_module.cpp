#include "resource_module.h"
#include <shlwapi.h>
#include "../host/process.h"

// The hook is looked for by the first call only, at start-up, before the
// dialog exists. Looking again on every later call would cost a file lookup on
// each opened file, and a library that turned up later would have its hook
// run after the dialog was created.
static bool hookLookedFor;

static void RunDarkModeHook()
{
    if (hookLookedFor)
        return;
    hookLookedFor = true;
    // Only the library beside the executable, by its full path: the current
    // directory follows the opened files into folders anyone may write to, and
    // a library planted there must not run.
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(NULL, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || !PathRemoveFileSpecW(path) || !PathAppendW(path, L"DarkMode.dll"))
        return;
    if (GetModuleHandleW(path))
        return;   // loaded already: the hook has run
    HMODULE library = LoadLibraryExW(path, NULL, 0);
    if (!library)
        return;
    typedef void (WINAPI *HookProc)(void);
    HookProc hook = reinterpret_cast<HookProc>(
        reinterpret_cast<void*>(GetProcAddress(library, MAKEINTRESOURCEA(1))));
    if (hook)
        hook();
}

HMODULE GetResourceModule()
{
    // The hook runs after the module is chosen, as it always has.
    HMODULE module = FindResourceModule();
    RunDarkModeHook();
    return module;
}
