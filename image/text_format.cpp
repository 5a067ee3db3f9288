#include "text_format.h"

void AnsiToWide(const char* text, DWORD length, wchar_t* out, int units)
{
    out[0] = L'\0';
    if (units <= 1)
        return;
    // No code page needs more than four bytes for one UTF-16 unit, so nothing
    // past this many bytes can be shown; stopping there keeps an unterminated
    // name from costing a scan of the whole file.
    DWORD limit = 4 * static_cast<DWORD>(units);
    DWORD n = 0;
    while (n < length && n < limit && text[n] != '\0')
        ++n;
    if (n == 0)
        return;
    int written = MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(n), out, units - 1);
    if (written <= 0) {
        // Too long for the buffer: every byte gives at most one unit, so the
        // first units - 1 bytes always fit. The name is cut, never dropped.
        int take = n < static_cast<DWORD>(units - 1) ? static_cast<int>(n) : units - 1;
        written = MultiByteToWideChar(CP_ACP, 0, text, take, out, units - 1);
    }
    out[written > 0 ? written : 0] = L'\0';
}

void FormatHex4(DWORD value, wchar_t* out)
{
    wsprintfW(out, L"%.4lX", value);
}

void FormatGrouped(DWORD value, wchar_t* out, int units)
{
    wchar_t digits[16];
    wsprintfW(digits, L"%u", value);
    wchar_t separator[] = L",";
    NUMBERFMTW format = {};
    format.NumDigits = 0;
    format.LeadingZero = 0;
    format.Grouping = 3;
    format.lpDecimalSep = separator;
    format.lpThousandSep = separator;
    format.NegativeOrder = 0;
    // Some implementations drop the lone digit of 0 as a "leading zero";
    // the number is then shown as it was printed.
    if (!GetNumberFormatW(LOCALE_USER_DEFAULT, 0, digits, &format, out, units) || out[0] == L'\0')
        lstrcpynW(out, digits, units);
}
