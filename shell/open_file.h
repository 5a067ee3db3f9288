#pragma once
#include <windows.h>
#include <shellapi.h>

// Units of the open-file filter as loaded from the string table; the buffer
// given to BuildOpenFilter holds one more.
const int FILTER_UNITS = 64;

// The Browse button: asks for a file and opens it.
void BrowseForImage(HWND dialog);
// Loads the open-file filter from `resources` into `filter` (FILTER_UNITS + 1
// units) as "description", NUL, "patterns", NUL, NUL.
void BuildOpenFilter(HMODULE resources, wchar_t* filter);
// A drop on the dialog: opens the first dropped file and releases the drop.
void OpenDroppedImage(HWND dialog, HDROP drop);
// A double-click in an import list: starts a second viewer on the library
// whose header row is at or above the row under the cursor.
void OpenDependency(HWND list);
