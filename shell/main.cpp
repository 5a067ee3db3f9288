// Entry: restrict where libraries load from, initialise the common controls,
// run the main dialog, exit with 0.
#include <windows.h>
#include <commctrl.h>
#include "main_dialog.h"
#include "resource_module.h"
#include "../res/resource.h"

#ifndef LOAD_LIBRARY_SEARCH_DEFAULT_DIRS
#define LOAD_LIBRARY_SEARCH_DEFAULT_DIRS 0x00001000
#endif

// No library loaded by name later on, by the system or by us, may come from
// the current directory (it follows the opened files into any folder) or from
// PATH: only the executable's folder and the system's.
static void RestrictLibrarySearch()
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

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
    RestrictLibrarySearch();   // before anything is loaded on demand
    InitCommonControls();   // imported from comctl32 by ordinal 17
    HMODULE resources = GetResourceModule();
    DialogBoxParamW(resources, MAKEINTRESOURCEW(IDD_MAIN), NULL, MainDialogProc, 0);
    ExitProcess(0);
}
