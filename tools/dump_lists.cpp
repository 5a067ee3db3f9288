// modview_dump: opens each file named on the command line in a real (hidden)
// main dialog through OpenImage and prints every list as UTF-8 text:
//   == <file>
//   -- list <id>
//   <marker>\t<cell 0>\t<cell 1>...
// Backslash, tab, CR and LF inside a cell are written as \\, \t, \r and \n,
// so that every row stays one line (string resources hold line breaks).
// Used by the reference comparisons and handy for looking at a file by hand.
#include <windows.h>
#include <commctrl.h>
#include <stdio.h>
#include <string>
#include <vector>
#include "image/open_image.h"
#include "res/resource.h"
#include "shell/main_dialog.h"

static void Print(const std::wstring& text)
{
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), NULL, 0, NULL, NULL);
    std::string out(bytes, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], bytes, NULL, NULL);
    fwrite(out.data(), 1, out.size(), stdout);
}

static std::wstring Escape(const wchar_t* text)
{
    std::wstring out;
    for (; *text; ++text) {
        switch (*text) {
        case L'\\': out += L"\\\\"; break;
        case L'\t': out += L"\\t"; break;
        case L'\r': out += L"\\r"; break;
        case L'\n': out += L"\\n"; break;
        default: out += *text;
        }
    }
    return out;
}

static std::wstring Cell(HWND list, int row, int column)
{
    std::vector<wchar_t> text(4096, 0);
    LVITEMW item = {};
    item.iSubItem = column;
    item.pszText = text.data();
    item.cchTextMax = static_cast<int>(text.size());
    SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    return Escape(text.data());
}

static void DumpList(HWND list, int id)
{
    Print(L"-- list " + std::to_wstring(id) + L"\n");
    HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    int columns = static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
    int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int r = 0; r < rows; ++r) {
        LVITEMW item = {};
        item.mask = LVIF_PARAM;
        item.iItem = r;
        SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
        std::wstring line = std::to_wstring(item.lParam);
        for (int c = 0; c < columns; ++c)
            line += L"\t" + Cell(list, r, c);
        Print(line + L"\n");
    }
}

int wmain(int argc, wchar_t** argv)
{
    INITCOMMONCONTROLSEX controls = { sizeof controls, ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES };
    InitCommonControlsEx(&controls);
    HWND dialog = CreateDialogParamW(GetModuleHandleW(NULL), MAKEINTRESOURCEW(IDD_MAIN), NULL, MainDialogProc, 0);
    if (!dialog) {
        fprintf(stderr, "modview_dump: cannot create the dialog\n");
        return 2;
    }
    ShowWindow(dialog, SW_HIDE);
    for (int i = 1; i < argc; ++i) {
        wchar_t path[MAX_PATH] = {};
        lstrcpynW(path, argv[i], MAX_PATH);
        Print(L"== " + std::wstring(argv[i]) + L"\n");
        OpenImage(dialog, path);
        for (int id = IDC_LIST_FIRST; id <= IDC_LIST_LAST; ++id)
            DumpList(GetDlgItem(dialog, id), id);
    }
    fflush(stdout);
    DestroyWindow(dialog);
    return 0;
}
