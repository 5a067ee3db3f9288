#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>
#include "res/resource.h"
#include "shell/main_dialog.h"

int main(int argc, char** argv)
{
    INITCOMMONCONTROLSEX controls = { sizeof controls, ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES };
    InitCommonControlsEx(&controls);
    // A double-click on a library starts "the viewer's own executable", which
    // for the in-process dialog is this one. Started that way, with one path
    // and no test flags, it shows the viewer dialog on that path instead of
    // running the tests, so the tests can find it and read its path box. (A
    // path split at its blanks gives more arguments: still no test run.)
    if (argc >= 2 && argv[1][0] != '-') {
        DialogBoxParamW(GetModuleHandleW(NULL), MAKEINTRESOURCEW(IDD_MAIN), NULL, MainDialogProc, 0);
        return 0;
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
