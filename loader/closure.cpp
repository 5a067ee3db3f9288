#include "closure.h"
#include <string.h>
#include <wchar.h>
#include "api_set.h"
#include "../image/export_lookup.h"
#include "../image/grow.h"
#include "../image/import_walk.h"
#include "../image/resource_dir.h"
#include "../image/text_format.h"

// Libraries by file name, for "already loaded" and for finding a library
// again: open addressing over lower-cased (ASCII) names.
const DWORD HASH_SLOTS = 32768;   // a power of two, over twice MAX_LIBRARIES

// Room for a name an export is looked up by.
const int LOOKUP_BYTES = 512;

struct Walk {
    const LoaderFacts* facts;
    Closure* out;
    int* slots;   // library index + 1; 0 for an empty slot
    wchar_t programFolder[MAX_PATH];
    AssemblyRef programAssemblies[MAX_ASSEMBLIES];
    int programAssemblyCount;
    // The importer being walked and the library of its current descriptor.
    int importer;
    Importer who;
    AssemblyRef assemblies[2 * MAX_ASSEMBLIES];
    int target;
    bool delay;
    // The last library whose forwarders were followed, as an importer: a
    // library forwards many functions, its manifest is read once.
    int forwarder;
    Importer forwarderWho;
    AssemblyRef forwarderAssemblies[2 * MAX_ASSEMBLIES];
};

static const wchar_t* FileName(const wchar_t* path)
{
    const wchar_t* name = path;
    for (const wchar_t* c = path; *c; ++c) {
        if (*c == L'\\' || *c == L'/')
            name = c + 1;
    }
    return name;
}

static bool SameName(const wchar_t* a, const wchar_t* b)
{
    return CompareStringOrdinal(a, -1, b, -1, TRUE) == CSTR_EQUAL;
}

static DWORD HashName(const wchar_t* name)
{
    DWORD hash = 2166136261u;
    for (; *name; ++name) {
        wchar_t c = *name >= L'A' && *name <= L'Z' ? static_cast<wchar_t>(*name + 32) : *name;
        hash = (hash ^ c) * 16777619u;
    }
    return hash;
}

// The name a library is filed under: its file's name, or the name looked for.
static const wchar_t* KeyOf(const ClosureLibrary* library)
{
    return library->path[0] ? FileName(library->path) : library->name;
}

// The first library filed under `name` (and at `path`, unless null), or -1.
static int FindByName(const Walk* walk, const wchar_t* name, const wchar_t* path)
{
    for (DWORD slot = HashName(name) & (HASH_SLOTS - 1);; slot = (slot + 1) & (HASH_SLOTS - 1)) {
        int index = walk->slots[slot] - 1;
        if (index < 0)
            return -1;
        const ClosureLibrary* library = &walk->out->libraries[index];
        if (SameName(KeyOf(library), name) && (!path || SameName(library->path, path)))
            return index;
    }
}

static void File(Walk* walk, int index)
{
    DWORD slot = HashName(KeyOf(&walk->out->libraries[index])) & (HASH_SLOTS - 1);
    while (walk->slots[slot])
        slot = (slot + 1) & (HASH_SLOTS - 1);
    walk->slots[slot] = index + 1;
}

static bool FindLoaded(void* context, const wchar_t* name, wchar_t* path)
{
    const Walk* walk = static_cast<const Walk*>(context);
    int found = FindByName(walk, name, NULL);
    if (found < 0 || !walk->out->libraries[found].path[0])
        return false;
    lstrcpyW(path, walk->out->libraries[found].path);
    return true;
}

static void MapLibrary(const LoaderFacts* facts, ClosureLibrary* library)
{
    const BYTE* bytes;
    DWORD size;
    if (!library->path[0] || !facts->probe.map(facts->probe.context, library->path, &bytes, &size, &library->token))
        return;
    if (!InitImageView(&library->view, bytes, size)) {
        facts->probe.release(facts->probe.context, library->token);
        return;
    }
    BuildSectionIndex(&library->view);
    library->mapped = true;
    library->machine = NtWord(&library->view, NT_MACHINE);
}

static void UnmapLibrary(const LoaderFacts* facts, ClosureLibrary* library)
{
    if (!library->mapped)
        return;
    FreeSectionIndex(&library->view);
    facts->probe.release(facts->probe.context, library->token);
    library->mapped = false;
}

