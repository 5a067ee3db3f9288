#include "json_write.h"
#include "image/text_format.h"

void StartJson(JsonWriter* w, Output* out)
{
    ZeroMemory(w, sizeof *w);
    w->out = out;
}

static void Indent(JsonWriter* w, int levels)
{
    for (int i = 0; i < 2 * levels; ++i)
        PutChar(w->out, ' ');
}

// Before an item of the current scope: its separator, and its line.
static void Separate(JsonWriter* w, bool inlineItem)
{
    if (w->depth == 0)
        return;
    JsonScope* s = &w->scopes[w->depth - 1];
    bool ownLine = !inlineItem && (s->layout == JSON_LINES || s->layout == JSON_BLOCK ||
                                   s->layout == JSON_LINES_END_INLINE || (s->layout == JSON_LINES_AFTER_FIRST && s->any));
    if (s->any)
        PutChar(w->out, ',');
    if (ownLine) {
        PutChar(w->out, '\n');
        Indent(w, w->depth - 2);
    } else if (s->any) {
        PutChar(w->out, ' ');
    }
    s->any = true;
}

static void BeforeValue(JsonWriter* w)
{
    if (w->keyed)
        w->keyed = false;
    else
        Separate(w, false);
}

static void Begin(JsonWriter* w, JsonLayout layout, bool object)
{
    BeforeValue(w);
    PutChar(w->out, object ? '{' : '[');
    // Deeper than the documents go: the rest is written inline at this depth.
    if (w->depth == JSON_MAX_DEPTH)
        return;
    JsonScope scope = { layout, object, false };
    w->scopes[w->depth++] = scope;
}

void BeginObject(JsonWriter* w, JsonLayout layout)
{
    Begin(w, layout, true);
}

void BeginArray(JsonWriter* w, JsonLayout layout)
{
    Begin(w, layout, false);
}

void EndScope(JsonWriter* w)
{
    if (w->depth == 0)
        return;
    JsonScope s = w->scopes[--w->depth];
    if ((s.layout == JSON_LINES && s.any) || s.layout == JSON_BLOCK) {
        PutChar(w->out, '\n');
        Indent(w, w->depth >= 2 ? w->depth - 2 : 0);
    }
    PutChar(w->out, s.object ? '}' : ']');
}

static void PutKeyText(JsonWriter* w, const char* key)
{
    PutChar(w->out, '"');
    PutText(w->out, key);
    PutText(w->out, "\": ");
    w->keyed = true;
}

void Key(JsonWriter* w, const char* key)
{
    Separate(w, false);
    PutKeyText(w, key);
}

void KeyInline(JsonWriter* w, const char* key)
{
    Separate(w, true);
    PutKeyText(w, key);
}

void NumberValue(JsonWriter* w, ULONGLONG value)
{
    BeforeValue(w);
    PutNumber(w->out, value);
}

void BoolValue(JsonWriter* w, bool value)
{
    BeforeValue(w);
    PutText(w->out, value ? "true" : "false");
}

void NullValue(JsonWriter* w)
{
    BeforeValue(w);
    PutText(w->out, "null");
}

void WordValue(JsonWriter* w, const char* word)
{
    BeforeValue(w);
    if (!word) {
        PutText(w->out, "null");
        return;
    }
    PutChar(w->out, '"');
    PutText(w->out, word);
    PutChar(w->out, '"');
}

void StringValue(JsonWriter* w, const wchar_t* text)
{
    BeforeValue(w);
    if (text)
        PutJsonString(w->out, text);
    else
        PutText(w->out, "null");
}

void AnsiValue(JsonWriter* w, const BYTE* text, DWORD length)
{
    if (!text) {
        NullValue(w);
        return;
    }
    static wchar_t wide[ANSI_UNITS];
    AnsiToWide(reinterpret_cast<const char*>(text), length, wide, ANSI_UNITS);
    StringValue(w, wide);
}

const char* WordOf(DWORD value, const Word* words, int count)
{
    for (int i = 0; i < count; ++i) {
        if (words[i].value == value)
            return words[i].word;
    }
    return "unknown";
}

void EnumValue(JsonWriter* w, DWORD value, const Word* words, int count)
{
    WordValue(w, WordOf(value, words, count));
}

void FlagsValue(JsonWriter* w, DWORD value, const Word* words, int count)
{
    BeginArray(w, JSON_INLINE);
    for (int i = 0; i < count; ++i) {
        if ((value & words[i].value) == words[i].value)
            WordValue(w, words[i].word);
    }
    EndScope(w);
}

void NumberField(JsonWriter* w, const char* key, ULONGLONG value)
{
    Key(w, key);
    NumberValue(w, value);
}

void WordField(JsonWriter* w, const char* key, const char* word)
{
    Key(w, key);
    WordValue(w, word);
}
