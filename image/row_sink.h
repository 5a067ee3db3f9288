// Where a view's rows go. The views only read the file; what keeps their rows
// (the viewer's list controls, a table in memory) is behind this record.
#pragma once
#include <windows.h>

// What a row stands for.
enum RowMarker {
    ROW_PLAIN = 0,
    ROW_HEADER = 1,   // a library, a language, the section totals: white on teal
};

struct RowSink {
    void* context;
    // Inserts row `row` with `text` (none when null) in column 0 and `marker`.
    void (*insertRow)(void* context, int row, const wchar_t* text, RowMarker marker);
    // Sets the text of cell (row, column) of a row inserted before.
    void (*setCell)(void* context, int row, int column, const wchar_t* text);
};

inline void InsertRow(const RowSink* sink, int row, const wchar_t* text, RowMarker marker)
{
    sink->insertRow(sink->context, row, text, marker);
}

inline void SetCell(const RowSink* sink, int row, int column, const wchar_t* text)
{
    sink->setCell(sink->context, row, column, text);
}
