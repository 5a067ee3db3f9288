#pragma once
#include <windows.h>

// Shows the file at `path` in the dialog's lists. `path` is a caller-owned
// buffer of at least 260 units; when the file could be opened it is rewritten
// to the file's folder, which becomes the current directory.
void OpenImage(HWND dialog, wchar_t* path);

// Fills the lists from the `size` bytes at `base` when they hold a PE image
// (false otherwise), with texts from `resources` (null: GetResourceModule).
// The lists must have been emptied; redraw of the lists is left off, to be
// switched on by the caller.
bool ShowImage(HWND dialog, HMODULE resources, const BYTE* base, DWORD size);
