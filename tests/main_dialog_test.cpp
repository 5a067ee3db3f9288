// The main dialog as created from template 1: tabs, columns, fixed rows,
// tab switching, commands and the colouring of group-header rows.
#include <windows.h>
#include <gtest/gtest.h>
#include <commctrl.h>
#include "shell/list_sink.h"
#include "remote_viewer.h"
#include "image/views.h"
#include "res/resource.h"
#include "shell/main_dialog.h"
#include "viewer_dialog.h"

class MainDialog : public ViewerDialogTest {};

static std::wstring TabCaption(HWND tabs, int index)
{
    wchar_t text[64] = {};
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = 64;
    SendMessageW(tabs, TCM_GETITEMW, index, reinterpret_cast<LPARAM>(&item));
    return text;
}

static LVCOLUMNW Column(HWND list, int index, wchar_t* text)
{
    LVCOLUMNW column = {};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
    column.pszText = text;
    column.cchTextMax = 64;
    text[0] = 0;
    SendMessageW(list, LVM_GETCOLUMNW, index, reinterpret_cast<LPARAM>(&column));
    return column;
}

TEST_F(MainDialog, HasSevenTabsCaptionedFromTheStringTable)
{
    HWND tabs = GetDlgItem(dialog, IDC_TABS);
    const wchar_t* expected[] = { L"匯入", L"延遲匯入", L"匯出", L"節段", L"進階", L"版本", L"句子" };
    ASSERT_EQ(7, SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(expected[i], TabCaption(tabs, i)) << "tab " << i;
}

TEST_F(MainDialog, ListsHaveTheirColumnsCaptionsWidthsAndAlignment)
{
    struct Expected { int list; int column; const wchar_t* caption; int width; bool right; };
    // Last columns are auto-sized, so only their caption and alignment are fixed.
    const Expected columns[] = {
        { IDC_LIST_IMPORTS, 0, L"號碼", 80, false }, { IDC_LIST_IMPORTS, 1, L"名稱", -1, false },
        { IDC_LIST_DELAY, 0, L"號碼", 80, false }, { IDC_LIST_DELAY, 1, L"名稱", -1, false },
        { IDC_LIST_EXPORTS, 0, L"號碼", 80, false }, { IDC_LIST_EXPORTS, 1, L"名稱", -1, false },
        { IDC_LIST_SECTIONS, 0, L"名稱", 100, false }, { IDC_LIST_SECTIONS, 1, L"大小", 80, true },
        { IDC_LIST_SECTIONS, 2, L"實際大小", 80, true }, { IDC_LIST_SECTIONS, 3, L"屬性", -1, true },
        { IDC_LIST_SUMMARY, 0, L"", 140, false }, { IDC_LIST_SUMMARY, 1, L"", -1, true },
        { IDC_LIST_VERSION, 0, L"", 130, false }, { IDC_LIST_VERSION, 1, L"", -1, false },
        { IDC_LIST_STRINGS, 0, L"", 50, false }, { IDC_LIST_STRINGS, 1, L"", -1, false },
    };
    for (const Expected& e : columns) {
        HWND list = GetDlgItem(dialog, e.list);
        wchar_t text[64];
        LVCOLUMNW column = Column(list, e.column, text);
        EXPECT_STREQ(e.caption, text) << "list " << e.list << " column " << e.column;
        if (e.width >= 0) {
            EXPECT_EQ(e.width, column.cx) << "list " << e.list << " column " << e.column;
        }
        EXPECT_EQ(e.right ? LVCFMT_RIGHT : LVCFMT_LEFT, column.fmt & LVCFMT_JUSTIFYMASK)
            << "list " << e.list << " column " << e.column;
    }
    const int counts[] = { 2, 2, 2, 4, 2, 2, 2 };
    for (int i = 0; i < VIEW_COUNT; ++i)
        EXPECT_EQ(counts[i], ColumnCount(GetDlgItem(dialog, IDC_LIST_FIRST + i)));
}

TEST_F(MainDialog, SummaryListHoldsFourteenLabelsWithEmptyValues)
{
    HWND list = GetDlgItem(dialog, IDC_LIST_SUMMARY);
    const wchar_t* labels[] = { L"檔案類型", L"程式類型", L"日期", L"時間", L"大小", L"基底位址", L"節段對齊",
                                L"檔案對齊", L"系統版本", L"影像版本", L"副系統版本", L"連結程式版本",
                                L"堆疊保留 / 佔用", L"記憶組保留 / 佔用" };
    ASSERT_EQ(14, RowCount(list));
    for (int r = 0; r < 14; ++r) {
        EXPECT_EQ(labels[r], CellText(list, r, 0));
        EXPECT_EQ(L"", CellText(list, r, 1));
        EXPECT_EQ(ROW_PLAIN, RowMarkerAt(list, r));
    }
    for (int id = IDC_LIST_FIRST; id <= IDC_LIST_LAST; ++id) {
        if (id != IDC_LIST_SUMMARY) {
            EXPECT_EQ(0, RowCount(GetDlgItem(dialog, id))) << id;
        }
        DWORD style = static_cast<DWORD>(SendDlgItemMessageW(dialog, id, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
        EXPECT_TRUE(style & LVS_EX_FULLROWSELECT) << id;
    }
}

TEST_F(MainDialog, SelectingATabShowsOnlyItsList)
{
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(dialog, IDC_LIST_IMPORTS)));
    HWND tabs = GetDlgItem(dialog, IDC_TABS);
    for (int tab = 0; tab < VIEW_COUNT; ++tab) {
        SendMessageW(tabs, TCM_SETCURSEL, tab, 0);
        NMHDR change = { tabs, IDC_TABS, static_cast<UINT>(TCN_SELCHANGE) };
        SendMessageW(dialog, WM_NOTIFY, IDC_TABS, reinterpret_cast<LPARAM>(&change));
        for (int id = IDC_LIST_FIRST; id <= IDC_LIST_LAST; ++id)
            EXPECT_EQ(id == IDC_LIST_FIRST + tab, IsWindowVisible(GetDlgItem(dialog, id)) != FALSE)
                << "tab " << tab << " list " << id;
    }
    // The summary tab shows its labels even with no file open.
    SendMessageW(tabs, TCM_SETCURSEL, 4, 0);
    NMHDR change = { tabs, IDC_TABS, static_cast<UINT>(TCN_SELCHANGE) };
    SendMessageW(dialog, WM_NOTIFY, IDC_TABS, reinterpret_cast<LPARAM>(&change));
    EXPECT_EQ(14, RowCount(GetDlgItem(dialog, IDC_LIST_SUMMARY)));
}

TEST_F(MainDialog, CommandsOtherThanCancelAndBrowseAreIgnored)
{
    SendMessageW(dialog, WM_COMMAND, IDOK, 0);             // Enter
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_BROWSE, 1), 0);  // not exactly 11
    SendMessageW(dialog, WM_COMMAND, 1234, 0);
    PumpMessages();
    EXPECT_TRUE(IsWindow(dialog));
    EXPECT_TRUE(IsWindowVisible(dialog));
}

