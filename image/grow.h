// Growing a block of items on the process heap, for tables whose size the
// file decides.
#pragma once
#include <windows.h>

// Makes `*block` hold at least `needed` items of `itemSize` bytes, at least
// doubling it when it grows; false, with the block as it was, when that
// cannot be had.
bool GrowBlock(void** block, SIZE_T* room, SIZE_T needed, SIZE_T itemSize);
// Frees a block of GrowBlock (or null) and empties its room.
void FreeBlock(void** block, SIZE_T* room);
