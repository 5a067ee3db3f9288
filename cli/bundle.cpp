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

// The libraries with an edge (an import or a forwarder) to library i.
struct Importers {
    const Closure* closure;
    EdgeIndex byTarget;
    JsonWriter* w;
};

static void PutName(void* context, int other, bool)
{
    Importers* im = static_cast<Importers*>(context);
    StringValue(im->w, im->closure->libraries[other].name);
}

static void NeededBy(JsonWriter* w, Importers* im, int i)
{
    BeginArray(w, JSON_INLINE);
    im->w = w;
    ForEachOtherEnd(&im->byTarget, i, EDGE_ANY, PutName, im);
    EndScope(w);
}

namespace {
struct MissingText {
    const Closure* closure;
    wchar_t text[2048];
};
}

static void AddName(void* context, int other, bool first)
{
    MissingText* m = static_cast<MissingText*>(context);
    const wchar_t* name = m->closure->libraries[other].name;
    if (lstrlenW(m->text) + lstrlenW(name) + 16 >= 2048)
        return;
    if (!first)
        lstrcatW(m->text, L", ");
    lstrcatW(m->text, name);
}

// "missing library X, needed by A, B" (or a function) on standard error.
static void TellMissing(const wchar_t* file, Importers* im)
{
    const Closure* closure = im->closure;
    MissingText m;
    m.closure = closure;
    wchar_t* text = m.text;
    for (int i = 1; i < closure->count; ++i) {
        if (closure->libraries[i].path[0])
            continue;
        wsprintfW(text, L"missing library %s, needed by ", closure->libraries[i].name);
        ForEachOtherEnd(&im->byTarget, i, EDGE_ANY, AddName, &m);
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
    Importers im = { closure, {}, NULL };
    if (!IndexEdges(closure->edges, closure->edgeCount, closure->count, true, &im.byTarget)) {
        FreeEdgeIndex(&im.byTarget);
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
    return true;
}

void FreeBundleRun(BundleRun* run)
{
    FreeTable(&run->listed, &run->listedRoom);
    run->listedCount = 0;
}
