#include "open_image.h"
#include <commctrl.h>
#include <shlwapi.h>
#include "image_view.h"
#include "views.h"
#include "../res/resource.h"
#include "../shell/main_dialog.h"
#include "../shell/resource_module.h"

// The smallest file accepted: a 64-byte DOS header and the 248 bytes of PE32 NT headers.
static const DWORD MIN_IMAGE_SIZE = 312;

static HWND List(HWND dialog, int id)
{
    return GetDlgItem(dialog, id);
}

static void ShowAllViews(HWND dialog, HMODULE resources, const ImageView* view)
{
    // Redraw stays off while the lists fill; it is switched back on for every
    // list below, whatever happened here.
    for (int id = IDC_LIST_FIRST; id <= IDC_LIST_LAST; ++id)
        SendMessageW(List(dialog, id), WM_SETREDRAW, FALSE, 0);
    ShowSections(List(dialog, IDC_LIST_SECTIONS), resources, view);
    ShowImports(List(dialog, IDC_LIST_IMPORTS), view);
    ShowDelayImports(List(dialog, IDC_LIST_DELAY), view);
    ShowExports(List(dialog, IDC_LIST_EXPORTS), view);
    ShowHeaderSummary(List(dialog, IDC_LIST_SUMMARY), resources, view);
    ShowVersionInfo(List(dialog, IDC_LIST_VERSION), resources, view);
    ShowStringTables(List(dialog, IDC_LIST_STRINGS), view);
}

bool ShowImage(HWND dialog, HMODULE resources, const BYTE* base, DWORD size)
{
    ImageView view;
    if (!InitImageView(&view, base, size))
        return false;
    BuildSectionIndex(&view);
    // The resource module is looked up only for an image that passed the checks.
    ShowAllViews(dialog, resources ? resources : GetResourceModule(), &view);
    FreeSectionIndex(&view);
    return true;
}

OpenResult OpenImage(HWND dialog, wchar_t* path)
{
    for (int id = IDC_LIST_FIRST; id <= IDC_LIST_LAST; ++id) {
        if (id != IDC_LIST_SUMMARY)
            SendMessageW(List(dialog, id), LVM_DELETEALLITEMS, 0, 0);
    }
    SendDlgItemMessageW(dialog, IDC_PATH, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path));

    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return OPEN_FAILED;
    DWORD size = GetFileSize(file, NULL);
    // A failed size query must not pass for a file of 4 GiB - 1 bytes.
    if (size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) {
        CloseHandle(file);
        return OPEN_FAILED;
    }
    if (size < MIN_IMAGE_SIZE) {
        CloseHandle(file);
        return OPEN_NOT_PE;
    }
    OpenResult result = OPEN_FAILED;
    HANDLE mapping = CreateFileMappingW(file, NULL, PAGE_READONLY, 0, 0, NULL);
    if (mapping) {
        const BYTE* base = static_cast<const BYTE*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
        if (base) {
            result = ShowImage(dialog, NULL, base, size) ? OPEN_SHOWN : OPEN_NOT_PE;
            UnmapViewOfFile(base);
        }
        CloseHandle(mapping);
    }
    CloseHandle(file);

    AutosizeLastColumns(dialog);
    for (int id = IDC_LIST_FIRST; id <= IDC_LIST_LAST; ++id) {
        HWND list = List(dialog, id);
        SendMessageW(list, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(list, NULL, TRUE);
    }
    // Switching redraw back on also marks a window visible, so the six lists
    // of the other tabs would be shown on top of the selected one.
    ShowSelectedTab(dialog);
    PathRemoveFileSpecW(path);
    SetCurrentDirectoryW(path);
    return result;
}
