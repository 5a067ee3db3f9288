// The JSON form: one array with an object per file and a key per view. Every
// value is the text of a cell as the viewer shows it. The printer places its
// own separators, from where it is in the document.
#include "print_views.h"

static void PutKey(Output* out, const char* key)
{
    PutChar(out, '"');
    PutText(out, key);
    PutText(out, "\": ");
}

static void PutObject(Output* out, const RowTable* table, int row, const Field* fields, int count)
{
    PutChar(out, '{');
    for (int f = 0; f < count; ++f) {
        if (f > 0)
            PutText(out, ", ");
        PutKey(out, fields[f].key);
        PutJsonString(out, TableCell(table, row, fields[f].column));
    }
    PutChar(out, '}');
}

static void BeginFile(Printer* p, const wchar_t* file)
{
    PutText(p->out, p->anyFile ? ",\n{" : "[\n{");
    p->anyFile = true;
    PutKey(p->out, "file");
    PutJsonString(p->out, file);
}

static void Failure(Printer* p, const wchar_t* file, const wchar_t* why)
{
    BeginFile(p, file);
    PutText(p->out, ", ");
    PutKey(p->out, "error");
    PutJsonString(p->out, why);
    PutChar(p->out, '}');
}

static void BeginView(Printer* p, const ViewFormat* format)
{
    PutText(p->out, ",\n  ");
    PutKey(p->out, format->key);
    p->inGroup = false;
    p->firstItem = true;
    p->total = -1;
    switch (format->shape) {
    case SHAPE_GROUPS:
    case SHAPE_ROWS: PutChar(p->out, '['); break;
    case SHAPE_SECTIONS:
        PutText(p->out, "{\n  ");
        PutKey(p->out, "sections");
        PutChar(p->out, '[');
        break;
    case SHAPE_SUMMARY: PutChar(p->out, '{'); break;
    }
}

// A header row opens a group named by its column 1; rows above the first
// header, which no view writes, form a group without a name.
static void GroupRow(Printer* p, const ViewFormat* format, const RowTable* table, int row, LibraryPath resolution,
                     const wchar_t* path)
{
    bool header = TableMarker(table, row) == ROW_HEADER;
    if (header || !p->inGroup) {
        PutText(p->out, p->inGroup ? "]},\n    {" : "\n    {");
        PutKey(p->out, format->groupKey);
        if (header)
            PutJsonString(p->out, TableCell(table, row, 1));
        else
            PutText(p->out, "null");
        if (resolution != PATH_NOT_ASKED) {
            PutText(p->out, ", ");
            PutKey(p->out, "path");
            if (resolution == PATH_FOUND)
                PutJsonString(p->out, path);
            else
                PutText(p->out, "null");
        }
        PutText(p->out, ", ");
        PutKey(p->out, format->itemsKey);
        PutChar(p->out, '[');
        p->inGroup = true;
        p->firstItem = true;
        if (header)
            return;
    }
    if (!p->firstItem)
        PutText(p->out, ", ");
    p->firstItem = false;
    PutObject(p->out, table, row, format->fields, format->fieldCount);
}

static void Row(Printer* p, const ViewFormat* format, const RowTable* table, int row, LibraryPath resolution,
                const wchar_t* path)
{
    bool header = TableMarker(table, row) == ROW_HEADER;
    switch (format->shape) {
    case SHAPE_GROUPS: GroupRow(p, format, table, row, resolution, path); break;
    case SHAPE_ROWS:
    case SHAPE_SECTIONS:
        // The sections' header row is their total, printed after them.
        if (header) {
            p->total = row;
            break;
        }
        PutText(p->out, p->firstItem ? "\n    " : ",\n    ");
        p->firstItem = false;
        PutObject(p->out, table, row, format->fields, format->fieldCount);
        break;
    case SHAPE_SUMMARY:
        if (row >= format->rowKeyCount)
            break;
        PutText(p->out, row > 0 ? ",\n    " : "\n    ");
        PutKey(p->out, format->rowKeys[row]);
        PutJsonString(p->out, TableCell(table, row, 1));
        break;
    }
}

static void EndView(Printer* p, const ViewFormat* format, const RowTable* table)
{
    switch (format->shape) {
    case SHAPE_GROUPS: PutText(p->out, p->inGroup ? "]}\n  ]" : "]"); break;
    case SHAPE_ROWS: PutText(p->out, p->firstItem ? "]" : "\n  ]"); break;
    case SHAPE_SECTIONS:
        PutText(p->out, p->firstItem ? "]" : "\n  ]");
        PutText(p->out, ",\n  ");
        PutKey(p->out, "total");
        if (p->total >= 0)
            PutObject(p->out, table, p->total, format->totalFields, format->totalFieldCount);
        else
            PutText(p->out, "null");
        PutChar(p->out, '}');
        break;
    case SHAPE_SUMMARY: PutChar(p->out, '}'); break;
    }
}

static void EndFile(Printer* p)
{
    PutChar(p->out, '}');
}

static void End(Printer* p)
{
    PutText(p->out, "\n]\n");
}

const PrinterForm JSON_FORM = { BeginFile, Failure, BeginView, Row, EndView, EndFile, End };
