#include "report.h"
#include "image/text_format.h"

void StartReport(Report* r, JsonWriter* json, Output* out)
{
    ZeroMemory(r, sizeof *r);
    r->json = json;
    r->out = out;
}

static ReportLevel* Top(Report* r)
{
    return r->depth > 0 ? &r->levels[r->depth - 1] : NULL;
}

// The keys of the scopes open below the view, each a list's item named by its
// position, then `key`, or with `item` the next position in the innermost list.
static void PutPath(Report* r, const char* key, bool item)
{
    bool any = false;
    for (int d = 1; d <= r->depth; ++d) {
        bool last = d == r->depth;
        if (last && !key && !item)
            break;
        if (any)
            PutChar(r->out, '.');
        const char* segment = last ? key : r->levels[d].key;
        if (segment)
            PutText(r->out, segment);
        else
            PutNumber(r->out, r->levels[d - 1].items);
        any = true;
    }
}

// Ends a row's line that has values on it.
static void CloseLine(Report* r)
{
    ReportLevel* top = Top(r);
    if (top && top->row && top->lineOpen) {
        PutChar(r->out, '\n');
        top->lineOpen = false;
    }
}

// Where a value goes in the text: after the row's path and the values before
// it, or on a line of its own after its path.
static void BeforeText(Report* r, const char* key)
{
    ReportLevel* top = Top(r);
    if (top && top->row) {
        if (!top->lineOpen) {
            PutPath(r, NULL, false);
            top->lineOpen = true;
        }
    } else {
        PutPath(r, key, top && top->list);
    }
    PutChar(r->out, '\t');
    if (top && top->list)
        ++top->items;
}

static void AfterText(Report* r)
{
    ReportLevel* top = Top(r);
    if (!top || !top->row)
        PutChar(r->out, '\n');
}

// The JSON writer with the key written, or null in the text form.
static JsonWriter* JsonAt(Report* r, const char* key)
{
    if (r->json && key)
        Key(r->json, key);
    return r->json;
}

static void Begin(Report* r, const char* key, bool list, bool row, JsonLayout layout)
{
    ReportLevel* top = Top(r);
    bool inRow = top && top->row;
    if (JsonWriter* w = JsonAt(r, key)) {
        if (list)
            BeginArray(w, layout);
        else
            BeginObject(w, inRow ? JSON_INLINE : layout);
    } else {
        CloseLine(r);
    }
    if (r->depth == REPORT_MAX_DEPTH)
        return;
    ReportLevel level = { key, 0, list, row || (inRow && !list), false };
    r->levels[r->depth++] = level;
}

void ReportObject(Report* r, const char* key)
{
    Begin(r, key, false, false, JSON_LINES_END_INLINE);
}

void ReportRow(Report* r, const char* key)
{
    Begin(r, key, false, true, JSON_INLINE);
}

void ReportList(Report* r, const char* key, bool inlineItems)
{
    Begin(r, key, true, false, inlineItems ? JSON_INLINE : JSON_LINES_END_INLINE);
}

void ReportEnd(Report* r)
{
    if (r->depth == 0)
        return;
    if (r->json) {
        EndScope(r->json);
    } else {
        CloseLine(r);
    }
    --r->depth;
    ReportLevel* parent = Top(r);
    if (parent && parent->list)
        ++parent->items;
}

void ReportNumber(Report* r, const char* key, ULONGLONG value)
{
    if (JsonWriter* w = JsonAt(r, key)) {
        NumberValue(w, value);
        return;
    }
    BeforeText(r, key);
    PutNumber(r->out, value);
    AfterText(r);
}

void ReportHex(Report* r, const char* key, ULONGLONG value)
{
    if (r->json) {
        ReportNumber(r, key, value);
        return;
    }
    BeforeText(r, key);
    char text[19];
    int n = sizeof text;
    text[--n] = '\0';
    do {
        text[--n] = "0123456789ABCDEF"[value & 15];
        value >>= 4;
    } while (value);
    text[--n] = 'x';
    text[--n] = '0';
    PutText(r->out, text + n);
    AfterText(r);
}

// A word or a null, in either form.
static void PutWord(Report* r, const char* key, const char* word)
{
    if (JsonWriter* w = JsonAt(r, key)) {
        WordValue(w, word);
        return;
    }
    BeforeText(r, key);
    if (word)
        PutText(r->out, word);
    AfterText(r);
}

void ReportNull(Report* r, const char* key)
{
    if (r->json || r->depth > 0)
        PutWord(r, key, NULL);
}

void ReportBool(Report* r, const char* key, bool value)
{
    if (JsonWriter* w = JsonAt(r, key)) {
        BoolValue(w, value);
        return;
    }
    PutWord(r, key, value ? "true" : "false");
}

void ReportWord(Report* r, const char* key, const char* word)
{
    PutWord(r, key, word);
}

void ReportText(Report* r, const char* key, const wchar_t* text)
{
    if (JsonWriter* w = JsonAt(r, key)) {
        StringValue(w, text);
        return;
    }
    BeforeText(r, key);
    if (text)
        PutCell(r->out, text);
    AfterText(r);
}

void ReportAscii(Report* r, const char* key, const char* text)
{
    wchar_t wide[512];
    int n = 0;
    for (; text[n] && n + 1 < 512; ++n)
        wide[n] = static_cast<unsigned char>(text[n]);
    wide[n] = L'\0';
    ReportText(r, key, n ? wide : NULL);
}

void ReportAnsi(Report* r, const char* key, const BYTE* text, DWORD length)
{
    static wchar_t wide[ANSI_UNITS];
    if (text)
        AnsiToWide(reinterpret_cast<const char*>(text), length, wide, ANSI_UNITS);
    ReportText(r, key, text ? wide : NULL);
}

void ReportEnum(Report* r, const char* key, DWORD value, const Word* words, int count)
{
    PutWord(r, key, WordOf(value, words, count));
}

void ReportFlags(Report* r, const char* key, DWORD value, const Word* words, int count)
{
    if (JsonWriter* w = JsonAt(r, key)) {
        FlagsValue(w, value, words, count);
        return;
    }
    BeforeText(r, key);
    bool any = false;
    for (int i = 0; i < count; ++i) {
        if ((value & words[i].value) == words[i].value) {
            if (any)
                PutChar(r->out, ' ');
            PutText(r->out, words[i].word);
            any = true;
        }
    }
    AfterText(r);
}
