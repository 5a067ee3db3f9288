// A program's dependency closure as the loader would load it: every library
// once, how it is found, which functions it lacks, and where forwarded
// exports lead. Each library is mapped and read once per walk.
#pragma once
#include <windows.h>
#include "resolve.h"
#include "../image/image_view.h"

// Bounds against hostile files: libraries in one closure, and forwarders
// followed for one imported function.
const int MAX_LIBRARIES = 10000;
const int MAX_FORWARD_HOPS = 16;
// Room for a library's or a function's name, terminator included.
const int CLOSURE_NAME_UNITS = 260;

struct ClosureLibrary {
    wchar_t name[CLOSURE_NAME_UNITS];   // as first imported (the root: its file name)
    wchar_t path[MAX_PATH];             // empty when not found
    FoundBy how;
    int depth;        // 0 for the root, 1 for what it imports
    int parent;       // the library through which it was first reached; -1 for the root
    bool needed;      // reached from the root without a delay-load import: needed at start
    bool system;      // found where the system keeps its own (FoundInSystem); else the program's to ship
    WORD machine;
    // What this library's own start lacks, itself or anywhere below it: the
    // first missing library or missing function found (-1 for none), and the
    // library that needs it. Both -1 when it would load whole.
    int lacksLibrary;
    int lacksFunction;
    int lacksNeededBy;
    // While the walk runs: the mapped image (released when it ends).
    bool mapped;
    ImageView view;
    void* token;
};

// One library importing another (or forwarding an export to it).
struct ClosureEdge {
    int from;
    int to;
    bool delay;       // a delay-load import
    bool forward;     // an export of `from` forwarded to `to`
};

struct MissingFunction {
    int library;      // where it was looked for (at the end of the forwarders followed)
    int importer;
    bool byOrdinal;
    WORD ordinal;
    wchar_t name[CLOSURE_NAME_UNITS];   // by name
    bool delay;       // imported through a delay-load import
    bool badForwarder;  // a forwarder that leads nowhere: no dot, no end, too long or too many hops
};

// What became of one row of the root's own import tables.
enum ImportVerdict {
    IMPORT_RESOLVED,         // a library found, or a function it exports
    IMPORT_NOT_FOUND,        // a library the loader would not find
    IMPORT_UNRESOLVED,       // a library whose name does not resolve or that the closure's bound left out
    IMPORT_UNCHECKED,        // a function of such a library, or of one not found
    IMPORT_NOT_EXPORTED,     // a function not exported (detail: its missing record)
    IMPORT_BAD_FORWARDER,    // forwarded, but the forwarder leads nowhere (detail: its missing record)
    IMPORT_FORWARD_MISSING,  // forwarded to a library that is not found (detail: its gap record)
};

// One descriptor or thunk entry of the root, in the order the table holds
// them: row for row what the import views list.
struct RootImport {
    int library;      // the library the descriptor leads to; -1 when none
    int detail;       // per verdict, an index into `missing` or `gaps`; -1 otherwise
    int otherName;    // a library row imported under another name than the library's: where in `rootNames`; else -1
    bool isLibrary;
    ImportVerdict verdict;
};

// A file passed over in the search for library `library`.
struct ClosurePassedOver {
    int library;
    PassedOver file;
};

struct Closure {
    ClosureLibrary* libraries;   // [0] is the root
    int count;
    SIZE_T libraryRoom;
    ClosureEdge* edges;
    int edgeCount;
    SIZE_T edgeRoom;
    // An importer whose lookups reached a library through forwarders: `from`
    // is the importer, `to` the library the forwarder named. The loader loads
    // that library when it binds the importer.
    ClosureEdge* hops;
    int hopCount;
    SIZE_T hopRoom;
    MissingFunction* missing;
    int missingCount;
    SIZE_T missingRoom;
    // Functions of the root forwarded into a library that is not found:
    // `library` is that library, the name or ordinal the one asked of it.
    MissingFunction* gaps;
    int gapCount;
    SIZE_T gapRoom;
    // The root's imports [0] and delay imports [1].
    RootImport* rootImports[2];
    int rootImportCount[2];
    SIZE_T rootImportRoom[2];
    // The root's import names that differ from their library's name, each
    // ended by a NUL. Only such names are kept: a file naming one library
    // many times under one name adds nothing.
    wchar_t* rootNames;
    int rootNameUnits;
    SIZE_T rootNameRoom;
    // Files of a library's name passed over for another machine.
    ClosurePassedOver* passed;
    int passedCount;
    SIZE_T passedRoom;
    bool cut;           // MAX_LIBRARIES reached: libraries past it are left out
    bool outOfMemory;
};

// Walks the closure of the image at `root` (a full path). False when the root
// cannot be read as a PE image.
bool BuildClosure(const LoaderFacts* facts, const wchar_t* root, Closure* out);
void FreeClosure(Closure* closure);

// The same walk in steps, for a caller that must answer between them: a
// walk begun goes on with StepClosure until it says it is complete, and is
// ended with EndClosure, complete or not (which releases what it mapped).
// `facts` and `out` must outlive the walk. BeginClosure gives null when the
// root cannot be read as a PE image (`out` is then empty).
struct ClosureWalk;
ClosureWalk* BeginClosure(const LoaderFacts* facts, const wchar_t* root, Closure* out);
// Does about `units` of work (a thunk entry is one, a library's search a
// few dozen); true once the closure is complete. The root's own imports
// come first, so FindImport answers once RootImportsWalked does.
bool StepClosure(ClosureWalk* walk, int units);
bool RootImportsWalked(const ClosureWalk* walk);
void EndClosure(ClosureWalk* walk);

// True when something needed at start is missing: a library, or a function
// imported without delay loading by a library needed at start.
bool MissingAtStart(const Closure* closure);
// Whether missing function `m` is needed at start.
bool NeededAtStart(const Closure* closure, const MissingFunction* m);
// Libraries needed at start that are not found, and missing functions
// needed at start.
int LibrariesMissingAtStart(const Closure* closure);
int FunctionsMissingAtStart(const Closure* closure);

// The library that the root's own import of `name` leads to, or -1; by any
// of the names the root imports it under (API sets of one host, "kernel32"
// and "KERNEL32.dll").
int FindImport(const Closure* closure, const wchar_t* name);
