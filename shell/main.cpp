// Entry: restrict where libraries load from, initialise the common controls,
// run the main dialog, exit with 0.
#include <windows.h>
#include <commctrl.h>
#include "main_dialog.h"
#include "resource_module.h"
#include "../host/process.h"
#include "../res/resource.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
    RestrictLibrarySearch();   // before anything is loaded on demand
    InitCommonControls();   // imported from comctl32 by ordinal 17
    HMODULE resources = GetResourceModule();
    DialogBoxParamW(resources, MAKEINTRESOURCEW(IDD_MAIN), NULL, MainDialogProc, 0);
    ExitProcess(0);
}
