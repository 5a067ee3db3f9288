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
                return WALK_DONE;
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
            return WALK_DONE;
        memcpy(w->text, text, 2 * static_cast<DWORD>(units));
        w->text[units] = L'\0';
        w->visitor->string(w->visitor->context, id, w->text, units);
        ++id;
    }
    return BLOCK_DONE;
}

// Only NumberOfIdEntries entries are visited at the block and language
// levels, from the first: named entries, stored first, are taken for blocks
// and languages, and as many id entries at the end are left out.
static void WalkBlocks(StringWalk* w, const BYTE* blocks, WORD ids)
{
    ResourceWalk* walk = w->walk;
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
                w->visitor->language(w->visitor->context, entry.Name);
            }
            if (WalkBlock(w, blockEntry.Name, entry.OffsetToData) == WALK_DONE)
                return;
        }
    }
}

void WalkStringTables(const ImageView* view, const StringVisitor* visitor)
{
    ResourceWalk walk;
    if (!StartResourceWalk(&walk, view))
        return;
    const BYTE* blocks = FindResourceType(&walk, 6);   // RT_STRING
    WORD named, ids;
    if (!ReadResourceCounts(&walk, blocks, &named, &ids))
        return;
    StringWalk w = { visitor, &walk, NULL };
    w.text = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, STRING_UNITS * sizeof(wchar_t)));
    if (!w.text)
        return;
    WalkBlocks(&w, blocks, ids);
    HeapFree(GetProcessHeap(), 0, w.text);
}
