#pragma once
#include <windows.h>

// The module that holds the dialog template and every string: the companion
// "<executable path>.mui" beside the executable when there is one, otherwise
// the executable itself. Also runs the optional DarkMode.dll hook once.
HMODULE GetResourceModule();
