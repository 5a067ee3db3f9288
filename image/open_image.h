#pragma once
#include <windows.h>

// Shows the file at `path` in the dialog's lists. `path` is a caller-owned
// buffer of at least 260 units; when the file could be opened it is rewritten
// to the file's folder, which becomes the current directory.
void OpenImage(HWND dialog, wchar_t* path);
