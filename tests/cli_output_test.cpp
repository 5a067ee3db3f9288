// The console companion's escapes: every cell stays on its line, and the JSON
// stays valid UTF-8 whatever units a file's names hold.
#include <gtest/gtest.h>
#include <string>
#include "cli/output.h"

// What the writer makes of `text`, kept in its buffer.
static std::string Written(void (*put)(Output*, const wchar_t*), const std::wstring& text)
{
    static Output out;
    out.stream = 0;
    out.used = 0;
    put(&out, text.c_str());
    return std::string(out.buffer, out.used);
}

TEST(CliOutput, CellsAndJsonStringsEscapeWhatWouldBreakThem)
{
    struct Case {
        std::wstring text;
        const char* cell;
        const char* json;
    } cases[] = {
        { L"C:\\windows\\a\"b", "C:\\windows\\a\"b", "\"C:\\\\windows\\\\a\\\"b\"" },
        { L"\t\r\n\x01\x1f", "\\t\\r\\n\\u0001\\u001F", "\"\\t\\r\\n\\u0001\\u001F\"" },
        // Surrogates without their partner, a pair, and a character of three bytes.
        { L"x\xD800y\xDC00", "x\\uD800y\\uDC00", "\"x\\uD800y\\uDC00\"" },
        { L"\xDC00\xD800", "\\uDC00\\uD800", "\"\\uDC00\\uD800\"" },
        { L"\xD83D\xDE00\x4E2D", "\xF0\x9F\x98\x80\xE4\xB8\xAD", "\"\xF0\x9F\x98\x80\xE4\xB8\xAD\"" },
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.cell, Written(PutCell, c.text));
        EXPECT_EQ(c.json, Written(PutJsonString, c.text));
    }
}
