// Looking a function up in an image's exports as the loader does: by name
// through the sorted name table (after trying the hint), or by ordinal.
#pragma once
#include <windows.h>
#include "image_view.h"

enum ExportLookup {
    EXPORT_ABSENT,
    EXPORT_FOUND,
    EXPORT_FORWARDED,      // to "LIBRARY.Name" or "LIBRARY.#ordinal"
    EXPORT_BAD_FORWARDER,  // forwarded, but to nothing the loader could follow
};

// What is wrong with a forwarder's text, if anything.
enum ForwarderFault {
    FORWARDER_SOUND,
    FORWARDER_NO_END,         // no NUL within FORWARDER_BYTES, the directory or the file
    FORWARDER_NO_DOT,
    FORWARDER_NO_LIBRARY,     // nothing before the last dot
    FORWARDER_LONG_LIBRARY,   // a library name of FORWARDER_LIBRARY_BYTES or more
    FORWARDER_NO_FUNCTION,    // nothing after it
    FORWARDER_BAD_ORDINAL,    // "#" followed by other than a number below 65,536
};

// Room for a forwarder's text, and for its library's name, terminators included.
const DWORD FORWARDER_BYTES = 512;
const DWORD FORWARDER_LIBRARY_BYTES = 260;

// A forwarder's text read as the loader reads it: the library is the text
// before the last dot (".dll" is added when it names no extension), then a
// name, or "#" and an ordinal.
struct Forwarder {
    const char* library;   // libraryBytes of the text, not terminated
    DWORD libraryBytes;
    bool byOrdinal;
    WORD ordinal;          // when byOrdinal
    const char* name;      // otherwise: terminated
};

// Parses the terminated `text` into `out` (which points into `text`).
ForwarderFault ParseForwarder(const char* text, Forwarder* out);

struct ExportTarget {
    DWORD rva;
    char text[FORWARDER_BYTES];   // a forwarder's text, terminated
    ForwarderFault fault;         // of a forwarder, what is wrong with it
    Forwarder forwarder;          // EXPORT_FORWARDED: where it leads
};

// `name` is NUL-terminated; `hint` is the index into the name table that the
// importer guesses.
ExportLookup FindExportByName(const ImageView* view, const char* name, WORD hint, ExportTarget* out);
ExportLookup FindExportByOrdinal(const ImageView* view, DWORD ordinal, ExportTarget* out);
