// What a finished closure tells: which libraries are needed at start, what
// each library's own start lacks, and the counts a verdict is made of.
#include "closure_walk.h"
#include "edge_index.h"
#include "../image/grow.h"

// The loader's needs at start, as edges: imports that are not delay-loaded,
// and the libraries that binding those imports reaches through forwarders.
// (A forwarding library needs its forwarders' targets only when someone
// binds a forwarded function; the hop says who.)
static ClosureEdge* StartNeeds(const Closure* out, int* count)
{
    SIZE_T room = static_cast<SIZE_T>(out->edgeCount) + out->hopCount + 1;
    ClosureEdge* needs = static_cast<ClosureEdge*>(HeapAlloc(GetProcessHeap(), 0, room * sizeof(ClosureEdge)));
    *count = 0;
    if (!needs)
        return NULL;
    for (int e = 0; e < out->edgeCount; ++e) {
        if (!out->edges[e].delay && !out->edges[e].forward)
            needs[(*count)++] = out->edges[e];
    }
    for (int h = 0; h < out->hopCount; ++h) {
        if (!out->hops[h].delay)
            needs[(*count)++] = out->hops[h];
    }
    return needs;
}

// Reachable from the root through the needs.
static void MarkNeeded(Closure* out, const ClosureEdge* needs, const EdgeIndex* bySource, int* queue)
{
    int head = 0, tail = 0;
    out->libraries[0].needed = true;
    queue[tail++] = 0;
    while (head < tail) {
        int from = queue[head++];
        for (int k = bySource->start[from]; k < bySource->start[from + 1]; ++k) {
            ClosureLibrary* to = &out->libraries[needs[bySource->order[k]].to];
            if (!to->needed) {
                to->needed = true;
                queue[tail++] = needs[bySource->order[k]].to;
            }
        }
    }
}

// What each library's start lacks: first what it lacks itself (a library
// it needs that is not found, else a function it imports that is missing),
// then, breadth first backwards along the needs, what those below it lack.
static void MarkLacks(Closure* out, const ClosureEdge* needs, const EdgeIndex* bySource, const EdgeIndex* byTarget,
                      int* queue)
{
    int* firstMissing = static_cast<int*>(HeapAlloc(GetProcessHeap(), 0, (out->count + 1) * sizeof(int)));
    if (!firstMissing) {
        out->outOfMemory = true;
        return;
    }
    for (int i = 0; i < out->count; ++i)
        firstMissing[i] = -1;
    for (int m = out->missingCount - 1; m >= 0; --m) {
        if (!out->missing[m].delay)
            firstMissing[out->missing[m].importer] = m;
    }
    int tail = 0;
    for (int i = 0; i < out->count; ++i) {
        ClosureLibrary* library = &out->libraries[i];
        for (int k = bySource->start[i]; k < bySource->start[i + 1] && library->lacksLibrary < 0; ++k) {
            int to = needs[bySource->order[k]].to;
            if (!out->libraries[to].path[0])
                library->lacksLibrary = to;
        }
        if (library->lacksLibrary < 0)
            library->lacksFunction = firstMissing[i];
        if (library->lacksLibrary >= 0 || library->lacksFunction >= 0) {
            library->lacksNeededBy = i;
            queue[tail++] = i;
        }
    }
    HeapFree(GetProcessHeap(), 0, firstMissing);
    for (int head = 0; head < tail; ++head) {
        const ClosureLibrary* below = &out->libraries[queue[head]];
        for (int k = byTarget->start[queue[head]]; k < byTarget->start[queue[head] + 1]; ++k) {
            int from = needs[byTarget->order[k]].from;
            ClosureLibrary* above = &out->libraries[from];
            if (above->lacksNeededBy >= 0)
                continue;
            above->lacksLibrary = below->lacksLibrary;
            above->lacksFunction = below->lacksFunction;
            above->lacksNeededBy = below->lacksNeededBy;
            queue[tail++] = from;
        }
    }
}

void FinishClosure(Closure* out)
{
    int count;
    ClosureEdge* needs = StartNeeds(out, &count);
    int* queue = static_cast<int*>(HeapAlloc(GetProcessHeap(), 0, (out->count + 1) * sizeof(int)));
    EdgeIndex bySource = {}, byTarget = {};
    if (needs && queue && IndexEdges(needs, count, out->count, false, &bySource) &&
        IndexEdges(needs, count, out->count, true, &byTarget)) {
        MarkNeeded(out, needs, &bySource, queue);
        MarkLacks(out, needs, &bySource, &byTarget, queue);
    } else {
        out->outOfMemory = true;
    }
    FreeEdgeIndex(&bySource);
    FreeEdgeIndex(&byTarget);
    if (queue)
        HeapFree(GetProcessHeap(), 0, queue);
    if (needs)
        HeapFree(GetProcessHeap(), 0, needs);
}

void FreeClosure(Closure* closure)
{
    FreeTable(&closure->libraries, &closure->libraryRoom);
    FreeTable(&closure->edges, &closure->edgeRoom);
    FreeTable(&closure->hops, &closure->hopRoom);
    FreeTable(&closure->missing, &closure->missingRoom);
    FreeTable(&closure->gaps, &closure->gapRoom);
    FreeTable(&closure->rootImports[0], &closure->rootImportRoom[0]);
    FreeTable(&closure->rootImports[1], &closure->rootImportRoom[1]);
    FreeTable(&closure->passed, &closure->passedRoom);
    FreeTable(&closure->rootNames, &closure->rootNameRoom);
    ZeroMemory(closure, sizeof *closure);
}

bool NeededAtStart(const Closure* closure, const MissingFunction* m)
{
    return !m->delay && closure->libraries[m->importer].needed;
}

int LibrariesMissingAtStart(const Closure* closure)
{
    int count = 0;
    for (int i = 1; i < closure->count; ++i) {
        if (closure->libraries[i].needed && !closure->libraries[i].path[0])
            ++count;
    }
    return count;
}

int FunctionsMissingAtStart(const Closure* closure)
{
    int count = 0;
    for (int m = 0; m < closure->missingCount; ++m) {
        if (NeededAtStart(closure, &closure->missing[m]))
            ++count;
    }
    return count;
}

bool MissingAtStart(const Closure* closure)
{
    return LibrariesMissingAtStart(closure) > 0 || FunctionsMissingAtStart(closure) > 0;
}

int FindImport(const Closure* closure, const wchar_t* name)
{
    for (int table = 0; table < 2; ++table) {
        for (int row = 0; row < closure->rootImportCount[table]; ++row) {
            const RootImport* entry = &closure->rootImports[table][row];
            if (!entry->isLibrary || entry->library < 0)
                continue;
            const wchar_t* imported = entry->otherName >= 0 ? closure->rootNames + entry->otherName
                                                             : closure->libraries[entry->library].name;
            if (SameName(imported, name))
                return entry->library;
        }
    }
    return -1;
}
