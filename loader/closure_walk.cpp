// The walk: breadth first from the root, each library's imports and then its
// delay imports, in steps of bounded work.
#include "closure_walk.h"
#include <string.h>
#include "../image/resource_dir.h"
#include "../image/text_format.h"

// The side-by-side assemblies of a library: its own manifest (resource 1 for
// a program, 2 for a library, else a NAME.manifest file beside it).
static int ReadAssemblies(const LoaderFacts* facts, const ClosureLibrary* library, AssemblyRef* out, int room)
{
    if (!library->mapped)
        return 0;
    bool isLibrary = (NtWord(&library->view, NT_CHARACTERISTICS) & IMAGE_FILE_DLL) != 0;
    ByteSpan text = FindResourceData(&library->view, RESOURCE_MANIFEST, isLibrary ? 2 : 1);
    if (text.base)
        return ReadManifestDependencies(&text, out, room);
    wchar_t beside[MAX_PATH];
    if (lstrlenW(library->path) + 9 >= MAX_PATH)
        return 0;
    lstrcpyW(beside, library->path);
    lstrcatW(beside, L".manifest");
    ByteSpan file;
    void* token;
    if (!facts->probe.map(facts->probe.context, beside, &file.base, &file.size, &token))
        return 0;
    int count = ReadManifestDependencies(&file, out, room);
    facts->probe.release(facts->probe.context, token);
    return count;
}

void SetUpImporter(ClosureWalk* walk, int index, ImporterSetup* setup)
{
    const ClosureLibrary* library = &walk->out->libraries[index];
    // The program's manifest holds for the whole process, and is read once.
    int own = index == 0 && walk->programAssemblyCount > 0
                  ? 0
                  : ReadAssemblies(walk->facts, library, setup->assemblies, MAX_ASSEMBLIES);
    CopyMemory(setup->assemblies + own, walk->programAssemblies, walk->programAssemblyCount * sizeof(AssemblyRef));
    setup->library = index;
    lstrcpyW(setup->name, FileNameOf(library->path));
    Importer importer = { setup->name, library->machine, walk->programFolder, setup->assemblies,
                          own + walk->programAssemblyCount, FindLoaded, walk };
    setup->importer = importer;
}

static void OnLibrary(ClosureWalk* walk, const BYTE* name)
{
    walk->target = -1;
    ImportVerdict verdict = IMPORT_UNRESOLVED;
    wchar_t wide[CLOSURE_NAME_UNITS] = L"";
    if (name) {
        AnsiToWide(reinterpret_cast<const char*>(name), BytesLeft(&walk->view, name), wide, CLOSURE_NAME_UNITS);
        Resolution resolution;
        ResolveLibrary(walk->facts, &walk->importer.importer, wide, &resolution);
        walk->units -= SEARCH_UNITS;
        int found = FindOrAdd(walk, wide, &resolution, walk->current);
        if (found >= 0) {
            AddEdge(walk, walk->current, found, walk->delay, false);
            walk->target = found;
            verdict = walk->out->libraries[found].path[0] ? IMPORT_RESOLVED : IMPORT_NOT_FOUND;
        }
    }
    if (walk->current == 0)
        AddRootImport(walk, wide, walk->target, verdict, -1);
}

static void OnFunction(ClosureWalk* walk, const ImportedFunction* function)
{
    ImportVerdict verdict = IMPORT_UNCHECKED;
    int detail = -1;
    // An entry whose name cannot be read names nothing to look for.
    if (walk->target >= 0 && (function->byOrdinal || function->hintRead)) {
        char name[LOOKUP_BYTES] = "";
        if (!function->byOrdinal) {
            DWORD length = StringLength(&walk->view, function->name);
            if (length >= LOOKUP_BYTES)
                length = LOOKUP_BYTES - 1;
            memcpy(name, function->name, length);
            name[length] = '\0';
        }
        verdict = CheckFunction(walk, walk->target, name, function->hint, function->byOrdinal, function->ordinal,
                                &detail);
    }
    if (walk->current == 0)
        AddRootImport(walk, NULL, walk->target, verdict, detail);
}

