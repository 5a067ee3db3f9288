#pragma once
#include <windows.h>

// The module that holds the dialog template and every string: the companion
// "<executable path>.mui" beside the executable when there is one, otherwise
// the executable itself. The first call also runs the optional DarkMode.dll
// hook, when that library lies beside the executable and loads; later calls do
// not look for it again.
HMODULE GetResourceModule();

// Keeps every library loaded by name, by the system or by us, to the
// executable's folder and the system's; called first thing at start-up.
void RestrictLibrarySearch();
