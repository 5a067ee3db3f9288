// What the console companion prints of one file: the rows of the viewer's
// seven lists, read back from a real (hidden) main dialog, so that they are
// the very rows the viewer shows.
#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "image/open_image.h"

// The views by the names the command line and the JSON use, in tab order.
struct ViewName {
    const char* option;   // --view NAME
    const char* key;      // its key in the JSON
    int list;             // the dialog's list control
};
const int VIEW_COUNT = 7;
extern const ViewName VIEWS[VIEW_COUNT];

struct Row {
    bool header;                      // a group-header row (white on teal in the viewer)
    std::vector<std::wstring> cells;  // every column, left to right
    // With --resolve, on a library's header row: where a double-click would lead.
    bool resolved;
    std::wstring path;                // empty when the library was not found
};

struct FileReport {
    std::wstring file;   // as named on the command line
    OpenResult result;
    bool tooLong;        // the path does not fit the viewer's buffer: nothing was opened
    std::vector<Row> views[VIEW_COUNT];
};

// Opens `fullPath` (the full path of `file`, made before any file was opened:
// opening one moves the current directory to its folder) in `dialog` and
// reads the rows of the views chosen in `shown`.
// With `resolve`, each library of the import lists is searched for as a
// double-click would; the count of those not found is added to `notFound`.
void ReadReport(HWND dialog, const std::wstring& file, const std::wstring& fullPath, const bool* shown, bool resolve, FileReport* report,
                int* notFound);

// Why a file was not shown: "cannot open", "not a PE image" or "path too long".
const wchar_t* FailureText(const FileReport& report);

// Writes a report as UTF-8: text (a line per row) or one element of a JSON array.
void WriteTextReport(const FileReport& report, const bool* shown, bool resolve);
void WriteJsonReport(const FileReport& report, const bool* shown, bool resolve, bool first);
