// The version view: for every language of the first version resource, a
// language header row and one row per String of its StringFileInfo.
#include "views.h"
#include <string.h>
#include <wchar.h>
#include <winver.h>
#include "text_format.h"
#include "resource_dir.h"
#include "../res/resource.h"

// The standard keys in ascending order; key i is labelled by string
// IDS_VERKEY_FIRST + i of the resource module.
static const wchar_t* const VersionKeyTable[] = {
    L"Comments",
    L"CompanyName",
    L"FileDescription",
    L"FileVersion",
    L"InternalName",
    L"LegalCopyright",
    L"LegalTrademarks",
    L"OriginalFilename",
    L"PrivateBuild",
    L"ProductName",
    L"ProductVersion",
    L"SpecialBuild",
};
static const int VERSION_KEY_COUNT = sizeof VersionKeyTable / sizeof VersionKeyTable[0];

// Label buffer: a longer key is shown cut to 255 units.
static const int LABEL_UNITS = 256;
static const int LANGUAGE_UNITS = 128;
// A value lies inside its block, whose wLength is below 65536 bytes.
static const int VALUE_UNITS = 32768;

// Strings sit at depth 3: VS_VERSIONINFO, StringFileInfo, StringTable, String.
static const int STRING_DEPTH = 3;
// Sound version data is four levels deep. Blocks nested deeper than this are
// still measured, so the walk goes on after them, but not entered: hostile
// data could nest a block every 8 bytes and exhaust the stack.
static const int MAX_DEPTH = 16;
// A key or value text is counted no further than this: one that long already
// puts the walk past any block's wLength.
static const DWORD MAX_KEY_BYTES = 0x10000;
static const DWORD MAX_TEXT_BYTES = 0x10000;
// The size given for a block that does not lie inside the file (or that the
// walk's budget cannot pay for). It is larger than any wLength, so every
// enclosing walk ends as well; nothing after the block lies inside the file
// either.
static const int OUTSIDE_FILE = 0x10000;

// What loading the label of a standard key gave.
enum KeyState {
    KEY_NOT_LOADED,
    KEY_MISSING,   // the module has no such string
    KEY_LOADED,
};
// Put in a label buffer before loading, to tell whether LoadStringW wrote it.
static const wchar_t UNTOUCHED = 0xFFFF;

struct VersionRows {
    const RowSink* sink;
    HMODULE resources;
    ResourceWalk* walk;
    int row;
    wchar_t label[LABEL_UNITS];
    wchar_t value[VALUE_UNITS];
    // Labels are loaded from the resource module once per call, when first
    // needed, not once per row: a resource lookup costs more than the row.
    bool languageLoaded;
    wchar_t languageLabel[LANGUAGE_UNITS];
    KeyState keyState[VERSION_KEY_COUNT];
    wchar_t keyLabel[VERSION_KEY_COUNT][LABEL_UNITS];
};

struct BlockHeader {
    int length;        // wLength
    int valueLength;   // wValueLength
    WORD type;
    int valueOffset;   // from the start of the block
    DWORD keyUnits;
};

static int RoundUp4(int offset)
{
    return (offset + 3) & ~3;
}

// Reads a block's header and measures its key; false when the header does
// not lie inside the file or the walk's budget is spent.
static bool ReadBlockHeader(ResourceWalk* walk, const BYTE* block, BlockHeader* header)
{
    const ImageView* view = walk->view;
    WORD words[3];
    const BYTE* p = ImageSpan(view, block, sizeof words);
    if (!p)
        return false;
    memcpy(words, p, sizeof words);
    header->length = words[0];
    header->valueLength = words[1];
    header->type = words[2];
    header->keyUnits = ImageWideStringLength(view, block + sizeof words, MAX_KEY_BYTES);
    // 6 bytes of header and the key with its terminator, to a multiple of 4.
    header->valueOffset = RoundUp4(static_cast<int>(2 * header->keyUnits) + 8);
    // The header and the key are the bytes the block has of its own.
    return SpendResourceBudget(walk, sizeof words + 2 * header->keyUnits + 2);
}

