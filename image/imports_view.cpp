// Lists 20 and 21: the libraries an image imports and delay-loads, each
// followed by the functions taken from it, in the order the image stores them.
#include "import_walk.h"
#include "text_format.h"
#include "views.h"

// One list being filled. Its row counter runs across all libraries.
struct ImportRows {
    const RowSink* sink;
    const ImageView* view;
    int row;                    // index of the next row
    wchar_t text[NAME_UNITS];   // every cell is built here
};

// Converts the 8-bit name at `name` into the cell buffer. The name ends at its
// NUL or at the end of the file, and is cut to fit the buffer.
static void ConvertName(ImportRows* rows, const BYTE* name)
{
    AnsiToWide(reinterpret_cast<const char*>(name), BytesLeft(rows->view, name), rows->text, NAME_UNITS);
}

static void AddLibraryRow(void* context, const BYTE* name, bool)
{
    ImportRows* rows = static_cast<ImportRows*>(context);
    InsertRow(rows->sink, rows->row, NULL, ROW_HEADER);
    if (name) {
        ConvertName(rows, name);
        SetCell(rows->sink, rows->row, 1, rows->text);
    }
    ++rows->row;
}

// A function's row; when the hint of a by-name entry cannot be read the row
// still stands for the entry, with both cells empty.
static void AddFunctionRow(void* context, const ImportedFunction* function)
{
    ImportRows* rows = static_cast<ImportRows*>(context);
    if (function->byOrdinal) {
        FormatHex4(function->ordinal, rows->text);
        InsertRow(rows->sink, rows->row, rows->text, ROW_PLAIN);
    } else if (function->hintRead) {
        FormatHex4(function->hint, rows->text);
        InsertRow(rows->sink, rows->row, rows->text, ROW_PLAIN);
        ConvertName(rows, function->name);
        SetCell(rows->sink, rows->row, 1, rows->text);
    } else {
        InsertRow(rows->sink, rows->row, L"", ROW_PLAIN);
    }
    ++rows->row;
}

static void ShowImportTable(const RowSink* sink, const ImageView* view, bool delay)
{
    ImportRows rows = { sink, view, 0, L"" };
    ImportVisitor visitor = { &rows, AddLibraryRow, AddFunctionRow };
    WalkImports(view, delay, &visitor);
}

void ShowImports(const RowSink* sink, const ImageView* view)
{
    ShowImportTable(sink, view, false);
}

void ShowDelayImports(const RowSink* sink, const ImageView* view)
{
    ShowImportTable(sink, view, true);
}
