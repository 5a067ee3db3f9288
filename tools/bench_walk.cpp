// Times the dependency walk that follows an opening, on a visible main
// dialog as a user sees it: opening, painting the filled rows, then from that
// paint to the marks, with the longest any one message kept the dialog from
// answering meanwhile. On the files given and on two images of 262,401
// import rows: 141 libraries that are not found, 1,860 functions each, and
// the same rows all taken from kernel32.dll under names it does not export.
//
//   bench_walk [--runs N] [FILE...]
#include <windows.h>
#include <commctrl.h>
#include <stdio.h>
#include <string>
#include <vector>
#include "bench_timing.h"
#include "hidden_dialog.h"
#include "shell/dependency_walk.h"
#include "shell/main_dialog.h"
#include "shell/open_image.h"
#include "tests/pe_builder.h"
#include "res/resource.h"

struct WalkTimes {
    double open, paint, marks, longest;
    int messages;
    bool complete;
};

static WalkTimes TimeWalk(HWND dialog, const std::wstring& path)
{
    WalkTimes t = {};
    wchar_t buffer[MAX_PATH] = {};
    lstrcpynW(buffer, path.c_str(), MAX_PATH);
    double start = NowMs();
    OpenImage(dialog, buffer);
    double opened = NowMs();
    RedrawWindow(dialog, NULL, NULL, RDW_UPDATENOW | RDW_ALLCHILDREN);
    double painted = NowMs();
    t.open = opened - start;
    t.paint = painted - opened;
    for (double waited = painted; !WalkedClosure(dialog) && NowMs() - waited < 120000;) {
        MSG msg;
        if (!PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE)) {
            MsgWaitForMultipleObjects(0, NULL, FALSE, 50, QS_ALLINPUT);
            continue;
        }
        double before = NowMs();
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
        double took = NowMs() - before;
        if (took > t.longest)
            t.longest = took;
        ++t.messages;
    }
    t.complete = WalkedClosure(dialog) != NULL;
    t.marks = NowMs() - painted;
    return t;
}

static void Measure(HWND dialog, const std::wstring& path, const std::wstring& name, int runs)
{
    std::vector<double> open, paint, marks, longest;
    int messages = 0;
    bool complete = true;
    for (int run = 0; run < runs; ++run) {
        WalkTimes t = TimeWalk(dialog, path);
        open.push_back(t.open);
        paint.push_back(t.paint);
        marks.push_back(t.marks);
        longest.push_back(t.longest);
        messages = t.messages;
        complete = complete && t.complete;
    }
    int rows = static_cast<int>(SendDlgItemMessageW(dialog, IDC_LIST_IMPORTS, LVM_GETITEMCOUNT, 0, 0));
    printf("%-28ls %7d rows  open %8.2f  paint %7.2f  paint to marks %9.2f  longest message %8.2f ms  (%d messages%s)\n",
           name.c_str(), rows, Summarize(open).median, Summarize(paint).median, Summarize(marks).median,
           Summarize(longest).max, messages, complete ? "" : ", NOT COMPLETE");
    fflush(stdout);
}

int wmain(int argc, wchar_t** argv)
{
    int runs = 3;
    std::vector<std::wstring> paths;
    for (int i = 1; i < argc; ++i) {
        std::wstring a = argv[i];
        if (a == L"--runs" && i + 1 < argc)
            runs = _wtoi(argv[++i]);
        else
            paths.push_back(a);
    }
    StartClock();
    INITCOMMONCONTROLSEX controls = { sizeof controls, ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES };
    InitCommonControlsEx(&controls);
    HWND dialog = CreateDialogParamW(GetModuleHandleW(NULL), MAKEINTRESOURCEW(IDD_MAIN), NULL, MainDialogProc,
                                     DIALOG_NO_COMMAND_LINE);
    if (!dialog) {
        fprintf(stderr, "bench_walk: cannot create the dialog\n");
        return 2;
    }
    PumpMessages();
    printf("bench_walk: medians of %d runs; longest message: the most of any run\n", runs);
    for (const std::wstring& path : paths)
        Measure(dialog, path, path.substr(path.find_last_of(L"\\/") + 1), runs);

    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"modview-bench";
    CreateDirectoryW(folder.c_str(), NULL);
    struct Hostile {
        const wchar_t* name;
        const char* library;
    } hostile[] = { { L"imports-141-not-found.dll", NULL }, { L"imports-kernel32-absent.dll", "kernel32.dll" } };
    for (const Hostile& h : hostile) {
        std::wstring path = folder + L"\\" + h.name;
        if (!WriteFileBytes(path, BuildImportImage(141, 1860, h.library))) {
            fprintf(stderr, "bench_walk: cannot write %ls\n", path.c_str());
            return 2;
        }
        Measure(dialog, path, h.name, runs);
    }
    DestroyWindow(dialog);
    return 0;
}
