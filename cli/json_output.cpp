// The JSON form: an object per file, with a key per view. Every value is the
// text of a cell as the viewer shows it.
#include "print_views.h"
#include "res/resource.h"

// Where a field of an object comes from: the cell in `column`.
struct Field {
    const char* key;
    int column;
};

static const Field NAMED_NUMBER[] = { { "number", 0 }, { "name", 1 } };
static const Field SECTION[] = { { "name", 0 }, { "size", 1 }, { "raw_size", 2 }, { "attributes", 3 } };
static const Field TOTAL[] = { { "label", 0 }, { "size", 1 }, { "raw_size", 2 } };
static const Field VERSION_VALUE[] = { { "name", 0 }, { "value", 1 } };
static const Field STRING[] = { { "id", 0 }, { "text", 1 } };
#define FIELDS(table) table, static_cast<int>(sizeof table / sizeof table[0])

// The header summary's rows, in order, by plain keys whatever the language.
static const char* const SUMMARY_KEYS[] = {
    "file_type", "program_type", "date", "time", "size", "base_address", "section_alignment",
    "file_alignment", "system_version", "image_version", "subsystem_version", "linker_version",
    "stack_reserve_commit", "heap_reserve_commit",
};
static const int SUMMARY_ROWS = sizeof SUMMARY_KEYS / sizeof SUMMARY_KEYS[0];

static void PutKey(Output* out, const char* key)
{
    PutChar(out, '"');
    PutText(out, key);
    PutText(out, "\": ");
}

static void PutCellString(Output* out, HWND list, int row, int column)
{
    wchar_t text[CELL_UNITS];
    ReadCell(list, row, column, text);
    PutJsonString(out, text);
}

static void PutObject(Output* out, HWND list, int row, const Field* fields, int count)
{
    PutChar(out, '{');
    for (int f = 0; f < count; ++f) {
        if (f > 0)
            PutText(out, ", ");
        PutKey(out, fields[f].key);
        PutCellString(out, list, row, fields[f].column);
    }
    PutChar(out, '}');
}

// An object for each row that is (or is not) a header row.
static void PutRows(Output* out, HWND list, bool headers, const Field* fields, int count)
{
    PutChar(out, '[');
    bool first = true;
    for (int r = 0, rows = RowCount(list); r < rows; ++r) {
        if (IsHeaderRow(list, r) != headers)
            continue;
        PutText(out, first ? "\n    " : ",\n    ");
        first = false;
        PutObject(out, list, r, fields, count);
    }
    PutText(out, first ? "]" : "\n  ]");
}

// An object per group-header row, named by its column 1 and holding the rows
// below it; rows above the first header, which no view writes, form a group
// without a name. With `resolveFor` (the viewed file's name), a library's
// group also says where a double-click would lead.
static void PutGroups(Output* out, HWND list, const char* groupKey, const char* itemsKey, const Field* fields,
                      int count, const wchar_t* resolveFor, int* notFound)
{
    PutChar(out, '[');
    bool inGroup = false, firstItem = true;
    for (int r = 0, rows = RowCount(list); r < rows; ++r) {
        bool header = IsHeaderRow(list, r);
        if (header || !inGroup) {
            PutText(out, inGroup ? "]},\n    {" : "\n    {");
            PutKey(out, groupKey);
            if (header)
                PutCellString(out, list, r, 1);
            else
                PutText(out, "null");
            if (resolveFor && header) {
                wchar_t path[MAX_PATH];
                PutText(out, ", ");
                PutKey(out, "path");
                if (ResolveLibrary(list, r, resolveFor, path, notFound))
                    PutJsonString(out, path);
                else
                    PutText(out, "null");
            }
            PutText(out, ", ");
            PutKey(out, itemsKey);
            PutChar(out, '[');
            inGroup = true;
            firstItem = true;
            if (header)
                continue;
        }
        if (!firstItem)
            PutText(out, ", ");
        firstItem = false;
        PutObject(out, list, r, fields, count);
    }
    PutText(out, inGroup ? "]}\n  ]" : "]");
}

// The sections and, apart from them, their totals row.
static void PutSections(Output* out, HWND list)
{
    PutText(out, "{\n  ");
    PutKey(out, "sections");
    PutRows(out, list, false, FIELDS(SECTION));
    PutText(out, ",\n  ");
    PutKey(out, "total");
    int total = -1;
    for (int r = 0, rows = RowCount(list); r < rows; ++r) {
        if (IsHeaderRow(list, r))
            total = r;
    }
    if (total >= 0)
        PutObject(out, list, total, FIELDS(TOTAL));
    else
        PutText(out, "null");
    PutChar(out, '}');
}

static void PutSummary(Output* out, HWND list)
{
    PutChar(out, '{');
    for (int r = 0, rows = RowCount(list); r < SUMMARY_ROWS && r < rows; ++r) {
        PutText(out, r > 0 ? ",\n    " : "\n    ");
        PutKey(out, SUMMARY_KEYS[r]);
        PutCellString(out, list, r, 1);
    }
    PutChar(out, '}');
}

static void PutFile(Output* out, const wchar_t* file, bool first)
{
    PutText(out, first ? "[\n{" : ",\n{");
    PutKey(out, "file");
    PutJsonString(out, file);
}

void PrintJsonViews(Output* out, HWND dialog, const wchar_t* file, const wchar_t* importer, const Choice* choice,
                    int* notFound, bool first)
{
    PutFile(out, file, first);
    for (int v = 0; v < VIEW_COUNT; ++v) {
        if (!choice->shown[v])
            continue;
        PutText(out, ",\n  ");
        PutKey(out, VIEWS[v].key);
        HWND list = GetDlgItem(dialog, VIEWS[v].list);
        const wchar_t* resolveFor = choice->resolve ? importer : NULL;
        switch (VIEWS[v].list) {
        case IDC_LIST_IMPORTS:
        case IDC_LIST_DELAY:
            PutGroups(out, list, "library", "functions", FIELDS(NAMED_NUMBER), resolveFor, notFound);
            break;
        case IDC_LIST_EXPORTS: PutRows(out, list, false, FIELDS(NAMED_NUMBER)); break;
        case IDC_LIST_SECTIONS: PutSections(out, list); break;
        case IDC_LIST_SUMMARY: PutSummary(out, list); break;
        case IDC_LIST_VERSION: PutGroups(out, list, "language", "values", FIELDS(VERSION_VALUE), NULL, NULL); break;
        case IDC_LIST_STRINGS: PutGroups(out, list, "language", "strings", FIELDS(STRING), NULL, NULL); break;
        }
    }
    PutChar(out, '}');
}

void PrintJsonFailure(Output* out, const wchar_t* file, const wchar_t* why, bool first)
{
    PutFile(out, file, first);
    PutText(out, ", ");
    PutKey(out, "error");
    PutJsonString(out, why);
    PutChar(out, '}');
}
