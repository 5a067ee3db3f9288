#pragma once
#include <windows.h>

// Where a double-click on library `name` leads: an API set's host for
// `importer` (the viewed file's name, or null) in place of the set, then the
// system's search order, in which the current directory is the viewed file's
// folder. False when nothing is found or the full path does not fit `found`
// (MAX_PATH units).
bool FindLibrary(const wchar_t* name, const wchar_t* importer, wchar_t* found);
