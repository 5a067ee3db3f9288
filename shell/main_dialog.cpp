#include "main_dialog.h"
#include <commctrl.h>
#include <shellapi.h>
#include <string.h>
#include "caption.h"
#include "copy_row.h"
#include "dependency_walk.h"
#include "find_rows.h"
#include "list_sink.h"
#include "open_file.h"
#include "open_image.h"
#include "resource_module.h"
#include "row_tips.h"
#include "../image/text_format.h"
#include "../image/views.h"
#include "../res/resource.h"

struct ColumnLayout {
    int list;
    int column;
    int caption;   // string id, 0 for a column without caption
    int width;     // in pixels at 96 DPI
    bool right;
};

// In creation order: column 0 of the three name lists, then their column 1,
// then each remaining list from column 0 upward.
static const ColumnLayout COLUMNS[] = {
    { IDC_LIST_IMPORTS, 0, IDS_COL_NUMBER, 80, false },
    { IDC_LIST_DELAY, 0, IDS_COL_NUMBER, 80, false },
    { IDC_LIST_EXPORTS, 0, IDS_COL_NUMBER, 80, false },
    { IDC_LIST_IMPORTS, 1, IDS_COL_NAME, 214, false },
    { IDC_LIST_DELAY, 1, IDS_COL_NAME, 214, false },
    { IDC_LIST_EXPORTS, 1, IDS_COL_NAME, 214, false },
    { IDC_LIST_SECTIONS, 0, IDS_COL_NAME, 100, false },
    { IDC_LIST_SECTIONS, 1, IDS_COL_SIZE, 80, true },
    { IDC_LIST_SECTIONS, 2, IDS_COL_RAWSIZE, 80, true },
    { IDC_LIST_SECTIONS, 3, IDS_COL_ATTRIBUTES, 50, true },
    { IDC_LIST_SUMMARY, 0, 0, 140, false },
    { IDC_LIST_SUMMARY, 1, 0, 140, true },
    { IDC_LIST_VERSION, 0, 0, 130, false },
    { IDC_LIST_VERSION, 1, 0, 130, false },
    { IDC_LIST_STRINGS, 0, 0, 50, false },
    { IDC_LIST_STRINGS, 1, 0, 240, false },
};

static void AddTabs(HWND dialog, HMODULE resources)
{
    HWND tabs = GetDlgItem(dialog, IDC_TABS);
    for (int index = 0; index < VIEW_COUNT; ++index) {
        wchar_t caption[TEXT_UNITS];
        LoadStringW(resources, IDS_TAB_FIRST + index, caption, TEXT_UNITS);
        TCITEMW item = {};
        item.mask = TCIF_TEXT;
        item.pszText = caption;
        SendMessageW(tabs, TCM_INSERTITEMW, index, reinterpret_cast<LPARAM>(&item));
    }
}

// The process is DPI-aware, so the dialog manager lays the dialog, its font
// and its controls out at the display's DPI, while the column widths are
// pixels chosen for 96 DPI. Scaling them by the same ratio as the font keeps
// the texts they were chosen for whole.
static int DisplayDpi(HWND window)
{
    HDC dc = GetDC(window);
    int dpi = GetDeviceCaps(dc, LOGPIXELSX);
    ReleaseDC(window, dc);
    return dpi > 0 ? dpi : USER_DEFAULT_SCREEN_DPI;
}

static void AddColumns(HWND dialog, HMODULE resources)
{
    int dpi = DisplayDpi(dialog);
    for (size_t i = 0; i < sizeof COLUMNS / sizeof COLUMNS[0]; ++i) {
        const ColumnLayout& layout = COLUMNS[i];
        wchar_t caption[TEXT_UNITS];
        LVCOLUMNW column = {};
        column.mask = LVCF_FMT | LVCF_WIDTH;
        column.fmt = layout.right ? LVCFMT_RIGHT : LVCFMT_LEFT;
        column.cx = MulDiv(layout.width, dpi, USER_DEFAULT_SCREEN_DPI);
        if (layout.caption) {
            LoadStringW(resources, layout.caption, caption, TEXT_UNITS);
            column.mask |= LVCF_TEXT;
            column.pszText = caption;
        }
        SendDlgItemMessageW(dialog, layout.list, LVM_INSERTCOLUMNW, layout.column,
                            reinterpret_cast<LPARAM>(&column));
    }
}

