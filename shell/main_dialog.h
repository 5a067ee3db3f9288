#pragma once
#include <windows.h>

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Creation parameter for a caller that opens files itself (the benchmark, the
// fuzzer), whose command line names no file for the dialog to open.
const LPARAM DIALOG_NO_COMMAND_LINE = 1;
// The main dialog from `resources`, for a program that reads its lists
// without showing them (the tools): created from a copy
// of the template that is neither visible nor brought to the foreground, with
// DIALOG_NO_COMMAND_LINE. NULL when it cannot be created.
HWND CreateHiddenMainDialog(HMODULE resources);
// Sets up tabs, columns and summary labels, then opens the file that the
// command line names when `openCommandLine` is true.
void InitMainDialog(HWND dialog, bool openCommandLine);
// Widens the last column of every list to its widest text or caption.
void AutosizeLastColumns(HWND dialog);
// Shows the list of the selected tab and hides the six others.
void ShowSelectedTab(HWND dialog);
