// The text form: "== FILE", then per view "-- VIEW" and a line per row: the
// row's marker (1 on a group-header row, 0 otherwise) and its cells, all
// separated by tabs. With --resolve a library's header row ends in one more
// cell: the path a double-click would open, or "not found".
#include "print_views.h"

static void BeginFile(Printer* p, const wchar_t* file)
{
    PutText(p->out, "== ");
    PutCell(p->out, file);
    PutChar(p->out, '\n');
}

// A file not shown prints nothing here: standard error says why.
static void Failure(Printer*, const wchar_t*, const wchar_t*) {}

static void BeginView(Printer* p, const ViewFormat* format)
{
    PutText(p->out, "-- ");
    PutText(p->out, format->option);
    PutChar(p->out, '\n');
}

static void Row(Printer* p, const ViewFormat* format, const RowTable* table, int row, LibraryPath resolution,
                const wchar_t* path)
{
    PutChar(p->out, TableMarker(table, row) == ROW_HEADER ? '1' : '0');
    for (int c = 0; c < VIEW_COLUMNS[format->id]; ++c) {
        PutChar(p->out, '\t');
        PutCell(p->out, TableCell(table, row, c));
    }
    if (resolution != PATH_NOT_ASKED) {
        PutChar(p->out, '\t');
        PutCell(p->out, resolution == PATH_FOUND ? path : L"not found");
    }
    PutChar(p->out, '\n');
}

static void EndView(Printer*, const ViewFormat*, const RowTable*) {}
static void Nothing(Printer*) {}

const PrinterForm TEXT_FORM = { BeginFile, Failure, BeginView, Row, EndView, Nothing, Nothing };
