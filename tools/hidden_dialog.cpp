#include "hidden_dialog.h"
#include <commctrl.h>
#include "res/resource.h"
#include "shell/main_dialog.h"

HWND CreateHiddenDialog()
{
    INITCOMMONCONTROLSEX controls = { sizeof controls, ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES };
    InitCommonControlsEx(&controls);
    return CreateHiddenMainDialog(GetModuleHandleW(NULL));
}

void EmptyLists(HWND dialog)
{
    for (int id = IDC_LIST_FIRST; id <= IDC_LIST_LAST; ++id) {
        if (id != IDC_LIST_SUMMARY)
            SendDlgItemMessageW(dialog, id, LVM_DELETEALLITEMS, 0, 0);
    }
}
