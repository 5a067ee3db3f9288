// What the running process takes from where it runs: the libraries it may
// load by name, and the module its texts come from.
#pragma once
#include <windows.h>

// Keeps every library loaded by name, by the system or by us, to the
// executable's folder and the system's; called first thing at start-up.
void RestrictLibrarySearch();

// The module that holds the dialog template and every string: the companion
// "<executable path>.mui" beside the executable when there is one, otherwise
// the executable itself. The companion is loaded as a data file by the first
// call that finds it, and kept.
HMODULE FindResourceModule();
