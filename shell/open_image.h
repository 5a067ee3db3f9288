#pragma once
#include <windows.h>

// What became of a file given to OpenImage.
enum OpenResult {
    OPEN_SHOWN,        // a PE image: its views are in the lists
    OPEN_NOT_PE,       // read, but too small or not a PE image: the lists stay empty
    OPEN_FAILED,       // could not be opened or mapped
};

// Shows the file at `path` in the dialog's lists. `path` is a caller-owned
// buffer of at least 260 units; when the file could be opened it is rewritten
// to the file's folder, which becomes the current directory.
OpenResult OpenImage(HWND dialog, wchar_t* path);

// Fills the lists from the `size` bytes at `base` when they hold a PE image
// (false otherwise), with texts from `resources` (null: GetResourceModule).
// The lists must have been emptied; redraw of the lists is left off, to be
// switched on by the caller.
bool ShowImage(HWND dialog, HMODULE resources, const BYTE* base, DWORD size);
