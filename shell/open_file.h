#pragma once
#include <windows.h>
#include <shellapi.h>

// The Browse button: asks for a file and opens it.
void BrowseForImage(HWND dialog);
// A drop on the dialog: opens the first dropped file and releases the drop.
void OpenDroppedImage(HWND dialog, HDROP drop);
// A double-click in an import list: starts a second viewer on the library
// whose header row is at or above the row under the cursor.
void OpenDependency(HWND list);
