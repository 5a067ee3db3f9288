#include "print_views.h"
#include "shell/find_library.h"

void PrintViews(Printer* p, const wchar_t* file, const RowTable tables[VIEW_COUNT], const Choice* choice,
                const wchar_t* importer, int* notFound)
{
    p->form->beginFile(p, file);
    for (int v = 0; v < VIEW_COUNT; ++v) {
        if (!choice->shown[v])
            continue;
        const ViewFormat* format = &VIEW_FORMATS[v];
        const RowTable* table = &tables[format->id];
        p->form->beginView(p, format);
        for (int r = 0; r < table->rows; ++r) {
            Resolution resolution = NOT_ASKED;
            wchar_t path[MAX_PATH] = L"";
            if (choice->resolve && format->libraries && TableMarker(table, r) == ROW_HEADER) {
                resolution = FindLibrary(TableCell(table, r, 1), importer, path) ? FOUND : NOT_FOUND;
                if (resolution == NOT_FOUND)
                    ++*notFound;
            }
            p->form->row(p, format, table, r, resolution, path);
        }
        p->form->endView(p, format, table);
    }
    p->form->endFile(p);
}
