// The companion's own views (debug, load-config, hardening, signature, clr,
// manifest), written once for both forms: each view calls these, and the
// report writes JSON through the document's writer, or text.
//
// The text form: "-- VIEW", then a line per value, "KEY\tVALUE", KEY being
// the keys (and list positions) from the view down, joined by dots; a row
// (a record of a few values, as a hardening verdict or a debug entry) is one
// line, "KEY\tVALUE\tVALUE...", its values in their JSON order without their
// keys. Numbers are decimal, addresses and flags "0x" and hexadecimal, flag
// words one cell separated by spaces; null is an empty cell.
#pragma once
#include <windows.h>
#include "json_write.h"

const int REPORT_MAX_DEPTH = 8;

struct ReportLevel {
    const char* key;   // null in a list: the item's position names it
    int items;         // items written, for a list's positions
    bool list, row;
    bool lineOpen;     // a row whose line has values on it
};

struct Report {
    JsonWriter* json;   // the JSON form; null for the text
    Output* out;
    int depth;
    ReportLevel levels[REPORT_MAX_DEPTH];
};

void StartReport(Report* r, JsonWriter* json, Output* out);

// Scopes: `key` names them in an object and is null in a list. Inside a row
// an object is a row of its own, on the next line.
void ReportObject(Report* r, const char* key);
void ReportRow(Report* r, const char* key);
void ReportList(Report* r, const char* key, bool inlineItems);
void ReportEnd(Report* r);

// Null in JSON; nothing in the text at the view's level, an empty value below it.
void ReportNull(Report* r, const char* key);
void ReportNumber(Report* r, const char* key, ULONGLONG value);
void ReportHex(Report* r, const char* key, ULONGLONG value);   // a number in JSON too
void ReportBool(Report* r, const char* key, bool value);
void ReportWord(Report* r, const char* key, const char* word);   // null: null
void ReportText(Report* r, const char* key, const wchar_t* text);   // null: null
// ASCII text (printable, as the manifest reader leaves it); null when empty.
void ReportAscii(Report* r, const char* key, const char* text);
// 8-bit text of the file in the ANSI code page, `length` bytes at most.
void ReportAnsi(Report* r, const char* key, const BYTE* text, DWORD length);
void ReportEnum(Report* r, const char* key, DWORD value, const Word* words, int count);
void ReportFlags(Report* r, const char* key, DWORD value, const Word* words, int count);