// The block at `offset` from `block`, or null when that lies outside the file.
static const BYTE* BlockAt(const ImageView* view, const BYTE* block, int offset)
{
    return static_cast<DWORD>(offset) < ImageBytesLeft(view, block) ? block + offset : NULL;
}

// Index of `key` in VersionKeyTable by binary search, or -1; comparing code
// units when `ordinal` is set, with lstrcmpW otherwise.
// Keys are nearly always written exactly as in the table; an ordinal search
// finds those at the index the lstrcmpW search would reach (the table is in
// the same order under both), without its locale-aware comparisons, which
// cost more than the rest of the row. Any other key still gets the lstrcmpW
// search.
static int FindKey(const wchar_t* key, bool ordinal)
{
    int low = 0;
    int high = VERSION_KEY_COUNT - 1;
    while (low <= high) {
        int middle = (low + high) / 2;
        int order = ordinal ? wcscmp(key, VersionKeyTable[middle]) : lstrcmpW(key, VersionKeyTable[middle]);
        if (order == 0)
            return middle;
        if (order < 0)
            high = middle - 1;
        else
            low = middle + 1;
    }
    return -1;
}

// Column 0 of a String row: the label of a standard key, the key itself otherwise.
static void KeyLabel(VersionRows* rows, const BYTE* key, DWORD keyUnits)
{
    DWORD take = keyUnits < LABEL_UNITS - 1 ? keyUnits : LABEL_UNITS - 1;
    const BYTE* p = ImageSpan(rows->walk->view, key, 2 * take);
    if (!p)
        take = 0;
    else if (take)
        memcpy(rows->label, p, 2 * take);
    rows->label[take] = L'\0';
    int found = FindKey(rows->label, true);
    if (found < 0)
        found = FindKey(rows->label, false);
    if (found < 0)
        return;
    if (rows->keyState[found] == KEY_NOT_LOADED) {
        rows->keyLabel[found][0] = UNTOUCHED;
        int units = LoadStringW(rows->resources, IDS_VERKEY_FIRST + found, rows->keyLabel[found], LABEL_UNITS);
        // A module without the string leaves the buffer as it was, and the
        // key itself stays as the label.
        rows->keyState[found] = units == 0 && rows->keyLabel[found][0] == UNTOUCHED ? KEY_MISSING : KEY_LOADED;
    }
    if (rows->keyState[found] == KEY_LOADED)
        lstrcpyW(rows->label, rows->keyLabel[found]);
}

// Adds the row of a String block; returns the bytes its value takes in the walk.
static int ShowString(VersionRows* rows, const BYTE* block, const BlockHeader* header)
{
    const ImageView* view = rows->walk->view;
    KeyLabel(rows, block + 6, header->keyUnits);
    InsertRow(rows->sink, rows->row, rows->label, ROW_PLAIN);
    int valueBytes = 0;
    if (header->valueLength != 0) {
        // The walk steps over the text to its terminator, whatever
        // wValueLength says (it counts units, and some writers count bytes
        // there). What is shown stops at the end of the block: a text without
        // a terminator inside it is never read past it, nor past the file.
        const BYTE* text = BlockAt(view, block, header->valueOffset);
        DWORD units = text ? ImageWideStringLength(view, text, MAX_TEXT_BYTES) : 0;
        DWORD inBlock = header->valueOffset < header->length ? (header->length - header->valueOffset) / 2 : 0;
        DWORD shown = units < inBlock ? units : inBlock;
        const BYTE* p = ImageSpan(view, text, 2 * shown);
        if (p && shown)
            memcpy(rows->value, p, 2 * shown);
        rows->value[p ? shown : 0] = L'\0';
        SetCell(rows->sink, rows->row, 1, rows->value);
        valueBytes = static_cast<int>(2 * units) + 2;
        SpendResourceBudget(rows->walk, 2 * units + 2);
    }
    ++rows->row;
    return valueBytes;
}

