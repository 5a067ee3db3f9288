// A file's dependency closure: an indented tree of text, or JSON, or with
// `onlyMissing` just what is missing.
#pragma once
#include "print_views.h"

// False (the file's failure written) when memory runs out.
bool PrintDeps(Printer* p, const wchar_t* file, const Closure* closure, bool json, bool onlyMissing);
// The name (under `nameKey`) and the ordinal of a missing function: one of them null.
void JsonMissingName(JsonWriter* w, const char* nameKey, const MissingFunction* missing);
