// The export tables as the exports view lists them: every present slot of the
// address table in slot order, then every name of the name table, which
// either names a present slot or stands alone (its ordinal has no present
// slot). The exports view and the JSON both read them here.
#pragma once
#include <windows.h>
#include "image_view.h"

// The export directory and its tables, each cut to the entries that lie
// inside the file, whatever the directory's counts claim.
struct ExportTables {
    IMAGE_EXPORT_DIRECTORY dir;
    DWORD start, end;        // the directory's extent: an address inside it is a forwarder
    const BYTE* functions;   // DWORD each
    DWORD functionCount;
    const BYTE* names;       // DWORD each
    const BYTE* ordinals;    // WORD each
    DWORD nameCount;
};

// False when the image has no export directory or it does not lie inside
// the file.
bool ReadExportTables(const ImageView* view, ExportTables* t);

struct ExportVisitor {
    void* context;
    // A present slot (address not 0). Slots are numbered 0, 1, ... in the
    // order they are visited.
    void (*slot)(void* context, DWORD ordinal, DWORD rva);
    // A name-table entry: `slot` is the number of the present slot whose
    // ordinal it names, or -1 when none; `name` is null when its address does
    // not resolve, and otherwise ends at its NUL or at the end of the file.
    void (*name)(void* context, int slot, DWORD ordinal, const BYTE* name);
};

// False, with nothing visited, when the slot index cannot be had (out of memory).
bool WalkExports(const ImageView* view, const ExportVisitor* visitor);

// The forwarder text of an export whose address is `rva`: an address inside
// the export directory names "LIBRARY.Name" stored there. Null when `rva` lies
// outside the directory or the file. `*length` counts the bytes up to the
// NUL, the end of the directory, the end of the file or `limit` bytes,
// whichever comes first (a hostile directory may hold no NUL at all);
// `*ended`, when asked for, says whether the NUL came first.
const BYTE* ExportForwarder(const ImageView* view, DWORD rva, DWORD limit, DWORD* length, bool* ended);
