#include "dependency_walk.h"
#include "caption.h"
#include "resource_module.h"
#include "../host/system_facts.h"
#include "../res/resource.h"

// The walk's next slice: posted while nothing waits for the user, or after
// the shortest timer when input or painting does, which then go first.
static const UINT WM_WALK_STEP = WM_APP + 1;
static const UINT_PTR WALK_TIMER = 0x5741;
// Work done between two looks at the clock, and the time a slice may take.
static const int SLICE_UNITS = 1024;
static const double SLICE_MS = 30.0;

struct DependencyWalk {
    wchar_t path[MAX_PATH];   // the image to walk; empty when there is none
    Closure closure;
    ClosureWalk* walk;     // while under way
    bool complete;
    UINT generation;       // told apart from a dropped walk's messages
    bool timerSet;         // a WM_TIMER without it is a dropped walk's, left in the queue
    ListMarks marks[2];    // imports, delay imports
};

// Kept in the dialog's user data, read whenever a row of an import list is
// drawn (a window property would cost a trip to the window server under Wine).
static DependencyWalk* WalkOf(HWND dialog)
{
    return reinterpret_cast<DependencyWalk*>(GetWindowLongPtrW(dialog, DWLP_USER));
}

// The system's facts, read once per process; the viewer's own current
// folder plays no part.
static const LoaderFacts* Facts()
{
    static LoaderFacts facts;
    static bool gathered;
    if (!gathered) {
        GatherSystemFacts(&facts, NULL, NULL, false);
        gathered = true;
    }
    return &facts;
}

void AttachDependencyWalk(HWND dialog)
{
    void* state = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(DependencyWalk));
    SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
}

void DetachDependencyWalk(HWND dialog)
{
    DependencyWalk* state = WalkOf(dialog);
    if (!state)
        return;
    DropDependencyWalk(dialog);
    SetWindowLongPtrW(dialog, DWLP_USER, 0);
    HeapFree(GetProcessHeap(), 0, state);
}

void DropDependencyWalk(HWND dialog)
{
    DependencyWalk* state = WalkOf(dialog);
    if (!state)
        return;
    ++state->generation;
    KillTimer(dialog, WALK_TIMER);
    state->timerSet = false;
    EndClosure(state->walk);
    state->walk = NULL;
    state->path[0] = L'\0';
    state->complete = false;
    FreeClosure(&state->closure);
    FreeRowMarks(&state->marks[0]);
    FreeRowMarks(&state->marks[1]);
    SetCaptionVerdict(dialog, L"");
}

void StartDependencyWalk(HWND dialog, const wchar_t* path)
{
    DependencyWalk* state = WalkOf(dialog);
    if (!state)
        return;
    DropDependencyWalk(dialog);
    DWORD units = GetFullPathNameW(path, MAX_PATH, state->path, NULL);
    if (units == 0 || units >= MAX_PATH) {
        state->path[0] = L'\0';
        return;
    }
    PostMessageW(dialog, WM_WALK_STEP, state->generation, 0);
}

// The walk under way; begun on first use, so that opening a file costs no
// more than the message. Null when the image cannot be walked.
static ClosureWalk* Walk(DependencyWalk* state)
{
    if (!state->walk && !state->complete && state->path[0]) {
        state->walk = BeginClosure(Facts(), state->path, &state->closure);
        if (!state->walk)
            state->path[0] = L'\0';
    }
    return state->walk;
}

static bool IsRed(ImportVerdict verdict)
{
    return verdict == IMPORT_NOT_EXPORTED || verdict == IMPORT_BAD_FORWARDER || verdict == IMPORT_FORWARD_MISSING;
}

// The marks of one import list, row for row.
static void MarkRows(const Closure* closure, int table, ListMarks* marks)
{
    int count = closure->rootImportCount[table];
    if (!ResetRowMarks(marks, count))
        return;
    int header = -1;
    for (int row = 0; row < count; ++row) {
        const RootImport* entry = &closure->rootImports[table][row];
        if (entry->isLibrary) {
            header = row;
            if (entry->verdict == IMPORT_NOT_FOUND)
                marks->marks[row] = MARK_LIBRARY_MISSING;
            else if (entry->verdict == IMPORT_RESOLVED && closure->libraries[entry->library].lacksNeededBy >= 0)
                marks->marks[row] = MARK_LIBRARY_LACKS;
        } else if (IsRed(entry->verdict)) {
            marks->marks[row] = MARK_FUNCTION_MISSING;
            if (header >= 0 && marks->marks[header] == MARK_NONE)
                marks->marks[header] = MARK_LIBRARY_LACKS;
        }
    }
}

