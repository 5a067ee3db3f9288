#include "export_lookup.h"
#include <string.h>
#include "export_walk.h"

ForwarderFault ParseForwarder(const char* text, Forwarder* out)
{
    ZeroMemory(out, sizeof *out);
    const char* dot = strrchr(text, '.');
    if (!dot)
        return FORWARDER_NO_DOT;
    out->library = text;
    out->libraryBytes = static_cast<DWORD>(dot - text);
    if (out->libraryBytes == 0)
        return FORWARDER_NO_LIBRARY;
    if (out->libraryBytes >= FORWARDER_LIBRARY_BYTES)
        return FORWARDER_LONG_LIBRARY;
    if (dot[1] == '\0')
        return FORWARDER_NO_FUNCTION;
    out->byOrdinal = dot[1] == '#';
    if (!out->byOrdinal) {
        out->name = dot + 1;
        return FORWARDER_SOUND;
    }
    DWORD value = 0;
    for (const char* c = dot + 2; *c; ++c) {
        if (*c < '0' || *c > '9' || value > 0xFFFF)
            return FORWARDER_BAD_ORDINAL;
        value = value * 10 + (*c - '0');
    }
    if (value > 0xFFFF)
        return FORWARDER_BAD_ORDINAL;
    out->ordinal = static_cast<WORD>(value);
    return FORWARDER_SOUND;
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
    out->text[0] = '\0';
    out->fault = FORWARDER_NO_END;
    if (!text || !ended)
        return EXPORT_BAD_FORWARDER;
    memcpy(out->text, text, length);
    out->text[length] = '\0';
    out->fault = ParseForwarder(out->text, &out->forwarder);
    return out->fault == FORWARDER_SOUND ? EXPORT_FORWARDED : EXPORT_BAD_FORWARDER;
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
