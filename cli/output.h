// UTF-8 output of the console companion: text that scripts can split and
// JSON that every parser takes, whatever the file's names hold.
#pragma once
#include <windows.h>

// Bytes gathered for one stream and written in large pieces, straight to the
// stream's handle: through the C library, a character device (the null
// device, a terminal) costs many times what a file or a pipe does.
struct Output {
    int stream;   // STD_OUTPUT_HANDLE or STD_ERROR_HANDLE; 0: kept in the buffer only (until it is full)
    bool crlf;    // line ends written as CR LF (standard error, a text stream for people)
    size_t used;
    char buffer[64 * 1024];
};

void PutChar(Output* out, char c);
void PutText(Output* out, const char* text);
// `text` (UTF-16, up to its NUL) as UTF-8 for people: as it is, but for
// tab, CR and LF, written \t, \r and \n, other control characters and a
// lone surrogate, written \uXXXX, so that a cell stays on its line and
// between its tabs. A backslash is a backslash: JSON is the exact form.
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
