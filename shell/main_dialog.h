#pragma once
#include <windows.h>

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
void InitMainDialog(HWND dialog);
// Widens the last column of every list to its widest text or caption.
void AutosizeLastColumns(HWND dialog);