// The library that `resolution` names for `name`, added when new; -1 when the
// closure is full.
static int FindOrAdd(Walk* walk, const wchar_t* name, const Resolution* resolution, int from)
{
    Closure* out = walk->out;
    const wchar_t* key = resolution->path[0] ? FileName(resolution->path) : name;
    int found = FindByName(walk, key, resolution->path[0] ? resolution->path : NULL);
    if (found >= 0)
        return found;
    void* block = out->libraries;
    if (out->count >= MAX_LIBRARIES) {
        out->cut = true;
        return -1;
    }
    if (!GrowBlock(&block, &out->libraryRoom, out->count + 1, sizeof(ClosureLibrary))) {
        out->outOfMemory = true;
        return -1;
    }
    out->libraries = static_cast<ClosureLibrary*>(block);
    ClosureLibrary* library = &out->libraries[out->count];
    ZeroMemory(library, sizeof *library);
    lstrcpynW(library->name, name, CLOSURE_NAME_UNITS);
    lstrcpyW(library->path, resolution->path);
    library->how = resolution->how;
    library->parent = from;
    library->depth = from >= 0 ? out->libraries[from].depth + 1 : 0;
    MapLibrary(walk->facts, library);
    File(walk, out->count);
    return out->count++;
}

static void AddEdge(Walk* walk, int from, int to, bool delay, bool forward)
{
    Closure* out = walk->out;
    // A forwarder repeats for every function it serves: its edge once.
    if (forward) {
        for (int e = out->edgeCount - 1; e >= 0 && e >= out->edgeCount - 8; --e) {
            const ClosureEdge* edge = &out->edges[e];
            if (edge->forward && edge->from == from && edge->to == to && edge->delay == delay)
                return;
        }
    }
    void* block = out->edges;
    if (!GrowBlock(&block, &out->edgeRoom, out->edgeCount + 1, sizeof(ClosureEdge))) {
        out->outOfMemory = true;
        return;
    }
    out->edges = static_cast<ClosureEdge*>(block);
    ClosureEdge edge = { from, to, delay, forward };
    out->edges[out->edgeCount++] = edge;
}

static void AddMissing(Walk* walk, int library, const char* name, bool byOrdinal, WORD ordinal, bool bad)
{
    Closure* out = walk->out;
    void* block = out->missing;
    if (!GrowBlock(&block, &out->missingRoom, out->missingCount + 1, sizeof(MissingFunction))) {
        out->outOfMemory = true;
        return;
    }
    out->missing = static_cast<MissingFunction*>(block);
    MissingFunction* m = &out->missing[out->missingCount++];
    ZeroMemory(m, sizeof *m);
    m->library = library;
    m->importer = walk->importer;
    m->byOrdinal = byOrdinal;
    m->ordinal = ordinal;
    if (!byOrdinal)
        AnsiToWide(name, static_cast<DWORD>(strlen(name)), m->name, CLOSURE_NAME_UNITS);
    m->delay = walk->delay;
    m->badForwarder = bad;
}

// The side-by-side assemblies of library `index`: its own manifest (resource
// 1 for a program, 2 for a library, else a NAME.manifest file beside it),
// then the program's, which holds for the whole process.
static int ReadAssemblies(const LoaderFacts* facts, const ClosureLibrary* library, AssemblyRef* out, int room)
{
    if (!library->mapped)
        return 0;
    bool isLibrary = (NtWord(&library->view, NT_CHARACTERISTICS) & IMAGE_FILE_DLL) != 0;
    DWORD size;
    const BYTE* text = FindResourceData(&library->view, 24, isLibrary ? 2 : 1, &size);   // RT_MANIFEST
    if (text)
        return ReadManifestDependencies(text, size, out, room);
    wchar_t beside[MAX_PATH];
    if (lstrlenW(library->path) + 9 >= MAX_PATH)
        return 0;
    lstrcpyW(beside, library->path);
    lstrcatW(beside, L".manifest");
    const BYTE* bytes;
    void* token;
    if (!facts->probe.map(facts->probe.context, beside, &bytes, &size, &token))
        return 0;
    int count = ReadManifestDependencies(bytes, size, out, room);
    facts->probe.release(facts->probe.context, token);
    return count;
}

