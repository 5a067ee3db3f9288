#include "guarded_image.h"
#include <commctrl.h>
#include <string.h>
#include "shell/open_image.h"
#include "image/row_table.h"
#include "res/resource.h"

bool ShowGuarded(HWND dialog, const std::vector<BYTE>& bytes, bool atEnd)
{
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    SIZE_T page = system.dwPageSize;
    SIZE_T pages = (bytes.size() + page - 1) / page + 1;
    BYTE* region = static_cast<BYTE*>(VirtualAlloc(NULL, (pages + 2) * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    if (!region)
        return false;
    DWORD old;
    VirtualProtect(region, page, PAGE_NOACCESS, &old);
    VirtualProtect(region + (pages + 1) * page, page, PAGE_NOACCESS, &old);
    BYTE* data = region + page;
    BYTE* start = atEnd ? data + pages * page - bytes.size() : data;
    if (!bytes.empty())
        memcpy(start, bytes.data(), bytes.size());
    VirtualProtect(data, pages * page, PAGE_READONLY, &old);
    for (int id = IDC_LIST_FIRST; id <= IDC_LIST_LAST; ++id) {
        if (id != IDC_LIST_SUMMARY)
            SendDlgItemMessageW(dialog, id, LVM_DELETEALLITEMS, 0, 0);
    }
    bool shown = ShowImage(dialog, GetModuleHandleW(NULL), start, static_cast<DWORD>(bytes.size()));
    for (int id = IDC_LIST_FIRST; id <= IDC_LIST_LAST; ++id)
        SendDlgItemMessageW(dialog, id, WM_SETREDRAW, TRUE, 0);
    VirtualFree(region, 0, MEM_RELEASE);
    return shown;
}

bool TableRowLines(const std::vector<BYTE>& bytes, std::vector<std::wstring> lines[VIEW_COUNT])
{
    ImageView view;
    if (!InitImageView(&view, bytes.data(), static_cast<DWORD>(bytes.size())))
        return false;
    HMODULE resources = GetModuleHandleW(NULL);
    RowTable tables[VIEW_COUNT];
    RowSink sinks[VIEW_COUNT];
    for (int v = 0; v < VIEW_COUNT; ++v) {
        InitRowTable(&tables[v], VIEW_COLUMNS[v]);
        sinks[v] = TableSink(&tables[v]);
    }
    AddSummaryLabels(&sinks[VIEW_SUMMARY], resources);
    ShowViews(sinks, resources, &view);
    for (int v = 0; v < VIEW_COUNT; ++v) {
        lines[v].clear();
        for (int r = 0; r < tables[v].rows; ++r) {
            std::wstring line = std::to_wstring(TableMarker(&tables[v], r));
            for (int c = 0; c < VIEW_COLUMNS[v]; ++c) {
                std::wstring cell = TableCell(&tables[v], r, c);
                if (v == VIEW_STRINGS && cell.size() >= 1024)
                    cell.resize(1022);
                line += L"|" + cell;
            }
            lines[v].push_back(line);
        }
        FreeRowTable(&tables[v]);
    }
    return true;
}