static bool IsImportList(UINT_PTR id)
{
    return id == IDC_LIST_IMPORTS || id == IDC_LIST_DELAY;
}

static void OpenCommandLineFile(HWND dialog)
{
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!arguments)
        return;
    // A path that does not fit opens nothing: cut short it would name another
    // file, or none.
    wchar_t path[MAX_PATH];
    bool fits = count >= 2 && lstrlenW(arguments[1]) < MAX_PATH;
    if (fits)
        lstrcpyW(path, arguments[1]);
    LocalFree(arguments);
    if (fits)
        OpenImage(dialog, path);
}

void InitMainDialog(HWND dialog, bool openCommandLine)
{
    HMODULE resources = GetResourceModule();
    AttachFind(dialog);
    AddTabs(dialog, resources);
    AddColumns(dialog, resources);
    ListSink summary = { GetDlgItem(dialog, IDC_LIST_SUMMARY), false };
    RowSink summarySink = ListRowSink(&summary);
    AddSummaryLabels(&summarySink, resources);
    for (int id = IDC_LIST_FIRST; id <= IDC_LIST_LAST; ++id) {
        SendDlgItemMessageW(dialog, id, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT,
                            LVS_EX_FULLROWSELECT);
    }
    // The import lists tell in a tip how a library is found, or what is missing.
    AddRowTips(dialog, GetDlgItem(dialog, IDC_LIST_IMPORTS));
    AddRowTips(dialog, GetDlgItem(dialog, IDC_LIST_DELAY));
    if (openCommandLine)
        OpenCommandLineFile(dialog);
    AutosizeLastColumns(dialog);
    HICON icon = LoadIconW(GetModuleHandleW(NULL), MAKEINTRESOURCEW(IDI_MAIN));
    SendMessageW(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
}

void AutosizeLastColumns(HWND dialog)
{
    for (int id = IDC_LIST_FIRST; id <= IDC_LIST_LAST; ++id) {
        HWND list = GetDlgItem(dialog, id);
        int columns = ColumnCount(list);
        if (columns > 0)
            SendMessageW(list, LVM_SETCOLUMNWIDTH, columns - 1, LVSCW_AUTOSIZE_USEHEADER);
    }
}

void ShowSelectedTab(HWND dialog)
{
    int selected = static_cast<int>(SendDlgItemMessageW(dialog, IDC_TABS, TCM_GETCURSEL, 0, 0));
    for (int id = IDC_LIST_FIRST; id <= IDC_LIST_LAST; ++id)
        ShowWindow(GetDlgItem(dialog, id), id == IDC_LIST_FIRST + selected ? SW_SHOW : SW_HIDE);
}

static bool IsList(UINT_PTR id)
{
    return id >= IDC_LIST_FIRST && id <= IDC_LIST_LAST;
}

static bool IsColouredList(UINT_PTR id)
{
    return IsList(id) && id != IDC_LIST_SUMMARY;
}

// Group-header rows are drawn white on teal; in the import lists, what the
// dependency walk found missing changes the colours of its rows: a library
// not found white on red, one that lacks something white on dark orange, a
// function missing in red on the usual background. Everything else draws by
// default.
static LRESULT CustomDrawList(HWND dialog, NMLVCUSTOMDRAW* draw)
{
    if (draw->nmcd.dwDrawStage == CDDS_PREPAINT)
        return CDRF_NOTIFYITEMDRAW;
    if (draw->nmcd.dwDrawStage != CDDS_ITEMPREPAINT)
        return 0;
    RowMark mark = MARK_NONE;
    if (IsImportList(draw->nmcd.hdr.idFrom))
        mark = DependencyMark(dialog, draw->nmcd.hdr.idFrom == IDC_LIST_DELAY, static_cast<int>(draw->nmcd.dwItemSpec));
    if (draw->nmcd.lItemlParam == ROW_HEADER) {
        draw->clrText = RGB(0xFF, 0xFF, 0xFF);
        draw->clrTextBk = mark == MARK_LIBRARY_MISSING ? RGB(0xC0, 0x00, 0x00)
                          : mark == MARK_LIBRARY_LACKS ? RGB(0xC0, 0x60, 0x00)
                                                       : RGB(0x00, 0x90, 0x90);
        return CDRF_NEWFONT;
    }
    if (mark == MARK_FUNCTION_MISSING) {
        draw->clrText = RGB(0xC0, 0x00, 0x00);
        return CDRF_NEWFONT;
    }
    return 0;
}

// A row tip's text (row_tips): the tip of the import-list row under the cursor.
static void ShowRowTip(HWND dialog, NMTTDISPINFOW* request)
{
    static wchar_t text[1024];   // read by the tooltip after this returns
    HWND list = reinterpret_cast<HWND>(request->hdr.idFrom);
    int id = GetParent(list) == dialog ? GetDlgCtrlID(list) : 0;
    text[0] = L'\0';
    if (IsImportList(id))
        DependencyTip(dialog, id == IDC_LIST_DELAY, TippedRow(list), text, 1024);
    request->lpszText = text;
}

static INT_PTR Result(HWND dialog, LRESULT result)
{
    SetWindowLongPtrW(dialog, DWLP_MSGRESULT, result);
    return result;
}

static INT_PTR OnNotify(HWND dialog, const NMHDR* header)
{
    switch (header->code) {
    case NM_CUSTOMDRAW:
        if (IsColouredList(header->idFrom))
            return Result(dialog, CustomDrawList(dialog, reinterpret_cast<NMLVCUSTOMDRAW*>(const_cast<NMHDR*>(header))));
        return FALSE;
    case NM_DBLCLK:
        if (IsImportList(header->idFrom))
            OpenDependency(header->hwndFrom);
        return FALSE;
    case TTN_GETDISPINFOW:
        ShowRowTip(dialog, reinterpret_cast<NMTTDISPINFOW*>(const_cast<NMHDR*>(header)));
        return FALSE;
    case LVN_KEYDOWN:
        if (IsList(header->idFrom))
            OnListKeyDown(dialog, reinterpret_cast<const NMLVKEYDOWN*>(header));
        return FALSE;
    case TCN_SELCHANGE:
        ShowSelectedTab(dialog);
        return FALSE;
    }
    return FALSE;
}

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (OnFindMessage(dialog, message, wParam, lParam) || OnDependencyWalkMessage(dialog, message, wParam, lParam))
        return TRUE;
    switch (message) {
    case WM_INITDIALOG:
        AttachCaption(dialog);
        AttachDependencyWalk(dialog);
        InitMainDialog(dialog, lParam != DIALOG_NO_COMMAND_LINE);
        return FALSE;
    case WM_COMMAND:
        if (wParam == IDCANCEL)
            EndDialog(dialog, 0);
        else if (wParam == IDC_BROWSE)
            BrowseForImage(dialog);
        return FALSE;
    case WM_NOTIFY:
        return OnNotify(dialog, reinterpret_cast<const NMHDR*>(lParam));
    case WM_DROPFILES:
        OpenDroppedImage(dialog, reinterpret_cast<HDROP>(wParam));
        return FALSE;
    case WM_DESTROY:
        DetachFind(dialog);
        DetachDependencyWalk(dialog);
        DetachCaption(dialog);
        return FALSE;
    }
    return FALSE;
}

