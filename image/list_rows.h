// The few list-control operations and text conversions that every view shares.
#pragma once
#include <windows.h>

// Item parameter of every list row.
enum RowMarker {
    ROW_PLAIN = 0,
    ROW_HEADER = 1,   // a library, a language, the section totals: white on teal
};

// Room for paths and converted names, terminator included.
const int NAME_UNITS = 260;
// Room for labels and formatted values, terminator included.
const int TEXT_UNITS = 64;

// Inserts row `index` with `text` (or no text when null) in column 0 and `marker`
// as its item parameter.
void InsertRow(HWND list, int index, const wchar_t* text, RowMarker marker);
// Sets the text of cell (row, column).
void SetCell(HWND list, int row, int column, const wchar_t* text);
// Copies the text of cell (row, column) into `out` (room for `units` units),
// cut to fit and always terminated; returns the number of units copied.
int GetCell(HWND list, int row, int column, wchar_t* out, int units);

// Converts `length` bytes of 8-bit text from the ANSI code page into `out`
// (room for `units` units), cut to fit and always terminated. The text ends
// early at a NUL byte.
void AnsiToWide(const char* text, DWORD length, wchar_t* out, int units);

// "%.4lX": uppercase hexadecimal with at least four digits.
void FormatHex4(DWORD value, wchar_t* out);
// Unsigned decimal grouped by three with commas, whatever the user's locale.
void FormatGrouped(DWORD value, wchar_t* out, int units);