static LRESULT CustomDraw(HWND dialog, int id, DWORD stage, LPARAM marker, NMLVCUSTOMDRAW* draw)
{
    ZeroMemory(draw, sizeof *draw);
    draw->nmcd.hdr.hwndFrom = GetDlgItem(dialog, id);
    draw->nmcd.hdr.idFrom = id;
    draw->nmcd.hdr.code = NM_CUSTOMDRAW;
    draw->nmcd.dwDrawStage = stage;
    draw->nmcd.lItemlParam = marker;
    draw->clrText = 0x123456;
    draw->clrTextBk = 0x654321;
    SetWindowLongPtrW(dialog, DWLP_MSGRESULT, 0x77);
    INT_PTR handled = MainDialogProc(dialog, WM_NOTIFY, id, reinterpret_cast<LPARAM>(draw));
    if (!handled)
        return -1;
    EXPECT_EQ(handled, GetWindowLongPtrW(dialog, DWLP_MSGRESULT));
    return handled;
}

TEST_F(MainDialog, GroupHeaderRowsAreWhiteOnTealExceptInTheSummary)
{
    NMLVCUSTOMDRAW draw;
    const int coloured[] = { IDC_LIST_IMPORTS, IDC_LIST_DELAY, IDC_LIST_EXPORTS, IDC_LIST_SECTIONS,
                             IDC_LIST_VERSION, IDC_LIST_STRINGS };
    for (int id : coloured) {
        EXPECT_EQ(CDRF_NOTIFYITEMDRAW, CustomDraw(dialog, id, CDDS_PREPAINT, 0, &draw)) << id;
        EXPECT_EQ(CDRF_NEWFONT, CustomDraw(dialog, id, CDDS_ITEMPREPAINT, ROW_HEADER, &draw)) << id;
        EXPECT_EQ(0xFFFFFFu, draw.clrText);
        EXPECT_EQ(0x909000u, draw.clrTextBk);
        EXPECT_EQ(-1, CustomDraw(dialog, id, CDDS_ITEMPREPAINT, ROW_PLAIN, &draw)) << id;
        EXPECT_EQ(0x123456u, draw.clrText);
        EXPECT_EQ(0x654321u, draw.clrTextBk);
    }
    EXPECT_EQ(-1, CustomDraw(dialog, IDC_LIST_SUMMARY, CDDS_PREPAINT, 0, &draw));
    EXPECT_EQ(-1, CustomDraw(dialog, IDC_LIST_SUMMARY, CDDS_ITEMPREPAINT, ROW_HEADER, &draw));
    EXPECT_EQ(0x123456u, draw.clrText);
}

static bool HasVisibleStyle(HWND window)
{
    return (GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE) != 0;
}

TEST_F(MainDialog, OpeningAFileLeavesOnlyTheSelectedTabsListShown)
{
    // As from the command line: the file is opened before the dialog shows.
    ShowWindow(dialog, SW_HIDE);
    OpenInViewer(dialog, BesideTests(L"modview.exe"));
    ASSERT_GT(RowCount(GetDlgItem(dialog, IDC_LIST_STRINGS)), 0);
    for (int id = IDC_LIST_FIRST; id <= IDC_LIST_LAST; ++id)
        EXPECT_EQ(id == IDC_LIST_IMPORTS, HasVisibleStyle(GetDlgItem(dialog, id))) << "list " << id;

    // Opened again from another tab, with the dialog on screen.
    ShowWindow(dialog, SW_SHOW);
    HWND tabs = GetDlgItem(dialog, IDC_TABS);
    SendMessageW(tabs, TCM_SETCURSEL, 3, 0);
    NMHDR change = { tabs, IDC_TABS, static_cast<UINT>(TCN_SELCHANGE) };
    SendMessageW(dialog, WM_NOTIFY, IDC_TABS, reinterpret_cast<LPARAM>(&change));
    OpenInViewer(dialog, BesideTests(L"modview.exe"));
    for (int id = IDC_LIST_FIRST; id <= IDC_LIST_LAST; ++id)
        EXPECT_EQ(id == IDC_LIST_SECTIONS, IsWindowVisible(GetDlgItem(dialog, id)) != FALSE) << "list " << id;
}
