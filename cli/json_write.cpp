#include "json_write.h"
#include "image/text_format.h"

// Longer names of the file are cut to this many units.

void PutKey(Output* out, const char* key)
{
    PutChar(out, '"');
    PutText(out, key);
    PutText(out, "\": ");
}

void PutNextKey(Output* out, const char* key)
{
    PutText(out, ", ");
    PutKey(out, key);
}

void PutNumber(Output* out, ULONGLONG value)
{
    char digits[24];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value);
    while (n > 0)
        PutChar(out, digits[--n]);
}

void PutBool(Output* out, bool value)
{
    PutText(out, value ? "true" : "false");
}

void PutWord(Output* out, const char* text)
{
    if (!text) {
        PutText(out, "null");
        return;
    }
    PutChar(out, '"');
    PutText(out, text);
    PutChar(out, '"');
}

void PutEnumWord(Output* out, DWORD value, const Word* words, int count)
{
    for (int i = 0; i < count; ++i) {
        if (words[i].value == value) {
            PutWord(out, words[i].word);
            return;
        }
    }
    PutWord(out, "unknown");
}

void PutFlagWords(Output* out, DWORD value, const Word* words, int count)
{
    PutChar(out, '[');
    bool first = true;
    for (int i = 0; i < count; ++i) {
        if ((value & words[i].value) == words[i].value) {
            PutText(out, first ? "" : ", ");
            PutWord(out, words[i].word);
            first = false;
        }
    }
    PutChar(out, ']');
}

void PutAnsiString(Output* out, const BYTE* text, DWORD length)
{
    if (!text) {
        PutText(out, "null");
        return;
    }
    static wchar_t wide[ANSI_UNITS];
    AnsiToWide(reinterpret_cast<const char*>(text), length, wide, ANSI_UNITS);
    PutJsonString(out, wide);
}

void PutStringOrNull(Output* out, const wchar_t* text)
{
    if (text)
        PutJsonString(out, text);
    else
        PutText(out, "null");
}
