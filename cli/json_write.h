// The JSON documents' one writer. Its callers open scopes (objects and
// arrays), name keys and give values; the writer places every separator,
// line break and indentation, by the layout each scope was opened with and
// its depth: items that go on lines of their own are indented two spaces a
// level below the files' array.
#pragma once
#include <windows.h>
#include "output.h"

enum JsonLayout {
    JSON_INLINE,              // {"a": 1, "b": [2, 3]}
    JSON_LINES,               // every item on a line of its own, and the end too when there are items
    JSON_BLOCK,               // every item on a line of its own, and the end too, always
    JSON_LINES_END_INLINE,    // every item on a line of its own, the end right after the last
    JSON_LINES_AFTER_FIRST,   // the first item inline, the others on lines of their own
};

// Scopes open at once, at most: the documents nest six deep.
const int JSON_MAX_DEPTH = 16;

struct JsonScope {
    JsonLayout layout;
    bool object;
    bool any;   // an item has been written
};

struct JsonWriter {
    Output* out;
    int depth;
    bool keyed;   // a key was written: the value follows it without a separator
    JsonScope scopes[JSON_MAX_DEPTH];
};

void StartJson(JsonWriter* w, Output* out);

void BeginObject(JsonWriter* w, JsonLayout layout);
void BeginArray(JsonWriter* w, JsonLayout layout);
void EndScope(JsonWriter* w);

// `"key": ` in the current object; its value comes next.
void Key(JsonWriter* w, const char* key);
// The same, but on the line it is on, whatever the object's layout.
void KeyInline(JsonWriter* w, const char* key);

// A value of an enumeration or a flag bit, and its word.
struct Word {
    DWORD value;
    const char* word;
};
#define WORDS(table) table, static_cast<int>(sizeof table / sizeof table[0])

// Values, each where the writer stands: after a key, or as an array's item.
void NumberValue(JsonWriter* w, ULONGLONG value);
void BoolValue(JsonWriter* w, bool value);
void NullValue(JsonWriter* w);
// `word` quoted (ASCII, written as it is), or null.
void WordValue(JsonWriter* w, const char* word);
// `text` as a JSON string, or null.
void StringValue(JsonWriter* w, const wchar_t* text);
// 8-bit text of the file, in the ANSI code page, up to its NUL or `length`
// bytes; null when `text` is null. No more than 4 * ANSI_UNITS bytes of it
// are read: no code page needs more than four bytes for one unit.
const int ANSI_UNITS = 4096;
void AnsiValue(JsonWriter* w, const BYTE* text, DWORD length);
// The word of `value` in `words`, or "unknown".
const char* WordOf(DWORD value, const Word* words, int count);
// The word of `value`, or "unknown".
void EnumValue(JsonWriter* w, DWORD value, const Word* words, int count);
// The words of the bits set in `value`, as an array; bits without a word are
// left out (the raw number beside them has them).
void FlagsValue(JsonWriter* w, DWORD value, const Word* words, int count);

// Key and value at once.
void NumberField(JsonWriter* w, const char* key, ULONGLONG value);
void WordField(JsonWriter* w, const char* key, const char* word);
