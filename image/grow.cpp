#include "grow.h"

bool GrowBlock(void** block, SIZE_T* room, SIZE_T needed, SIZE_T itemSize)
{
    if (needed <= *room)
        return true;
    SIZE_T wanted = *room < 64 ? 64 : *room;
    while (wanted < needed) {
        if (wanted > static_cast<SIZE_T>(-1) / 2)
            return false;
        wanted *= 2;
    }
    if (wanted > static_cast<SIZE_T>(-1) / itemSize)
        return false;
    HANDLE heap = GetProcessHeap();
    void* grown = *block ? HeapReAlloc(heap, 0, *block, wanted * itemSize) : HeapAlloc(heap, 0, wanted * itemSize);
    if (!grown)
        return false;
    *block = grown;
    *room = wanted;
    return true;
}

void FreeBlock(void** block, SIZE_T* room)
{
    if (*block)
        HeapFree(GetProcessHeap(), 0, *block);
    *block = NULL;
    *room = 0;
}
