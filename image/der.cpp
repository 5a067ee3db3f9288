#include "der.h"

bool DerNext(ByteSpan* in, DerElement* out)
{
    const BYTE* head = SpanAt(in, 0, 2);
    if (!head)
        return false;
    out->tag = head[0];
    DWORD length = head[1], at = 2;
    if (length & 0x80) {
        DWORD bytes = length & 0x7F;
        if (bytes == 0 || bytes > 4 || !SpanAt(in, 2, bytes))
            return false;
        length = 0;
        for (DWORD i = 0; i < bytes; ++i)
            length = length << 8 | in->base[2 + i];
        at += bytes;
    }
    if (!SpanAt(in, at, length))
        return false;
    out->content = SubSpan(in, at, length);
    *in = SubSpan(in, at + length, in->size - at - length);
    return true;
}
