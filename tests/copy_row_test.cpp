// Keys in the lists: Ctrl+C puts the selected row on the clipboard, its cells
// joined by tabs; Ctrl+F and F3 find a row.
#include <windows.h>
#include <gtest/gtest.h>
#include <commctrl.h>
#include <dlgs.h>
#include "shell/find_rows.h"
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

// Keys pressed on the keyboard, run through the dialog's modal loop as
// DialogBoxParamW runs it (IsDialogMessageW first).
static void TypeKeys(HWND dialog, const std::vector<WORD>& down)
{
    std::vector<INPUT> inputs;
    for (size_t i = 0; i < down.size() * 2; ++i) {
        INPUT input = {};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = down[i < down.size() ? i : down.size() * 2 - 1 - i];
        input.ki.dwFlags = i < down.size() ? 0 : KEYEVENTF_KEYUP;
        inputs.push_back(input);
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    for (DWORD start = GetTickCount(); GetTickCount() - start < 300;) {
        MSG msg;
        while (PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE)) {
            if (!IsDialogMessageW(dialog, &msg)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
        Sleep(10);
    }
}

static BOOL CALLBACK CountOwned(HWND window, LPARAM context)
{
    std::pair<HWND, int>* count = reinterpret_cast<std::pair<HWND, int>*>(context);
    if (GetWindow(window, GW_OWNER) == count->first && IsWindowVisible(window))
        ++count->second;
    return TRUE;
}

static int FindDialogs(HWND dialog)
{
    std::pair<HWND, int> count(dialog, 0);
    EnumThreadWindows(GetCurrentThreadId(), CountOwned, reinterpret_cast<LPARAM>(&count));
    return count.second;
}

static int SelectedRow(HWND list)
{
    return static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

static std::wstring Caption(HWND window)
{
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

class FindRows : public ViewerDialogTest {
protected:
    void SetUp() override
    {
        ViewerDialogTest::SetUp();
        const wchar_t* exports[][2] = { { L"0001", L"CreateWindowExW" }, { L"0002", L"createwindow" },
                                        { L"0003", L"DestroyWindow" }, { L"0004", L"Window_Proc" },
                                        { L"0005", L"Get Window Text" } };
        HWND list = GetDlgItem(dialog, IDC_LIST_EXPORTS);
        for (int row = 0; row < 5; ++row) {
            InsertRow(list, row, exports[row][0], ROW_PLAIN);
            SetCell(list, row, 1, exports[row][1]);
        }
        HWND imports = GetDlgItem(dialog, IDC_LIST_IMPORTS);
        InsertRow(imports, 0, NULL, ROW_HEADER);
        SetCell(imports, 0, 1, L"user32.dll");
        InsertRow(imports, 1, L"0000", ROW_PLAIN);
        SetCell(imports, 1, 1, L"CreateWindowExW");
    }
};

TEST_F(FindRows, CtrlFOpensOneFindDialogAndF3Repeats)
{
    SetForegroundWindow(dialog);
    SetFocus(GetDlgItem(dialog, IDC_LIST_IMPORTS));
    TypeKeys(dialog, { VK_CONTROL, 'F' });
    HWND finder = FindDialogWindow();
    ASSERT_TRUE(finder != NULL);
    EXPECT_EQ(1, FindDialogs(dialog));
    EXPECT_EQ(dialog, GetWindow(finder, GW_OWNER));
    // The caption is the template's (two units), not the system's.
    EXPECT_EQ(2, GetWindowTextLengthW(finder));
    TypeKeys(dialog, { VK_CONTROL, 'F' });
    EXPECT_EQ(finder, FindDialogWindow());
    EXPECT_EQ(1, FindDialogs(dialog));

    // Typed into the find dialog; Enter is its Find Next.
    TypeKeys(dialog, { 'W', 'I', 'N', 'D', VK_RETURN });
    HWND imports = GetDlgItem(dialog, IDC_LIST_IMPORTS);
    EXPECT_EQ(1, SelectedRow(imports));
    // Esc closes it; F3 and Shift+F3 search on without it.
    TypeKeys(dialog, { VK_ESCAPE });
    EXPECT_TRUE(FindDialogWindow() == NULL);
    ShowTab(dialog, IDC_LIST_EXPORTS - IDC_LIST_FIRST);
    HWND exports = GetDlgItem(dialog, IDC_LIST_EXPORTS);
    SetFocus(exports);
    TypeKeys(dialog, { VK_F3 });
    EXPECT_EQ(0, SelectedRow(exports));
    TypeKeys(dialog, { VK_F3 });
    EXPECT_EQ(1, SelectedRow(exports));
    TypeKeys(dialog, { VK_SHIFT, VK_F3 });
    EXPECT_EQ(0, SelectedRow(exports));
}

TEST_F(FindRows, FindNextSearchesTheSelectedTabsList)
{
    // `found` -1: nothing is found, the selection stays and the caption says so.
    struct Search { int list; int selected; const wchar_t* text; bool matchCase, wholeWord, down; int found; };
    const Search searches[] = {
        { IDC_LIST_EXPORTS, -1, L"window", false, false, true, 0 },   // part of a name, any case
        { IDC_LIST_EXPORTS, 0, L"window", false, false, true, 1 },    // from the row after the selected one
        { IDC_LIST_EXPORTS, 0, L"Window", true, false, true, 2 },     // match case
        { IDC_LIST_EXPORTS, -1, L"window", true, false, true, 1 },
        { IDC_LIST_EXPORTS, -1, L"Window", false, true, true, 4 },    // whole word: not Window_Proc
        { IDC_LIST_EXPORTS, 2, L"window", false, false, false, 1 },   // upward
        { IDC_LIST_EXPORTS, -1, L"window", false, false, false, 4 },
        { IDC_LIST_EXPORTS, 4, L"create", false, false, true, 0 },    // wraps around
        { IDC_LIST_EXPORTS, 0, L"create", false, false, false, 1 },
        { IDC_LIST_EXPORTS, 0, L"createwindowexw", false, false, true, 0 },   // the selected row, last
        { IDC_LIST_EXPORTS, 1, L"0004", false, false, true, 3 },      // every column
        { IDC_LIST_IMPORTS, -1, L"USER32", false, false, true, 0 },
        { IDC_LIST_EXPORTS, 2, L"user32", false, false, true, -1 },   // only in another tab's list
        { IDC_LIST_EXPORTS, 2, L"Proc", false, true, true, -1 },
    };
    OpenFindDialog(dialog);
    HWND finder = FindDialogWindow();
    ASSERT_TRUE(finder != NULL);
    for (const Search& s : searches) {
        ShowTab(dialog, s.list - IDC_LIST_FIRST);
        HWND list = GetDlgItem(dialog, s.list);
        if (s.selected >= 0)
            SelectRow(list, s.selected);
        else
            ListView_SetItemState(list, -1, 0, LVIS_SELECTED);
        SetDlgItemTextW(finder, edt1, s.text);
        CheckDlgButton(finder, chx2, s.matchCase ? BST_CHECKED : BST_UNCHECKED);
        CheckDlgButton(finder, chx1, s.wholeWord ? BST_CHECKED : BST_UNCHECKED);
        CheckRadioButton(finder, rad1, rad2, s.down ? rad2 : rad1);
        SendMessageW(finder, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(finder, IDOK)));
        EXPECT_EQ(s.found >= 0 ? s.found : s.selected, SelectedRow(list)) << s.text;
        EXPECT_EQ(s.found < 0, Caption(dialog).find(L" - 找不到 ") != std::wstring::npos) << s.text;
    }
    // Opening another file keeps the text.
    OpenInViewer(dialog, BesideTests(L"modview.exe"));
    EXPECT_EQ(finder, FindDialogWindow());
    wchar_t text[64] = {};
    GetDlgItemTextW(finder, edt1, text, 64);
    EXPECT_STREQ(L"Proc", text);
}
