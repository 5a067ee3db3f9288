#include "export_walk.h"
#include <string.h>

// Number of the present slot whose ordinal is `ordinal`, or -1. The ordinals
// were recorded in slot order, so ordinal - base ascends even when base +
// index wraps past 2^32; the search compares those differences.
static int FindSlot(const DWORD* ordinals, int count, DWORD base, DWORD ordinal)
{
    DWORD sought = ordinal - base;
    int lo = 0, hi = count - 1;
    while (lo <= hi) {
        int mid = lo + (hi - lo) / 2;
        DWORD key = ordinals[mid] - base;
        if (key == sought)
            return mid;
        if (key < sought)
            lo = mid + 1;
        else
            hi = mid - 1;
    }
    return -1;
}

// The end of the export directory that starts at `start`, held below 2^32.
static DWORD ExportDirectoryEnd(const ImageView* view, DWORD start)
{
    DWORD size = DataDirectorySize(view, IMAGE_DIRECTORY_ENTRY_EXPORT);
    return size <= MAXDWORD - start ? start + size : MAXDWORD;
}

bool ReadExportTables(const ImageView* view, ExportTables* t)
{
    t->start = DataDirectoryRva(view, IMAGE_DIRECTORY_ENTRY_EXPORT);
    if (t->start == 0)
        return false;
    const BYTE* at = RvaToSpan(view, t->start, sizeof(IMAGE_EXPORT_DIRECTORY));
    if (!at)
        return false;
    memcpy(&t->dir, at, sizeof t->dir);
    t->end = ExportDirectoryEnd(view, t->start);
    t->functions = RvaToPointer(view, t->dir.AddressOfFunctions);
    t->functionCount = EntriesInside(view, t->functions, t->dir.NumberOfFunctions, sizeof(DWORD));
    t->names = RvaToPointer(view, t->dir.AddressOfNames);
    t->ordinals = RvaToPointer(view, t->dir.AddressOfNameOrdinals);
    t->nameCount = EntriesInside(view, t->names, t->dir.NumberOfNames, sizeof(DWORD));
    t->nameCount = EntriesInside(view, t->ordinals, t->nameCount, sizeof(WORD));
    return true;
}

bool WalkExports(const ImageView* view, const ExportVisitor* visitor)
{
    ExportTables t;
    if (!ReadExportTables(view, &t) || t.dir.NumberOfFunctions == 0)
        return true;
    const IMAGE_EXPORT_DIRECTORY& dir = t.dir;
    const BYTE* functions = t.functions;
    DWORD slotCount = t.functionCount;
    DWORD* ordinals = NULL;
    if (slotCount != 0) {
        ULONGLONG bytes = static_cast<ULONGLONG>(slotCount) * sizeof(DWORD);
        if (bytes > static_cast<SIZE_T>(-1))
            return false;
        ordinals = static_cast<DWORD*>(HeapAlloc(GetProcessHeap(), 0, static_cast<SIZE_T>(bytes)));
        if (!ordinals)
            return false;
    }

    int present = 0;
    for (DWORD j = 0; j < slotCount; ++j) {
        DWORD address;
        if (!ReadDword(view, functions + 4 * j, &address))
            break;
        if (address == 0)
            continue;
        ordinals[present++] = dir.Base + j;
        visitor->slot(visitor->context, dir.Base + j, address);
    }

    // Both name tables are read only as far as they lie inside the file.
    if (dir.NumberOfNames != 0) {
        for (DWORD i = 0; i < t.nameCount; ++i) {
            WORD index;
            DWORD nameRva;
            if (!ReadWord(view, t.ordinals + 2 * i, &index) || !ReadDword(view, t.names + 4 * i, &nameRva))
                break;
            DWORD ordinal = dir.Base + index;
            visitor->name(visitor->context, FindSlot(ordinals, present, dir.Base, ordinal), ordinal,
                          RvaToPointer(view, nameRva));
        }
    }
    if (ordinals)
        HeapFree(GetProcessHeap(), 0, ordinals);
    return true;
}

const BYTE* ExportForwarder(const ImageView* view, DWORD rva, DWORD limit, DWORD* length, bool* ended)
{
    *length = 0;
    if (ended)
        *ended = false;
    DWORD start = DataDirectoryRva(view, IMAGE_DIRECTORY_ENTRY_EXPORT);
    DWORD end = ExportDirectoryEnd(view, start);
    if (start == 0 || rva < start || rva >= end)
        return NULL;
    const BYTE* text = RvaToPointer(view, rva);
    DWORD room = BytesLeft(view, text);
    if (room > end - rva)
        room = end - rva;
    if (room > limit)
        room = limit;
    const BYTE* nul = text ? static_cast<const BYTE*>(memchr(text, 0, room)) : NULL;
    *length = nul ? static_cast<DWORD>(nul - text) : room;
    if (ended)
        *ended = nul != NULL;
    return text;
}
