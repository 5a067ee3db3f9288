#include "bench_floor.h"
#include <commctrl.h>
#include "shell/list_sink.h"
#include "res/resource.h"
#include "shell/main_dialog.h"
#include "tools/bench_timing.h"
#include "tools/hidden_dialog.h"

// Big enough that no cell a view writes is cut, so the floor inserts the
// very same texts.
static std::wstring CellText(HWND list, int row, int column)
{
    static std::vector<wchar_t> text(65536);
    GetCell(list, row, column, text.data(), static_cast<int>(text.size()));
    return text.data();
}

std::vector<CapturedList> CaptureLists(HWND dialog)
{
    std::vector<CapturedList> lists;
    for (int id = IDC_LIST_FIRST; id <= IDC_LIST_LAST; ++id) {
        HWND list = GetDlgItem(dialog, id);
        HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
        int columns = static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
        int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
        CapturedList captured;
        captured.id = id;
        for (int r = 0; r < rows; ++r) {
            CapturedRow row;
            LVITEMW item = {};
            item.mask = LVIF_PARAM;
            item.iItem = r;
            SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
            row.marker = item.lParam;
            for (int c = 0; c < columns; ++c)
                row.cells.push_back(CellText(list, r, c));
            captured.rows.push_back(row);
        }
        lists.push_back(captured);
    }
    return lists;
}

void InsertFloor(HWND dialog, const std::vector<CapturedList>& lists, FloorParts* parts)
{
    EmptyLists(dialog);
    for (int id = IDC_LIST_FIRST; id <= IDC_LIST_LAST; ++id)
        SendDlgItemMessageW(dialog, id, WM_SETREDRAW, FALSE, 0);
    double t1 = NowMs();
    for (const CapturedList& captured : lists)
        InsertList(GetDlgItem(dialog, captured.id), captured);
    double t2 = NowMs();
    AutosizeLastColumns(dialog);
    double t3 = NowMs();
    for (int id = IDC_LIST_FIRST; id <= IDC_LIST_LAST; ++id) {
        HWND list = GetDlgItem(dialog, id);
        SendMessageW(list, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(list, NULL, TRUE);
    }
    ShowSelectedTab(dialog);
    if (parts) {
        parts->insert = t2 - t1;
        parts->autosize = t3 - t2;
        parts->redraw = NowMs() - t3;
    }
}

void InsertList(HWND list, const CapturedList& captured)
{
    int r = 0;
    for (const CapturedRow& row : captured.rows) {
        if (captured.id == IDC_LIST_SUMMARY) {
            SetCell(list, r, 1, row.cells.size() > 1 ? row.cells[1].c_str() : L"");
        } else {
            const wchar_t* first = row.cells.empty() || row.cells[0].empty() ? NULL : row.cells[0].c_str();
            InsertRow(list, r, first, static_cast<RowMarker>(row.marker));
            for (size_t c = 1; c < row.cells.size(); ++c) {
                if (!row.cells[c].empty())
                    SetCell(list, r, static_cast<int>(c), row.cells[c].c_str());
            }
        }
        ++r;
    }
}
