// Ctrl+C in a list: the selected row goes to the clipboard.
#pragma once
#include <windows.h>
#include <commctrl.h>

// Handles a key pressed in one of the lists (LVN_KEYDOWN): on Ctrl+C, puts the
// list's selected row on the clipboard. Every other key is left alone.
void OnListKeyDown(HWND dialog, const NMLVKEYDOWN* key);
// Puts the cells of the list's selected row, joined by tabs, on the clipboard
// as Unicode text. Without a selected row the clipboard is left as it was.
void CopySelectedRow(HWND dialog, HWND list);
