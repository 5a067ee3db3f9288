// Finding a row: Ctrl+F opens the system's find dialog over the selected
// tab's list, F3 / Shift+F3 repeat the last search down / up.
#pragma once
#include <windows.h>

// What to look for; `text` is compared with every cell the list shows.
struct FindQuery {
    const wchar_t* text;
    bool matchCase;
    bool wholeWord;
    bool down;
};

// The first row of `list` whose cells hold the text, starting after row
// `from` (before it when searching up; -1 for none selected) and wrapping
// around once. -1 when no row matches.
int FindRow(HWND list, int from, const FindQuery* query);
// Selects and focuses `row` and scrolls it into view.
void SelectFoundRow(HWND list, int row);

// Called by the main dialog as it is created and destroyed: while one exists,
// a message-filter hook gives its keys (Ctrl+F, F3) to the search and passes
// the find dialog's messages to it inside the modal loop.
void AttachFind(HWND dialog);
void DetachFind(HWND dialog);
// Opens the find dialog, or activates the one already open.
void OpenFindDialog(HWND dialog);
// Searches again for the last text (F3); opens the find dialog when there is none.
void FindAgain(HWND dialog, bool down);
// The main dialog's messages that belong to the search: the find dialog's
// notifications and the timer that takes the "not found" note away. True
// when handled.
bool OnFindMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// The find dialog, NULL while none is open.
HWND FindDialogWindow();
