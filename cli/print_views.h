// Printing the viewer's seven lists, as the console companion does: the rows
// are read back from a real (hidden) main dialog after OpenImage, so that
// they are the very rows the viewer shows.
#pragma once
#include <windows.h>
#include "output.h"

// The views by the names the command line and the JSON use, in tab order.
struct ViewName {
    const char* option;   // --view NAME
    const char* key;      // its key in the JSON
    int list;             // the dialog's list control
};
const int VIEW_COUNT = 7;
extern const ViewName VIEWS[VIEW_COUNT];

// What is printed of each file.
struct Choice {
    bool shown[VIEW_COUNT];
    bool resolve;   // add where a double-click would lead for each imported library
};

// Room for the longest cell a view writes (a string resource of 1,022 units).
const int CELL_UNITS = 2048;

int RowCount(HWND list);
int ColumnCount(HWND list);
bool IsHeaderRow(HWND list, int row);
// The text of a cell, into CELL_UNITS units.
void ReadCell(HWND list, int row, int column, wchar_t* text);
// True for the import lists, whose header rows name libraries.
bool ListsLibraries(int list);
// Where a double-click on the library of header row `row` leads, into
// MAX_PATH units: the API set's host for `importer`, then the search from
// the current directory. False when not found, which is counted in `notFound`.
bool ResolveLibrary(HWND list, int row, const wchar_t* importer, wchar_t* path, int* notFound);

// The views of the file shown in `dialog`, named `file` on the command line.
void PrintTextViews(Output* out, HWND dialog, const wchar_t* file, const wchar_t* importer, const Choice* choice,
                    int* notFound);
void PrintJsonViews(Output* out, HWND dialog, const wchar_t* file, const wchar_t* importer, const Choice* choice,
                    int* notFound, bool first);
// The object of a file that was not shown, saying why.
void PrintJsonFailure(Output* out, const wchar_t* file, const wchar_t* why, bool first);
