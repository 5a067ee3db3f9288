// The text conversions and number formats that every view shares.
#pragma once
#include <windows.h>

// Room for paths and converted names, terminator included.
const int NAME_UNITS = 260;
// Room for labels and formatted values, terminator included.
const int TEXT_UNITS = 64;

// Converts `length` bytes of 8-bit text from the ANSI code page into `out`
// (room for `units` units), cut to fit and always terminated. The text ends
// early at a NUL byte.
void AnsiToWide(const char* text, DWORD length, wchar_t* out, int units);

// "%.4lX": uppercase hexadecimal with at least four digits.
void FormatHex4(DWORD value, wchar_t* out);
// Unsigned decimal grouped by three with commas, whatever the user's locale.
void FormatGrouped(DWORD value, wchar_t* out, int units);
