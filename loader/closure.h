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
    WORD machine;
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

struct Closure {
    ClosureLibrary* libraries;   // [0] is the root
    int count;
    SIZE_T libraryRoom;
    ClosureEdge* edges;
    int edgeCount;
    SIZE_T edgeRoom;
    MissingFunction* missing;
    int missingCount;
    SIZE_T missingRoom;
    bool cut;           // MAX_LIBRARIES reached: libraries past it are left out
    bool outOfMemory;
};

// Walks the closure of the image at `root` (a full path). False when the root
// cannot be read as a PE image.
bool BuildClosure(const LoaderFacts* facts, const wchar_t* root, Closure* out);
void FreeClosure(Closure* closure);

// True when something needed at start is missing: a library, or a function
// imported without delay loading by a library needed at start.
bool MissingAtStart(const Closure* closure);
// Whether missing function `m` is needed at start.
bool NeededAtStart(const Closure* closure, const MissingFunction* m);

// The library that the root's own import of `name` leads to, or -1.
int FindImport(const Closure* closure, const wchar_t* name);
