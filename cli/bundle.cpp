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
    // Another library of this name, from another folder, copied in this run:
    // its copy stays, --overwrite or not.
    const Bundled* namesake = NULL;
    for (int i = 0; i + 1 < run->listedCount && !namesake; ++i) {
        CopyResult result = run->listed[i].result;
        bool copied = result == COPY_DONE || result == COPY_SAME || result == COPY_REPLACED;
        if (copied && SameName(FileNameOf(run->listed[i].path), FileNameOf(path)))
            namesake = &run->listed[i];
    }
    if (run->copyTo && namesake) {
        lstrcpyW(entry->copied, namesake->copied);
        entry->result = COPY_KEPT;
        Complain(path, L"another library of that name was copied in this run: kept");
        run->kept = true;
    } else if (run->copyTo) {
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

// The libraries with an edge (an import or a forwarder) to a library: a
// library imported by many descriptors of one file is named once, in time
// linear in its edges.
struct Importers {
    const Closure* closure;
    EdgeIndex byTarget;
    int* seen;   // a stamp per library
    int stamp;
};

static void ForEachImporter(Importers* im, int i, void (*each)(void* context, const wchar_t* name), void* context)
{
    ++im->stamp;
    for (int k = im->byTarget.start[i]; k < im->byTarget.start[i + 1]; ++k) {
        int from = im->closure->edges[im->byTarget.order[k]].from;
        if (im->seen[from] == im->stamp)
            continue;
        im->seen[from] = im->stamp;
        each(context, im->closure->libraries[from].name);
    }
}

static void PutName(void* context, const wchar_t* name)
{
    StringValue(static_cast<JsonWriter*>(context), name);
}

static void NeededBy(JsonWriter* w, Importers* im, int i)
{
    BeginArray(w, JSON_INLINE);
    ForEachImporter(im, i, PutName, w);
    EndScope(w);
}

namespace {
struct MissingText {
    wchar_t text[2048];
    bool first;
};
}

static void AddName(void* context, const wchar_t* name)
{
    MissingText* m = static_cast<MissingText*>(context);
    if (lstrlenW(m->text) + lstrlenW(name) + 16 >= 2048)
        return;
    if (!m->first)
        lstrcatW(m->text, L", ");
    lstrcatW(m->text, name);
    m->first = false;
}

// "missing library X, needed by A, B" (or a function) on standard error.
static void TellMissing(const wchar_t* file, Importers* im)
{
    const Closure* closure = im->closure;
    MissingText m;
    wchar_t* text = m.text;
    for (int i = 1; i < closure->count; ++i) {
        if (closure->libraries[i].path[0])
            continue;
        wsprintfW(text, L"missing library %s, needed by ", closure->libraries[i].name);
        m.first = true;
        ForEachImporter(im, i, AddName, &m);
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

static void JsonMissing(JsonWriter* w, Importers* im)
{
    const Closure* closure = im->closure;
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
        NeededBy(w, im, i);
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

static void JsonLibrary(JsonWriter* w, Importers* im, int i, const Bundled* listed, bool copying)
{
    const ClosureLibrary* library = &im->closure->libraries[i];
    BeginObject(w, JSON_INLINE);
    Key(w, "name");
    StringValue(w, library->name);
    Key(w, "path");
    StringValue(w, library->path);
    WordField(w, "machine", MachineWord(library->machine));
    Key(w, "delay");
    BoolValue(w, !library->needed);
    Key(w, "needed_by");
    NeededBy(w, im, i);
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

bool PrintBundle(Printer* p, BundleRun* run, const wchar_t* file, const Closure* closure, bool json)
{
    Importers im = { closure, {}, NULL, 0 };
    im.seen = static_cast<int*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, (closure->count + 1) * sizeof(int)));
    if (!im.seen || !IndexEdges(closure->edges, closure->edgeCount, closure->count, true, &im.byTarget)) {
        FreeEdgeIndex(&im.byTarget);
        if (im.seen)
            HeapFree(GetProcessHeap(), 0, im.seen);
        p->form->failure(p, file, L"out of memory");
        return false;
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
            JsonLibrary(w, &im, i, listed, run->copyTo != NULL);
        else if (isNew && listed)
            TextLibrary(p->out, library, listed, run->copyTo != NULL);
        run->failed = run->failed || !listed;
    }
    if (json) {
        EndScope(w);
        JsonMissing(w, &im);
        p->form->endFile(p);
    }
    TellMissing(file, &im);
    FreeEdgeIndex(&im.byTarget);
    HeapFree(GetProcessHeap(), 0, im.seen);
    return true;
}

void FreeBundleRun(BundleRun* run)
{
    FreeTable(&run->listed, &run->listedRoom);
    run->listedCount = 0;
}
