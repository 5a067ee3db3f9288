#include "open_file.h"
#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlwapi.h>
#include "list_sink.h"
#include "open_image.h"
#include "resource_module.h"
#include "dependency_walk.h"
#include "../res/resource.h"

void BuildOpenFilter(HMODULE resources, wchar_t* filter)
{
    // "description|patterns|": every bar becomes a NUL, and the string's own
    // terminator closes the list with a second one. The unit beyond what the
    // string may fill keeps that second NUL even when a translation fills the
    // whole buffer or drops the final bar.
    ZeroMemory(filter, (FILTER_UNITS + 1) * sizeof(wchar_t));
    LoadStringW(resources, IDS_OPEN_FILTER, filter, FILTER_UNITS);
    for (wchar_t* c = filter; *c; ++c) {
        if (*c == L'|')
            *c = L'\0';
    }
}

void BrowseForImage(HWND dialog)
{
    HMODULE resources = GetResourceModule();
    wchar_t filter[FILTER_UNITS + 1];
    BuildOpenFilter(resources, filter);
    wchar_t path[MAX_PATH] = {};
    OPENFILENAMEW dialogInfo = {};
    dialogInfo.lStructSize = sizeof dialogInfo;
    dialogInfo.hwndOwner = dialog;
    dialogInfo.hInstance = resources;
    dialogInfo.lpstrFilter = filter;
    dialogInfo.nFilterIndex = 1;
    dialogInfo.lpstrFile = path;
    dialogInfo.nMaxFile = MAX_PATH;
    dialogInfo.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    if (GetOpenFileNameW(&dialogInfo))
        OpenImage(dialog, path);
}

void OpenDroppedImage(HWND dialog, HDROP drop)
{
    // A first path that does not fit the buffer opens nothing: cut short it
    // would name another file, or none.
    UINT length = DragQueryFileW(drop, 0, NULL, 0);
    wchar_t path[MAX_PATH] = {};
    bool fits = length > 0 && length < MAX_PATH && DragQueryFileW(drop, 0, path, MAX_PATH) == length;
    DragFinish(drop);
    if (fits)
        OpenImage(dialog, path);
}

static LPARAM RowMarkerOf(HWND list, int row)
{
    LVITEMW item = {};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (!SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)))
        return ROW_PLAIN;
    return item.lParam;
}

void OpenDependency(HWND list)
{
    LVHITTESTINFO hit = {};
    GetCursorPos(&hit.pt);
    ScreenToClient(list, &hit.pt);
    int row = static_cast<int>(SendMessageW(list, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    if (row < 0)
        return;
    while (row >= 0 && RowMarkerOf(list, row) != ROW_HEADER)
        --row;
    if (row < 0)
        return;

    wchar_t name[MAX_PATH] = {};
    GetCell(list, row, 1, name, MAX_PATH);
    wchar_t found[MAX_PATH];
    if (!FindImportedLibrary(GetParent(list), name, found))
        return;

    wchar_t parameter[MAX_PATH + 2];
    wsprintfW(parameter, L"\"%s\"", found);
    wchar_t self[MAX_PATH];
    DWORD selfLength = GetModuleFileNameW(NULL, self, MAX_PATH);
    if (selfLength == 0 || selfLength >= MAX_PATH)
        return;
    ShellExecuteW(list, NULL, self, parameter, NULL, SW_SHOW);
}
