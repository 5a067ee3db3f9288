// The string-table resources as the string view lists them: each block's
// language entries in order, every string with its id. The string view and
// the JSON both read them here.
#pragma once
#include <windows.h>
#include "image_view.h"

struct StringVisitor {
    void* context;
    // A language entry whose language differs from the one before.
    void (*language)(void* context, DWORD language);
    // A string that is not empty: `units` units at `text`, terminated there
    // (a NUL among them ends it early for whoever reads it as terminated).
    void (*string)(void* context, DWORD id, const wchar_t* text, DWORD units);
};

void WalkStringTables(const ImageView* view, const StringVisitor* visitor);
