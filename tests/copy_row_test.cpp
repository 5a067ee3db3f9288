// Ctrl+C in a list puts the selected row on the clipboard, its cells joined by tabs.
#include <windows.h>
#include <gtest/gtest.h>
#include <commctrl.h>
#include "shell/list_sink.h"
#include "remote_viewer.h"
#include "res/resource.h"
#include "viewer_dialog.h"

static std::wstring ClipboardText()
{
    std::wstring text = L"(no text)";
    if (!OpenClipboard(NULL))
        return L"(clipboard busy)";
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    const wchar_t* locked = data ? static_cast<const wchar_t*>(GlobalLock(data)) : NULL;
    if (locked) {
        text = locked;
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}

static void PutOnClipboard(const std::wstring& text)
{
    SIZE_T bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    ASSERT_TRUE(memory != NULL);
    CopyMemory(GlobalLock(memory), text.c_str(), bytes);
    GlobalUnlock(memory);
    ASSERT_TRUE(OpenClipboard(NULL));
    EmptyClipboard();
    SetClipboardData(CF_UNICODETEXT, memory);
    CloseClipboard();
}

static void SelectRow(HWND list, int row)
{
    LVITEMW item = {};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
}

static void ShowTab(HWND dialog, int tab)
{
    HWND tabs = GetDlgItem(dialog, IDC_TABS);
    SendMessageW(tabs, TCM_SETCURSEL, tab, 0);
    NMHDR change = { tabs, IDC_TABS, static_cast<UINT>(TCN_SELCHANGE) };
    SendMessageW(dialog, WM_NOTIFY, IDC_TABS, reinterpret_cast<LPARAM>(&change));
}

// Presses `key` in the list, with Ctrl held or not, as the keyboard would: the
// key state says whether Ctrl is down, and the list itself turns the key into
// its LVN_KEYDOWN notification to the dialog.
static void PressKey(HWND list, WORD key, bool control)
{
    SetFocus(list);
    BYTE keys[256];
    GetKeyboardState(keys);
    BYTE saved[3] = { keys[VK_CONTROL], keys[VK_LCONTROL], keys[VK_MENU] };
    keys[VK_CONTROL] = keys[VK_LCONTROL] = control ? 0x80 : 0;
    keys[VK_MENU] = 0;
    SetKeyboardState(keys);
    SendMessageW(list, WM_KEYDOWN, key, 1);
    SendMessageW(list, WM_KEYUP, key, 0xC0000001);
    keys[VK_CONTROL] = saved[0];
    keys[VK_LCONTROL] = saved[1];
    keys[VK_MENU] = saved[2];
    SetKeyboardState(keys);
    PumpMessages();
}

static std::wstring CopiedRow(HWND list, int row)
{
    PutOnClipboard(L"before");
    SelectRow(list, row);
    PressKey(list, 'C', true);
    return ClipboardText();
}

class CopyRow : public ViewerDialogTest {};

TEST_F(CopyRow, CtrlCCopiesTheSelectedRowsCellsJoinedByTabs)
{
    HWND imports = GetDlgItem(dialog, IDC_LIST_IMPORTS);
    InsertRow(imports, 0, NULL, ROW_HEADER);
    SetCell(imports, 0, 1, L"kernel32.dll");
    InsertRow(imports, 1, L"0001", ROW_PLAIN);
    SetCell(imports, 1, 1, L"FunctionName");
    EXPECT_EQ(L"0001\tFunctionName", CopiedRow(imports, 1));
    EXPECT_EQ(L"\tkernel32.dll", CopiedRow(imports, 0));

    // The summary's labels are there before any file, with empty values.
    ShowTab(dialog, IDC_LIST_SUMMARY - IDC_LIST_FIRST);
    HWND summary = GetDlgItem(dialog, IDC_LIST_SUMMARY);
    EXPECT_EQ(L"檔案類型\t", CopiedRow(summary, 0));

    // With a file: a value, and a list of four columns.
    OpenInViewer(dialog, BesideTests(L"modview.exe"));
    EXPECT_EQ(L"檔案類型\t執行檔 ", CopiedRow(summary, 0));
    EXPECT_EQ(L"程式類型\t視窗程式", CopiedRow(summary, 1));
    ShowTab(dialog, IDC_LIST_SECTIONS - IDC_LIST_FIRST);
    HWND sections = GetDlgItem(dialog, IDC_LIST_SECTIONS);
    int totals = RowCount(sections) - 1;
    ASSERT_GT(totals, 0);
    EXPECT_EQ(L".text\t" + CellText(sections, 0, 1) + L"\t" + CellText(sections, 0, 2) + L"\t" + CellText(sections, 0, 3),
              CopiedRow(sections, 0));
    EXPECT_EQ(L"合計\t" + CellText(sections, totals, 1) + L"\t" + CellText(sections, totals, 2) + L"\t",
              CopiedRow(sections, totals));
}

TEST_F(CopyRow, LongCellsAreCopiedWhole)
{
    // Version values may be thousands of units long; nothing of them is lost.
    HWND version = GetDlgItem(dialog, IDC_LIST_VERSION);
    std::wstring longValue(32767, L'v');
    longValue[0] = L'<';
    longValue[32766] = L'>';
    InsertRow(version, 0, L"Comments", ROW_PLAIN);
    SetCell(version, 0, 1, longValue.c_str());
    EXPECT_EQ(L"Comments\t" + longValue, CopiedRow(version, 0));
}

TEST_F(CopyRow, OtherKeysAndNoSelectionLeaveTheClipboardAlone)
{
    HWND exports = GetDlgItem(dialog, IDC_LIST_EXPORTS);
    InsertRow(exports, 0, L"0001", ROW_PLAIN);
    SetCell(exports, 0, 1, L"Exported");

    // No row selected: nothing to copy, and the clipboard keeps its text.
    PutOnClipboard(L"kept");
    PressKey(exports, 'C', true);
    EXPECT_EQ(L"kept", ClipboardText());

    SelectRow(exports, 0);
    PressKey(exports, 'C', false);   // C alone
    EXPECT_EQ(L"kept", ClipboardText());
    PressKey(exports, 'X', true);    // Ctrl+X
    EXPECT_EQ(L"kept", ClipboardText());
    PressKey(exports, VK_RETURN, false);
    EXPECT_EQ(L"kept", ClipboardText());
    EXPECT_TRUE(IsWindow(dialog));

    PressKey(exports, 'C', true);
    EXPECT_EQ(L"0001\tExported", ClipboardText());
}
