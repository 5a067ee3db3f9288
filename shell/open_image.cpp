#include "open_image.h"
#include <commctrl.h>
#include <shlwapi.h>
#include "dependency_walk.h"
#include "list_sink.h"
#include "main_dialog.h"
#include "resource_module.h"
#include "../image/image_file.h"
#include "../image/views.h"
#include "../res/resource.h"

static HWND List(HWND dialog, int id)
{
    return GetDlgItem(dialog, id);
}

bool ShowImage(HWND dialog, HMODULE resources, const BYTE* base, DWORD size)
{
    ImageView view;
    if (!InitImageView(&view, base, size))
        return false;
    // The resource module is looked up only for an image that passed the checks.
    if (!resources)
        resources = GetResourceModule();
    // Redraw stays off while the lists fill; the caller switches it back on
    // for every list.
    for (int id = IDC_LIST_FIRST; id <= IDC_LIST_LAST; ++id)
        SendMessageW(List(dialog, id), WM_SETREDRAW, FALSE, 0);
    ListSink contexts[VIEW_COUNT];
    RowSink sinks[VIEW_COUNT];
    DialogSinks(dialog, contexts, sinks);
    ShowViews(sinks, resources, &view);
    return true;
}

OpenResult OpenImage(HWND dialog, wchar_t* path)
{
    DropDependencyWalk(dialog);
    for (int id = IDC_LIST_FIRST; id <= IDC_LIST_LAST; ++id) {
        if (id != IDC_LIST_SUMMARY)
            SendMessageW(List(dialog, id), LVM_DELETEALLITEMS, 0, 0);
    }
    SendDlgItemMessageW(dialog, IDC_PATH, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path));

    ImageFile file;
    MapResult mapped = MapImageFile(path, &file);
    if (mapped == MAP_TOO_SMALL)
        return OPEN_NOT_PE;
    if (mapped == MAP_NOT_OPENED)
        return OPEN_FAILED;
    OpenResult result = OPEN_FAILED;
    if (mapped == MAP_DONE) {
        result = ShowImage(dialog, NULL, file.base, file.size) ? OPEN_SHOWN : OPEN_NOT_PE;
        UnmapImageFile(&file);
    }

    AutosizeLastColumns(dialog);
    for (int id = IDC_LIST_FIRST; id <= IDC_LIST_LAST; ++id) {
        HWND list = List(dialog, id);
        SendMessageW(list, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(list, NULL, TRUE);
    }
    // Switching redraw back on also marks a window visible, so the six lists
    // of the other tabs would be shown on top of the selected one.
    ShowSelectedTab(dialog);
    // What the loader would miss is found once the rows are painted.
    if (result == OPEN_SHOWN)
        StartDependencyWalk(dialog, path);
    PathRemoveFileSpecW(path);
    SetCurrentDirectoryW(path);
    return result;
}