// " — 1 library missing, 2 functions missing", or nothing.
static void ShowVerdict(HWND dialog, const Closure* closure)
{
    HMODULE resources = GetResourceModule();
    int counts[2] = { LibrariesMissingAtStart(closure), FunctionsMissingAtStart(closure) };
    const UINT formats[2] = { IDS_VERDICT_LIBRARY, IDS_VERDICT_FUNCTION };
    wchar_t verdict[4 * 64] = L"";
    for (int k = 0; k < 2; ++k) {
        if (counts[k] == 0)
            continue;
        wchar_t format[64], part[64 + 16];
        LoadStringW(resources, verdict[0] ? IDS_VERDICT_JOIN : IDS_VERDICT_PREFIX, format, 64);
        lstrcatW(verdict, format);
        LoadStringW(resources, formats[k] + (counts[k] > 1 ? 1 : 0), format, 64);
        wsprintfW(part, format, counts[k]);
        lstrcatW(verdict, part);
    }
    SetCaptionVerdict(dialog, verdict);
}

static void Complete(HWND dialog, DependencyWalk* state)
{
    EndClosure(state->walk);   // nothing stays mapped
    state->walk = NULL;
    state->complete = true;
    MarkRows(&state->closure, 0, &state->marks[0]);
    MarkRows(&state->closure, 1, &state->marks[1]);
    InvalidateRect(GetDlgItem(dialog, IDC_LIST_IMPORTS), NULL, FALSE);
    InvalidateRect(GetDlgItem(dialog, IDC_LIST_DELAY), NULL, FALSE);
    ShowVerdict(dialog, &state->closure);
}

static double NowMs()
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

static void Step(HWND dialog, DependencyWalk* state)
{
    // What is waiting to be painted (the rows just filled) is painted first.
    RedrawWindow(dialog, NULL, NULL, RDW_UPDATENOW | RDW_ALLCHILDREN);
    double start = NowMs();
    while (Walk(state)) {
        if (StepClosure(state->walk, SLICE_UNITS)) {
            Complete(dialog, state);
            return;
        }
        if (NowMs() - start >= SLICE_MS)
            break;
    }
    if (!state->walk)
        return;
    if (HIWORD(GetQueueStatus(QS_INPUT | QS_PAINT)) != 0)
        state->timerSet = SetTimer(dialog, WALK_TIMER, USER_TIMER_MINIMUM, NULL) != 0;
    else
        PostMessageW(dialog, WM_WALK_STEP, state->generation, 0);
}

bool OnDependencyWalkMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    bool step = message == WM_WALK_STEP;
    bool timer = message == WM_TIMER && wParam == WALK_TIMER;
    if (!step && !timer)
        return false;
    DependencyWalk* state = WalkOf(dialog);
    bool ours = step && state && wParam == state->generation;
    if (timer) {
        KillTimer(dialog, WALK_TIMER);
        ours = state && state->timerSet;
        if (state)
            state->timerSet = false;
    }
    // A dropped walk's message finds another generation, or no walk.
    if (ours && !state->complete)
        Step(dialog, state);
    return true;
}

bool DependencyWalkUnderWay(HWND dialog)
{
    DependencyWalk* state = WalkOf(dialog);
    return state && !state->complete && (state->walk || state->path[0]);
}

const Closure* WalkedClosure(HWND dialog)
{
    DependencyWalk* state = WalkOf(dialog);
    return state && state->complete ? &state->closure : NULL;
}

RowMark DependencyMark(HWND dialog, bool delay, int row)
{
    DependencyWalk* state = WalkOf(dialog);
    return state ? RowMarkAt(&state->marks[delay ? 1 : 0], row) : MARK_NONE;
}

bool FindImportedLibrary(HWND dialog, const wchar_t* name, wchar_t* found)
{
    found[0] = L'\0';
    DependencyWalk* state = WalkOf(dialog);
    if (!state || (!Walk(state) && !state->complete))
        return false;
    // The image's own imports are walked first, and answer this.
    while (state->walk && !RootImportsWalked(state->walk)) {
        if (StepClosure(state->walk, SLICE_UNITS))
            Complete(dialog, state);
    }
    int library = FindImport(&state->closure, name);
    if (library >= 0)
        lstrcpyW(found, state->closure.libraries[library].path);
    return found[0] != L'\0';
}