// `who` for library `index` as an importer, its assemblies in `assemblies`.
static void SetUpImporter(Walk* walk, int index, Importer* who, AssemblyRef* assemblies)
{
    const ClosureLibrary* library = &walk->out->libraries[index];
    // The program's manifest is read once, for the whole process.
    int own = index == 0 && walk->programAssemblyCount > 0
                  ? 0
                  : ReadAssemblies(walk->facts, library, assemblies, MAX_ASSEMBLIES);
    CopyMemory(assemblies + own, walk->programAssemblies, walk->programAssemblyCount * sizeof(AssemblyRef));
    Importer importer = { FileName(library->path), library->machine, walk->programFolder, assemblies,
                          own + walk->programAssemblyCount, FindLoaded, walk };
    *who = importer;
}

static void BecomeImporter(Walk* walk, int index)
{
    walk->importer = index;
    SetUpImporter(walk, index, &walk->who, walk->assemblies);
}

// Resolves `name` for the current importer and files what it finds.
static int Reach(Walk* walk, const wchar_t* name, bool delay, bool forward)
{
    Resolution resolution;
    ResolveLibrary(walk->facts, &walk->who, name, &resolution);
    int found = FindOrAdd(walk, name, &resolution, walk->importer);
    if (found >= 0)
        AddEdge(walk, walk->importer, found, delay, forward);
    return found;
}

static void OnLibrary(void* context, const BYTE* name, bool delay)
{
    Walk* walk = static_cast<Walk*>(context);
    const ImageView* view = &walk->out->libraries[walk->importer].view;
    walk->delay = delay;
    walk->target = -1;
    if (!name)
        return;
    wchar_t wide[CLOSURE_NAME_UNITS];
    AnsiToWide(reinterpret_cast<const char*>(name), ImageBytesLeft(view, name), wide, CLOSURE_NAME_UNITS);
    walk->target = Reach(walk, wide, delay, false);
}

// Follows a forwarder "LIBRARY.Name" or "LIBRARY.#ordinal" out of library
// `from`: the library it names, and the function there. -1 when the text
// names no library or the library is not there.
static int FollowForwarder(Walk* walk, int from, const char* text, char* name, bool* byOrdinal, WORD* ordinal)
{
    const char* dot = strrchr(text, '.');
    size_t libraryBytes = dot - text;
    if (libraryBytes == 0 || libraryBytes >= CLOSURE_NAME_UNITS || dot[1] == '\0')
        return -2;
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
                return -2;
            value = value * 10 + (*c - '0');
        }
        if (value > 0xFFFF)
            return -2;
        *ordinal = static_cast<WORD>(value);
    } else {
        lstrcpynA(name, dot + 1, LOOKUP_BYTES);
    }
    // The forwarding library is the importer of its target.
    if (walk->forwarder != from) {
        SetUpImporter(walk, from, &walk->forwarderWho, walk->forwarderAssemblies);
        walk->forwarder = from;
    }
    Resolution resolution;
    ResolveLibrary(walk->facts, &walk->forwarderWho, library, &resolution);
    int target = FindOrAdd(walk, library, &resolution, from);
    if (target >= 0)
        AddEdge(walk, from, target, walk->delay, true);
    return target;
}

// Looks the function up in library `library`, following forwarders.
static void CheckFunction(Walk* walk, int library, char* name, WORD hint, bool byOrdinal, WORD ordinal)
{
    for (int hop = 0; hop <= MAX_FORWARD_HOPS; ++hop) {
        const ClosureLibrary* target = &walk->out->libraries[library];
        if (!target->mapped)
            return;   // not found, or not readable: the library's own report says so
        ExportTarget found;
        ExportLookup result = byOrdinal ? FindExportByOrdinal(&target->view, ordinal, &found)
                                        : FindExportByName(&target->view, name, hint, &found);
        if (result == EXPORT_FOUND)
            return;
        if (result != EXPORT_FORWARDED) {
            AddMissing(walk, library, name, byOrdinal, ordinal, result == EXPORT_BAD_FORWARDER);
            return;
        }
        int next = FollowForwarder(walk, library, found.forwarder, name, &byOrdinal, &ordinal);
        if (next == -2) {
            AddMissing(walk, library, name, byOrdinal, ordinal, true);
            return;
        }
        if (next < 0)
            return;
        library = next;
        hint = 0;
    }
    AddMissing(walk, library, name, byOrdinal, ordinal, true);
}

