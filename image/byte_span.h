// A run of untrusted bytes (a mapped file, a resource's data, the API set
// schema, a manifest's text) and the only ways to read it: each read answers
// "absent" (null, 0 or false) instead of handing out a pointer that leaves
// [base, base + size).
#pragma once
#include <windows.h>

struct ByteSpan {
    const BYTE* base;
    DWORD size;
};

// base + offset when [offset, offset + length) lies inside, otherwise null.
const BYTE* SpanAt(const ByteSpan* span, DWORD offset, DWORD length);
// `p` when [p, p + length) lies inside, otherwise null.
const BYTE* SpanPart(const ByteSpan* span, const void* p, DWORD length);
// Bytes from p to the end; 0 when p is not inside.
DWORD BytesLeft(const ByteSpan* span, const void* p);
// The bytes [offset, offset + length) as a span of their own; an empty span
// (no bytes at all) when they do not lie inside.
ByteSpan SubSpan(const ByteSpan* span, DWORD offset, DWORD length);

// Little-endian value reads; false (and *out 0) when the value is not wholly inside.
bool ReadWord(const ByteSpan* span, const void* p, WORD* out);
bool ReadDword(const ByteSpan* span, const void* p, DWORD* out);
bool ReadQword(const ByteSpan* span, const void* p, ULONGLONG* out);

// How many `entrySize`-byte entries of a table at `table`, up to `declared`,
// lie inside; 0 when the table is absent.
DWORD EntriesInside(const ByteSpan* span, const BYTE* table, DWORD declared, DWORD entrySize);

// Length in bytes of the 8-bit string at p, up to its NUL or to the end,
// whichever comes first. 0 when p is outside.
DWORD StringLength(const ByteSpan* span, const void* p);
// Length in UTF-16 units of the text at p, up to its zero unit, to `limit`
// bytes from p, or to the end, whichever comes first.
DWORD WideStringLength(const ByteSpan* span, const void* p, DWORD limitBytes);
