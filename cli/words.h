// Fixed English words for values the companion prints in more than one place.
#pragma once
#include "json_write.h"

// IMAGE_FILE_MACHINE_* values: "i386", "x64", "arm64", ...
extern const Word MACHINES[];
extern const int MACHINE_COUNT;
// The word of a machine, "unknown" for one without a word.
const char* MachineWord(WORD machine);
