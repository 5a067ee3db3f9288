#pragma once
#include <windows.h>

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Creation parameter for a caller that opens files itself (the console
// companion), whose command line names no file for the dialog to open.
const LPARAM DIALOG_NO_COMMAND_LINE = 1;
// Sets up tabs, columns and summary labels, then opens the file that the
// command line names when `openCommandLine` is true.
void InitMainDialog(HWND dialog, bool openCommandLine);
// Widens the last column of every list to its widest text or caption.
void AutosizeLastColumns(HWND dialog);
// Shows the list of the selected tab and hides the six others.
void ShowSelectedTab(HWND dialog);
