#include "views.h"
#include "export_walk.h"
#include "text_format.h"

// No code page needs more than four bytes for one unit of the converted
// name, so nothing beyond this many bytes of a name can be shown.
static const DWORD NAME_BYTES_SHOWN = 4 * NAME_UNITS;

struct ExportRows {
    const RowSink* sink;
    const ImageView* view;
    int row;   // a present slot's row is its number
};

// Shows the name at `name` in column 1 of `row`. A name cut by the end of
// the file is shown as far as it lies inside the file.
static void SetExportName(const ExportRows* rows, int row, const BYTE* name)
{
    DWORD length = BytesLeft(rows->view, name);
    if (length > NAME_BYTES_SHOWN)
        length = NAME_BYTES_SHOWN;
    wchar_t text[NAME_UNITS];
    AnsiToWide(reinterpret_cast<const char*>(name), length, text, NAME_UNITS);
    SetCell(rows->sink, row, 1, text);
}

// Inserts the next row showing the ordinal (nothing for ordinal 0) and, when
// `name` is not null, the name.
static void AddExportRow(ExportRows* rows, DWORD ordinal, const BYTE* name)
{
    wchar_t number[TEXT_UNITS] = L"";
    if (ordinal != 0)
        FormatHex4(ordinal, number);
    InsertRow(rows->sink, rows->row, number, ROW_PLAIN);
    if (name)
        SetExportName(rows, rows->row, name);
    ++rows->row;
}

static void AddSlotRow(void* context, DWORD ordinal, DWORD)
{
    AddExportRow(static_cast<ExportRows*>(context), ordinal, NULL);
}

// A name on a present slot names its row (a later name replaces an earlier
// one); any other name gets a row of its own.
static void AddName(void* context, int slot, DWORD ordinal, const BYTE* name)
{
    ExportRows* rows = static_cast<ExportRows*>(context);
    if (slot < 0)
        AddExportRow(rows, ordinal, name);
    else if (name)
        SetExportName(rows, slot, name);
}

void ShowExports(const RowSink* sink, const ImageView* view)
{
    ExportRows rows = { sink, view, 0 };
    ExportVisitor visitor = { &rows, AddSlotRow, AddName };
    WalkExports(view, &visitor);
}
