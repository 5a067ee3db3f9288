// The import lists' tips: how the loader finds a library, and why a row is
// marked. Every text comes from the string table.
#include "dependency_walk.h"
#include "resource_module.h"
#include "../res/resource.h"

static const int TIP_UNITS = 1024;   // INFOTIPSIZE
static const int FORMAT_UNITS = 64;

// `format` (a string of the table) with up to three texts, appended to `tip`
// on a line of its own.
static void AddLine(wchar_t* tip, UINT format, const wchar_t* a = L"", const wchar_t* b = L"")
{
    wchar_t loaded[FORMAT_UNITS];
    if (LoadStringW(GetResourceModule(), format, loaded, FORMAT_UNITS) <= 0)
        return;
    // Each text is cut so that the line fits wsprintfW's 1,024 units.
    wchar_t line[TIP_UNITS], first[MAX_PATH * 2], second[MAX_PATH * 2];
    lstrcpynW(first, a, MAX_PATH * 2);
    lstrcpynW(second, b, MAX_PATH * 2);
    wsprintfW(line, loaded, first, second);
    if (tip[0] && lstrlenW(tip) + 2 < TIP_UNITS)
        lstrcatW(tip, L"\r\n");
    int room = TIP_UNITS - lstrlenW(tip);
    if (room > 1)
        lstrcpynW(tip + lstrlenW(tip), line, room);
}

static const wchar_t* NameOf(const Closure* closure, int library)
{
    return closure->libraries[library].name;
}

// A function as a forwarder names it ("Name", "#7"), or as a tip tells it.
static void FunctionText(const MissingFunction* m, bool asForwarded, wchar_t* out)
{
    if (!m->byOrdinal) {
        lstrcpynW(out, m->name, CLOSURE_NAME_UNITS);
        return;
    }
    wchar_t format[FORMAT_UNITS] = L"#%u";
    if (!asForwarded)
        LoadStringW(GetResourceModule(), IDS_TIP_ORDINAL, format, FORMAT_UNITS);
    wsprintfW(out, format, m->ordinal);
}

// "NAME in LIBRARY, needed by IMPORTER", of a missing function; of a library
// when `m` is null.
static void AddLacking(wchar_t* tip, const Closure* closure, int library, const MissingFunction* m, int neededBy)
{
    wchar_t what[TIP_UNITS] = L"";
    if (m) {
        wchar_t function[CLOSURE_NAME_UNITS + 16];
        FunctionText(m, false, function);
        AddLine(what, IDS_TIP_FUNCTION_IN, function, NameOf(closure, m->library));
    } else {
        lstrcpynW(what, NameOf(closure, library), TIP_UNITS);
    }
    AddLine(tip, IDS_TIP_LACKS, what, NameOf(closure, neededBy));
}

// What a red function row lacks, or null; `gap` tells the records apart.
static const MissingFunction* RecordOf(const Closure* closure, const RootImport* entry, bool* gap)
{
    *gap = entry->verdict == IMPORT_FORWARD_MISSING;
    if (entry->detail < 0)
        return NULL;
    if (*gap)
        return entry->detail < closure->gapCount ? &closure->gaps[entry->detail] : NULL;
    bool red = entry->verdict == IMPORT_NOT_EXPORTED || entry->verdict == IMPORT_BAD_FORWARDER;
    return red && entry->detail < closure->missingCount ? &closure->missing[entry->detail] : NULL;
}

static void FunctionTip(wchar_t* tip, const Closure* closure, const RootImport* entry)
{
    bool gap;
    const MissingFunction* m = RecordOf(closure, entry, &gap);
    if (!m)
        return;
    wchar_t function[CLOSURE_NAME_UNITS + 16];
    FunctionText(m, true, function);
    if (entry->verdict == IMPORT_BAD_FORWARDER)
        AddLine(tip, IDS_TIP_BAD_FORWARDER, NameOf(closure, m->library));
    else if (gap || m->library != entry->library)
        AddLine(tip, IDS_TIP_FORWARD_MISSING, NameOf(closure, m->library), function);
    else
        AddLine(tip, IDS_TIP_NOT_EXPORTED, NameOf(closure, m->library));
}

static void LibraryTip(wchar_t* tip, const Closure* closure, const RootImport* rows, int count, int row, RowMark mark)
{
    int library = rows[row].library;
    const ClosureLibrary* found = &closure->libraries[library];
    if (found->path[0]) {
        AddLine(tip, IDS_FOUND_FIRST + found->how, found->path);
    } else {
        int passed = 0;
        while (passed < closure->passedCount && closure->passed[passed].library != library)
            ++passed;
        if (passed < closure->passedCount)
            AddLine(tip, IDS_TIP_PASSED_OVER, closure->passed[passed].file.path);
        else
            AddLine(tip, IDS_FOUND_LAST);
    }
    if (mark != MARK_LIBRARY_LACKS)
        return;
    // A function of its own first, else what its own start lacks.
    for (int next = row + 1; next < count && !rows[next].isLibrary; ++next) {
        bool gap;
        const MissingFunction* m = RecordOf(closure, &rows[next], &gap);
        if (m) {
            AddLacking(tip, closure, m->library, gap ? NULL : m, 0);
            return;
        }
    }
    if (found->lacksNeededBy >= 0) {
        const MissingFunction* m = found->lacksFunction >= 0 ? &closure->missing[found->lacksFunction] : NULL;
        AddLacking(tip, closure, found->lacksLibrary, m, found->lacksNeededBy);
    }
}

bool DependencyTip(HWND dialog, bool delay, int row, wchar_t* text, int units)
{
    if (units <= 0)
        return false;
    text[0] = L'\0';
    const Closure* closure = WalkedClosure(dialog);
    int table = delay ? 1 : 0;
    if (!closure || row < 0 || row >= closure->rootImportCount[table])
        return false;
    const RootImport* rows = closure->rootImports[table];
    RowMark mark = DependencyMark(dialog, delay, row);
    wchar_t tip[TIP_UNITS] = L"";
    if (rows[row].isLibrary && rows[row].library >= 0)
        LibraryTip(tip, closure, rows, closure->rootImportCount[table], row, mark);
    else if (mark == MARK_FUNCTION_MISSING)
        FunctionTip(tip, closure, &rows[row]);
    if (!tip[0])
        return false;
    if (delay && mark != MARK_NONE)
        AddLine(tip, IDS_TIP_DELAY);
    lstrcpynW(text, tip, units);
    return true;
}
