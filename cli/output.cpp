#include "output.h"

// Writes `bytes` whole, as far as the stream takes them; whatever it does
// not take is dropped, as the C library would.
static bool WriteAll(HANDLE handle, const char* bytes, size_t length)
{
    for (size_t at = 0; at < length;) {
        DWORD written = 0;
        if (!WriteFile(handle, bytes + at, static_cast<DWORD>(length - at), &written, NULL) || written == 0)
            return false;
        at += written;
    }
    return true;
}

void Flush(Output* out)
{
    if (!out->stream)
        return;
    HANDLE handle = GetStdHandle(static_cast<DWORD>(out->stream));
    if (handle && handle != INVALID_HANDLE_VALUE) {
        size_t start = 0;
        for (size_t at = 0; out->crlf && at < out->used; ++at) {
            if (out->buffer[at] == '\n') {
                if (!WriteAll(handle, out->buffer + start, at - start) || !WriteAll(handle, "\r\n", 2))
                    break;
                start = at + 1;
            }
        }
        WriteAll(handle, out->buffer + start, out->used - start);
    }
    out->used = 0;
}

Output* StandardOutput()
{
    static Output out = { static_cast<int>(STD_OUTPUT_HANDLE), false, 0, {} };
    return &out;
}

Output* StandardError()
{
    static Output out = { static_cast<int>(STD_ERROR_HANDLE), true, 0, {} };
    return &out;
}

void Complain(const wchar_t* subject, const wchar_t* problem)
{
    Output* error = StandardError();
    PutText(error, "modview-cli: ");
    PutCell(error, subject);
    PutText(error, ": ");
    PutCell(error, problem);
    PutChar(error, '\n');
    Flush(error);
}

void PutChar(Output* out, char c)
{
    if (out->used == sizeof out->buffer)
        Flush(out);
    if (out->used < sizeof out->buffer)
        out->buffer[out->used++] = c;
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

void PutText(Output* out, const char* text)
{
    for (; *text; ++text)
        PutChar(out, *text);
}

static void PutUtf8(Output* out, unsigned long code)
{
    if (code < 0x80) {
        PutChar(out, static_cast<char>(code));
    } else if (code < 0x800) {
        PutChar(out, static_cast<char>(0xC0 | (code >> 6)));
        PutChar(out, static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        PutChar(out, static_cast<char>(0xE0 | (code >> 12)));
        PutChar(out, static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        PutChar(out, static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        PutChar(out, static_cast<char>(0xF0 | (code >> 18)));
        PutChar(out, static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        PutChar(out, static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        PutChar(out, static_cast<char>(0x80 | (code & 0x3F)));
    }
}

// \uXXXX, which JSON reads back as that very unit.
static void PutEscapedUnit(Output* out, unsigned int unit)
{
    const char* digits = "0123456789ABCDEF";
    PutText(out, "\\u");
    for (int shift = 12; shift >= 0; shift -= 4)
        PutChar(out, digits[(unit >> shift) & 0xF]);
}

// Tab, CR and LF as \t, \r and \n, other control characters as \uXXXX.
static bool PutControlEscape(Output* out, unsigned int unit)
{
    switch (unit) {
    case L'\t': PutText(out, "\\t"); return true;
    case L'\r': PutText(out, "\\r"); return true;
    case L'\n': PutText(out, "\\n"); return true;
    }
    if (unit < 0x20) {
        PutEscapedUnit(out, unit);
        return true;
    }
    return false;
}

// Text for people: only what would break a row's line or its tabs.
static bool PutCellEscape(Output* out, unsigned int unit)
{
    return PutControlEscape(out, unit);
}

static bool PutJsonEscape(Output* out, unsigned int unit)
{
    if (unit == L'"' || unit == L'\\') {
        PutChar(out, '\\');
        PutChar(out, static_cast<char>(unit));
        return true;
    }
    return PutControlEscape(out, unit);
}

// Walks UTF-16 text by code points. A surrogate without its partner (names
// in files are not always well-formed) cannot be written as UTF-8: it goes
// out as a \uXXXX escape.
static void PutUnits(Output* out, const wchar_t* text, bool (*escape)(Output*, unsigned int))
{
    for (; *text; ++text) {
        unsigned int unit = *text;
        if (unit >= 0xD800 && unit <= 0xDBFF && text[1] >= 0xDC00 && text[1] <= 0xDFFF) {
            PutUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (text[1] - 0xDC00));
            ++text;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            PutEscapedUnit(out, unit);
        } else if (!escape(out, unit)) {
            PutUtf8(out, unit);
        }
    }
}

void PutCell(Output* out, const wchar_t* text)
{
    PutUnits(out, text, PutCellEscape);
}

void PutJsonString(Output* out, const wchar_t* text)
{
    PutChar(out, '"');
    PutUnits(out, text, PutJsonEscape);
    PutChar(out, '"');
}
