#include "image_view.h"
#include <stdlib.h>
#include <string.h>

const BYTE* ImageAt(const ImageView* view, DWORD offset, DWORD length)
{
    if (offset > view->size || length > view->size - offset)
        return NULL;
    return view->base + offset;
}

const BYTE* ImageSpan(const ImageView* view, const void* p, DWORD length)
{
    const BYTE* b = static_cast<const BYTE*>(p);
    if (b == NULL || b < view->base || b > view->base + view->size)
        return NULL;
    return ImageAt(view, static_cast<DWORD>(b - view->base), length);
}

DWORD ImageBytesLeft(const ImageView* view, const void* p)
{
    const BYTE* b = static_cast<const BYTE*>(p);
    if (b == NULL || b < view->base || b >= view->base + view->size)
        return 0;
    return view->size - static_cast<DWORD>(b - view->base);
}

bool ReadWord(const ImageView* view, const void* p, WORD* out)
{
    *out = 0;
    const BYTE* b = ImageSpan(view, p, sizeof(WORD));
    if (!b)
        return false;
    memcpy(out, b, sizeof(WORD));
    return true;
}

bool ReadDword(const ImageView* view, const void* p, DWORD* out)
{
    *out = 0;
    const BYTE* b = ImageSpan(view, p, sizeof(DWORD));
    if (!b)
        return false;
    memcpy(out, b, sizeof(DWORD));
    return true;
}

bool ReadQword(const ImageView* view, const void* p, ULONGLONG* out)
{
    *out = 0;
    const BYTE* b = ImageSpan(view, p, sizeof(ULONGLONG));
    if (!b)
        return false;
    memcpy(out, b, sizeof(ULONGLONG));
    return true;
}

WORD NtWord(const ImageView* view, DWORD offset)
{
    WORD value;
    ReadWord(view, ImageSpan(view, view->nt, offset) ? view->nt + offset : NULL, &value);
    return value;
}

DWORD NtDword(const ImageView* view, DWORD offset)
{
    DWORD value;
    ReadDword(view, ImageSpan(view, view->nt, offset) ? view->nt + offset : NULL, &value);
    return value;
}

ULONGLONG NtQword(const ImageView* view, DWORD offset)
{
    ULONGLONG value;
    ReadQword(view, ImageSpan(view, view->nt, offset) ? view->nt + offset : NULL, &value);
    return value;
}

ULONGLONG NtPointerSized(const ImageView* view, DWORD offset)
{
    return view->is64 ? NtQword(view, offset) : NtDword(view, offset);
}

DWORD DataDirectoryOffset(const ImageView* view, int index)
{
    return NT_OPTIONAL(view, DataDirectory) + sizeof(IMAGE_DATA_DIRECTORY) * static_cast<DWORD>(index);
}

DWORD DataDirectoryRva(const ImageView* view, int index)
{
    // The loader treats the directories past NumberOfRvaAndSizes as absent;
    // their bytes are often the section table.
    if (static_cast<DWORD>(index) >= NtDword(view, NT_OPTIONAL(view, NumberOfRvaAndSizes)))
        return 0;
    // The entry is read whole (VirtualAddress, then Size), so one that the
    // end of the file cuts is absent too.
    return static_cast<DWORD>(NtQword(view, DataDirectoryOffset(view, index)));
}

DWORD ImageStringLength(const ImageView* view, const void* p)
{
    DWORD left = ImageBytesLeft(view, p);
    if (left == 0)
        return 0;
    const void* nul = memchr(p, 0, left);
    return nul ? static_cast<DWORD>(static_cast<const BYTE*>(nul) - static_cast<const BYTE*>(p)) : left;
}

DWORD ImageWideStringLength(const ImageView* view, const void* p, DWORD limitBytes)
{
    DWORD left = ImageBytesLeft(view, p);
    if (left > limitBytes)
        left = limitBytes;
    const BYTE* b = static_cast<const BYTE*>(p);
    DWORD units = 0;
    for (DWORD i = 0; i + 1 < left; i += 2, ++units) {
        if (b[i] == 0 && b[i + 1] == 0)
            break;
    }
    return units;
}

