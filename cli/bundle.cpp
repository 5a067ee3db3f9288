#include "bundle.h"
#include "print_deps.h"
#include "words.h"
#include "image/grow.h"
#include "loader/edge_index.h"
#include "loader/names.h"

// The run's record of the library at `path`, copied when new; null when
// memory runs out.
static Bundled* Listed(BundleRun* run, const wchar_t* path, bool* isNew)
{
    *isNew = false;
    for (int i = 0; i < run->listedCount; ++i) {
        if (SameName(run->listed[i].path, path))
            return &run->listed[i];
    }
    Bundled* entry = AppendItem(&run->listed, &run->listedCount, &run->listedRoom);
    if (!entry)
        return NULL;
    *isNew = true;
    lstrcpynW(entry->path, path, MAX_PATH);
    if (run->copyTo) {
        entry->result = CopyInto(path, run->copyTo, run->overwrite, entry->copied);
        if (entry->result == COPY_KEPT) {
            Complain(entry->copied, L"another file of that name is there: kept (--overwrite replaces it)");
            run->kept = true;
        } else if (entry->result == COPY_FAILED) {
            Complain(path, L"cannot be copied");
            run->failed = true;
        }
    }
    return entry;
}

// The libraries with an edge (an import or a forwarder) to library i, each once.
static void NeededBy(JsonWriter* w, const Closure* closure, const EdgeIndex* byTarget, int i)
{
    BeginArray(w, JSON_INLINE);
    for (int k = byTarget->start[i]; k < byTarget->start[i + 1]; ++k) {
        int from = closure->edges[byTarget->order[k]].from;
        bool again = false;
        for (int before = byTarget->start[i]; before < k && !again; ++before)
            again = closure->edges[byTarget->order[before]].from == from;
        if (!again)
            StringValue(w, closure->libraries[from].name);
    }
    EndScope(w);
}

// "missing library X, needed by A, B" (or a function) on standard error.
static void TellMissing(const wchar_t* file, const Closure* closure, const EdgeIndex* byTarget)
{
    wchar_t text[2048];
    for (int i = 1; i < closure->count; ++i) {
        if (closure->libraries[i].path[0])
            continue;
        wsprintfW(text, L"missing library %s, needed by ", closure->libraries[i].name);
        for (int k = byTarget->start[i]; k < byTarget->start[i + 1]; ++k) {
            const wchar_t* by = closure->libraries[closure->edges[byTarget->order[k]].from].name;
            if (lstrlenW(text) + lstrlenW(by) + 16 >= 2048)
                break;
            if (k > byTarget->start[i])
                lstrcatW(text, L", ");
            lstrcatW(text, by);
        }
        if (!closure->libraries[i].needed)
            lstrcatW(text, L" (delay)");
        Complain(file, text);
    }
    for (int m = 0; m < closure->missingCount; ++m) {
        const MissingFunction* missing = &closure->missing[m];
        wchar_t function[CLOSURE_NAME_UNITS + 16];
        if (missing->byOrdinal)
            wsprintfW(function, L"ordinal %u", missing->ordinal);
        else
            lstrcpynW(function, missing->name, CLOSURE_NAME_UNITS);
        wsprintfW(text, L"missing function %s in %s, needed by %s%s", function,
                  closure->libraries[missing->library].name, closure->libraries[missing->importer].name,
                  NeededAtStart(closure, missing) ? L"" : L" (delay)");
        Complain(file, text);
    }
}

static void JsonMissing(JsonWriter* w, const Closure* closure, const EdgeIndex* byTarget)
{
    Key(w, "missing");
    BeginArray(w, JSON_LINES);
    for (int i = 1; i < closure->count; ++i) {
        if (closure->libraries[i].path[0])
            continue;
        BeginObject(w, JSON_INLINE);
        Key(w, "library");
        StringValue(w, closure->libraries[i].name);
        Key(w, "function");
        NullValue(w);
        Key(w, "ordinal");
        NullValue(w);
        Key(w, "needed_by");
        NeededBy(w, closure, byTarget, i);
        Key(w, "delay");
        BoolValue(w, !closure->libraries[i].needed);
        EndScope(w);
    }
    for (int m = 0; m < closure->missingCount; ++m) {
        const MissingFunction* missing = &closure->missing[m];
        BeginObject(w, JSON_INLINE);
        Key(w, "library");
        StringValue(w, closure->libraries[missing->library].name);
        JsonMissingName(w, "function", missing);
        Key(w, "needed_by");
        BeginArray(w, JSON_INLINE);
        StringValue(w, closure->libraries[missing->importer].name);
        EndScope(w);
        Key(w, "delay");
        BoolValue(w, !NeededAtStart(closure, missing));
        EndScope(w);
    }
    EndScope(w);
}

static void JsonLibrary(JsonWriter* w, const Closure* closure, const EdgeIndex* byTarget, int i,
                        const Bundled* listed, bool copying)
{
    const ClosureLibrary* library = &closure->libraries[i];
    BeginObject(w, JSON_INLINE);
    Key(w, "name");
    StringValue(w, library->name);
    Key(w, "path");
    StringValue(w, library->path);
    WordField(w, "machine", MachineWord(library->machine));
    Key(w, "delay");
    BoolValue(w, !library->needed);
    Key(w, "needed_by");
    NeededBy(w, closure, byTarget, i);
    if (copying && listed) {
        Key(w, "copy");
        BeginObject(w, JSON_INLINE);
        Key(w, "to");
        StringValue(w, listed->copied[0] ? listed->copied : NULL);
        WordField(w, "result", CopyWord(listed->result));
        EndScope(w);
    }
    EndScope(w);
}

static void TextLibrary(Output* out, const ClosureLibrary* library, const Bundled* listed, bool copying)
{
    if (copying) {
        PutText(out, CopyWord(listed->result));
        PutChar(out, '\t');
        PutCell(out, library->path);
        PutChar(out, '\t');
        PutCell(out, listed->copied);
    } else {
        PutCell(out, library->path);
    }
    if (!library->needed)
        PutText(out, "\tdelay");
    PutChar(out, '\n');
}

void PrintBundle(Printer* p, BundleRun* run, const wchar_t* file, const Closure* closure, bool json)
{
    EdgeIndex byTarget = {};
    if (!IndexEdges(closure->edges, closure->edgeCount, closure->count, true, &byTarget)) {
        FreeEdgeIndex(&byTarget);
        p->form->failure(p, file, L"out of memory");
        Complain(file, L"out of memory");
        return;
    }
    JsonWriter* w = &p->json;
    if (json) {
        p->form->beginFile(p, file);
        Key(w, "bundle");
        BeginArray(w, JSON_LINES);
    }
    for (int i = 1; i < closure->count; ++i) {
        const ClosureLibrary* library = &closure->libraries[i];
        if (!library->path[0] || library->system)
            continue;
        bool isNew;
        const Bundled* listed = Listed(run, library->path, &isNew);
        if (json)
            JsonLibrary(w, closure, &byTarget, i, listed, run->copyTo != NULL);
        else if (isNew && listed)
            TextLibrary(p->out, library, listed, run->copyTo != NULL);
        run->failed = run->failed || !listed;
    }
    if (json) {
        EndScope(w);
        JsonMissing(w, closure, &byTarget);
        p->form->endFile(p);
    }
    TellMissing(file, closure, &byTarget);
    FreeEdgeIndex(&byTarget);
}

void FreeBundleRun(BundleRun* run)
{
    FreeTable(&run->listed, &run->listedRoom);
    run->listedCount = 0;
}
