// Shows bytes in the viewer's lists the way the fuzz driver does: copied so
// that they end right before a no-access page (or start right after one), so
// that any read outside them faults at once and fails the test run.
#pragma once
#include <windows.h>
#include <vector>

// Empties the lists and runs every view on the bytes; false when they are not
// a PE image. `atEnd` chooses the placement.
bool ShowGuarded(HWND dialog, const std::vector<BYTE>& bytes, bool atEnd);
