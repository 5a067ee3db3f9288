#include "print_deps.h"
#include "words.h"
#include "../loader/edge_index.h"

struct DepsPrint {
    Printer* p;
    const Closure* closure;
    EdgeIndex importers;   // by target
    EdgeIndex targets;     // by source
};

static void PutJsonName(void* context, int other, bool)
{
    const DepsPrint* d = static_cast<const DepsPrint*>(context);
    StringValue(&d->p->json, d->closure->libraries[other].name);
}

static void PutTextName(void* context, int other, bool first)
{
    const DepsPrint* d = static_cast<const DepsPrint*>(context);
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
    // A file of its name that the search passed over, made for another machine.
    for (int p = 0; p < d->closure->passedCount; ++p) {
        const ClosurePassedOver* passed = &d->closure->passed[p];
        if (passed->library != i)
            continue;
        for (int n = 0; n < depth; ++n)
            PutText(out, "  ");
        PutText(out, "passed over: ");
        PutCell(out, passed->file.path);
        PutText(out, ", made for ");
        PutText(out, MachineWord(passed->file.machine));
        PutChar(out, '\n');
    }
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
            ForEachOtherEnd(&d->targets, i, EDGE_FORWARDS, PutTextName, d);
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
        // A library that only forwarders name is needed by whoever binds them.
        bool imported = false;
        for (int k = d->importers.start[i]; k < d->importers.start[i + 1] && !imported; ++k)
            imported = !closure->edges[d->importers.order[k]].forward;
        PutText(out, imported ? ", imported by " : ", forwarded to by ");
        ForEachOtherEnd(&d->importers, i, imported ? EDGE_IMPORTS : EDGE_FORWARDS, PutTextName, d);
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

void JsonMissingName(JsonWriter* w, const char* nameKey, const MissingFunction* missing)
{
    Key(w, nameKey);
    StringValue(w, missing->byOrdinal ? NULL : missing->name);
    Key(w, "ordinal");
    if (missing->byOrdinal)
        NumberValue(w, missing->ordinal);
    else
        NullValue(w);
}

static void JsonMissingFunction(JsonWriter* w, const Closure* closure, const MissingFunction* missing)
{
    BeginObject(w, JSON_INLINE);
    JsonMissingName(w, "name", missing);
    Key(w, "imported_by");
    StringValue(w, closure->libraries[missing->importer].name);
    Key(w, "delay");
    BoolValue(w, !NeededAtStart(closure, missing));
    EndScope(w);
}

static void JsonLibrary(DepsPrint* d, int i)
{
    JsonWriter* w = &d->p->json;
    const Closure* closure = d->closure;
    const ClosureLibrary* library = &closure->libraries[i];
    BeginObject(w, JSON_INLINE);
    Key(w, "name");
    StringValue(w, library->name);
    Key(w, "path");
    StringValue(w, library->path[0] ? library->path : NULL);
    WordField(w, "found_by", FoundByWord(library->how));
    Key(w, "system");
    BoolValue(w, library->system);
    WordField(w, "machine", library->path[0] ? MachineWord(library->machine) : NULL);
    NumberField(w, "depth", library->depth);
    Key(w, "delay");
    BoolValue(w, !library->needed);
    Key(w, "imported_by");
    BeginArray(w, JSON_INLINE);
    ForEachOtherEnd(&d->importers, i, EDGE_IMPORTS, PutJsonName, d);
    EndScope(w);
    Key(w, "forwarded_to");
    BeginArray(w, JSON_INLINE);
    ForEachOtherEnd(&d->targets, i, EDGE_FORWARDS, PutJsonName, d);
    EndScope(w);
    Key(w, "forwarded_by");
    BeginArray(w, JSON_INLINE);
    ForEachOtherEnd(&d->importers, i, EDGE_FORWARDS, PutJsonName, d);
    EndScope(w);
    Key(w, "passed_over");
    BeginArray(w, JSON_INLINE);
    for (int p = 0; p < closure->passedCount; ++p) {
        if (closure->passed[p].library != i)
            continue;
        BeginObject(w, JSON_INLINE);
        Key(w, "path");
        StringValue(w, closure->passed[p].file.path);
        WordField(w, "machine", MachineWord(closure->passed[p].file.machine));
        EndScope(w);
    }
    EndScope(w);
    Key(w, "missing_functions");
    BeginArray(w, JSON_INLINE);
    for (int m = 0; m < closure->missingCount; ++m) {
        if (closure->missing[m].library == i)
            JsonMissingFunction(w, closure, &closure->missing[m]);
    }
    EndScope(w);
    EndScope(w);
}

static void Json(DepsPrint* d, bool onlyMissing)
{
    JsonWriter* w = &d->p->json;
    Key(w, "missing_at_start");
    BoolValue(w, MissingAtStart(d->closure));
    Key(w, "cut");
    BoolValue(w, d->closure->cut);
    Key(w, "libraries");
    BeginArray(w, JSON_LINES);
    for (int i = 1; i < d->closure->count; ++i) {
        if (!onlyMissing || HasMissing(d->closure, i))
            JsonLibrary(d, i);
    }
    EndScope(w);
}

bool PrintDeps(Printer* p, const wchar_t* file, const Closure* closure, bool json, bool onlyMissing)
{
    bool printed = true;
    DepsPrint d = { p, closure, {}, {} };
    if (!IndexEdges(closure->edges, closure->edgeCount, closure->count, true, &d.importers) ||
        !IndexEdges(closure->edges, closure->edgeCount, closure->count, false, &d.targets)) {
        p->form->failure(p, file, L"out of memory");
        printed = false;
    } else if (json) {
        p->form->beginFile(p, file);
        Json(&d, onlyMissing);
        p->form->endFile(p);
    } else {
        p->form->beginFile(p, file);
        if (onlyMissing)
            TextMissing(&d);
        else
            TextTree(&d);
        if (closure->cut) {
            PutText(p->out, "cut: more than ");
            PutNumber(p->out, MAX_LIBRARIES);
            PutText(p->out, " libraries\n");
        }
    }
    FreeEdgeIndex(&d.importers);
    FreeEdgeIndex(&d.targets);
    return printed;
}
