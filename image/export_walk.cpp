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

bool WalkExports(const ImageView* view, const ExportVisitor* visitor)
{
    DWORD rva = DataDirectoryRva(view, IMAGE_DIRECTORY_ENTRY_EXPORT);
    if (rva == 0)
        return true;
    const BYTE* at = RvaToSpan(view, rva, sizeof(IMAGE_EXPORT_DIRECTORY));
    if (!at)
        return true;
    IMAGE_EXPORT_DIRECTORY dir;
    memcpy(&dir, at, sizeof dir);
    if (dir.NumberOfFunctions == 0)
        return true;

    // No more slots than the export address table has inside the file,
    // whatever NumberOfFunctions claims.
    const BYTE* functions = RvaToPointer(view, dir.AddressOfFunctions);
    DWORD slotCount = EntriesInside(view, functions, dir.NumberOfFunctions, sizeof(DWORD));
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
        const BYTE* names = RvaToPointer(view, dir.AddressOfNames);
        const BYTE* nameOrdinals = RvaToPointer(view, dir.AddressOfNameOrdinals);
        DWORD nameCount = EntriesInside(view, names, dir.NumberOfNames, sizeof(DWORD));
        nameCount = EntriesInside(view, nameOrdinals, nameCount, sizeof(WORD));
        for (DWORD i = 0; i < nameCount; ++i) {
            WORD index;
            DWORD nameRva;
            if (!ReadWord(view, nameOrdinals + 2 * i, &index) || !ReadDword(view, names + 4 * i, &nameRva))
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
    DWORD size = DataDirectorySize(view, IMAGE_DIRECTORY_ENTRY_EXPORT);
    DWORD end = size <= MAXDWORD - start ? start + size : MAXDWORD;
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
