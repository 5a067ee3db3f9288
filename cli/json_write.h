// The pieces of the JSON documents: keys, numbers, texts of the file, and
// fixed English words for enumerations and flags.
#pragma once
#include <windows.h>
#include "output.h"

// A value of an enumeration or a flag bit, and its word.
struct Word {
    DWORD value;
    const char* word;
};
#define WORDS(table) table, static_cast<int>(sizeof table / sizeof table[0])

// `"key": `
void PutKey(Output* out, const char* key);
// `, "key": `
void PutNextKey(Output* out, const char* key);
void PutNumber(Output* out, ULONGLONG value);
void PutBool(Output* out, bool value);
// `text` quoted, or null.
void PutWord(Output* out, const char* text);
// The word of `value`, or "unknown".
void PutEnumWord(Output* out, DWORD value, const Word* words, int count);
// The words of the bits set in `value`, as an array; bits without a word are
// left out (the raw number beside them has them).
void PutFlagWords(Output* out, DWORD value, const Word* words, int count);
// 8-bit text of the file, in the ANSI code page, up to its NUL or `length`
// bytes; null when `text` is null.
// Units of 8-bit text PutAnsiString converts: no code page needs more than
// four bytes for one, so no more than 4 * ANSI_UNITS bytes of it are read.
const int ANSI_UNITS = 4096;
void PutAnsiString(Output* out, const BYTE* text, DWORD length);
// `text` quoted, or null.
void PutStringOrNull(Output* out, const wchar_t* text);
