#include "resource_dir.h"
#include <string.h>
#include "text_format.h"

bool StartResourceWalk(ResourceWalk* walk, const ImageView* view)
{
    walk->view = view;
    walk->root = NULL;
    walk->budget = view->size;
    DWORD rva = DataDirectoryRva(view, IMAGE_DIRECTORY_ENTRY_RESOURCE);
    if (rva == 0)
        return false;
    walk->root = RvaToPointer(view, rva);
    return walk->root != NULL;
}

bool SpendResourceBudget(ResourceWalk* walk, DWORD bytes)
{
    if (walk->budget < bytes) {
        walk->budget = 0;   // once short, every later request fails too
        return false;
    }
    walk->budget -= bytes;
    return true;
}

// base + root offset + offset when `length` bytes from there lie inside the file.
static const BYTE* FromRoot(const ResourceWalk* walk, DWORD offset, DWORD length)
{
    const ImageView* view = walk->view;
    ULONGLONG position = static_cast<ULONGLONG>(walk->root - view->base) + offset;
    if (position > view->size)
        return NULL;
    return SpanAt(view, static_cast<DWORD>(position), length);
}

bool ReadResourceCounts(const ResourceWalk* walk, const BYTE* directory, WORD* named, WORD* ids)
{
    IMAGE_RESOURCE_DIRECTORY header;
    *named = 0;
    *ids = 0;
    const BYTE* p = SpanPart(walk->view, directory, sizeof header);
    if (!p)
        return false;
    memcpy(&header, p, sizeof header);
    *named = header.NumberOfNamedEntries;
    *ids = header.NumberOfIdEntries;
    return true;
}

bool ReadResourceEntry(const ResourceWalk* walk, const BYTE* directory, DWORD index,
                       IMAGE_RESOURCE_DIRECTORY_ENTRY* entry)
{
    memset(entry, 0, sizeof *entry);
    // The entries follow the 16-byte header; an index beyond the file's end
    // is refused before any pointer is formed from it.
    DWORD left = BytesLeft(walk->view, directory);
    ULONGLONG offset = sizeof(IMAGE_RESOURCE_DIRECTORY) + static_cast<ULONGLONG>(index) * sizeof *entry;
    if (offset + sizeof *entry > left)
        return false;
    memcpy(entry, directory + offset, sizeof *entry);
    return true;
}

const BYTE* ResourceSubdirectory(const ResourceWalk* walk, DWORD offsetToData)
{
    return FromRoot(walk, offsetToData & 0x7FFFFFFF, 0);
}

// The subdirectory of the first entry of `directory` whose whole 32-bit Name
// is `name`; null when there is none.
static const BYTE* FindEntry(const ResourceWalk* walk, const BYTE* directory, DWORD name)
{
    WORD named, ids;
    if (!ReadResourceCounts(walk, directory, &named, &ids))
        return NULL;
    DWORD count = static_cast<DWORD>(named) + ids;
    for (DWORD i = 0; i < count; ++i) {
        IMAGE_RESOURCE_DIRECTORY_ENTRY entry;
        if (!ReadResourceEntry(walk, directory, i, &entry))
            return NULL;
        if (entry.Name == name)
            return ResourceSubdirectory(walk, entry.OffsetToData);
    }
    return NULL;
}

const BYTE* FindResourceType(const ResourceWalk* walk, DWORD type)
{
    return FindEntry(walk, walk->root, type);
}

// Entries a directory's walk visits.
static DWORD Visited(WORD named, WORD ids, bool idsOnly)
{
    return idsOnly ? ids : static_cast<DWORD>(named) + ids;
}

void WalkResourceLanguages(ResourceWalk* walk, DWORD type, bool idsOnly,
                           bool (*each)(void* context, DWORD name, const IMAGE_RESOURCE_DIRECTORY_ENTRY* language),
                           void* context)
{
    const BYTE* names = FindResourceType(walk, type);
    WORD named, ids;
    if (!ReadResourceCounts(walk, names, &named, &ids))
        return;
    DWORD nameCount = Visited(named, ids, idsOnly);
    for (DWORD n = 0; n < nameCount; ++n) {
        IMAGE_RESOURCE_DIRECTORY_ENTRY nameEntry;
        if (!ReadResourceEntry(walk, names, n, &nameEntry))
            return;
        const BYTE* languages = ResourceSubdirectory(walk, nameEntry.OffsetToData);
        if (!ReadResourceCounts(walk, languages, &named, &ids))
            continue;
        DWORD languageCount = Visited(named, ids, idsOnly);
        for (DWORD l = 0; l < languageCount; ++l) {
            IMAGE_RESOURCE_DIRECTORY_ENTRY entry;
            if (!ReadResourceEntry(walk, languages, l, &entry))
                break;
            if (!SpendResourceBudget(walk, sizeof entry) || !each(context, nameEntry.Name, &entry))
                return;
        }
    }
}

ByteSpan FindResourceData(const ImageView* view, DWORD type, DWORD name)
{
    ByteSpan none = { NULL, 0 };
    ResourceWalk walk;
    if (!StartResourceWalk(&walk, view))
        return none;
    const BYTE* names = FindEntry(&walk, walk.root, type);
    const BYTE* languages = names ? FindEntry(&walk, names, name) : NULL;
    IMAGE_RESOURCE_DIRECTORY_ENTRY language;
    IMAGE_RESOURCE_DATA_ENTRY data;
    WORD named, ids;
    if (!languages || !ReadResourceCounts(&walk, languages, &named, &ids) || named + ids == 0
        || !ReadResourceEntry(&walk, languages, 0, &language)
        || !ReadResourceDataEntry(&walk, language.OffsetToData, &data))
        return none;
    return ResourceDataSpan(view, &data);
}

ByteSpan ResourceDataSpan(const ImageView* view, const IMAGE_RESOURCE_DATA_ENTRY* data)
{
    const BYTE* bytes = RvaToPointer(view, data->OffsetToData);
    DWORD inFile = BytesLeft(view, bytes);
    ByteSpan found = { inFile ? bytes : NULL, data->Size < inFile ? data->Size : inFile };
    return found;
}

bool ReadResourceDataEntry(const ResourceWalk* walk, DWORD offsetToData, IMAGE_RESOURCE_DATA_ENTRY* data)
{
    memset(data, 0, sizeof *data);
    const BYTE* p = FromRoot(walk, offsetToData, sizeof *data);
    if (!p)
        return false;
    memcpy(data, p, sizeof *data);
    return true;
}

void LanguageIdText(DWORD language, wchar_t* out)
{
    out[0] = L'0';
    out[1] = L'x';
    FormatHex4(language, out + 2);
}
