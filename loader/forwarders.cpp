// Looking an imported function up as the loader binds it: in the library
// the import names, then on through the forwarders its exports may be.
#include "closure_walk.h"
#include <string.h>
#include "../image/export_lookup.h"
#include "../image/text_format.h"

// Where a forwarder "LIBRARY.Name" or "LIBRARY.#ordinal" leads.
enum HopResult {
    HOP_REACHED,      // to a library of the closure
    HOP_LEFT_OUT,     // to a library the closure's bound left out
    HOP_BAD,          // the text names no library or function
};

// Follows the forwarder `text` out of library `from`: the library it names
// (into `*to`), and the function there (into `name`, or `*byOrdinal` and
// `*ordinal`).
static HopResult FollowForwarder(ClosureWalk* walk, int from, const char* text, char* name, bool* byOrdinal,
                                 WORD* ordinal, int* to)
{
    const char* dot = strrchr(text, '.');
    size_t libraryBytes = dot - text;
    if (libraryBytes == 0 || libraryBytes >= CLOSURE_NAME_UNITS || dot[1] == '\0')
        return HOP_BAD;
    // The loader takes the text before the last dot as a file name, ".dll"
    // added when it has no extension.
    wchar_t library[CLOSURE_NAME_UNITS];
    AnsiToWide(text, static_cast<DWORD>(libraryBytes), library, CLOSURE_NAME_UNITS - 4);
    if (!wcschr(library, L'.'))
        lstrcatW(library, L".dll");
    *byOrdinal = dot[1] == '#';
    if (*byOrdinal) {
        DWORD value = 0;
        for (const char* c = dot + 2; *c; ++c) {
            if (*c < '0' || *c > '9' || value > 0xFFFF)
                return HOP_BAD;
            value = value * 10 + (*c - '0');
        }
        if (value > 0xFFFF)
            return HOP_BAD;
        *ordinal = static_cast<WORD>(value);
    } else {
        lstrcpynA(name, dot + 1, LOOKUP_BYTES);
    }
    // The forwarding library is the importer of its target.
    if (walk->forwarder.library != from)
        SetUpImporter(walk, from, &walk->forwarder);
    Resolution resolution;
    ResolveLibrary(walk->facts, &walk->forwarder.importer, library, &resolution);
    walk->units -= SEARCH_UNITS;
    *to = FindOrAdd(walk, library, &resolution, from);
    if (*to < 0)
        return HOP_LEFT_OUT;
    AddEdge(walk, from, *to, walk->delay, true);
    // Binding the importer loads the forwarder's library: it is the
    // importer's need, whoever else the forwarding library serves.
    AddHop(walk, walk->importer.library, *to, walk->delay);
    return HOP_REACHED;
}

// A missing function's record for the current importer.
static int Missing(ClosureWalk* walk, bool gap, int library, const char* name, bool byOrdinal, WORD ordinal,
                   bool bad)
{
    MissingFunction m;
    ZeroMemory(&m, sizeof m);
    m.library = library;
    m.importer = walk->importer.library;
    m.byOrdinal = byOrdinal;
    m.ordinal = ordinal;
    if (!byOrdinal)
        AnsiToWide(name, static_cast<DWORD>(strlen(name)), m.name, CLOSURE_NAME_UNITS);
    m.delay = walk->delay;
    m.badForwarder = bad;
    Closure* out = walk->out;
    return gap ? AddMissing(out, &out->gaps, &out->gapCount, &out->gapRoom, &m)
               : AddMissing(out, &out->missing, &out->missingCount, &out->missingRoom, &m);
}

ImportVerdict CheckFunction(ClosureWalk* walk, int library, char* name, WORD hint, bool byOrdinal, WORD ordinal,
                            int* detail)
{
    *detail = -1;
    for (int hop = 0; hop <= MAX_FORWARD_HOPS; ++hop) {
        const ClosureLibrary* target = &walk->out->libraries[library];
        if (!target->mapped) {
            // Not found, or not readable: the library's own report says so.
            // Of the root's functions, one forwarded there is kept apart.
            if (hop == 0)
                return IMPORT_UNCHECKED;
            if (walk->importer.library == 0)
                *detail = Missing(walk, true, library, name, byOrdinal, ordinal, false);
            return IMPORT_FORWARD_MISSING;
        }
        ExportTarget found;
        ExportLookup result = byOrdinal ? FindExportByOrdinal(&target->view, ordinal, &found)
                                        : FindExportByName(&target->view, name, hint, &found);
        if (result == EXPORT_FOUND)
            return IMPORT_RESOLVED;
        if (result != EXPORT_FORWARDED) {
            bool bad = result == EXPORT_BAD_FORWARDER;
            *detail = Missing(walk, false, library, name, byOrdinal, ordinal, bad);
            return bad ? IMPORT_BAD_FORWARDER : IMPORT_NOT_EXPORTED;
        }
        int next;
        HopResult hopped = FollowForwarder(walk, library, found.forwarder, name, &byOrdinal, &ordinal, &next);
        if (hopped == HOP_BAD) {
            *detail = Missing(walk, false, library, name, byOrdinal, ordinal, true);
            return IMPORT_BAD_FORWARDER;
        }
        if (hopped == HOP_LEFT_OUT)
            return IMPORT_UNCHECKED;
        library = next;
        hint = 0;
    }
    *detail = Missing(walk, false, library, name, byOrdinal, ordinal, true);
    return IMPORT_BAD_FORWARDER;
}
