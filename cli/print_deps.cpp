#include "print_deps.h"
#include "../loader/edge_index.h"

struct DepsPrint {
    Printer* p;
    const Closure* closure;
    EdgeIndex importers;   // by target
    EdgeIndex targets;     // by source
    int* seen;             // per library, the stamp of the last listing that named it
    int stamp;
};

// A count or an ordinal in decimal; by hand, since the C library's printf
// family brings a floating-point formatter this program has no use for.
static void PutNumber(Output* out, unsigned long value)
{
    char text[16];
    int at = sizeof text - 1;
    text[at] = '\0';
    do {
        text[--at] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0 && at > 0);
    PutText(out, text + at);
}

// Calls `each` for every distinct library at the other end of library i's
// edges of the kind asked (imports or forwards).
static void ForEachOther(DepsPrint* d, const EdgeIndex* index, int i, bool byTarget, bool forward,
                         void (*each)(const DepsPrint* d, int other, bool first))
{
    int* seen = d->seen;
    int stamp = ++d->stamp;
    bool first = true;
    for (int k = index->start[i]; k < index->start[i + 1]; ++k) {
        const ClosureEdge* edge = &d->closure->edges[index->order[k]];
        int other = byTarget ? edge->from : edge->to;
        if (edge->forward != forward || seen[other] == stamp)
            continue;
        seen[other] = stamp;
        each(d, other, first);
        first = false;
    }
}

static void PutJsonName(const DepsPrint* d, int other, bool first)
{
    if (!first)
        PutText(d->p->out, ", ");
    PutJsonString(d->p->out, d->closure->libraries[other].name);
}

static void PutTextName(const DepsPrint* d, int other, bool first)
{
    PutText(d->p->out, first ? "" : ", ");
    PutCell(d->p->out, d->closure->libraries[other].name);
}

static void PutFunction(Output* out, const MissingFunction* m)
{
    if (m->byOrdinal) {
        PutText(out, "ordinal ");
        PutNumber(out, m->ordinal);
    } else {
        PutCell(out, m->name);
    }
}

// The text lines of library i: itself, then its missing functions and the
// libraries it forwards to, indented one step deeper.
static void TextLibrary(DepsPrint* d, int i, int depth)
{
    Output* out = d->p->out;
    const ClosureLibrary* library = &d->closure->libraries[i];
    for (int n = 1; n < depth; ++n)
        PutText(out, "  ");
    PutCell(out, library->name);
    PutChar(out, '\t');
    PutText(out, FoundByWord(library->how));
    PutChar(out, '\t');
    PutCell(out, library->path[0] ? library->path : L"not found");
    if (!library->needed)
        PutText(out, "\tdelay");
    PutChar(out, '\n');
    for (int m = 0; m < d->closure->missingCount; ++m) {
        const MissingFunction* missing = &d->closure->missing[m];
        if (missing->library != i)
            continue;
        for (int n = 0; n < depth; ++n)
            PutText(out, "  ");
        PutText(out, "not found: ");
        PutFunction(out, missing);
        PutText(out, ", imported by ");
        PutCell(out, d->closure->libraries[missing->importer].name);
        if (missing->badForwarder)
            PutText(out, " (a forwarder that leads nowhere)");
        if (!NeededAtStart(d->closure, missing))
            PutText(out, "\tdelay");
        PutChar(out, '\n');
    }
    if (d->targets.start[i] < d->targets.start[i + 1]) {
        bool any = false;
        for (int k = d->targets.start[i]; k < d->targets.start[i + 1]; ++k)
            any = any || d->closure->edges[d->targets.order[k]].forward;
        if (any) {
            for (int n = 0; n < depth; ++n)
                PutText(out, "  ");
            PutText(out, "forwards to: ");
            ForEachOther(d, &d->targets, i, false, true, PutTextName);
            PutChar(out, '\n');
        }
    }
}

// The tree: each library under the one through which it was first reached,
// in the order found; walked with a stack of its own, however deep.
static void TextTree(DepsPrint* d)
{
    const Closure* closure = d->closure;
    HANDLE heap = GetProcessHeap();
    int* children = static_cast<int*>(HeapAlloc(heap, HEAP_ZERO_MEMORY, (closure->count + 2) * sizeof(int)));
    int* order = static_cast<int*>(HeapAlloc(heap, 0, (closure->count + 1) * sizeof(int)));
    int* stack = static_cast<int*>(HeapAlloc(heap, 0, (closure->count + 1) * sizeof(int)));
    if (children && order && stack) {
        for (int i = 1; i < closure->count; ++i)
            ++children[closure->libraries[i].parent + 2];
        for (int i = 2; i <= closure->count + 1; ++i)
            children[i] += children[i - 1];
        for (int i = 1; i < closure->count; ++i)
            order[children[closure->libraries[i].parent + 1]++] = i;
        // children[i] .. children[i + 1] - 1 are now library i's children.
        int top = 0;
        for (int k = children[1] - 1; k >= children[0]; --k)
            stack[top++] = order[k];
        while (top > 0) {
            int i = stack[--top];
            TextLibrary(d, i, closure->libraries[i].depth);
            for (int k = children[i + 1] - 1; k >= children[i]; --k)
                stack[top++] = order[k];
        }
    }
    if (children)
        HeapFree(heap, 0, children);
    if (order)
        HeapFree(heap, 0, order);
    if (stack)
        HeapFree(heap, 0, stack);
}

