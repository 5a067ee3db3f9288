#include "checksum.h"

DWORD ComputeImageChecksum(const ImageView* view)
{
    // The checksum field lies in the fixed headers, which InitImageView found
    // inside the file; it counts as zero.
    DWORD field = static_cast<DWORD>(view->nt - view->base) + NT_OPTIONAL32(CheckSum);
    // The whole file, read once through the accessor and then within it.
    const BYTE* bytes = SpanAt(view, 0, view->size);
    if (!bytes)
        return 0;
    ULONGLONG sum = 0;
    DWORD words = view->size / 2;
    for (DWORD i = 0; i < words; ++i) {
        DWORD at = 2 * i;
        if (at >= field && at < field + 4)
            continue;
        // Below 2^47 in all: the carries are folded once, at the end.
        sum += bytes[at] | (bytes[at + 1] << 8);
    }
    if (view->size & 1)
        sum += bytes[view->size - 1];
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<DWORD>(sum) + view->size;
}
