#include "words.h"

const Word MACHINES[] = {
    { IMAGE_FILE_MACHINE_I386, "i386" }, { IMAGE_FILE_MACHINE_AMD64, "x64" },
    { IMAGE_FILE_MACHINE_ARM64, "arm64" }, { IMAGE_FILE_MACHINE_ARM, "arm" },
    { IMAGE_FILE_MACHINE_ARMNT, "arm-thumb2" }, { IMAGE_FILE_MACHINE_THUMB, "thumb" },
    { IMAGE_FILE_MACHINE_IA64, "ia64" },
};
const int MACHINE_COUNT = sizeof MACHINES / sizeof MACHINES[0];

const char* MachineWord(WORD machine)
{
    return WordOf(machine, MACHINES, MACHINE_COUNT);
}
