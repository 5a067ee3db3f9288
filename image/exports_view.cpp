#include "views.h"
#include <string.h>
#include "text_format.h"

// One present slot of the export address table and the row that shows it.
struct ExportSlot {
    DWORD ordinal;
    int row;
};

// No code page needs more than four bytes for one unit of the converted
// name, so nothing beyond this many bytes of a name can be shown.
static const DWORD NAME_BYTES_SHOWN = 4 * NAME_UNITS;

// Shows the name at `name` in column 1 of `row`. A name cut by the end of
// the file is shown as far as it lies inside the file.
static void SetExportName(const RowSink* sink, int row, const ImageView* view, const BYTE* name)
{
    DWORD length = ImageBytesLeft(view, name);
    if (length > NAME_BYTES_SHOWN)
        length = NAME_BYTES_SHOWN;
    wchar_t text[NAME_UNITS];
    AnsiToWide(reinterpret_cast<const char*>(name), length, text, NAME_UNITS);
    SetCell(sink, row, 1, text);
}

// Inserts row `row` showing the ordinal (nothing for ordinal 0) and, when
// `name` is not null, the name.
static void AddExportRow(const RowSink* sink, int row, DWORD ordinal, const ImageView* view, const BYTE* name)
{
    wchar_t number[TEXT_UNITS] = L"";
    if (ordinal != 0)
        FormatHex4(ordinal, number);
    InsertRow(sink, row, number, ROW_PLAIN);
    if (name)
        SetExportName(sink, row, view, name);
}

// Number of `entrySize`-byte entries, up to `declared`, that lie inside the
// file from `table` on; 0 when the table did not resolve.
static DWORD EntriesInside(const ImageView* view, const BYTE* table, DWORD declared, DWORD entrySize)
{
    DWORD fit = ImageBytesLeft(view, table) / entrySize;
    return declared < fit ? declared : fit;
}

// Row of the slot whose ordinal is `ordinal`, or -1. The slots were recorded
// in slot order, so ordinal - base ascends even when base + index wraps past
// 2^32; the search compares those differences.
static int FindSlotRow(const ExportSlot* slots, int count, DWORD base, DWORD ordinal)
{
    DWORD sought = ordinal - base;
    int lo = 0, hi = count - 1;
    while (lo <= hi) {
        int mid = lo + (hi - lo) / 2;
        DWORD key = slots[mid].ordinal - base;
        if (key == sought)
            return slots[mid].row;
        if (key < sought)
            lo = mid + 1;
        else
            hi = mid - 1;
    }
    return -1;
}

void ShowExports(const RowSink* sink, const ImageView* view)
{
    DWORD rva = DataDirectoryRva(view, IMAGE_DIRECTORY_ENTRY_EXPORT);
    if (rva == 0)
        return;
    const BYTE* at = RvaToSpan(view, rva, sizeof(IMAGE_EXPORT_DIRECTORY));
    if (!at)
        return;
    IMAGE_EXPORT_DIRECTORY dir;
    memcpy(&dir, at, sizeof dir);
    if (dir.NumberOfFunctions == 0)
        return;

    // The slot table holds no more slots than the export address table has
    // inside the file, whatever NumberOfFunctions claims.
    const BYTE* functions = RvaToPointer(view, dir.AddressOfFunctions);
    DWORD slotCount = EntriesInside(view, functions, dir.NumberOfFunctions, sizeof(DWORD));
    ExportSlot* slots = NULL;
    if (slotCount != 0) {
        ULONGLONG bytes = static_cast<ULONGLONG>(slotCount) * sizeof(ExportSlot);
        if (bytes > static_cast<SIZE_T>(-1))
            return;
        slots = static_cast<ExportSlot*>(GlobalAlloc(GMEM_FIXED, static_cast<SIZE_T>(bytes)));
        if (!slots)
            return;
    }

    // Slot pass: one row per present slot, in slot order.
    int row = 0, present = 0;
    for (DWORD j = 0; j < slotCount; ++j) {
        DWORD address;
        if (!ReadDword(view, functions + 4 * j, &address))
            break;
        if (address == 0)
            continue;
        DWORD ordinal = dir.Base + j;
        AddExportRow(sink, row, ordinal, view, NULL);
        slots[present].ordinal = ordinal;
        slots[present].row = row;
        ++present;
        ++row;
    }

    // Name pass: a name on a present slot names its row (a later name replaces
    // an earlier one); any other name gets a row of its own. Both tables are
    // read only as far as they lie inside the file.
    if (dir.NumberOfNames != 0) {
        const BYTE* names = RvaToPointer(view, dir.AddressOfNames);
        const BYTE* ordinals = RvaToPointer(view, dir.AddressOfNameOrdinals);
        DWORD nameCount = EntriesInside(view, names, dir.NumberOfNames, sizeof(DWORD));
        nameCount = EntriesInside(view, ordinals, nameCount, sizeof(WORD));
        for (DWORD i = 0; i < nameCount; ++i) {
            WORD index;
            DWORD nameRva;
            if (!ReadWord(view, ordinals + 2 * i, &index) || !ReadDword(view, names + 4 * i, &nameRva))
                break;
            DWORD ordinal = dir.Base + index;
            const BYTE* name = RvaToPointer(view, nameRva);
            int found = FindSlotRow(slots, present, dir.Base, ordinal);
            if (found < 0) {
                AddExportRow(sink, row, ordinal, view, name);
                ++row;
            } else if (name) {
                SetExportName(sink, found, view, name);
            }
        }
    }

    if (slots)
        GlobalFree(slots);
}