// Walks one block and its children; returns the bytes the walk took for it
// from its start: a multiple of 4, at least 8.
static int ShowVersionBlock(VersionRows* rows, const BYTE* block, int depth)
{
    BlockHeader header;
    if (!ReadBlockHeader(rows->walk, block, &header))
        return OUTSIDE_FILE;
    int valueBytes = header.valueLength;
    if (depth == STRING_DEPTH && header.type != 0)
        valueBytes = ShowString(rows, block, &header);
    int offset = RoundUp4(header.valueOffset + valueBytes);
    if (depth >= MAX_DEPTH) {
        if (offset < header.length)
            offset = RoundUp4(header.length);
        return offset;
    }
    while (offset < header.length)
        offset += ShowVersionBlock(rows, BlockAt(rows->walk->view, block, offset), depth + 1);
    return offset;
}

// The rows of one VS_VERSIONINFO: its fixed part is stepped over, its
// children walked.
static void ShowVersionRoot(VersionRows* rows, const BYTE* root)
{
    BlockHeader header;
    if (!ReadBlockHeader(rows->walk, root, &header))
        return;
    int offset = RoundUp4(header.valueOffset + header.valueLength);
    while (offset < header.length)
        offset += ShowVersionBlock(rows, BlockAt(rows->walk->view, root, offset), 1);
}

// A language header row, then the Strings of the language entry's data.
static void ShowVersionLanguage(VersionRows* rows, const IMAGE_RESOURCE_DIRECTORY_ENTRY* entry)
{
    if (!rows->languageLoaded) {
        if (LoadStringW(rows->resources, IDS_LANGUAGE, rows->languageLabel, LANGUAGE_UNITS) == 0)
            rows->languageLabel[0] = L'\0';
        rows->languageLoaded = true;
    }
    wchar_t language[LANGUAGE_UNITS];
    if (VerLanguageNameW(entry->Name, language, LANGUAGE_UNITS) == 0)
        LanguageIdText(entry->Name, language);
    InsertRow(rows->sink, rows->row, rows->languageLabel, ROW_HEADER);
    SetCell(rows->sink, rows->row, 1, language);
    ++rows->row;

    IMAGE_RESOURCE_DATA_ENTRY data;
    if (!ReadResourceDataEntry(rows->walk, entry->OffsetToData, &data))
        return;
    const BYTE* root = RvaToPointer(rows->walk->view, data.OffsetToData);
    if (root)
        ShowVersionRoot(rows, root);
}

void ShowVersionInfo(const RowSink* sink, HMODULE resources, const ImageView* view)
{
    ResourceWalk walk;
    if (!StartResourceWalk(&walk, view))
        return;
    const BYTE* names = FindResourceType(&walk, 16);   // RT_VERSION
    WORD named, ids;
    if (!ReadResourceCounts(&walk, names, &named, &ids))
        return;
    // The label and value buffers live here, once, not in every level of the recursion.
    VersionRows rows;
    rows.sink = sink;
    rows.resources = resources;
    rows.walk = &walk;
    rows.row = 0;
    rows.languageLoaded = false;
    for (int k = 0; k < VERSION_KEY_COUNT; ++k)
        rows.keyState[k] = KEY_NOT_LOADED;
    DWORD nameCount = static_cast<DWORD>(named) + ids;
    for (DWORD n = 0; n < nameCount; ++n) {
        IMAGE_RESOURCE_DIRECTORY_ENTRY nameEntry;
        if (!ReadResourceEntry(&walk, names, n, &nameEntry))
            return;
        const BYTE* languages = ResourceSubdirectory(&walk, nameEntry.OffsetToData);
        WORD languageNamed, languageIds;
        if (!ReadResourceCounts(&walk, languages, &languageNamed, &languageIds))
            continue;
        DWORD languageCount = static_cast<DWORD>(languageNamed) + languageIds;
        for (DWORD l = 0; l < languageCount; ++l) {
            IMAGE_RESOURCE_DIRECTORY_ENTRY entry;
            if (!ReadResourceEntry(&walk, languages, l, &entry))
                break;
            if (!SpendResourceBudget(&walk, sizeof entry))
                return;
            ShowVersionLanguage(&rows, &entry);
        }
    }
}
