#include "hidden_dialog.h"
#include <commctrl.h>
#include "res/resource.h"
#include "shell/main_dialog.h"

HWND CreateHiddenDialog()
{
    INITCOMMONCONTROLSEX controls = { sizeof controls, ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES };
    InitCommonControlsEx(&controls);
    HWND dialog = CreateDialogParamW(GetModuleHandleW(NULL), MAKEINTRESOURCEW(IDD_MAIN), NULL, MainDialogProc, 0);
    if (dialog)
        ShowWindow(dialog, SW_HIDE);
    return dialog;
}

void EmptyLists(HWND dialog)
{
    for (int id = IDC_LIST_FIRST; id <= IDC_LIST_LAST; ++id) {
        if (id != IDC_LIST_SUMMARY)
            SendDlgItemMessageW(dialog, id, LVM_DELETEALLITEMS, 0, 0);
    }
}
