#include "find_rows.h"
#include <commctrl.h>
#include <commdlg.h>
#include <dlgs.h>
#include <wchar.h>
#include "caption.h"
#include "list_sink.h"
#include "resource_module.h"
#include "../image/views.h"
#include "../res/resource.h"

static const int FIND_UNITS = 256;
static const UINT_PTR NOTE_TIMER = 0x4649;
static const UINT NOTE_MS = 4000;
static const wchar_t MAIN_DIALOG_PROP[] = L"modview.find";

struct FindState {
    HHOOK hook;
    int dialogs;          // main dialogs alive in this thread
    bool filtering;       // inside the hook: IsDialogMessageW calls it again
    HWND owner;           // the main dialog the find dialog belongs to
    HWND finder;          // the find dialog, NULL while closed
    FINDREPLACEW request; // must live as long as the find dialog
    wchar_t text[FIND_UNITS];   // kept across files and find dialogs
    DWORD flags;          // FR_DOWN, FR_MATCHCASE, FR_WHOLEWORD of the last search
    HWND noted;           // the dialog whose caption carries the note, or NULL
};

static FindState state = { NULL, 0, false, NULL, NULL, {}, {}, FR_DOWN, NULL };

static bool IsWordUnit(wchar_t unit)
{
    return unit == L'_' || IsCharAlphaNumericW(unit);
}

// `cell` is upper-cased in place unless the case must match; `text` is
// upper-cased already in that case.
static bool CellMatches(wchar_t* cell, int length, const wchar_t* text, int textLength, const FindQuery* query)
{
    if (length < textLength)
        return false;
    if (!query->matchCase)
        CharUpperBuffW(cell, static_cast<DWORD>(length));
    for (const wchar_t* at = wcsstr(cell, text); at; at = wcsstr(at + 1, text)) {
        if (!query->wholeWord)
            return true;
        if ((at == cell || !IsWordUnit(at[-1])) && !IsWordUnit(at[textLength]))
            return true;
    }
    return false;
}

int FindRow(HWND list, int from, const FindQuery* query)
{
    int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    int columns = ColumnCount(list);
    int textLength = lstrlenW(query->text);
    if (rows <= 0 || columns <= 0 || textLength <= 0 || textLength >= FIND_UNITS)
        return -1;
    wchar_t text[FIND_UNITS];
    lstrcpyW(text, query->text);
    if (!query->matchCase)
        CharUpperBuffW(text, static_cast<DWORD>(textLength));
    wchar_t* cell = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, CELL_UNITS * sizeof(wchar_t)));
    if (!cell)
        return -1;
    if (from < -1 || from >= rows)
        from = -1;
    if (from < 0 && !query->down)
        from = rows;
    int step = query->down ? 1 : -1;
    int found = -1;
    for (int i = 1; i <= rows && found < 0; ++i) {
        int row = ((from + step * i) % rows + rows) % rows;
        for (int column = 0; column < columns; ++column) {
            int length = GetCell(list, row, column, cell, CELL_UNITS);
            if (CellMatches(cell, length, text, textLength, query)) {
                found = row;
                break;
            }
        }
    }
    HeapFree(GetProcessHeap(), 0, cell);
    return found;
}

void SelectFoundRow(HWND list, int row)
{
    // The lists select one row at a time: selecting this one clears the other.
    LVITEMW item = {};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
    SendMessageW(list, LVM_ENSUREVISIBLE, row, FALSE);
}

static UINT FindMessage()
{
    static UINT message;   // registered once; no guarded static without a C++ runtime
    if (!message)
        message = RegisterWindowMessageW(FINDMSGSTRINGW);
    return message;
}

static void TakeNoteAway()
{
    if (!state.noted)
        return;
    KillTimer(state.noted, NOTE_TIMER);
    SetCaptionNote(state.noted, L"");
    state.noted = NULL;
}

// A miss is told in the caption for a few seconds: a message box for every
// miss would have to be closed before searching on.
static void NoteMiss(HWND dialog)
{
    TakeNoteAway();
    wchar_t missing[64];
    if (LoadStringW(GetResourceModule(), IDS_FIND_MISSING, missing, 64) <= 0)
        lstrcpyW(missing, L"?");
    wchar_t note[64 + FIND_UNITS + 8];
    wsprintfW(note, L" - %s %s", missing, state.text);
    SetCaptionNote(dialog, note);
    state.noted = dialog;
    SetTimer(dialog, NOTE_TIMER, NOTE_MS, NULL);
}

static void Search(HWND dialog, DWORD flags)
{
    TakeNoteAway();
    int tab = static_cast<int>(SendDlgItemMessageW(dialog, IDC_TABS, TCM_GETCURSEL, 0, 0));
    HWND list = GetDlgItem(dialog, IDC_LIST_FIRST + (tab >= 0 && tab < VIEW_COUNT ? tab : 0));
    FindQuery query = { state.text, (flags & FR_MATCHCASE) != 0, (flags & FR_WHOLEWORD) != 0, (flags & FR_DOWN) != 0 };
    int from = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    int row = FindRow(list, from, &query);
    if (row >= 0) {
        SelectFoundRow(list, row);
        return;
    }
    MessageBeep(MB_OK);
    NoteMiss(dialog);
}

