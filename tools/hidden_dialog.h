// The viewer's main dialog as the tools use it: created hidden in their own
// process, its lists emptied between inputs.
#pragma once
#include <windows.h>

// Registers the list and tab controls and creates the main dialog from this
// executable's resources, hidden and without opening what the command line
// names; NULL when it cannot be created.
HWND CreateHiddenDialog();

// Empties the lists as OpenImage does first: all but the summary, whose
// fixed rows stay and only get new values.
void EmptyLists(HWND dialog);
