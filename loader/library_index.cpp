// The closure's libraries by file name, for "already loaded" and for finding
// a library again, and the records the walk adds to the closure.
#include "closure_walk.h"
#include <string.h>
#include "../image/grow.h"
#include "../image/text_format.h"
#include "names.h"

// Open addressing over lower-cased (ASCII) names.
const DWORD HASH_SLOTS = 32768;   // a power of two, over twice MAX_LIBRARIES

bool AllocateIndex(ClosureWalk* walk)
{
    walk->slots = static_cast<int*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, HASH_SLOTS * sizeof(int)));
    return walk->slots != NULL;
}

void FreeIndex(ClosureWalk* walk)
{
    if (walk->slots)
        HeapFree(GetProcessHeap(), 0, walk->slots);
    walk->slots = NULL;
}

// The name a library is filed under: its file's name, or the name looked for.
static const wchar_t* KeyOf(const ClosureLibrary* library)
{
    return library->path[0] ? FileNameOf(library->path) : library->name;
}

// The first library filed under `name` (and at `path`, unless null), or -1.
static int FindByName(const ClosureWalk* walk, const wchar_t* name, const wchar_t* path)
{
    for (DWORD slot = NameHash(name) & (HASH_SLOTS - 1);; slot = (slot + 1) & (HASH_SLOTS - 1)) {
        int index = walk->slots[slot] - 1;
        if (index < 0)
            return -1;
        const ClosureLibrary* library = &walk->out->libraries[index];
        if (SameName(KeyOf(library), name) && (!path || SameName(library->path, path)))
            return index;
    }
}

static void FileUnderName(ClosureWalk* walk, int index)
{
    DWORD slot = NameHash(KeyOf(&walk->out->libraries[index])) & (HASH_SLOTS - 1);
    while (walk->slots[slot])
        slot = (slot + 1) & (HASH_SLOTS - 1);
    walk->slots[slot] = index + 1;
}

bool FindLoaded(void* context, const wchar_t* name, wchar_t* path)
{
    const ClosureWalk* walk = static_cast<const ClosureWalk*>(context);
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

void UnmapLibrary(const LoaderFacts* facts, ClosureLibrary* library)
{
    if (!library->mapped)
        return;
    FreeSectionIndex(&library->view);
    facts->probe.release(facts->probe.context, library->token);
    library->mapped = false;
}

// Appends a zeroed item to one of the closure's tables; null, noted in the
// closure, when memory runs out.
template <typename T> static T* Append(Closure* out, T** items, int* count, SIZE_T* room)
{
    T* item = AppendItem(items, count, room);
    out->outOfMemory = out->outOfMemory || !item;
    return item;
}

static void AddPassedOver(ClosureWalk* walk, int library, const Resolution* resolution)
{
    Closure* out = walk->out;
    for (int p = 0; p < resolution->passedCount; ++p) {
        ClosurePassedOver* passed = Append(out, &out->passed, &out->passedCount, &out->passedRoom);
        if (!passed)
            return;
        passed->library = library;
        passed->file = resolution->passed[p];
    }
}

int FindOrAdd(ClosureWalk* walk, const wchar_t* name, const Resolution* resolution, int from)
{
    Closure* out = walk->out;
    const wchar_t* key = resolution->path[0] ? FileNameOf(resolution->path) : name;
    int found = FindByName(walk, key, resolution->path[0] ? resolution->path : NULL);
    if (found >= 0)
        return found;
    if (out->count >= MAX_LIBRARIES) {
        out->cut = true;
        return -1;
    }
    ClosureLibrary* library = Append(out, &out->libraries, &out->count, &out->libraryRoom);
    if (!library)
        return -1;
    lstrcpynW(library->name, name, CLOSURE_NAME_UNITS);
    lstrcpyW(library->path, resolution->path);
    library->how = resolution->how;
    library->system = library->path[0] && FoundInSystem(walk->facts, library->how, library->path);
    library->parent = from;
    library->depth = from >= 0 ? out->libraries[from].depth + 1 : 0;
    library->lacksLibrary = library->lacksFunction = library->lacksNeededBy = -1;
    MapLibrary(walk->facts, library);
    int index = out->count - 1;
    FileUnderName(walk, index);
    AddPassedOver(walk, index, resolution);
    return index;
}

// An edge repeats for every function it serves: it is added once when one
// of the last few is the same.
static bool Repeats(const ClosureEdge* edges, int count, const ClosureEdge* edge)
{
    for (int e = count - 1; e >= 0 && e >= count - 8; --e) {
        if (edges[e].from == edge->from && edges[e].to == edge->to && edges[e].delay == edge->delay &&
            edges[e].forward == edge->forward)
            return true;
    }
    return false;
}

void AddEdge(ClosureWalk* walk, int from, int to, bool delay, bool forward)
{
    Closure* out = walk->out;
    ClosureEdge edge = { from, to, delay, forward };
    if (forward && Repeats(out->edges, out->edgeCount, &edge))
        return;
    ClosureEdge* added = Append(out, &out->edges, &out->edgeCount, &out->edgeRoom);
    if (added)
        *added = edge;
}

void AddHop(ClosureWalk* walk, int importer, int to, bool delay)
{
    Closure* out = walk->out;
    ClosureEdge hop = { importer, to, delay, true };
    if (Repeats(out->hops, out->hopCount, &hop))
        return;
    ClosureEdge* added = Append(out, &out->hops, &out->hopCount, &out->hopRoom);
    if (added)
        *added = hop;
}

// Where `name` is kept in the closure's pool of the root's other import
// names; -1 when memory runs out (noted).
static int KeepRootName(Closure* out, const wchar_t* name)
{
    int units = lstrlenW(name) + 1;
    if (!GrowTable(&out->rootNames, &out->rootNameRoom, static_cast<SIZE_T>(out->rootNameUnits) + units)) {
        out->outOfMemory = true;
        return -1;
    }
    int at = out->rootNameUnits;
    CopyMemory(out->rootNames + at, name, units * sizeof(wchar_t));
    out->rootNameUnits += units;
    return at;
}

void AddRootImport(ClosureWalk* walk, const wchar_t* libraryName, int library, ImportVerdict verdict, int detail)
{
    Closure* out = walk->out;
    int table = walk->delay ? 1 : 0;
    RootImport* row = Append(out, &out->rootImports[table], &out->rootImportCount[table], &out->rootImportRoom[table]);
    if (!row)
        return;
    row->library = library;
    row->detail = detail;
    row->isLibrary = libraryName != NULL;
    row->verdict = verdict;
    row->otherName = -1;
    if (libraryName && library >= 0 && !SameName(libraryName, out->libraries[library].name))
        row->otherName = KeepRootName(out, libraryName);
}

int AddMissing(Closure* out, MissingFunction** list, int* count, SIZE_T* room, const MissingFunction* m)
{
    MissingFunction* added = Append(out, list, count, room);
    if (!added)
        return -1;
    *added = *m;
    return *count - 1;
}
