// The walk behind a closure, shared by the files that make it: the walk
// itself (closure_walk), the libraries by name (library_index), the
// forwarders' hops (forwarders) and what the finished graph tells
// (closure_verdict).
#pragma once
#include "closure.h"
#include "names.h"
#include "../image/import_walk.h"

// Room for a name an export is looked up by.
const int LOOKUP_BYTES = 512;

// A library as an importer: what the search needs of it.
struct ImporterSetup {
    int library;                          // -1 while none
    wchar_t name[MAX_PATH];               // its file name, kept apart: the library table moves as it grows
    Importer importer;
    AssemblyRef assemblies[2 * MAX_ASSEMBLIES];
};

enum WalkPhase {
    PHASE_NEXT_LIBRARY,   // about to take library `current`
    PHASE_IMPORTS,
    PHASE_DELAY_IMPORTS,
    PHASE_COMPLETE,
};

struct ClosureWalk {
    const LoaderFacts* facts;
    Closure* out;
    int* slots;   // library index + 1; 0 for an empty slot
    wchar_t programFolder[MAX_PATH];
    AssemblyRef programAssemblies[MAX_ASSEMBLIES];
    int programAssemblyCount;
    // Breadth first: the library table grows while it is walked.
    int current;
    WalkPhase phase;
    ImageView view;          // of the current library
    ImportCursor cursor;
    int units;               // work left in this step
    ImporterSetup importer;  // the current library
    int target;              // the library of its current descriptor, -1 for none
    bool delay;
    // The last library whose forwarders were followed, as an importer: a
    // library forwards many functions, its manifest is read once.
    ImporterSetup forwarder;
};

// What a search costs in work units, against a thunk entry's one.
const int SEARCH_UNITS = 32;

// The slots of the name index; false when memory runs out.
bool AllocateIndex(ClosureWalk* walk);
void FreeIndex(ClosureWalk* walk);
// The library that `resolution` names for `name`, added (and mapped) when
// new, reached from library `from`; -1 when the closure is full.
int FindOrAdd(ClosureWalk* walk, const wchar_t* name, const Resolution* resolution, int from);
// For the search's "already loaded" step: the path of a library of this
// file name found before.
bool FindLoaded(void* context, const wchar_t* name, wchar_t* path);
void UnmapLibrary(const LoaderFacts* facts, ClosureLibrary* library);

// Records what the graph is made of; each sets outOfMemory when it cannot.
// A row of the root's imports: a library row under the name it was imported
// by (`libraryName`), or a function row (null).
void AddRootImport(ClosureWalk* walk, const wchar_t* libraryName, int library, ImportVerdict verdict, int detail);
void AddEdge(ClosureWalk* walk, int from, int to, bool delay, bool forward);
void AddHop(ClosureWalk* walk, int importer, int to, bool delay);
// The missing function's record, -1 when none could be made.
int AddMissing(Closure* out, MissingFunction** list, int* count, SIZE_T* room, const MissingFunction* m);

// Makes `setup` stand for library `index` as an importer, its manifest read.
void SetUpImporter(ClosureWalk* walk, int index, ImporterSetup* setup);

// Looks a function imported by the current importer up in library
// `library`, following forwarders; `name` (LOOKUP_BYTES) is overwritten as
// they lead on. The verdict, with the record it made in `*detail`.
ImportVerdict CheckFunction(ClosureWalk* walk, int library, char* name, WORD hint, bool byOrdinal, WORD ordinal,
                            int* detail);

// Once the walk is complete: who is needed at start, and what each
// library's own start lacks.
void FinishClosure(Closure* out);
