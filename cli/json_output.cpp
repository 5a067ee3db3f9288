// The JSON form: an object per file, with a key per view. Every value is the
// text of a cell as the viewer shows it.
#include "report.h"
#include "output.h"
#include "res/resource.h"

// Where a field of an object comes from: the cell in `column`.
struct Field {
    const char* key;
    int column;
};

static std::wstring CellOf(const Row& row, int column)
{
    return column < static_cast<int>(row.cells.size()) ? row.cells[column] : std::wstring();
}

static void AppendKey(std::string* out, const char* key)
{
    *out += '"';
    *out += key;
    *out += "\": ";
}

static void AppendObject(std::string* out, const Row& row, const Field* fields, int count)
{
    *out += '{';
    for (int f = 0; f < count; ++f) {
        if (f > 0)
            *out += ", ";
        AppendKey(out, fields[f].key);
        AppendJsonString(out, CellOf(row, fields[f].column));
    }
    *out += '}';
}

// A plain list: an object per row.
static void AppendRows(std::string* out, const std::vector<Row>& rows, const Field* fields, int count)
{
    *out += '[';
    for (size_t r = 0; r < rows.size(); ++r) {
        *out += r > 0 ? ",\n    " : "\n    ";
        AppendObject(out, rows[r], fields, count);
    }
    *out += rows.empty() ? "]" : "\n  ]";
}

// A grouped list: an object per group-header row, named by its column 1 and
// holding the rows below it (rows above the first header, which no view
// writes, form a group without a name).
static void AppendGroups(std::string* out, const std::vector<Row>& rows, const char* groupKey, const char* itemsKey,
                         const Field* fields, int count, bool resolve)
{
    *out += '[';
    bool inGroup = false, firstGroup = true, firstItem = true;
    for (const Row& row : rows) {
        if (row.header || !inGroup) {
            if (inGroup)
                *out += "]}";
            *out += firstGroup ? "\n    {" : ",\n    {";
            firstGroup = false;
            AppendKey(out, groupKey);
            if (row.header)
                AppendJsonString(out, CellOf(row, 1));
            else
                *out += "null";
            if (resolve && row.resolved) {
                *out += ", ";
                AppendKey(out, "path");
                if (row.path.empty())
                    *out += "null";
                else
                    AppendJsonString(out, row.path);
            }
            *out += ", ";
            AppendKey(out, itemsKey);
            *out += '[';
            inGroup = true;
            firstItem = true;
            if (row.header)
                continue;
        }
        if (!firstItem)
            *out += ", ";
        firstItem = false;
        AppendObject(out, row, fields, count);
    }
    if (inGroup)
        *out += "]}\n  ";
    *out += ']';
}

static const Field NAMED_NUMBER[] = { { "number", 0 }, { "name", 1 } };
static const Field SECTION[] = { { "name", 0 }, { "size", 1 }, { "raw_size", 2 }, { "attributes", 3 } };
static const Field TOTAL[] = { { "label", 0 }, { "size", 1 }, { "raw_size", 2 } };
static const Field VERSION_VALUE[] = { { "name", 0 }, { "value", 1 } };
static const Field STRING[] = { { "id", 0 }, { "text", 1 } };
// The header summary's rows, in order, by plain keys whatever the language.
static const char* const SUMMARY_KEYS[] = {
    "file_type", "program_type", "date", "time", "size", "base_address", "section_alignment",
    "file_alignment", "system_version", "image_version", "subsystem_version", "linker_version",
    "stack_reserve_commit", "heap_reserve_commit",
};
const int SUMMARY_ROWS = sizeof SUMMARY_KEYS / sizeof SUMMARY_KEYS[0];

// The sections and, apart from them, their totals row.
static void AppendSections(std::string* out, const std::vector<Row>& rows)
{
    std::vector<Row> sections;
    const Row* total = NULL;
    for (const Row& row : rows) {
        if (row.header)
            total = &row;
        else
            sections.push_back(row);
    }
    *out += "{\n  ";
    AppendKey(out, "sections");
    AppendRows(out, sections, SECTION, 4);
    *out += ",\n  ";
    AppendKey(out, "total");
    if (total)
        AppendObject(out, *total, TOTAL, 3);
    else
        *out += "null";
    *out += '}';
}

static void AppendSummary(std::string* out, const std::vector<Row>& rows)
{
    *out += '{';
    for (int r = 0; r < SUMMARY_ROWS && r < static_cast<int>(rows.size()); ++r) {
        *out += r > 0 ? ",\n    " : "\n    ";
        AppendKey(out, SUMMARY_KEYS[r]);
        AppendJsonString(out, CellOf(rows[r], 1));
    }
    *out += "}";
}

void WriteJsonReport(const FileReport& report, const bool* shown, bool resolve, bool first)
{
    std::string out = first ? "[\n{" : ",\n{";
    AppendKey(&out, "file");
    AppendJsonString(&out, report.file);
    if (report.result != OPEN_SHOWN) {
        out += ", ";
        AppendKey(&out, "error");
        AppendJsonString(&out, FailureText(report));
    }
    for (int v = 0; v < VIEW_COUNT && report.result == OPEN_SHOWN; ++v) {
        if (!shown[v])
            continue;
        out += ",\n  ";
        AppendKey(&out, VIEWS[v].key);
        const std::vector<Row>& rows = report.views[v];
        switch (VIEWS[v].list) {
        case IDC_LIST_IMPORTS:
        case IDC_LIST_DELAY: AppendGroups(&out, rows, "library", "functions", NAMED_NUMBER, 2, resolve); break;
        case IDC_LIST_EXPORTS: AppendRows(&out, rows, NAMED_NUMBER, 2); break;
        case IDC_LIST_SECTIONS: AppendSections(&out, rows); break;
        case IDC_LIST_SUMMARY: AppendSummary(&out, rows); break;
        case IDC_LIST_VERSION: AppendGroups(&out, rows, "language", "values", VERSION_VALUE, 2, false); break;
        case IDC_LIST_STRINGS: AppendGroups(&out, rows, "language", "strings", STRING, 2, false); break;
        }
        Flush(&out);
    }
    out += '}';
    Flush(&out);
}
