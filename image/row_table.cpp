#include "row_table.h"
#include <string.h>
#include "grow.h"

// Keeps a copy of `text`; its cell value, or 0 when it could not be kept.
static SIZE_T KeepText(RowTable* table, const wchar_t* text)
{
    SIZE_T units = wcslen(text) + 1;
    if (units > static_cast<SIZE_T>(-1) - table->textUsed || !GrowTable(&table->text, &table->textRoom, table->textUsed + units)) {
        table->outOfMemory = true;
        return 0;
    }
    memcpy(table->text + table->textUsed, text, units * sizeof(wchar_t));
    table->textUsed += units;
    return table->textUsed - units + 1;
}

static void InsertTableRow(void* context, int row, const wchar_t* text, RowMarker marker)
{
    RowTable* table = static_cast<RowTable*>(context);
    SIZE_T room = static_cast<SIZE_T>(table->rowRoom);
    if (table->rows == 0x7FFFFFFF || !GrowTable(&table->row, &room, static_cast<SIZE_T>(table->rows) + 1)
        || room > 0x7FFFFFFF) {
        table->outOfMemory = true;
        return;
    }
    table->rowRoom = static_cast<int>(room);
    // As in a list control: an index past the end appends.
    if (row < 0 || row > table->rows)
        row = table->rows;
    memmove(&table->row[row + 1], &table->row[row], (table->rows - row) * sizeof(TableRow));
    ++table->rows;
    TableRow* added = &table->row[row];
    ZeroMemory(added, sizeof *added);
    added->marker = marker;
    if (text)
        added->cells[0] = KeepText(table, text);
}

static void SetTableCell(void* context, int row, int column, const wchar_t* text)
{
    RowTable* table = static_cast<RowTable*>(context);
    if (row < 0 || row >= table->rows || column < 0 || column >= table->columns)
        return;
    // A cell set again keeps only its last text; the earlier one stays unused.
    table->row[row].cells[column] = KeepText(table, text);
}

void InitRowTable(RowTable* table, int columns)
{
    ZeroMemory(table, sizeof *table);
    table->columns = columns < TABLE_COLUMNS ? columns : TABLE_COLUMNS;
}

void FreeRowTable(RowTable* table)
{
    SIZE_T room = 0;
    FreeTable(&table->row, &room);
    FreeTable(&table->text, &room);
    InitRowTable(table, table->columns);
}

RowSink TableSink(RowTable* table)
{
    RowSink sink = { table, InsertTableRow, SetTableCell };
    return sink;
}

RowMarker TableMarker(const RowTable* table, int row)
{
    return row >= 0 && row < table->rows ? table->row[row].marker : ROW_PLAIN;
}

const wchar_t* TableCell(const RowTable* table, int row, int column)
{
    if (row < 0 || row >= table->rows || column < 0 || column >= table->columns)
        return L"";
    SIZE_T cell = table->row[row].cells[column];
    return cell ? table->text + cell - 1 : L"";
}
