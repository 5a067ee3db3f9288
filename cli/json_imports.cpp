// Imports and exports as JSON: numbers as numbers, names as the file has them.
#include "json_views.h"
#include "image/export_walk.h"
#include "image/grow.h"
#include "image/import_walk.h"
#include "image/text_format.h"
#include "print_views.h"

// The imports' JSON stands inside a library's functions from its first
// function on.
struct ImportJson {
    JsonWriter* w;
    const ImageView* view;
    const Closure* closure;
    int* notFound;
    bool inLibrary;
};

static void OpenLibrary(void* context, const BYTE* name, bool)
{
    ImportJson* j = static_cast<ImportJson*>(context);
    JsonWriter* w = j->w;
    if (j->inLibrary) {
        EndScope(w);   // the functions
        EndScope(w);   // the library
    }
    BeginObject(w, JSON_INLINE);
    Key(w, "library");
    DWORD length = BytesLeft(j->view, name);
    AnsiValue(w, name, length);
    if (j->closure) {
        // Looked up by the name the view shows, as a double-click would.
        wchar_t wide[NAME_UNITS] = L"";
        if (name)
            AnsiToWide(reinterpret_cast<const char*>(name), length, wide, NAME_UNITS);
        const wchar_t* path = ResolvedPath(j->closure, wide, j->notFound);
        Key(w, "path");
        StringValue(w, path[0] ? path : NULL);
    }
    Key(w, "functions");
    BeginArray(w, JSON_INLINE);
    j->inLibrary = true;
}

static void PutFunction(void* context, const ImportedFunction* function)
{
    ImportJson* j = static_cast<ImportJson*>(context);
    JsonWriter* w = j->w;
    BeginObject(w, JSON_INLINE);
    Key(w, "by_ordinal");
    BoolValue(w, function->byOrdinal);
    Key(w, "ordinal");
    if (function->byOrdinal)
        NumberValue(w, function->ordinal);
    else
        NullValue(w);
    bool named = !function->byOrdinal && function->hintRead;
    Key(w, "hint");
    if (named)
        NumberValue(w, function->hint);
    else
        NullValue(w);
    Key(w, "name");
    AnsiValue(w, named ? function->name : NULL, BytesLeft(j->view, function->name));
    EndScope(w);
}

void PutImports(JsonWriter* w, const ImageView* view, bool delay, const Closure* closure, int* notFound)
{
    ImportJson j = { w, view, closure, notFound, false };
    ImportVisitor visitor = { &j, OpenLibrary, PutFunction };
    BeginArray(w, JSON_LINES);
    WalkImports(view, delay, &visitor);
    if (j.inLibrary) {
        EndScope(w);
        EndScope(w);
    }
    EndScope(w);
}

// An export as the view lists it: a present slot, or a name whose ordinal
// has none (no address).
struct ExportEntry {
    DWORD ordinal;
    DWORD rva;
    bool hasRva;
    const BYTE* name;
};

struct ExportJson {
    ExportEntry* entries;   // present slots first: an entry's index is its slot's number
    SIZE_T room;
    SIZE_T count;
    bool outOfMemory;
};

static void Append(ExportJson* e, DWORD ordinal, DWORD rva, bool hasRva, const BYTE* name)
{
    ExportEntry* entry = AppendItem(&e->entries, &e->count, &e->room);
    if (!entry) {
        e->outOfMemory = true;
        return;
    }
    entry->ordinal = ordinal;
    entry->rva = rva;
    entry->hasRva = hasRva;
    entry->name = name;
}

static void AddSlot(void* context, DWORD ordinal, DWORD rva)
{
    Append(static_cast<ExportJson*>(context), ordinal, rva, true, NULL);
}

// A later name of a slot replaces an earlier one, as in the view.
static void AddName(void* context, int slot, DWORD ordinal, const BYTE* name)
{
    ExportJson* e = static_cast<ExportJson*>(context);
    if (slot < 0)
        Append(e, ordinal, 0, false, name);
    else if (name && static_cast<SIZE_T>(slot) < e->count)
        e->entries[slot].name = name;
}

bool PutExports(JsonWriter* w, const ImageView* view)
{
    ExportJson e = { NULL, 0, 0, false };
    ExportVisitor visitor = { &e, AddSlot, AddName };
    if (!WalkExports(view, &visitor))
        e.outOfMemory = true;
    BeginArray(w, JSON_LINES);
    for (SIZE_T i = 0; i < e.count; ++i) {
        const ExportEntry* entry = &e.entries[i];
        BeginObject(w, JSON_INLINE);
        NumberField(w, "ordinal", entry->ordinal);
        Key(w, "name");
        AnsiValue(w, entry->name, BytesLeft(view, entry->name));
        Key(w, "rva");
        DWORD length = 0;
        const BYTE* forwarder = NULL;
        if (entry->hasRva) {
            NumberValue(w, entry->rva);
            forwarder = ExportForwarder(view, entry->rva, 4 * ANSI_UNITS, &length, NULL);
        } else {
            NullValue(w);
        }
        Key(w, "forwarder");
        AnsiValue(w, forwarder, length);
        EndScope(w);
    }
    EndScope(w);
    FreeTable(&e.entries, &e.room);
    return !e.outOfMemory;
}
