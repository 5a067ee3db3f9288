// Looking an imported function up as the loader binds it: in the library
// the import names, then on through the forwarders its exports may be.
#include "closure_walk.h"
#include <string.h>
#include "../image/export_lookup.h"
#include "../image/text_format.h"

// Follows a forwarder out of library `from` as the loader does: to the
// library it names (into `*to`, -1 when the closure's bound leaves it out),
// and the function there (into `name`, or `*byOrdinal` and `*ordinal`).
static bool FollowForwarder(ClosureWalk* walk, int from, const Forwarder* forwarder, char* name, bool* byOrdinal,
                            WORD* ordinal, int* to)
{
    wchar_t library[CLOSURE_NAME_UNITS];
    AnsiToWide(forwarder->library, forwarder->libraryBytes, library, CLOSURE_NAME_UNITS - 4);
    if (!wcschr(library, L'.'))
        lstrcatW(library, L".dll");
    *byOrdinal = forwarder->byOrdinal;
    if (forwarder->byOrdinal)
        *ordinal = forwarder->ordinal;
    else
        lstrcpynA(name, forwarder->name, LOOKUP_BYTES);
    // The forwarding library is the importer of its target.
    if (walk->forwarder.library != from)
        SetUpImporter(walk, from, &walk->forwarder);
    Resolution resolution;
    ResolveLibrary(walk->facts, &walk->forwarder.importer, library, &resolution);
    walk->units -= SEARCH_UNITS;
    *to = FindOrAdd(walk, library, &resolution, from);
    if (*to < 0)
        return false;
    AddEdge(walk, from, *to, walk->delay, true);
    // Binding the importer loads the forwarder's library: it is the
    // importer's need, whoever else the forwarding library serves.
    AddHop(walk, walk->importer.library, *to, walk->delay);
    return true;
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
        if (!FollowForwarder(walk, library, &found.forwarder, name, &byOrdinal, &ordinal, &next))
            return IMPORT_UNCHECKED;
        library = next;
        hint = 0;
    }
    *detail = Missing(walk, false, library, name, byOrdinal, ordinal, true);
    return IMPORT_BAD_FORWARDER;
}
