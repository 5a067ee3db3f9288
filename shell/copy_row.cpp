#include "copy_row.h"
#include "list_sink.h"

// Writes the row's cells, separated by tabs, into `text`, which has room for
// columns * (CELL_UNITS + 1) units: each cell takes at most its tab,
// CELL_UNITS - 1 units of text and a terminator. Returns the length.
static SIZE_T JoinCells(HWND list, int row, int columns, wchar_t* text)
{
    SIZE_T length = 0;
    text[0] = L'\0';
    for (int column = 0; column < columns; ++column) {
        if (column > 0)
            text[length++] = L'\t';
        length += GetCell(list, row, column, text + length, CELL_UNITS);
    }
    return length;
}

// Copies the text into a block of its own length: the clipboard keeps it.
static HGLOBAL RowText(HWND list, int row, int columns)
{
    SIZE_T room = static_cast<SIZE_T>(columns) * (CELL_UNITS + 1) * sizeof(wchar_t);
    wchar_t* scratch = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, room));
    if (!scratch)
        return NULL;
    SIZE_T bytes = (JoinCells(list, row, columns, scratch) + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    void* target = memory ? GlobalLock(memory) : NULL;
    if (target) {
        CopyMemory(target, scratch, bytes);
        GlobalUnlock(memory);
    } else if (memory) {
        GlobalFree(memory);
        memory = NULL;
    }
    HeapFree(GetProcessHeap(), 0, scratch);
    return memory;
}

void CopySelectedRow(HWND dialog, HWND list)
{
    int row = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    int columns = ColumnCount(list);
    if (row < 0 || columns <= 0)
        return;
    HGLOBAL text = RowText(list, row, columns);
    if (!text)
        return;
    if (!OpenClipboard(dialog)) {
        GlobalFree(text);
        return;
    }
    EmptyClipboard();
    // Once set, the clipboard owns the block.
    if (!SetClipboardData(CF_UNICODETEXT, text))
        GlobalFree(text);
    CloseClipboard();
}

void OnListKeyDown(HWND dialog, const NMLVKEYDOWN* key)
{
    // Ctrl+Alt is AltGr on many keyboards: that is a character, not a command.
    bool control = GetKeyState(VK_CONTROL) < 0 && GetKeyState(VK_MENU) >= 0;
    if (key->wVKey == 'C' && control)
        CopySelectedRow(dialog, key->hdr.hwndFrom);
}
