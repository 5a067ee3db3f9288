#include "section_index.h"
#include <stdlib.h>
#include <string.h>

// Elementary intervals [start[k], start[k + 1]) of the RVA space, each with the
// first section in table order that covers it (or NO_SECTION).
struct SectionIndex {
    DWORD count;        // number of boundaries; count - 1 intervals
    DWORD* start;       // ascending boundaries
    DWORD* section;     // owner of interval k
};

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

DWORD FindSection(const ImageView* view, const IMAGE_SECTION_HEADER* sections, DWORD count, DWORD rva)
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
