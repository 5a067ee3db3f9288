// Printing the views of a file, read into tables, through one printer with a
// text and a JSON form: the views and rows are walked once, here, and each
// printer only says how a file, a view and a row look.
#pragma once
#include <windows.h>
#include "image/row_table.h"
#include "loader/closure.h"
#include "output.h"
#include "view_formats.h"

// Where a double-click on a library's header row would lead.
enum LibraryPath {
    PATH_NOT_ASKED,   // not a library's header row, or no --resolve
    PATH_FOUND,
    PATH_NOT_FOUND,
};

struct Printer;

// How a file, a view and a row look in one form of output.
struct PrinterForm {
    void (*beginFile)(Printer* p, const wchar_t* file);
    // A file that was not shown, saying why; standing for beginFile to endFile.
    void (*failure)(Printer* p, const wchar_t* file, const wchar_t* why);
    void (*beginView)(Printer* p, const ViewFormat* format);
    // Row `row` of `table`; `path` is where it leads when `resolution` is PATH_FOUND.
    void (*row)(Printer* p, const ViewFormat* format, const RowTable* table, int row, LibraryPath resolution,
                const wchar_t* path);
    void (*endView)(Printer* p, const ViewFormat* format, const RowTable* table);
    void (*endFile)(Printer* p);
    // After the last file.
    void (*end)(Printer* p);
};

extern const PrinterForm TEXT_FORM;
extern const PrinterForm JSON_FORM;

struct Printer {
    const PrinterForm* form;
    Output* out;
    // The JSON form's place in the document; the text form needs none.
    bool anyFile;
    bool inGroup;
    bool firstItem;
    int total;   // the sections' header row, or -1
};

// What is printed of each file.
struct Choice {
    bool shown[VIEW_COUNT];
    bool resolve;   // add where a double-click would lead for each imported library
};

// The views of a file, named `file` on the command line, from `tables` (by
// ViewId). With --resolve each library is where the file's `closure` (as a
// double-click would) leads; every library not found is counted in `notFound`.
void PrintViews(Printer* p, const wchar_t* file, const RowTable tables[VIEW_COUNT], const Choice* choice,
                const Closure* closure, int* notFound);
