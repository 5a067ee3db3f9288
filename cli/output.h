// UTF-8 output of the console companion: text that scripts can split and
// JSON that every parser takes, whatever the file's names hold.
#pragma once
#include <string>

// Appends `text` as UTF-8 with backslash, tab, CR and LF written as \\, \t,
// \r and \n, so that a cell stays on its line and between its tabs.
void AppendCell(std::string* out, const std::wstring& text);
// Appends `text` as a quoted JSON string.
void AppendJsonString(std::string* out, const std::wstring& text);
// Writes `out` to standard output and empties it.
void Flush(std::string* out);
