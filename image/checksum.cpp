#include "checksum.h"
#include <string.h>

// The 16-bit words are summed as they come, four at a time: a 64-bit word's
// two 32-bit halves, each added whole. A 32-bit half is its low word plus its
// high word times 2^16, which is the same as their sum modulo 0xFFFF, and the
// fold at the end keeps only that (and whether anything was there at all), so
// the result is the word-by-word sum's. Below 2^62 in all for any file
// size: the carries are folded once, at the end.
static ULONGLONG SumWords(const BYTE* bytes, DWORD size)
{
    ULONGLONG sum = 0;
    DWORD at = 0;
    for (; size - at >= 8; at += 8) {
        ULONGLONG q;
        memcpy(&q, bytes + at, sizeof q);
        sum += (q & 0xFFFFFFFF) + (q >> 32);
    }
    for (; size - at >= 2; at += 2)
        sum += static_cast<ULONGLONG>(bytes[at] | (bytes[at + 1] << 8)) << (at % 4 ? 16 : 0);
    if (at < size)
        sum += bytes[at];   // a last odd byte: a word of its own
    return sum;
}

DWORD ComputeImageChecksum(const ImageView* view)
{
    // The whole file, read once through the accessor and then within it.
    const BYTE* bytes = SpanAt(view, 0, view->size);
    if (!bytes)
        return 0;
    ULONGLONG sum = SumWords(bytes, view->size);
    // The checksum field lies in the fixed headers, which InitImageView found
    // inside the file; it counts as zero: the words at the even offsets in its
    // four bytes are taken out again, each with the weight it was added with.
    DWORD field = static_cast<DWORD>(view->nt - view->base) + NT_OPTIONAL32(CheckSum);
    for (DWORD at = (field + 1) & ~1u; at < field + 4; at += 2) {
        if (at + 1 < view->size)
            sum -= static_cast<ULONGLONG>(bytes[at] | (bytes[at + 1] << 8)) << (at % 4 ? 16 : 0);
    }
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<DWORD>(sum) + view->size;
}