bool InitImageView(ImageView* view, const BYTE* base, DWORD size)
{
    view->base = base;
    view->size = size;
    view->nt = NULL;
    view->is64 = false;
    view->index = NULL;

    // Like the loader, look at nothing of the DOS header but its first two
    // bytes and e_lfanew.
    WORD dosMagic;
    DWORD lfanew, signature;
    if (!ReadWord(view, base, &dosMagic) || dosMagic != IMAGE_DOS_SIGNATURE)
        return false;
    // e_lfanew is signed: a negative value or one past the end is no PE image.
    if (!ReadDword(view, base + DOS_LFANEW, &lfanew) || static_cast<LONG>(lfanew) < 0)
        return false;
    const BYTE* nt = ImageAt(view, lfanew, sizeof(DWORD));
    if (!nt || !ReadDword(view, nt, &signature) || signature != IMAGE_NT_SIGNATURE)
        return false;
    view->nt = nt;
    // Magic chooses the layout; Machine decides only when Magic is neither
    // (a ROM image or a damaged header).
    WORD magic = NtWord(view, NT_MAGIC);
    bool is64 = magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC
        || (magic != IMAGE_NT_OPTIONAL_HDR32_MAGIC && NtWord(view, NT_MACHINE) != IMAGE_FILE_MACHINE_I386);
    if (!ImageAt(view, lfanew, is64 ? NT_FIXED_HEADERS_64 : NT_FIXED_HEADERS_32)) {
        view->nt = NULL;
        return false;
    }
    view->is64 = is64;
    return true;
}

const IMAGE_SECTION_HEADER* SectionTable(const ImageView* view, DWORD* count)
{
    *count = 0;
    DWORD offset = NT_OPTIONAL_HEADER + NtWord(view, NT_SIZE_OF_OPTIONAL_HEADER);
    const BYTE* table = ImageSpan(view, view->nt, offset) ? view->nt + offset : NULL;
    DWORD fit = ImageBytesLeft(view, table) / sizeof(IMAGE_SECTION_HEADER);
    DWORD declared = NtWord(view, NT_NUMBER_OF_SECTIONS);
    *count = declared < fit ? declared : fit;
    return *count ? reinterpret_cast<const IMAGE_SECTION_HEADER*>(table) : NULL;
}

// Elementary intervals [start[k], start[k + 1]) of the RVA space, each with the
// first section in table order that covers it (or NO_SECTION).
struct SectionIndex {
    DWORD count;        // number of boundaries; count - 1 intervals
    DWORD* start;       // ascending boundaries
    DWORD* section;     // owner of interval k
};

static const DWORD NO_SECTION = 0xFFFFFFFF;

// The extent a section covers, [start, end); false when it covers nothing
// (zero extent, or an end that wraps past 2^32 and so can never be reached).
static bool SectionExtent(const IMAGE_SECTION_HEADER* header, DWORD* start, DWORD* end)
{
    IMAGE_SECTION_HEADER s;
    memcpy(&s, header, sizeof s);
    DWORD extent = s.Misc.VirtualSize ? s.Misc.VirtualSize : s.SizeOfRawData;
    *start = s.VirtualAddress;
    *end = s.VirtualAddress + extent;   // modulo 2^32, as in the lookup itself
    return *start < *end;
}

static int CompareDwords(const void* a, const void* b)
{
    DWORD x = *static_cast<const DWORD*>(a), y = *static_cast<const DWORD*>(b);
    return x < y ? -1 : x > y ? 1 : 0;
}

// Index of the last boundary <= rva, or -1.
static long LastBoundaryAtOrBelow(const SectionIndex* index, DWORD rva)
{
    long lo = 0, hi = static_cast<long>(index->count) - 1, found = -1;
    while (lo <= hi) {
        long mid = lo + (hi - lo) / 2;
        if (index->start[mid] <= rva) {
            found = mid;
            lo = mid + 1;
        } else {
            hi = mid - 1;
        }
    }
    return found;
}

static DWORD FindRoot(DWORD* next, DWORD k)
{
    DWORD root = k;
    while (next[root] != root)
        root = next[root];
    while (next[k] != root) {   // path compression
        DWORD up = next[k];
        next[k] = root;
        k = up;
    }
    return root;
}

