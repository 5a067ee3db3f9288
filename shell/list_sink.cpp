#include "list_sink.h"
#include <commctrl.h>
#include <string.h>
#include "../image/views.h"
#include "../res/resource.h"

void InsertRow(HWND list, int index, const wchar_t* text, RowMarker marker)
{
    LVITEMW item = {};
    item.mask = LVIF_PARAM | (text ? LVIF_TEXT : 0);
    item.iItem = index;
    item.pszText = const_cast<wchar_t*>(text);
    item.lParam = marker;
    SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

void SetCell(HWND list, int row, int column, const wchar_t* text)
{
    LVITEMW item = {};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.iSubItem = column;
    item.pszText = const_cast<wchar_t*>(text);
    SendMessageW(list, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

int ColumnCount(HWND list)
{
    HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    return static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
}

int GetCell(HWND list, int row, int column, wchar_t* out, int units)
{
    if (units <= 0)
        return 0;
    out[0] = L'\0';
    LVITEMW item = {};
    item.iSubItem = column;
    item.pszText = out;
    item.cchTextMax = units;
    int length = static_cast<int>(SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item)));
    if (length < 0 || length >= units)
        length = units - 1;
    out[length] = L'\0';
    return length;
}

// A string resource this long or longer is shown cut to LONG_STRING_SHOWN units.
static const size_t LONG_STRING_UNITS = 1024;
static const size_t LONG_STRING_SHOWN = 1022;

static void InsertListRow(void* context, int row, const wchar_t* text, RowMarker marker)
{
    InsertRow(static_cast<ListSink*>(context)->list, row, text, marker);
}

static void SetListCell(void* context, int row, int column, const wchar_t* text)
{
    const ListSink* sink = static_cast<ListSink*>(context);
    if (sink->stringTable && wcsnlen(text, LONG_STRING_UNITS) == LONG_STRING_UNITS) {
        wchar_t shown[LONG_STRING_SHOWN + 1];
        memcpy(shown, text, LONG_STRING_SHOWN * sizeof(wchar_t));
        shown[LONG_STRING_SHOWN] = L'\0';
        SetCell(sink->list, row, column, shown);
        return;
    }
    SetCell(sink->list, row, column, text);
}

RowSink ListRowSink(ListSink* context)
{
    RowSink sink = { context, InsertListRow, SetListCell };
    return sink;
}

void DialogSinks(HWND dialog, ListSink contexts[], RowSink sinks[])
{
    for (int v = 0; v < VIEW_COUNT; ++v) {
        contexts[v].list = GetDlgItem(dialog, IDC_LIST_FIRST + v);
        contexts[v].stringTable = v == VIEW_STRINGS;
        sinks[v] = ListRowSink(&contexts[v]);
    }
}

bool ResetRowMarks(ListMarks* marks, int count)
{
    FreeRowMarks(marks);
    if (count <= 0)
        return true;
    marks->marks = static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, count));
    marks->count = marks->marks ? count : 0;
    return marks->marks != NULL;
}

void FreeRowMarks(ListMarks* marks)
{
    if (marks->marks)
        HeapFree(GetProcessHeap(), 0, marks->marks);
    marks->marks = NULL;
    marks->count = 0;
}

RowMark RowMarkAt(const ListMarks* marks, int row)
{
    return row >= 0 && row < marks->count ? static_cast<RowMark>(marks->marks[row]) : MARK_NONE;
}
