// Shows bytes in the viewer's lists the way the fuzz driver does: copied so
// that they end right before a no-access page (or start right after one), so
// that any read outside them faults at once and fails the test run.
#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "image/views.h"

// Empties the lists and runs every view on the bytes; false when they are not
// a PE image. `atEnd` chooses the placement.
bool ShowGuarded(HWND dialog, const std::vector<BYTE>& bytes, bool atEnd);
// The rows of every view read into tables in memory, as the console companion
// reads them, as lines "marker|cell0|cell1|..." like RowLines; a string
// resource of 1,024 units or more cut to its first 1,022, as the viewer shows
// it. False, with no lines, when the bytes are not a PE image.
bool TableRowLines(const std::vector<BYTE>& bytes, std::vector<std::wstring> lines[VIEW_COUNT]);
