// UTF-8 output of the console companion: text that scripts can split and
// JSON that every parser takes, whatever the file's names hold.
#pragma once
#include <windows.h>
#include <stdio.h>

// Bytes gathered for one stream and written in large pieces.
struct Output {
    FILE* sink;   // null: kept in the buffer only (until it is full)
    size_t used;
    char buffer[64 * 1024];
};

void PutChar(Output* out, char c);
void PutText(Output* out, const char* text);
// `text` (UTF-16, up to its NUL) as UTF-8 with backslash, tab, CR and LF
// written as \\, \t, \r and \n, so that a cell stays on its line and between
// its tabs.
void PutCell(Output* out, const wchar_t* text);
// `text` as a quoted JSON string.
void PutJsonString(Output* out, const wchar_t* text);
// A number in decimal; by hand, since the C library's printf family brings a
// floating-point formatter this program has no use for.
void PutNumber(Output* out, ULONGLONG value);
// Writes what the buffer holds to the sink.
void Flush(Output* out);

// The process's standard output and standard error.
Output* StandardOutput();
Output* StandardError();
// "modview-cli: SUBJECT: PROBLEM" on standard error.
void Complain(const wchar_t* subject, const wchar_t* problem);
