#include "byte_span.h"
#include <string.h>

const BYTE* SpanAt(const ByteSpan* span, DWORD offset, DWORD length)
{
    if (offset > span->size || length > span->size - offset)
        return NULL;
    return span->base + offset;
}

const BYTE* SpanPart(const ByteSpan* span, const void* p, DWORD length)
{
    const BYTE* b = static_cast<const BYTE*>(p);
    if (b == NULL || b < span->base || b > span->base + span->size)
        return NULL;
    return SpanAt(span, static_cast<DWORD>(b - span->base), length);
}

DWORD BytesLeft(const ByteSpan* span, const void* p)
{
    const BYTE* b = static_cast<const BYTE*>(p);
    if (b == NULL || b < span->base || b >= span->base + span->size)
        return 0;
    return span->size - static_cast<DWORD>(b - span->base);
}

ByteSpan SubSpan(const ByteSpan* span, DWORD offset, DWORD length)
{
    const BYTE* at = SpanAt(span, offset, length);
    ByteSpan part = { at, at ? length : 0 };
    return part;
}

// A value of `bytes` bytes at p, read whole or not at all.
static bool ReadValue(const ByteSpan* span, const void* p, void* out, DWORD bytes)
{
    memset(out, 0, bytes);
    const BYTE* b = SpanPart(span, p, bytes);
    if (!b)
        return false;
    memcpy(out, b, bytes);
    return true;
}

bool ReadWord(const ByteSpan* span, const void* p, WORD* out)
{
    return ReadValue(span, p, out, sizeof *out);
}

bool ReadDword(const ByteSpan* span, const void* p, DWORD* out)
{
    return ReadValue(span, p, out, sizeof *out);
}

bool ReadQword(const ByteSpan* span, const void* p, ULONGLONG* out)
{
    return ReadValue(span, p, out, sizeof *out);
}

DWORD EntriesInside(const ByteSpan* span, const BYTE* table, DWORD declared, DWORD entrySize)
{
    DWORD fit = BytesLeft(span, table) / entrySize;
    return declared < fit ? declared : fit;
}

DWORD StringLength(const ByteSpan* span, const void* p)
{
    DWORD left = BytesLeft(span, p);
    if (left == 0)
        return 0;
    const void* nul = memchr(p, 0, left);
    return nul ? static_cast<DWORD>(static_cast<const BYTE*>(nul) - static_cast<const BYTE*>(p)) : left;
}

DWORD WideStringLength(const ByteSpan* span, const void* p, DWORD limitBytes)
{
    DWORD left = BytesLeft(span, p);
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