HWND CreateHiddenMainDialog(HMODULE resources)
{
    HRSRC found = FindResourceW(resources, MAKEINTRESOURCEW(IDD_MAIN), RT_DIALOG);
    HGLOBAL loaded = found ? LoadResource(resources, found) : NULL;
    const BYTE* bytes = static_cast<const BYTE*>(loaded ? LockResource(loaded) : NULL);
    DWORD size = found ? SizeofResource(resources, found) : 0;
    if (!bytes || size < 16)
        return NULL;
    BYTE* copy = static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), 0, size));
    if (!copy)
        return NULL;
    memcpy(copy, bytes, size);
    // A DLGTEMPLATEEX starts with version 1 and 0xFFFF; its style follows the
    // help id and the extended style. A plain DLGTEMPLATE starts with its style.
    WORD version, signature;
    memcpy(&version, copy, sizeof version);
    memcpy(&signature, copy + 2, sizeof signature);
    size_t at = version == 1 && signature == 0xFFFF ? 12 : 0;
    DWORD style;
    memcpy(&style, copy + at, sizeof style);
    style &= ~static_cast<DWORD>(WS_VISIBLE | DS_SETFOREGROUND);
    memcpy(copy + at, &style, sizeof style);
    HWND dialog = CreateDialogIndirectParamW(resources, reinterpret_cast<const DLGTEMPLATE*>(copy), NULL,
                                             MainDialogProc, DIALOG_NO_COMMAND_LINE);
    HeapFree(GetProcessHeap(), 0, copy);
    return dialog;
}
