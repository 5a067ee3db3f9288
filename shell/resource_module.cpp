#include "resource_module.h"

// Loaded from the companion file by the first call that finds it; never freed.
static HMODULE companionModule;

// The hook is looked for by the first call only, at start-up, before the
// dialog exists. Looking again on every later call would cost two searches of
// the DLL path on each opened file, and a library that turned up later would
// have its hook run after the dialog was created.
static bool hookLookedFor;

static void RunDarkModeHook()
{
    if (hookLookedFor)
        return;
    hookLookedFor = true;
    if (GetModuleHandleW(L"DarkMode.dll"))
        return;   // loaded already: the hook has run
    HMODULE library = LoadLibraryExW(L"DarkMode.dll", NULL, 0);
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
    wchar_t path[MAX_PATH + 4];
    DWORD length = GetModuleFileNameW(NULL, path, MAX_PATH);
    HMODULE module = NULL;
    if (length > 0 && length < MAX_PATH) {
        lstrcpyW(path + length, L".mui");
        if (GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES) {
            module = GetModuleHandleW(path);
            if (!module)
                module = companionModule;
            if (!module)
                module = companionModule = LoadLibraryExW(path, NULL, LOAD_LIBRARY_AS_DATAFILE);
        }
    }
    if (!module)
        module = GetModuleHandleW(NULL);
    RunDarkModeHook();
    return module;
}
