// Rows kept in memory: the sink of the console companion and of tests, for
// which the list controls would only cost time. Cells have no length limit;
// the memory grows as rows come and is freed by FreeRowTable.
#pragma once
#include <windows.h>
#include "row_sink.h"

// The most columns a view has.
const int TABLE_COLUMNS = 4;

struct TableRow {
    RowMarker marker;
    SIZE_T cells[TABLE_COLUMNS];   // 1 + the offset of the cell's text, 0 for no text
};

struct RowTable {
    int columns;          // cells a row has; cells past it are not kept
    int rows;
    int rowRoom;
    TableRow* row;
    SIZE_T textUsed;      // units in `text`, terminators included
    SIZE_T textRoom;
    wchar_t* text;
    bool outOfMemory;     // a row or cell could not be kept: the table is incomplete
};

// An empty table of `columns` columns (at most TABLE_COLUMNS).
void InitRowTable(RowTable* table, int columns);
// Frees the rows and their texts; the table is empty again.
void FreeRowTable(RowTable* table);
// A sink that writes into `table`.
RowSink TableSink(RowTable* table);

RowMarker TableMarker(const RowTable* table, int row);
// The text of cell (row, column): "" when it was never set.
const wchar_t* TableCell(const RowTable* table, int row, int column);
