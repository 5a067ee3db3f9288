// The benchmark's text: printing that reaches the console at once, UTF-8 for
// names, digits grouped by three, and a path's last part.
#pragma once
#include <string>

// printf, flushed, so that a long run shows its progress.
void Print(const char* format, ...);
std::string Utf8(const std::wstring& text);
// Decimal grouped by three with commas.
std::string Grouped(unsigned long long value);
std::wstring BaseName(const std::wstring& path);
