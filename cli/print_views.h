// Printing the views of a file in one of two forms: text, the viewer's rows
// from tables in memory, and JSON, data read from the image itself. One
// printer frames the files in either form (--deps prints through it too).
#pragma once
#include <windows.h>
#include "image/image_view.h"
#include "image/row_table.h"
#include "loader/closure.h"
#include "json_write.h"
#include "output.h"
#include "report_views.h"
#include "view_formats.h"

struct Printer;

// How the files look in one form of output.
struct PrinterForm {
    void (*beginFile)(Printer* p, const wchar_t* file);
    // A file that was not shown, saying why; standing for beginFile to endFile.
    void (*failure)(Printer* p, const wchar_t* file, const wchar_t* why);
    void (*endFile)(Printer* p);
    // After the last file.
    void (*end)(Printer* p);
};

extern const PrinterForm TEXT_FORM;
extern const PrinterForm JSON_FORM;

struct Printer {
    const PrinterForm* form;
    Output* out;
    JsonWriter json;   // the JSON form's place in the document
    bool anyFile;
};

// What is printed of each file.
struct Choice {
    bool shown[VIEW_COUNT];
    bool reports[REPORT_COUNT];   // the companion's own views
    bool resolve;   // add where a double-click would lead for each imported library
};

// Where the imported library `name` leads with --resolve: the path in the
// file's `closure` (as a double-click would), or "" when not found, which is
// counted in `notFound`.
const wchar_t* ResolvedPath(const Closure* closure, const wchar_t* name, int* notFound);

// The views of a file, named `file` on the command line and at `fullPath`,
// as text from `tables` (by ViewId), the companion's own from `view`. With a
// `closure`, each library's row ends in where it leads.
void PrintTextViews(Printer* p, const wchar_t* file, const wchar_t* fullPath, const ImageView* view,
                    const RowTable tables[VIEW_COUNT], const Choice* choice, const Closure* closure, int* notFound);

// The views of a file as JSON, read from `view` (its section index built).
// False when a view could not be read whole (out of memory).
bool PrintJsonViews(Printer* p, const wchar_t* file, const wchar_t* fullPath, const ImageView* view,
                    const Choice* choice, const Closure* closure, int* notFound);

// The companion's own views that `choice` names, in the printer's form.
void PrintReports(Printer* p, const wchar_t* fullPath, const ImageView* view, const Choice* choice);
