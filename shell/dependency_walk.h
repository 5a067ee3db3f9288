// The dependency walk behind the import lists. Once a file is shown, its
// closure is walked as the loader would walk it, in slices between the
// dialog's messages, so that the rows are painted first and the dialog keeps
// answering; then the rows of both import lists are marked, the caption
// carries the verdict, and a double-click on a library opens what the walk
// found for it.
#pragma once
#include <windows.h>
#include "list_sink.h"
#include "../loader/closure.h"

// Called as the main dialog is created and destroyed.
void AttachDependencyWalk(HWND dialog);
void DetachDependencyWalk(HWND dialog);
// Drops the walk of the file shown before, with its marks and verdict.
void DropDependencyWalk(HWND dialog);
// Starts walking the closure of the image at `path` that the lists now
// show; it begins once the rows are painted.
void StartDependencyWalk(HWND dialog, const wchar_t* path);
// The walk's own messages (its next slice); true when handled.
bool OnDependencyWalkMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// True while a walk is to begin or under way.
bool DependencyWalkUnderWay(HWND dialog);
// The closure once the walk is complete, else null.
const Closure* WalkedClosure(HWND dialog);
// The mark of row `row` of the imports (`delay` false) or delay-imports list.
RowMark DependencyMark(HWND dialog, bool delay, int row);
// Where the viewed image's import of library `name` leads, into `found`
// (MAX_PATH units): the walk is taken on as far as the image's own imports
// when it has not got there yet. False when the loader would find nothing.
bool FindImportedLibrary(HWND dialog, const wchar_t* name, wchar_t* found);

// The tip of row `row` of an import list into `text` (room for `units`):
// how its library is found, or why it or its function is marked. False,
// with `text` empty, for a row that has nothing to tell.
bool DependencyTip(HWND dialog, bool delay, int row, wchar_t* text, int units);
