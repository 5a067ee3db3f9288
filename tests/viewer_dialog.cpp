#include "viewer_dialog.h"
#include <commctrl.h>
#include "pe_builder.h"
#include "shell/open_image.h"
#include "res/resource.h"
#include "shell/main_dialog.h"

HWND CreateViewerDialog()
{
    return CreateDialogParamW(GetModuleHandleW(NULL), MAKEINTRESOURCEW(IDD_MAIN), NULL, MainDialogProc, 0);
}

HWND ViewerList(HWND dialog, int id)
{
    return GetDlgItem(dialog, id);
}

std::wstring OpenInViewer(HWND dialog, const std::wstring& path)
{
    wchar_t buffer[MAX_PATH] = {};
    lstrcpynW(buffer, path.c_str(), MAX_PATH);
    OpenImage(dialog, buffer);
    return buffer;
}

void OpenBytesInViewer(HWND dialog, const std::vector<BYTE>& bytes, const std::wstring& name)
{
    std::wstring path = ScratchPath(name);
    WriteFileBytes(path, bytes);
    OpenInViewer(dialog, path);
}

int RowCount(HWND list)
{
    return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
}

std::wstring CellText(HWND list, int row, int column)
{
    // Room for the longest cell, a version value.
    static wchar_t text[32768];
    text[0] = L'\0';
    LVITEMW item = {};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = 32768;
    SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    return text;
}

LPARAM RowMarkerAt(HWND list, int row)
{
    LVITEMW item = {};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    return item.lParam;
}

std::vector<ListRow> ReadRows(HWND list)
{
    std::vector<ListRow> rows;
    int count = RowCount(list), columns = ColumnCount(list);
    for (int r = 0; r < count; ++r) {
        ListRow row;
        for (int c = 0; c < columns; ++c)
            row.cells.push_back(CellText(list, r, c));
        row.marker = RowMarkerAt(list, r);
        rows.push_back(row);
    }
    return rows;
}

std::vector<std::wstring> RowLines(HWND list)
{
    std::vector<std::wstring> lines;
    for (const ListRow& row : ReadRows(list)) {
        std::wstring line = std::to_wstring(row.marker);
        for (const std::wstring& cell : row.cells)
            line += L"|" + cell;
        lines.push_back(line);
    }
    return lines;
}

void PumpMessages()
{
    MSG msg;
    while (PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}
