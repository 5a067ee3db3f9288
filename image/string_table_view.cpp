// The string-table view: every string of the string-table resources with its
// id, under a language header row wherever the language changes.
#include "views.h"
#include <string.h>
#include "text_format.h"
#include "resource_dir.h"

static const int LANGUAGE_UNITS = 128;
// A counted string has at most 65,535 units; it is copied whole and terminated.
static const int STRING_UNITS = 65536;

// How a block's walk ended.
enum BlockEnd {
    BLOCK_DONE,   // go on with the next language entry
    VIEW_DONE,    // the data lies outside the file: the view ends here
};

// The view being filled.
struct StringRows {
    const RowSink* sink;
    int row;         // index of the next row
    wchar_t* text;   // STRING_UNITS units
};

static void ShowLanguageHeader(StringRows* rows, DWORD language)
{
    wchar_t name[LANGUAGE_UNITS];
    if (GetLocaleInfoW(language, LOCALE_SLANGUAGE, name, LANGUAGE_UNITS) == 0)
        LanguageIdText(language, name);
    InsertRow(rows->sink, rows->row, NULL, ROW_HEADER);
    SetCell(rows->sink, rows->row, 1, name);
    ++rows->row;
}

// The counted strings of one language entry's data; ids start at (block - 1) * 16.
static BlockEnd ShowBlock(StringRows* rows, ResourceWalk* walk, DWORD block, DWORD dataOffset)
{
    const ImageView* view = walk->view;
    // Data that no section holds or that starts at or past the end of the
    // file ends the whole view, and so does a data entry outside the file.
    IMAGE_RESOURCE_DATA_ENTRY data;
    if (!ReadResourceDataEntry(walk, dataOffset, &data))
        return VIEW_DONE;
    const BYTE* strings = RvaToPointer(view, data.OffsetToData);
    if (!strings)
        return VIEW_DONE;
    // Bytes of the file from the block's start; Size may claim more.
    DWORD inFile = ImageBytesLeft(view, strings);
    DWORD id = (block - 1) * 16;
    ULONGLONG consumed = 0;
    while (consumed < data.Size) {
        const BYTE* cursor = consumed < inFile ? strings + consumed : NULL;
        WORD units;
        if (!ReadWord(view, cursor, &units))
            return BLOCK_DONE;
        if (units == 0) {
            if (!SpendResourceBudget(walk, 2))
                return VIEW_DONE;
            consumed += 2;
            ++id;
            continue;
        }
        consumed += 2 + 2 * static_cast<ULONGLONG>(units);
        if (consumed > data.Size)
            return BLOCK_DONE;
        // Within Size but past the end of the file: the block ends there too.
        const BYTE* text = ImageSpan(view, cursor + 2, 2 * static_cast<DWORD>(units));
        if (!text)
            return BLOCK_DONE;
        if (!SpendResourceBudget(walk, 2 + 2 * static_cast<DWORD>(units)))
            return VIEW_DONE;
        // Counted strings carry no terminator; a NUL among the units ends the text.
        memcpy(rows->text, text, 2 * static_cast<DWORD>(units));
        rows->text[units] = L'\0';
        if (id == 0) {
            InsertRow(rows->sink, rows->row, NULL, ROW_HEADER);
        } else {
            wchar_t number[TEXT_UNITS];
            wsprintfW(number, L"%u", id);
            InsertRow(rows->sink, rows->row, number, ROW_PLAIN);
        }
        SetCell(rows->sink, rows->row, 1, rows->text);
        ++rows->row;
        ++id;
    }
    return BLOCK_DONE;
}

// Only NumberOfIdEntries entries are visited at the block and language
// levels, from the first: named entries, stored first, are taken for blocks
// and languages, and as many id entries at the end are left out.
static void ShowBlocks(StringRows* rows, ResourceWalk* walk, const BYTE* blocks, WORD ids)
{
    DWORD previous = 0xFFFFFFFF;   // no language has this id
    for (DWORD b = 0; b < ids; ++b) {
        IMAGE_RESOURCE_DIRECTORY_ENTRY blockEntry;
        if (!ReadResourceEntry(walk, blocks, b, &blockEntry))
            return;
        const BYTE* languages = ResourceSubdirectory(walk, blockEntry.OffsetToData);
        WORD languageNamed, languageIds;
        if (!ReadResourceCounts(walk, languages, &languageNamed, &languageIds))
            continue;
        for (DWORD l = 0; l < languageIds; ++l) {
            IMAGE_RESOURCE_DIRECTORY_ENTRY entry;
            if (!ReadResourceEntry(walk, languages, l, &entry))
                break;
            if (!SpendResourceBudget(walk, sizeof entry))
                return;
            if (entry.Name != previous) {
                previous = entry.Name;
                ShowLanguageHeader(rows, entry.Name);
            }
            if (ShowBlock(rows, walk, blockEntry.Name, entry.OffsetToData) == VIEW_DONE)
                return;
        }
    }
}

void ShowStringTables(const RowSink* sink, const ImageView* view)
{
    ResourceWalk walk;
    if (!StartResourceWalk(&walk, view))
        return;
    const BYTE* blocks = FindResourceType(&walk, 6);   // RT_STRING
    WORD named, ids;
    if (!ReadResourceCounts(&walk, blocks, &named, &ids))
        return;
    StringRows rows;
    rows.sink = sink;
    rows.row = 0;
    rows.text = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, STRING_UNITS * sizeof(wchar_t)));
    if (!rows.text)
        return;
    ShowBlocks(&rows, &walk, blocks, ids);
    HeapFree(GetProcessHeap(), 0, rows.text);
}
