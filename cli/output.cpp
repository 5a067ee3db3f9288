#include "output.h"
#include <stdio.h>

static void AppendUtf8(std::string* out, unsigned long code)
{
    if (code < 0x80) {
        *out += static_cast<char>(code);
    } else if (code < 0x800) {
        *out += static_cast<char>(0xC0 | (code >> 6));
        *out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        *out += static_cast<char>(0xE0 | (code >> 12));
        *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        *out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        *out += static_cast<char>(0xF0 | (code >> 18));
        *out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        *out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

static void AppendEscapedUnit(std::string* out, unsigned int unit)
{
    char escape[8];
    snprintf(escape, sizeof escape, "\\u%04X", unit);
    *out += escape;
}

// Walks UTF-16 text by code points. A surrogate without its partner (names
// in files are not always well-formed) cannot be written as UTF-8: it goes
// out as a \uXXXX escape, which JSON reads back as that very unit.
template <typename Escape>
static void AppendText(std::string* out, const std::wstring& text, Escape escape)
{
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned int unit = text[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            AppendEscapedUnit(out, unit);
        } else if (!escape(out, unit)) {
            AppendUtf8(out, unit);
        }
    }
}

static bool EscapeCell(std::string* out, unsigned int unit)
{
    switch (unit) {
    case L'\\': *out += "\\\\"; return true;
    case L'\t': *out += "\\t"; return true;
    case L'\r': *out += "\\r"; return true;
    case L'\n': *out += "\\n"; return true;
    }
    return false;
}

static bool EscapeJson(std::string* out, unsigned int unit)
{
    if (unit == L'"' || unit == L'\\') {
        *out += '\\';
        *out += static_cast<char>(unit);
        return true;
    }
    if (unit < 0x20) {
        if (!EscapeCell(out, unit))
            AppendEscapedUnit(out, unit);
        return true;
    }
    return false;
}

void AppendCell(std::string* out, const std::wstring& text)
{
    AppendText(out, text, EscapeCell);
}

void AppendJsonString(std::string* out, const std::wstring& text)
{
    *out += '"';
    AppendText(out, text, EscapeJson);
    *out += '"';
}

void Flush(std::string* out)
{
    fwrite(out->data(), 1, out->size(), stdout);
    out->clear();
}
