#include "export_lookup.h"
#include <string.h>
#include "export_walk.h"

// The export directory and its tables, each cut to the entries inside the file.
struct ExportTables {
    IMAGE_EXPORT_DIRECTORY dir;
    DWORD start, end;        // the directory's extent: an address inside it is a forwarder
    const BYTE* functions;   // DWORD each
    DWORD functionCount;
    const BYTE* names;       // DWORD each
    const BYTE* ordinals;    // WORD each
    DWORD nameCount;
};

static bool ReadExportTables(const ImageView* view, ExportTables* t)
{
    t->start = DataDirectoryRva(view, IMAGE_DIRECTORY_ENTRY_EXPORT);
    if (t->start == 0)
        return false;
    const BYTE* at = RvaToSpan(view, t->start, sizeof(IMAGE_EXPORT_DIRECTORY));
    if (!at)
        return false;
    memcpy(&t->dir, at, sizeof t->dir);
    DWORD size = DataDirectorySize(view, IMAGE_DIRECTORY_ENTRY_EXPORT);
    t->end = size <= MAXDWORD - t->start ? t->start + size : MAXDWORD;
    t->functions = RvaToPointer(view, t->dir.AddressOfFunctions);
    t->functionCount = EntriesInside(view, t->functions, t->dir.NumberOfFunctions, sizeof(DWORD));
    t->names = RvaToPointer(view, t->dir.AddressOfNames);
    t->ordinals = RvaToPointer(view, t->dir.AddressOfNameOrdinals);
    t->nameCount = EntriesInside(view, t->names, t->dir.NumberOfNames, sizeof(DWORD));
    t->nameCount = EntriesInside(view, t->ordinals, t->nameCount, sizeof(WORD));
    return true;
}

// The function at `index` of the address table, as found or forwarded.
static ExportLookup Target(const ImageView* view, const ExportTables* t, DWORD index, ExportTarget* out)
{
    if (index >= t->functionCount || !ReadDword(view, t->functions + 4 * index, &out->rva) || out->rva == 0)
        return EXPORT_ABSENT;
    if (out->rva < t->start || out->rva >= t->end)
        return EXPORT_FOUND;
    DWORD length;
    bool ended;
    const BYTE* text = ExportForwarder(view, out->rva, FORWARDER_BYTES, &length, &ended);
    if (!text || !ended)
        return EXPORT_BAD_FORWARDER;
    memcpy(out->forwarder, text, length);
    out->forwarder[length] = '\0';
    return strchr(out->forwarder, '.') ? EXPORT_FORWARDED : EXPORT_BAD_FORWARDER;
}

// strcmp of `name` against the export name at `rva`, which ends at its NUL or
// at the end of the file (a name cut there sorts as that many bytes).
static int CompareName(const ImageView* view, const char* name, DWORD rva)
{
    const BYTE* other = RvaToPointer(view, rva);
    DWORD left = BytesLeft(view, other);
    for (DWORD i = 0;; ++i) {
        int a = static_cast<unsigned char>(name[i]);
        int b = i < left ? other[i] : 0;
        if (a != b || a == 0)
            return a - b;
    }
}

// The ordinal index of name-table entry `i`, when `name` is its name.
static bool NameAt(const ImageView* view, const ExportTables* t, DWORD i, const char* name, int* order, DWORD* index)
{
    DWORD rva;
    WORD ordinalIndex;
    *order = -1;
    if (!ReadDword(view, t->names + 4 * i, &rva) || !ReadWord(view, t->ordinals + 2 * i, &ordinalIndex))
        return false;
    *order = CompareName(view, name, rva);
    *index = ordinalIndex;
    return *order == 0;
}

ExportLookup FindExportByName(const ImageView* view, const char* name, WORD hint, ExportTarget* out)
{
    ExportTables t;
    if (!ReadExportTables(view, &t))
        return EXPORT_ABSENT;
    int order;
    DWORD index;
    if (hint < t.nameCount && NameAt(view, &t, hint, name, &order, &index))
        return Target(view, &t, index, out);
    DWORD low = 0, high = t.nameCount;
    while (low < high) {
        DWORD middle = low + (high - low) / 2;
        if (NameAt(view, &t, middle, name, &order, &index))
            return Target(view, &t, index, out);
        if (order < 0)
            high = middle;
        else
            low = middle + 1;
    }
    return EXPORT_ABSENT;
}

ExportLookup FindExportByOrdinal(const ImageView* view, DWORD ordinal, ExportTarget* out)
{
    ExportTables t;
    if (!ReadExportTables(view, &t))
        return EXPORT_ABSENT;
    return Target(view, &t, ordinal - t.dir.Base, out);
}
