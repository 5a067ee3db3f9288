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
static void Nothing(Printer*) {}

const PrinterForm TEXT_FORM = { BeginFile, Failure, Nothing, Nothing };

void PrintTextViews(Printer* p, const wchar_t* file, const wchar_t* fullPath, const ImageView* view,
                    const RowTable tables[VIEW_COUNT], const Choice* choice, const Closure* closure, int* notFound)
{
    p->form->beginFile(p, file);
    for (int v = 0; v < VIEW_COUNT; ++v) {
        if (!choice->shown[v])
            continue;
        const ViewFormat* format = &VIEW_FORMATS[v];
        const RowTable* table = &tables[format->id];
        PutText(p->out, "-- ");
        PutText(p->out, format->option);
        PutChar(p->out, '\n');
        for (int r = 0; r < table->rows; ++r) {
            bool header = TableMarker(table, r) == ROW_HEADER;
            PutChar(p->out, header ? '1' : '0');
            for (int c = 0; c < VIEW_COLUMNS[format->id]; ++c) {
                PutChar(p->out, '\t');
                PutCell(p->out, TableCell(table, r, c));
            }
            if (closure && format->libraries && header) {
                const wchar_t* path = ResolvedPath(closure, TableCell(table, r, 1), notFound);
                PutChar(p->out, '\t');
                PutCell(p->out, path[0] ? path : L"not found");
            }
            PutChar(p->out, '\n');
        }
    }
    PrintReports(p, fullPath, view, choice);
    p->form->endFile(p);
}
