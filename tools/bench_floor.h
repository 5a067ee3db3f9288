// The floor of opening a file: the rows an open left in the dialog's lists,
// captured, and inserted again just as OpenImage inserts them, without the file.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

struct CapturedRow {
    LPARAM marker;
    std::vector<std::wstring> cells;
};

struct CapturedList {
    int id;
    std::vector<CapturedRow> rows;
};

// The rows, markers and cell texts of every list of the dialog.
std::vector<CapturedList> CaptureLists(HWND dialog);

// Where the floor's fill goes, in ms: inserting, auto-sizing, redraw.
struct FloorParts {
    double insert, autosize, redraw;
};

// What OpenImage does to the lists, with the rows taken from `lists` instead
// of from a file. The summary list keeps its fixed rows; only its values are
// written again.
void InsertFloor(HWND dialog, const std::vector<CapturedList>& lists, FloorParts* parts = NULL);
// Inserts the captured rows of one list, as InsertFloor does for all.
void InsertList(HWND list, const CapturedList& captured);
