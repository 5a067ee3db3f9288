// The viewer's rows: the few list-control operations the views and the
// dialog share, and the sink through which a view fills a list control.
#pragma once
#include <windows.h>
#include "../image/row_sink.h"

// Inserts row `index` with `text` (or no text when null) in column 0 and
// `marker` as its item parameter.
void InsertRow(HWND list, int index, const wchar_t* text, RowMarker marker);
// Sets the text of cell (row, column).
void SetCell(HWND list, int row, int column, const wchar_t* text);
// Room for one cell: the longest text any view stores (a version value, at
// most 32767 units) fits whole, so what the user sees is what is read.
const int CELL_UNITS = 32768;
// The columns of a list, counted through its header control.
int ColumnCount(HWND list);
// Copies the text of cell (row, column) into `out` (room for `units` units),
// cut to fit and always terminated; returns the number of units copied.
int GetCell(HWND list, int row, int column, wchar_t* out, int units);

// What a list sink writes to.
struct ListSink {
    HWND list;
    bool stringTable;   // the string-table list, which cuts long strings
};

// A sink that fills `context->list` with the same messages, in the same order,
// as the view makes its calls. In the string-table list a text of 1,024 units
// or more is shown by its first 1,022, as the viewer always has.
RowSink ListRowSink(ListSink* context);
// The sinks of the dialog's seven lists, by ViewId; `contexts` must outlive them.
void DialogSinks(HWND dialog, ListSink contexts[], RowSink sinks[]);

// What the dependency walk found of a row of an import list. The marks are
// kept beside the rows, one per row: the rows' texts and RowMarker values
// stay as the view wrote them.
enum RowMark {
    MARK_NONE,
    MARK_LIBRARY_MISSING,    // a library the loader would not find
    MARK_LIBRARY_LACKS,      // found, but a function of it or something below it is missing
    MARK_FUNCTION_MISSING,   // a function the library does not give
};

struct ListMarks {
    BYTE* marks;   // one RowMark per row; null when there are none
    int count;
};

// Makes room for `count` rows, all MARK_NONE; false when memory runs out.
bool ResetRowMarks(ListMarks* marks, int count);
void FreeRowMarks(ListMarks* marks);
// The mark of `row`; MARK_NONE for a row past the marks.
RowMark RowMarkAt(const ListMarks* marks, int row);