static void OnFunction(void* context, const ImportedFunction* function)
{
    Walk* walk = static_cast<Walk*>(context);
    if (walk->target < 0)
        return;
    char name[LOOKUP_BYTES] = "";
    if (!function->byOrdinal) {
        if (!function->hintRead)
            return;   // an entry whose name cannot be read names nothing to look for
        const ImageView* view = &walk->out->libraries[walk->importer].view;
        DWORD length = ImageStringLength(view, function->name);
        if (length >= LOOKUP_BYTES)
            length = LOOKUP_BYTES - 1;
        memcpy(name, function->name, length);
        name[length] = '\0';
    }
    CheckFunction(walk, walk->target, name, function->hint, function->byOrdinal, function->ordinal);
}

// What is needed at start: reachable from the root through imports that are
// not delay-loaded.
static void MarkNeeded(Closure* out)
{
    out->libraries[0].needed = true;
    for (bool changed = true; changed;) {
        changed = false;
        for (int e = 0; e < out->edgeCount; ++e) {
            const ClosureEdge* edge = &out->edges[e];
            if (!edge->delay && out->libraries[edge->from].needed && !out->libraries[edge->to].needed)
                out->libraries[edge->to].needed = changed = true;
        }
    }
}

bool BuildClosure(const LoaderFacts* facts, const wchar_t* root, Closure* out)
{
    ZeroMemory(out, sizeof *out);
    Walk walk = {};
    walk.facts = facts;
    walk.out = out;
    walk.forwarder = -1;
    if (lstrlenW(root) >= MAX_PATH)
        return false;
    walk.slots = static_cast<int*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, HASH_SLOTS * sizeof(int)));
    if (!walk.slots)
        return false;
    Resolution self = {};
    lstrcpyW(self.path, root);
    self.how = FOUND_BY_APPLICATION_FOLDER;
    FindOrAdd(&walk, FileName(root), &self, -1);
    if (out->count == 0 || !out->libraries[0].mapped) {
        HeapFree(GetProcessHeap(), 0, walk.slots);
        FreeClosure(out);
        return false;
    }
    // A library given by its full path stands in for the program: its folder
    // is the program's folder.
    lstrcpyW(walk.programFolder, root);
    *const_cast<wchar_t*>(FileName(walk.programFolder)) = L'\0';
    const ClosureLibrary* program = &out->libraries[0];
    if (!(NtWord(&program->view, NT_CHARACTERISTICS) & IMAGE_FILE_DLL))
        walk.programAssemblyCount = ReadAssemblies(facts, program, walk.programAssemblies, MAX_ASSEMBLIES);
    else
        walk.programAssemblyCount = 0;

    ImportVisitor visitor = { &walk, OnLibrary, OnFunction };
    // Breadth first: the array grows while it is walked.
    for (int i = 0; i < out->count; ++i) {
        if (!out->libraries[i].mapped)
            continue;
        BecomeImporter(&walk, i);
        WalkImports(&out->libraries[i].view, false, &visitor);
        WalkImports(&out->libraries[i].view, true, &visitor);
    }
    MarkNeeded(out);
    HeapFree(GetProcessHeap(), 0, walk.slots);
    for (int i = 0; i < out->count; ++i)
        UnmapLibrary(facts, &out->libraries[i]);
    return true;
}

void FreeClosure(Closure* closure)
{
    void* block = closure->libraries;
    FreeBlock(&block, &closure->libraryRoom);
    block = closure->edges;
    FreeBlock(&block, &closure->edgeRoom);
    block = closure->missing;
    FreeBlock(&block, &closure->missingRoom);
    ZeroMemory(closure, sizeof *closure);
}

bool NeededAtStart(const Closure* closure, const MissingFunction* m)
{
    return !m->delay && closure->libraries[m->importer].needed;
}

bool MissingAtStart(const Closure* closure)
{
    for (int i = 1; i < closure->count; ++i) {
        if (closure->libraries[i].needed && !closure->libraries[i].path[0])
            return true;
    }
    for (int m = 0; m < closure->missingCount; ++m) {
        if (NeededAtStart(closure, &closure->missing[m]))
            return true;
    }
    return false;
}

int FindImport(const Closure* closure, const wchar_t* name)
{
    for (int e = 0; e < closure->edgeCount; ++e) {
        const ClosureEdge* edge = &closure->edges[e];
        if (edge->from == 0 && !edge->forward && SameName(closure->libraries[edge->to].name, name))
            return edge->to;
    }
    return -1;
}
