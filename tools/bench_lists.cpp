#include "bench_lists.h"
#include "image/image_view.h"
#include "image/views.h"
#include "shell/list_sink.h"
#include "shell/main_dialog.h"
#include "shell/resource_module.h"
#include "tools/bench_timing.h"
#include "tools/hidden_dialog.h"

// Runs the filler of list `id` on its own, into the list as the viewer does.
static void Fill(HWND list, int id, HMODULE resources, const ImageView* view)
{
    ListSink context = { list, id == IDC_LIST_STRINGS };
    RowSink sink = ListRowSink(&context);
    switch (id) {
    case IDC_LIST_IMPORTS: ShowImports(&sink, view); break;
    case IDC_LIST_DELAY: ShowDelayImports(&sink, view); break;
    case IDC_LIST_EXPORTS: ShowExports(&sink, view); break;
    case IDC_LIST_SECTIONS: ShowSections(&sink, resources, view); break;
    case IDC_LIST_SUMMARY: ShowHeaderSummary(&sink, resources, view); break;
    case IDC_LIST_VERSION: ShowVersionInfo(&sink, resources, view); break;
    case IDC_LIST_STRINGS: ShowStringTables(&sink, view); break;
    }
}

void MeasureLists(HWND dialog, const std::wstring& path, const std::vector<CapturedList>& lists, int runs,
                  double fill[VIEW_COUNT], double floor[VIEW_COUNT])
{
    for (int i = 0; i < VIEW_COUNT; ++i)
        fill[i] = floor[i] = 0;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD size = GetFileSize(file, NULL);
    HANDLE mapping = CreateFileMappingW(file, NULL, PAGE_READONLY, 0, 0, NULL);
    const BYTE* base = mapping ? static_cast<const BYTE*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0)) : NULL;
    ImageView view;
    if (base && InitImageView(&view, base, size)) {
        HMODULE resources = GetResourceModule();
        for (const CapturedList& captured : lists) {
            HWND list = GetDlgItem(dialog, captured.id);
            std::vector<double> fills, floors;
            for (int run = 0; run < runs; ++run) {
                EmptyLists(dialog);
                SendMessageW(list, WM_SETREDRAW, FALSE, 0);
                double start = NowMs();
                Fill(list, captured.id, resources, &view);
                fills.push_back(NowMs() - start);
                EmptyLists(dialog);
                start = NowMs();
                InsertList(list, captured);
                floors.push_back(NowMs() - start);
                SendMessageW(list, WM_SETREDRAW, TRUE, 0);
            }
            fill[captured.id - IDC_LIST_FIRST] = Summarize(fills).median;
            floor[captured.id - IDC_LIST_FIRST] = Summarize(floors).median;
        }
        ShowSelectedTab(dialog);
    }
    if (base)
        UnmapViewOfFile(base);
    if (mapping)
        CloseHandle(mapping);
    CloseHandle(file);
}
