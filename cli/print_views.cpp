#include "print_views.h"

void PrintViews(Printer* p, const wchar_t* file, const RowTable tables[VIEW_COUNT], const Choice* choice,
                const Closure* closure, int* notFound)
{
    p->form->beginFile(p, file);
    for (int v = 0; v < VIEW_COUNT; ++v) {
        if (!choice->shown[v])
            continue;
        const ViewFormat* format = &VIEW_FORMATS[v];
        const RowTable* table = &tables[format->id];
        p->form->beginView(p, format);
        for (int r = 0; r < table->rows; ++r) {
            LibraryPath resolution = PATH_NOT_ASKED;
            const wchar_t* path = L"";
            if (closure && format->libraries && TableMarker(table, r) == ROW_HEADER) {
                int library = FindImport(closure, TableCell(table, r, 1));
                if (library >= 0)
                    path = closure->libraries[library].path;
                resolution = path[0] ? PATH_FOUND : PATH_NOT_FOUND;
                if (resolution == PATH_NOT_FOUND)
                    ++*notFound;
            }
            p->form->row(p, format, table, r, resolution, path);
        }
        p->form->endView(p, format, table);
    }
    p->form->endFile(p);
}
