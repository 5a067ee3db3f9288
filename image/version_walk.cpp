#include "version_walk.h"
#include <string.h>
#include "resource_dir.h"

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

struct VersionWalk {
    const VersionVisitor* visitor;
    ResourceWalk* walk;
    // The key and value buffers live here, once, not in every level of the recursion.
    wchar_t key[VERSION_KEY_UNITS];
    wchar_t value[VALUE_UNITS];
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
    const BYTE* p = SpanPart(view, block, sizeof words);
    if (!p)
        return false;
    memcpy(words, p, sizeof words);
    header->length = words[0];
    header->valueLength = words[1];
    header->type = words[2];
    header->keyUnits = WideStringLength(view, block + sizeof words, MAX_KEY_BYTES);
    // 6 bytes of header and the key with its terminator, to a multiple of 4.
    header->valueOffset = RoundUp4(static_cast<int>(2 * header->keyUnits) + 8);
    // The header and the key are the bytes the block has of its own.
    return SpendResourceBudget(walk, sizeof words + 2 * header->keyUnits + 2);
}

// The block at `offset` from `block`, or null when that lies outside the file.
static const BYTE* BlockAt(const ImageView* view, const BYTE* block, int offset)
{
    return static_cast<DWORD>(offset) < BytesLeft(view, block) ? block + offset : NULL;
}

// Visits a String block; returns the bytes its value takes in the walk.
static int VisitString(VersionWalk* w, const BYTE* block, const BlockHeader* header)
{
    const ImageView* view = w->walk->view;
    DWORD take = header->keyUnits < VERSION_KEY_UNITS - 1 ? header->keyUnits : VERSION_KEY_UNITS - 1;
    const BYTE* key = SpanPart(view, block + 6, 2 * take);
    if (!key)
        take = 0;
    else if (take)
        memcpy(w->key, key, 2 * take);
    w->key[take] = L'\0';
    if (header->valueLength == 0) {
        w->visitor->string(w->visitor->context, w->key, NULL);
        return 0;
    }
    // The walk steps over the text to its terminator, whatever wValueLength
    // says (it counts units, and some writers count bytes there). What is
    // given stops at the end of the block: a text without a terminator inside
    // it is never read past it, nor past the file.
    const BYTE* text = BlockAt(view, block, header->valueOffset);
    DWORD units = text ? WideStringLength(view, text, MAX_TEXT_BYTES) : 0;
    DWORD inBlock = header->valueOffset < header->length ? (header->length - header->valueOffset) / 2 : 0;
    DWORD shown = units < inBlock ? units : inBlock;
    const BYTE* p = SpanPart(view, text, 2 * shown);
    if (p && shown)
        memcpy(w->value, p, 2 * shown);
    w->value[p ? shown : 0] = L'\0';
    w->visitor->string(w->visitor->context, w->key, w->value);
    SpendResourceBudget(w->walk, 2 * units + 2);
    return static_cast<int>(2 * units) + 2;
}

// Walks one block and its children; returns the bytes the walk took for it
// from its start: a multiple of 4, at least 8.
static int WalkBlock(VersionWalk* w, const BYTE* block, int depth)
{
    BlockHeader header;
    if (!ReadBlockHeader(w->walk, block, &header))
        return OUTSIDE_FILE;
    int valueBytes = header.valueLength;
    if (depth == STRING_DEPTH && header.type != 0)
        valueBytes = VisitString(w, block, &header);
    int offset = RoundUp4(header.valueOffset + valueBytes);
    if (depth >= MAX_DEPTH) {
        if (offset < header.length)
            offset = RoundUp4(header.length);
        return offset;
    }
    while (offset < header.length)
        offset += WalkBlock(w, BlockAt(w->walk->view, block, offset), depth + 1);
    return offset;
}

// One VS_VERSIONINFO: its fixed part, when whole inside the block and the
// file, then its children.
static void WalkRoot(VersionWalk* w, const BYTE* root)
{
    BlockHeader header;
    if (!ReadBlockHeader(w->walk, root, &header))
        return;
    const DWORD fixedBytes = sizeof(VS_FIXEDFILEINFO);
    if (header.valueLength >= static_cast<int>(fixedBytes) &&
        header.valueOffset + static_cast<int>(fixedBytes) <= header.length) {
        const BYTE* p = SpanPart(w->walk->view, BlockAt(w->walk->view, root, header.valueOffset), fixedBytes);
        VS_FIXEDFILEINFO fixed;
        if (p) {
            memcpy(&fixed, p, fixedBytes);
            if (fixed.dwSignature == VS_FFI_SIGNATURE)
                w->visitor->fixedInfo(w->visitor->context, &fixed);
        }
    }
    int offset = RoundUp4(header.valueOffset + header.valueLength);
    while (offset < header.length)
        offset += WalkBlock(w, BlockAt(w->walk->view, root, offset), 1);
}

static bool WalkLanguage(void* context, DWORD, const IMAGE_RESOURCE_DIRECTORY_ENTRY* entry)
{
    VersionWalk* w = static_cast<VersionWalk*>(context);
    w->visitor->language(w->visitor->context, entry->Name);
    IMAGE_RESOURCE_DATA_ENTRY data;
    if (!ReadResourceDataEntry(w->walk, entry->OffsetToData, &data))
        return true;
    const BYTE* root = RvaToPointer(w->walk->view, data.OffsetToData);
    if (root)
        WalkRoot(w, root);
    return true;
}

void WalkVersionInfo(const ImageView* view, const VersionVisitor* visitor)
{
    ResourceWalk walk;
    if (!StartResourceWalk(&walk, view))
        return;
    VersionWalk* w = static_cast<VersionWalk*>(HeapAlloc(GetProcessHeap(), 0, sizeof(VersionWalk)));
    if (!w)
        return;
    w->visitor = visitor;
    w->walk = &walk;
    WalkResourceLanguages(&walk, RESOURCE_VERSION, false, WalkLanguage, w);
    HeapFree(GetProcessHeap(), 0, w);
}