ClosureWalk* BeginClosure(const LoaderFacts* facts, const wchar_t* root, Closure* out)
{
    ZeroMemory(out, sizeof *out);
    if (lstrlenW(root) >= MAX_PATH)
        return NULL;
    ClosureWalk* walk = static_cast<ClosureWalk*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(ClosureWalk)));
    if (!walk)
        return NULL;
    walk->facts = facts;
    walk->out = out;
    walk->forwarder.library = -1;
    walk->importer.library = -1;
    if (!AllocateIndex(walk)) {
        EndClosure(walk);
        return NULL;
    }
    Resolution self = {};
    lstrcpyW(self.path, root);
    self.how = FOUND_BY_APPLICATION_FOLDER;
    FindOrAdd(walk, FileNameOf(root), &self, -1);
    if (out->count == 0 || !out->libraries[0].mapped) {
        EndClosure(walk);
        FreeClosure(out);
        return NULL;
    }
    // A library given by its full path stands in for the program: its folder
    // is the program's folder.
    lstrcpyW(walk->programFolder, root);
    *const_cast<wchar_t*>(FileNameOf(walk->programFolder)) = L'\0';
    const ClosureLibrary* program = &out->libraries[0];
    if (!(NtWord(&program->view, NT_CHARACTERISTICS) & IMAGE_FILE_DLL))
        walk->programAssemblyCount = ReadAssemblies(facts, program, walk->programAssemblies, MAX_ASSEMBLIES);
    return walk;
}

// Takes library `current` as the importer; false when it cannot be read.
static bool TakeLibrary(ClosureWalk* walk)
{
    const ClosureLibrary* library = &walk->out->libraries[walk->current];
    if (!library->mapped)
        return false;
    walk->view = library->view;
    SetUpImporter(walk, walk->current, &walk->importer);
    walk->units -= SEARCH_UNITS;
    walk->delay = false;
    walk->target = -1;
    BeginImports(&walk->view, false, &walk->cursor);
    return true;
}

bool StepClosure(ClosureWalk* walk, int units)
{
    walk->units = units;
    Closure* out = walk->out;
    while (walk->phase != PHASE_COMPLETE && walk->units > 0) {
        if (walk->phase == PHASE_NEXT_LIBRARY) {
            if (walk->current >= out->count) {
                FinishClosure(out);
                walk->phase = PHASE_COMPLETE;
            } else if (TakeLibrary(walk)) {
                walk->phase = PHASE_IMPORTS;
            } else {
                ++walk->current;
            }
            continue;
        }
        ImportItem item;
        if (NextImport(&walk->view, &walk->cursor, &item)) {
            --walk->units;
            if (item.isLibrary)
                OnLibrary(walk, item.library);
            else
                OnFunction(walk, &item.function);
        } else if (walk->phase == PHASE_IMPORTS) {
            walk->phase = PHASE_DELAY_IMPORTS;
            walk->delay = true;
            walk->target = -1;
            BeginImports(&walk->view, true, &walk->cursor);
        } else {
            walk->phase = PHASE_NEXT_LIBRARY;
            ++walk->current;
        }
    }
    return walk->phase == PHASE_COMPLETE;
}

bool RootImportsWalked(const ClosureWalk* walk)
{
    return walk->current > 0 || walk->phase == PHASE_COMPLETE;
}

void EndClosure(ClosureWalk* walk)
{
    if (!walk)
        return;
    FreeIndex(walk);
    for (int i = 0; i < walk->out->count; ++i)
        UnmapLibrary(walk->facts, &walk->out->libraries[i]);
    HeapFree(GetProcessHeap(), 0, walk);
}

bool BuildClosure(const LoaderFacts* facts, const wchar_t* root, Closure* out)
{
    ClosureWalk* walk = BeginClosure(facts, root, out);
    if (!walk)
        return false;
    while (!StepClosure(walk, 1 << 30)) {
    }
    EndClosure(walk);
    return true;
}
