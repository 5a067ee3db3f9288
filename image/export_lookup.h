// Looking a function up in an image's exports as the loader does: by name
// through the sorted name table (after trying the hint), or by ordinal.
#pragma once
#include <windows.h>
#include "image_view.h"

enum ExportLookup {
    EXPORT_ABSENT,
    EXPORT_FOUND,
    EXPORT_FORWARDED,      // to "LIBRARY.Name" or "LIBRARY.#ordinal"
    EXPORT_BAD_FORWARDER,  // forwarded, but its text has no dot, no end, or is too long
};

// Room for a forwarder's text, terminator included.
const DWORD FORWARDER_BYTES = 512;

struct ExportTarget {
    DWORD rva;
    char forwarder[FORWARDER_BYTES];   // EXPORT_FORWARDED: the text, terminated
};

// `name` is NUL-terminated; `hint` is the index into the name table that the
// importer guesses.
ExportLookup FindExportByName(const ImageView* view, const char* name, WORD hint, ExportTarget* out);
ExportLookup FindExportByOrdinal(const ImageView* view, DWORD ordinal, ExportTarget* out);
