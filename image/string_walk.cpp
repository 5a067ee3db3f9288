#include "string_walk.h"
#include <string.h>
#include "resource_dir.h"

// A counted string has at most 65,535 units; it is copied whole and terminated.
static const int STRING_UNITS = 65536;

// How a block's walk ended.
enum BlockEnd {
    BLOCK_DONE,   // go on with the next language entry
    WALK_DONE,    // the data lies outside the file: the walk ends here
};

struct StringWalk {
    const StringVisitor* visitor;
    ResourceWalk* walk;
    wchar_t* text;   // STRING_UNITS units
    DWORD previous;  // the language of the entry before
};

// The counted strings of one language entry's data; ids start at (block - 1) * 16.
static BlockEnd WalkBlock(StringWalk* w, DWORD block, DWORD dataOffset)
{
    ResourceWalk* walk = w->walk;
    const ImageView* view = walk->view;
    // Data that no section holds or that starts at or past the end of the
    // file ends the whole walk, and so does a data entry outside the file.
    IMAGE_RESOURCE_DATA_ENTRY data;
    if (!ReadResourceDataEntry(walk, dataOffset, &data))
        return WALK_DONE;
    const BYTE* strings = RvaToPointer(view, data.OffsetToData);
    if (!strings)
        return WALK_DONE;
    // Bytes of the file from the block's start; Size may claim more.
    DWORD inFile = BytesLeft(view, strings);
    DWORD id = (block - 1) * 16;
    ULONGLONG consumed = 0;
    while (consumed < data.Size) {
        const BYTE* cursor = consumed < inFile ? strings + consumed : NULL;
        WORD units;
        if (!ReadWord(view, cursor, &units))
            return BLOCK_DONE;
        if (units == 0) {
            if (!SpendResourceBudget(walk, 2))
                return WALK_DONE;
            consumed += 2;
            ++id;
            continue;
        }
        consumed += 2 + 2 * static_cast<ULONGLONG>(units);
        if (consumed > data.Size)
            return BLOCK_DONE;
        // Within Size but past the end of the file: the block ends there too.
        const BYTE* text = SpanPart(view, cursor + 2, 2 * static_cast<DWORD>(units));
        if (!text)
            return BLOCK_DONE;
        if (!SpendResourceBudget(walk, 2 + 2 * static_cast<DWORD>(units)))
            return WALK_DONE;
        memcpy(w->text, text, 2 * static_cast<DWORD>(units));
        w->text[units] = L'\0';
        w->visitor->string(w->visitor->context, id, w->text, units);
        ++id;
    }
    return BLOCK_DONE;
}

// A language entry of block `block`: a language row where the language
// changes, then the block's strings.
static bool OnLanguage(void* context, DWORD block, const IMAGE_RESOURCE_DIRECTORY_ENTRY* entry)
{
    StringWalk* w = static_cast<StringWalk*>(context);
    if (entry->Name != w->previous) {
        w->previous = entry->Name;
        w->visitor->language(w->visitor->context, entry->Name);
    }
    return WalkBlock(w, block, entry->OffsetToData) != WALK_DONE;
}

void WalkStringTables(const ImageView* view, const StringVisitor* visitor)
{
    ResourceWalk walk;
    if (!StartResourceWalk(&walk, view))
        return;
    StringWalk w = { visitor, &walk, NULL, 0xFFFFFFFF };   // no language has that id
    w.text = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, STRING_UNITS * sizeof(wchar_t)));
    if (!w.text)
        return;
    // Only NumberOfIdEntries entries are visited at the block and language levels.
    WalkResourceLanguages(&walk, RESOURCE_STRING, true, OnLanguage, &w);
    HeapFree(GetProcessHeap(), 0, w.text);
}
