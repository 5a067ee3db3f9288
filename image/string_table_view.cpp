// The string-table view: every string of the string-table resources with its
// id, under a language header row wherever the language changes.
#include "views.h"
#include "text_format.h"
#include "resource_dir.h"
#include "string_walk.h"

static const int LANGUAGE_UNITS = 128;

struct StringRows {
    const RowSink* sink;
    int row;   // index of the next row
};

static void AddLanguageRow(void* context, DWORD language)
{
    StringRows* rows = static_cast<StringRows*>(context);
    wchar_t name[LANGUAGE_UNITS];
    if (GetLocaleInfoW(language, LOCALE_SLANGUAGE, name, LANGUAGE_UNITS) == 0)
        LanguageIdText(language, name);
    InsertRow(rows->sink, rows->row, NULL, ROW_HEADER);
    SetCell(rows->sink, rows->row, 1, name);
    ++rows->row;
}

// The string with id 0 is a header row, as a language's is.
static void AddStringRow(void* context, DWORD id, const wchar_t* text, DWORD)
{
    StringRows* rows = static_cast<StringRows*>(context);
    if (id == 0) {
        InsertRow(rows->sink, rows->row, NULL, ROW_HEADER);
    } else {
        wchar_t number[TEXT_UNITS];
        wsprintfW(number, L"%u", id);
        InsertRow(rows->sink, rows->row, number, ROW_PLAIN);
    }
    SetCell(rows->sink, rows->row, 1, text);
    ++rows->row;
}

void ShowStringTables(const RowSink* sink, const ImageView* view)
{
    StringRows rows = { sink, 0 };
    StringVisitor visitor = { &rows, AddLanguageRow, AddStringRow };
    WalkStringTables(view, &visitor);
}
