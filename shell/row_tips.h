// Tips on the rows of a list. The list control's own info tips
// (LVS_EX_INFOTIP) are not drawn by every implementation of it (Wine's has
// none), so a list gets a tooltip of the viewer's own instead: it follows the
// row under the cursor, and asks the dialog for that row's text when it shows
// (TTN_GETDISPINFOW, with the list's window as the tool's id).
#pragma once
#include <windows.h>

void AddRowTips(HWND dialog, HWND list);
// The row the cursor last rested on in `list`, -1 for none.
int TippedRow(HWND list);
