#include "print_views.h"
#include <commctrl.h>
#include "image/list_rows.h"
#include "res/resource.h"
#include "shell/open_file.h"

const ViewName VIEWS[VIEW_COUNT] = {
    { "imports", "imports", IDC_LIST_IMPORTS },
    { "delay-imports", "delay_imports", IDC_LIST_DELAY },
    { "exports", "exports", IDC_LIST_EXPORTS },
    { "sections", "sections", IDC_LIST_SECTIONS },
    { "summary", "summary", IDC_LIST_SUMMARY },
    { "version", "version", IDC_LIST_VERSION },
    { "strings", "strings", IDC_LIST_STRINGS },
};

int RowCount(HWND list)
{
    return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
}

int ColumnCount(HWND list)
{
    HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    return static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
}

bool IsHeaderRow(HWND list, int row)
{
    LVITEMW item = {};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    return SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)) && item.lParam == ROW_HEADER;
}

void ReadCell(HWND list, int row, int column, wchar_t* text)
{
    GetCell(list, row, column, text, CELL_UNITS);
}

bool ListsLibraries(int list)
{
    return list == IDC_LIST_IMPORTS || list == IDC_LIST_DELAY;
}

bool ResolveLibrary(HWND list, int row, const wchar_t* importer, wchar_t* path, int* notFound)
{
    wchar_t name[MAX_PATH];
    GetCell(list, row, 1, name, MAX_PATH);
    if (FindLibrary(name, importer, path))
        return true;
    ++*notFound;
    return false;
}