// Only what is missing, a line each.
static void TextMissing(DepsPrint* d)
{
    Output* out = d->p->out;
    const Closure* closure = d->closure;
    for (int i = 1; i < closure->count; ++i) {
        if (closure->libraries[i].path[0])
            continue;
        PutText(out, "missing library ");
        PutCell(out, closure->libraries[i].name);
        PutText(out, ", imported by ");
        ForEachOther(d, &d->importers, i, true, false, PutTextName);
        PutText(out, closure->libraries[i].needed ? "\n" : "\tdelay\n");
    }
    for (int m = 0; m < closure->missingCount; ++m) {
        const MissingFunction* missing = &closure->missing[m];
        PutText(out, "missing function ");
        PutFunction(out, missing);
        PutText(out, " in ");
        PutCell(out, closure->libraries[missing->library].name);
        PutText(out, ", imported by ");
        PutCell(out, closure->libraries[missing->importer].name);
        PutText(out, NeededAtStart(closure, missing) ? "\n" : "\tdelay\n");
    }
}

static bool HasMissing(const Closure* closure, int i)
{
    if (!closure->libraries[i].path[0])
        return true;
    for (int m = 0; m < closure->missingCount; ++m) {
        if (closure->missing[m].library == i)
            return true;
    }
    return false;
}

static void JsonLibrary(DepsPrint* d, int i, bool first)
{
    Output* out = d->p->out;
    const Closure* closure = d->closure;
    const ClosureLibrary* library = &closure->libraries[i];
    PutText(out, first ? "\n    {\"name\": " : ",\n    {\"name\": ");
    PutJsonString(out, library->name);
    PutText(out, ", \"path\": ");
    if (library->path[0])
        PutJsonString(out, library->path);
    else
        PutText(out, "null");
    PutText(out, ", \"found_by\": \"");
    PutText(out, FoundByWord(library->how));
    PutText(out, "\", \"depth\": ");
    PutNumber(out, library->depth);
    PutText(out, library->needed ? ", \"delay\": false" : ", \"delay\": true");
    PutText(out, ", \"imported_by\": [");
    ForEachOther(d, &d->importers, i, true, false, PutJsonName);
    PutText(out, "], \"forwarded_to\": [");
    ForEachOther(d, &d->targets, i, false, true, PutJsonName);
    PutText(out, "], \"missing_functions\": [");
    bool firstMissing = true;
    for (int m = 0; m < closure->missingCount; ++m) {
        const MissingFunction* missing = &closure->missing[m];
        if (missing->library != i)
            continue;
        PutText(out, firstMissing ? "{\"name\": " : ", {\"name\": ");
        firstMissing = false;
        if (missing->byOrdinal)
            PutText(out, "null, \"ordinal\": ");
        else
            PutJsonString(out, missing->name);
        if (missing->byOrdinal)
            PutNumber(out, missing->ordinal);
        else
            PutText(out, ", \"ordinal\": null");
        PutText(out, ", \"imported_by\": ");
        PutJsonString(out, closure->libraries[missing->importer].name);
        PutText(out, NeededAtStart(closure, missing) ? ", \"delay\": false}" : ", \"delay\": true}");
    }
    PutText(out, "]}");
}

static void Json(DepsPrint* d, bool onlyMissing)
{
    Output* out = d->p->out;
    PutText(out, ",\n  \"missing_at_start\": ");
    PutText(out, MissingAtStart(d->closure) ? "true" : "false");
    PutText(out, ",\n  \"cut\": ");
    PutText(out, d->closure->cut ? "true" : "false");
    PutText(out, ",\n  \"libraries\": [");
    bool first = true;
    for (int i = 1; i < d->closure->count; ++i) {
        if (onlyMissing && !HasMissing(d->closure, i))
            continue;
        JsonLibrary(d, i, first);
        first = false;
    }
    PutText(out, first ? "]}" : "\n  ]}");
}

void PrintDeps(Printer* p, const wchar_t* file, const Closure* closure, bool json, bool onlyMissing)
{
    DepsPrint d = { p, closure, {}, {}, NULL, 0 };
    d.seen = static_cast<int*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, (closure->count + 1) * sizeof(int)));
    if (!d.seen || !IndexEdges(closure->edges, closure->edgeCount, closure->count, true, &d.importers) ||
        !IndexEdges(closure->edges, closure->edgeCount, closure->count, false, &d.targets)) {
        p->form->failure(p, file, L"out of memory");
    } else if (json) {
        p->form->beginFile(p, file);
        Json(&d, onlyMissing);
    } else {
        p->form->beginFile(p, file);
        if (onlyMissing)
            TextMissing(&d);
        else
            TextTree(&d);
        if (closure->cut)
            PutText(p->out, "cut: more than 10000 libraries\n");
    }
    FreeEdgeIndex(&d.importers);
    FreeEdgeIndex(&d.targets);
    if (d.seen)
        HeapFree(GetProcessHeap(), 0, d.seen);
}
