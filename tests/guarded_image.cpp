#include "guarded_image.h"
#include <commctrl.h>
#include <string.h>
#include "shell/open_image.h"
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
