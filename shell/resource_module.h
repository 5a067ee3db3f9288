#pragma once
#include <windows.h>

// The viewer's resource module (host/process.h, FindResourceModule). The
// first call also runs the optional DarkMode.dll hook, when that library lies
// beside the executable and loads; later calls do not look for it again.
HMODULE GetResourceModule();
