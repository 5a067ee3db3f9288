// Imports and exports as JSON: numbers as numbers, names as the file has them.
#include "json_views.h"
#include "image/export_walk.h"
#include "image/grow.h"
#include "image/import_walk.h"
#include "image/text_format.h"
#include "print_views.h"

struct ImportJson {
    Output* out;
    const ImageView* view;
    const Closure* closure;
    int* notFound;
    bool inLibrary;
    bool firstFunction;
};

static void OpenLibrary(void* context, const BYTE* name, bool)
{
    ImportJson* j = static_cast<ImportJson*>(context);
    PutText(j->out, j->inLibrary ? "]},\n    {" : "\n    {");
    PutKey(j->out, "library");
    DWORD length = BytesLeft(j->view, name);
    PutAnsiString(j->out, name, length);
    if (j->closure) {
        // Looked up by the name the view shows, as a double-click would.
        wchar_t wide[NAME_UNITS] = L"";
        if (name)
            AnsiToWide(reinterpret_cast<const char*>(name), length, wide, NAME_UNITS);
        const wchar_t* path = ResolvedPath(j->closure, wide, j->notFound);
        PutNextKey(j->out, "path");
        PutStringOrNull(j->out, path[0] ? path : NULL);
    }
    PutNextKey(j->out, "functions");
    PutChar(j->out, '[');
    j->inLibrary = true;
    j->firstFunction = true;
}

static void PutFunction(void* context, const ImportedFunction* function)
{
    ImportJson* j = static_cast<ImportJson*>(context);
    Output* out = j->out;
    PutText(out, j->firstFunction ? "{" : ", {");
    j->firstFunction = false;
    PutKey(out, "by_ordinal");
    PutBool(out, function->byOrdinal);
    PutNextKey(out, "ordinal");
    if (function->byOrdinal)
        PutNumber(out, function->ordinal);
    else
        PutText(out, "null");
    bool named = !function->byOrdinal && function->hintRead;
    PutNextKey(out, "hint");
    if (named)
        PutNumber(out, function->hint);
    else
        PutText(out, "null");
    PutNextKey(out, "name");
    PutAnsiString(out, named ? function->name : NULL, BytesLeft(j->view, function->name));
    PutChar(out, '}');
}

void PutImports(Output* out, const ImageView* view, bool delay, const Closure* closure, int* notFound)
{
    ImportJson j = { out, view, closure, notFound, false, true };
    ImportVisitor visitor = { &j, OpenLibrary, PutFunction };
    PutChar(out, '[');
    WalkImports(view, delay, &visitor);
    PutText(out, j.inLibrary ? "]}\n  ]" : "]");
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

bool PutExports(Output* out, const ImageView* view)
{
    ExportJson e = { NULL, 0, 0, false };
    ExportVisitor visitor = { &e, AddSlot, AddName };
    if (!WalkExports(view, &visitor))
        e.outOfMemory = true;
    PutChar(out, '[');
    for (SIZE_T i = 0; i < e.count; ++i) {
        const ExportEntry* entry = &e.entries[i];
        PutText(out, i ? ",\n    {" : "\n    {");
        PutKey(out, "ordinal");
        PutNumber(out, entry->ordinal);
        PutNextKey(out, "name");
        PutAnsiString(out, entry->name, BytesLeft(view, entry->name));
        PutNextKey(out, "rva");
        DWORD length = 0;
        const BYTE* forwarder = NULL;
        if (entry->hasRva) {
            PutNumber(out, entry->rva);
            forwarder = ExportForwarder(view, entry->rva, 4 * ANSI_UNITS, &length, NULL);
        } else {
            PutText(out, "null");
        }
        PutNextKey(out, "forwarder");
        PutAnsiString(out, forwarder, length);
        PutChar(out, '}');
    }
    PutText(out, e.count ? "\n  ]" : "]");
    FreeTable(&e.entries, &e.room);
    return !e.outOfMemory;
}
