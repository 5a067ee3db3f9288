#pragma once
#include <windows.h>

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
void InitMainDialog(HWND dialog);
// Widens the last column of every list to its widest text or caption.
void AutosizeLastColumns(HWND dialog);
// Shows the list of the selected tab and hides the six others.
void ShowSelectedTab(HWND dialog);
