// Times the viewer's search (FindRow over the cells the lists show) on the
// hidden main dialog: in each list of 100 rows or more of each file, the
// first match and a search that finds nothing; then a search that finds
// nothing in a list of 262,401 rows.
//
//   bench_find [--runs N] [--text TEXT] [FILE...]
#include <windows.h>
#include <commctrl.h>
#include <stdio.h>
#include <string>
#include <vector>
#include "bench_timing.h"
#include "hidden_dialog.h"
#include "shell/find_rows.h"
#include "shell/list_sink.h"
#include "shell/open_image.h"
#include "res/resource.h"

static Stats TimeSearch(HWND list, const wchar_t* text, int runs, int* found)
{
    FindQuery query = { text, false, false, true };
    std::vector<double> samples;
    for (int run = 0; run < runs; ++run) {
        double start = NowMs();
        *found = FindRow(list, -1, &query);
        samples.push_back(NowMs() - start);
    }
    return Summarize(samples);
}

static void Report(const char* what, int rows, int found, const Stats& s)
{
    printf("%-44s rows %7d  found row %6d  median %8.2f ms  min %8.2f  max %8.2f\n", what, rows, found, s.median,
           s.min, s.max);
}

int wmain(int argc, wchar_t** argv)
{
    int runs = 7;
    std::wstring text = L"Shell";
    std::vector<std::wstring> paths;
    for (int i = 1; i < argc; ++i) {
        std::wstring a = argv[i];
        if (a == L"--runs" && i + 1 < argc) runs = _wtoi(argv[++i]);
        else if (a == L"--text" && i + 1 < argc) text = argv[++i];
        else paths.push_back(a);
    }
    StartClock();
    HWND dialog = CreateHiddenDialog();
    if (!dialog) {
        fprintf(stderr, "bench_find: cannot create the dialog\n");
        return 2;
    }
    HWND exports = GetDlgItem(dialog, IDC_LIST_EXPORTS);
    for (const std::wstring& path : paths) {
        wchar_t buffer[MAX_PATH] = {};
        lstrcpynW(buffer, path.c_str(), MAX_PATH);
        OpenImage(dialog, buffer);
        printf("%ls\n", path.c_str());
        for (int id = IDC_LIST_FIRST; id <= IDC_LIST_LAST; ++id) {
            HWND list = GetDlgItem(dialog, id);
            int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
            if (rows < 100)
                continue;
            int found;
            char what[64];
            Stats first = TimeSearch(list, text.c_str(), runs, &found);
            wsprintfA(what, "  list %d, first match", id - IDC_LIST_FIRST);
            Report(what, rows, found, first);
            Stats miss = TimeSearch(list, L"no such name here", runs, &found);
            wsprintfA(what, "  list %d, nothing found", id - IDC_LIST_FIRST);
            Report(what, rows, found, miss);
        }
    }
    // A list as long as a hostile file's: numbers and names of the exports' width.
    EmptyLists(dialog);
    const int ROWS = 262401;
    SendMessageW(exports, WM_SETREDRAW, FALSE, 0);
    wchar_t number[16], name[64];
    for (int row = 0; row < ROWS; ++row) {
        wsprintfW(number, L"%04X", row & 0xFFFF);
        wsprintfW(name, L"ExportedFunctionNumber%06d", row);
        InsertRow(exports, row, number, ROW_PLAIN);
        SetCell(exports, row, 1, name);
    }
    int found;
    Stats miss = TimeSearch(exports, L"no such name here", runs < 3 ? runs : 3, &found);
    Report("synthetic list, nothing found", ROWS, found, miss);
    return 0;
}
