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

// The same for a table of T: `*items` holds at least `needed` items after.
template <typename T> bool GrowTable(T** items, SIZE_T* room, SIZE_T needed)
{
    void* block = *items;
    if (!GrowBlock(&block, room, needed, sizeof(T)))
        return false;
    *items = static_cast<T*>(block);
    return true;
}

// Appends a zeroed item to a table of `*count` items and returns it; null,
// with the table as it was, when memory runs out.
template <typename T, typename Count> T* AppendItem(T** items, Count* count, SIZE_T* room)
{
    if (!GrowTable(items, room, static_cast<SIZE_T>(*count) + 1))
        return NULL;
    T* item = &(*items)[(*count)++];
    ZeroMemory(item, sizeof *item);
    return item;
}

template <typename T> void FreeTable(T** items, SIZE_T* room)
{
    void* block = *items;
    FreeBlock(&block, room);
    *items = NULL;
}
