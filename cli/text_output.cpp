// The text form: "== FILE", then per view "-- VIEW" and a line per row: the
// row's marker (1 on a group-header row, 0 otherwise) and its cells, all
// separated by tabs. With --resolve a library's header row ends in one more
// cell: the path a double-click would open, or "not found".
#include "print_views.h"

void PrintTextViews(Output* out, HWND dialog, const wchar_t* file, const wchar_t* importer, const Choice* choice,
                    int* notFound)
{
    wchar_t text[CELL_UNITS];
    PutText(out, "== ");
    PutCell(out, file);
    PutChar(out, '\n');
    for (int v = 0; v < VIEW_COUNT; ++v) {
        if (!choice->shown[v])
            continue;
        PutText(out, "-- ");
        PutText(out, VIEWS[v].option);
        PutChar(out, '\n');
        HWND list = GetDlgItem(dialog, VIEWS[v].list);
        int rows = RowCount(list), columns = ColumnCount(list);
        for (int r = 0; r < rows; ++r) {
            bool header = IsHeaderRow(list, r);
            PutChar(out, header ? '1' : '0');
            for (int c = 0; c < columns; ++c) {
                ReadCell(list, r, c, text);
                PutChar(out, '\t');
                PutCell(out, text);
            }
            if (choice->resolve && header && ListsLibraries(VIEWS[v].list)) {
                wchar_t path[MAX_PATH];
                PutChar(out, '\t');
                PutCell(out, ResolveLibrary(list, r, importer, path, notFound) ? path : L"not found");
            }
            PutChar(out, '\n');
        }
    }
}