void OpenFindDialog(HWND dialog)
{
    if (state.finder) {
        SetActiveWindow(state.finder);
        SetFocus(GetDlgItem(state.finder, edt1));
        return;
    }
    ZeroMemory(&state.request, sizeof state.request);
    state.request.lStructSize = sizeof state.request;
    state.request.hwndOwner = dialog;
    state.request.hInstance = reinterpret_cast<HINSTANCE>(GetResourceModule());
    state.request.Flags = (state.flags & (FR_DOWN | FR_MATCHCASE | FR_WHOLEWORD)) | FR_ENABLETEMPLATE;
    state.request.lpstrFindWhat = state.text;
    // In units: where the system reads it as bytes, it uses half the buffer.
    state.request.wFindWhatLen = FIND_UNITS;
    state.request.lpTemplateName = MAKEINTRESOURCEW(IDD_FIND);
    state.finder = FindTextW(&state.request);
    if (!state.finder) {
        // A companion module without the template: the system's own texts.
        state.request.Flags &= ~static_cast<DWORD>(FR_ENABLETEMPLATE);
        state.request.hInstance = NULL;
        state.request.lpTemplateName = NULL;
        state.finder = FindTextW(&state.request);
    }
    if (state.finder)
        state.owner = dialog;
}

void FindAgain(HWND dialog, bool down)
{
    if (!state.text[0]) {
        OpenFindDialog(dialog);
        return;
    }
    Search(dialog, (state.flags & ~static_cast<DWORD>(FR_DOWN)) | (down ? FR_DOWN : 0));
}

bool OnFindMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_TIMER && wParam == NOTE_TIMER) {
        TakeNoteAway();
        return true;
    }
    if (message != FindMessage() || message == 0)
        return false;
    const FINDREPLACEW* request = reinterpret_cast<const FINDREPLACEW*>(lParam);
    if (request->Flags & FR_DIALOGTERM) {
        state.finder = NULL;
        state.owner = NULL;
    } else if (request->Flags & FR_FINDNEXT) {
        state.flags = request->Flags & (FR_DOWN | FR_MATCHCASE | FR_WHOLEWORD);
        Search(dialog, state.flags);
    }
    return true;
}

HWND FindDialogWindow()
{
    return state.finder;
}

// The main dialog that a key pressed in `window` belongs to: itself, its
// controls, or the find dialog it owns.
static HWND MainDialogOf(HWND window)
{
    HWND root = GetAncestor(window, GA_ROOT);
    if (root && GetPropW(root, MAIN_DIALOG_PROP))
        return root;
    if (root && root == state.finder)
        return state.owner;
    return NULL;
}

static bool HandleKey(const MSG* msg)
{
    if (msg->message != WM_KEYDOWN || (msg->wParam != 'F' && msg->wParam != VK_F3))
        return false;
    HWND dialog = MainDialogOf(msg->hwnd);
    // Ctrl+Alt is AltGr on many keyboards: that is a character, not a command.
    bool control = GetKeyState(VK_CONTROL) < 0;
    bool alt = GetKeyState(VK_MENU) < 0;
    if (!dialog || alt)
        return false;
    if (msg->wParam == 'F' && control) {
        OpenFindDialog(dialog);
        return true;
    }
    if (msg->wParam == VK_F3 && !control) {
        FindAgain(dialog, GetKeyState(VK_SHIFT) >= 0);
        return true;
    }
    return false;
}

// The main dialog runs modally, and its loop knows only its own keys: the
// find dialog's Tab, Enter, Esc and access keys are given to it here.
static LRESULT CALLBACK FilterMessages(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == MSGF_DIALOGBOX && !state.filtering) {
        MSG* msg = reinterpret_cast<MSG*>(lParam);
        state.filtering = true;
        bool handled = HandleKey(msg) || (state.finder && IsDialogMessageW(state.finder, msg));
        state.filtering = false;
        if (handled)
            return TRUE;
    }
    return CallNextHookEx(state.hook, code, wParam, lParam);
}

void AttachFind(HWND dialog)
{
    SetPropW(dialog, MAIN_DIALOG_PROP, reinterpret_cast<HANDLE>(1));
    if (state.dialogs++ == 0)
        state.hook = SetWindowsHookExW(WH_MSGFILTER, FilterMessages, NULL, GetCurrentThreadId());
}

void DetachFind(HWND dialog)
{
    if (!GetPropW(dialog, MAIN_DIALOG_PROP))
        return;
    RemovePropW(dialog, MAIN_DIALOG_PROP);
    if (state.noted == dialog)
        TakeNoteAway();
    if (state.owner == dialog) {
        if (state.finder && IsWindow(state.finder))
            DestroyWindow(state.finder);
        state.finder = NULL;
        state.owner = NULL;
    }
    if (--state.dialogs == 0 && state.hook) {
        UnhookWindowsHookEx(state.hook);
        state.hook = NULL;
    }
}
