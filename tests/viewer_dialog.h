// The real main dialog, created in the test process, and ways to read its lists.
#pragma once
#include <windows.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "shell/list_sink.h"

struct ListRow {
    std::vector<std::wstring> cells;   // one per column
    LPARAM marker;
};

// Creates dialog 1 from this executable's resources with MainDialogProc,
// modeless. Destroy it with DestroyWindow.
HWND CreateViewerDialog();
HWND ViewerList(HWND dialog, int id);

// Calls OpenImage with a copy of `path` in a 260-unit buffer; returns what
// OpenImage left in that buffer.
std::wstring OpenInViewer(HWND dialog, const std::wstring& path);
// Writes `bytes` to a scratch file named `name` and opens it.
void OpenBytesInViewer(HWND dialog, const std::vector<BYTE>& bytes, const std::wstring& name);

int RowCount(HWND list);
std::wstring CellText(HWND list, int row, int column);
LPARAM RowMarkerAt(HWND list, int row);
std::vector<ListRow> ReadRows(HWND list);
// Rows as lines "marker|cell0|cell1|...", handy in assertions.
std::vector<std::wstring> RowLines(HWND list);

// Processes pending messages of this thread.
void PumpMessages();

// A fixture holding a real main dialog for the length of one test.
class ViewerDialogTest : public testing::Test {
protected:
    void SetUp() override
    {
        dialog = CreateViewerDialog();
        ASSERT_TRUE(dialog != NULL);
    }
    void TearDown() override { DestroyWindow(dialog); }
    HWND dialog = NULL;
};
