#include "report.h"
#include <commctrl.h>
#include <shlwapi.h>
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

// Room for the longest cell a view writes (a string resource of 1,022 units).
const int CELL_UNITS = 2048;

static std::vector<Row> ReadRows(HWND list)
{
    HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    int columns = static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
    int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    std::vector<Row> rows(count > 0 ? count : 0);
    std::vector<wchar_t> text(CELL_UNITS);
    for (int r = 0; r < count; ++r) {
        LVITEMW item = {};
        item.mask = LVIF_PARAM;
        item.iItem = r;
        SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
        rows[r].header = item.lParam == ROW_HEADER;
        rows[r].resolved = false;
        for (int c = 0; c < columns; ++c) {
            GetCell(list, r, c, text.data(), CELL_UNITS);
            rows[r].cells.push_back(text.data());
        }
    }
    return rows;
}

// A library's header row carries its name in column 1.
static int ResolveLibraries(std::vector<Row>* rows, const wchar_t* importer)
{
    int notFound = 0;
    wchar_t found[MAX_PATH];
    for (Row& row : *rows) {
        if (!row.header || row.cells.size() < 2)
            continue;
        row.resolved = true;
        if (FindLibrary(row.cells[1].c_str(), importer, found))
            row.path = found;
        else
            ++notFound;
    }
    return notFound;
}

void ReadReport(HWND dialog, const std::wstring& file, const std::wstring& fullPath, const bool* shown, bool resolve, FileReport* report,
                int* notFound)
{
    report->file = file;
    report->tooLong = fullPath.size() >= MAX_PATH;
    report->result = OPEN_FAILED;
    if (report->tooLong)
        return;
    wchar_t path[MAX_PATH];
    lstrcpyW(path, fullPath.c_str());
    report->result = OpenImage(dialog, path);   // the file's folder is now the current directory
    if (report->result != OPEN_SHOWN)
        return;
    const wchar_t* importer = PathFindFileNameW(fullPath.c_str());
    for (int v = 0; v < VIEW_COUNT; ++v) {
        if (!shown[v])
            continue;
        report->views[v] = ReadRows(GetDlgItem(dialog, VIEWS[v].list));
        if (resolve && (VIEWS[v].list == IDC_LIST_IMPORTS || VIEWS[v].list == IDC_LIST_DELAY))
            *notFound += ResolveLibraries(&report->views[v], importer);
    }
}

const wchar_t* FailureText(const FileReport& report)
{
    if (report.tooLong)
        return L"path too long";
    return report.result == OPEN_NOT_PE ? L"not a PE image" : L"cannot open";
}
