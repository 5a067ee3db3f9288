#include "process.h"

#ifndef LOAD_LIBRARY_SEARCH_DEFAULT_DIRS
#define LOAD_LIBRARY_SEARCH_DEFAULT_DIRS 0x00001000
#endif

// No library loaded by name later on, by the system or by us, may come from
// the current directory (it follows the opened files into any folder) or from
// PATH: only the executable's folder and the system's.
void RestrictLibrarySearch()
{
    // Windows 8 and later, and Vista and 7 with update KB2533623, have it;
    // looked up so that the executable still starts where it is missing.
    typedef BOOL (WINAPI *SetDefaultDllDirectoriesProc)(DWORD);
    SetDefaultDllDirectoriesProc setDefault = reinterpret_cast<SetDefaultDllDirectoriesProc>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
    if (setDefault && setDefault(LOAD_LIBRARY_SEARCH_DEFAULT_DIRS))
        return;
    // Otherwise at least the current directory leaves the search; PATH stays.
    SetDllDirectoryW(L"");
}

// Loaded from the companion file by the first call that finds it; never freed.
static HMODULE companionModule;

HMODULE FindResourceModule()
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
    return module ? module : GetModuleHandleW(NULL);
}