void BuildSectionIndex(ImageView* view)
{
    view->index = NULL;
    DWORD count;
    const IMAGE_SECTION_HEADER* sections = SectionTable(view, &count);
    if (count <= SECTION_INDEX_THRESHOLD)
        return;
    // One block: the record, then boundaries, owners and a scratch array.
    SIZE_T slots = 2 * static_cast<SIZE_T>(count) + 1;
    SectionIndex* index = static_cast<SectionIndex*>(
        GlobalAlloc(GMEM_FIXED, sizeof(SectionIndex) + 3 * slots * sizeof(DWORD)));
    if (!index)
        return;   // lookups walk the table instead
    index->start = reinterpret_cast<DWORD*>(index + 1);
    index->section = index->start + slots;
    DWORD* next = index->section + slots;

    DWORD n = 0;
    for (DWORD i = 0; i < count; ++i) {
        DWORD start, end;
        if (SectionExtent(&sections[i], &start, &end)) {
            index->start[n++] = start;
            index->start[n++] = end;
        }
    }
    qsort(index->start, n, sizeof(DWORD), CompareDwords);
    DWORD unique = 0;
    for (DWORD k = 0; k < n; ++k) {
        if (unique == 0 || index->start[k] != index->start[unique - 1])
            index->start[unique++] = index->start[k];
    }
    index->count = unique;
    // Give each interval to the first section that covers it: sections in
    // table order claim the intervals still free in their range, and `next`
    // skips over the ones already claimed, so each interval is visited once.
    for (DWORD k = 0; k <= unique; ++k) {
        next[k] = k;
        index->section[k] = NO_SECTION;
    }
    for (DWORD i = 0; i < count; ++i) {
        DWORD start, end;
        if (!SectionExtent(&sections[i], &start, &end))
            continue;
        DWORD first = static_cast<DWORD>(LastBoundaryAtOrBelow(index, start));
        DWORD last = static_cast<DWORD>(LastBoundaryAtOrBelow(index, end));   // exclusive
        for (DWORD k = FindRoot(next, first); k < last; k = FindRoot(next, k)) {
            index->section[k] = i;
            next[k] = k + 1;
        }
    }
    view->index = index;
}

void FreeSectionIndex(ImageView* view)
{
    if (view->index)
        GlobalFree(const_cast<SectionIndex*>(view->index));
    view->index = NULL;
}

// The first section in table order whose extent holds `rva`, or NO_SECTION.
static DWORD FindSection(const ImageView* view, const IMAGE_SECTION_HEADER* sections, DWORD count, DWORD rva)
{
    if (view->index) {
        long k = LastBoundaryAtOrBelow(view->index, rva);
        if (k < 0 || static_cast<DWORD>(k) + 1 >= view->index->count)
            return NO_SECTION;
        return view->index->section[k];
    }
    for (DWORD i = 0; i < count; ++i) {
        DWORD start, end;
        if (SectionExtent(&sections[i], &start, &end) && start <= rva && rva < end)
            return i;
    }
    return NO_SECTION;
}

static const BYTE* Translate(const ImageView* view, DWORD rva, DWORD length)
{
    DWORD count;
    const IMAGE_SECTION_HEADER* sections = SectionTable(view, &count);
    DWORD i = FindSection(view, sections, count, rva);
    if (i == NO_SECTION)
        return NULL;
    IMAGE_SECTION_HEADER s;
    memcpy(&s, &sections[i], sizeof s);
    // The file offset is computed exactly, so a large PointerToRawData
    // cannot wrap back into the file.
    ULONGLONG offset = static_cast<ULONGLONG>(rva - s.VirtualAddress) + s.PointerToRawData;
    if (offset >= view->size)
        return NULL;
    return ImageAt(view, static_cast<DWORD>(offset), length);
}

const BYTE* RvaToPointer(const ImageView* view, DWORD rva)
{
    return Translate(view, rva, 0);
}

const BYTE* RvaToSpan(const ImageView* view, DWORD rva, DWORD length)
{
    return Translate(view, rva, length);
}
