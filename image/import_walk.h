// The import and delay-import tables as the loader reads them: each library's
// descriptor, then every entry of its thunk table, in the order the image
// stores them. The import views and the dependency walk both read them here.
#pragma once
#include <windows.h>
#include "image_view.h"

// One entry of a thunk table.
struct ImportedFunction {
    bool byOrdinal;
    WORD ordinal;        // when byOrdinal
    bool hintRead;       // by name: the hint could be read (the name follows it)
    WORD hint;
    const BYTE* name;    // by name, when hintRead: ends at its NUL or at the end of the file
};

struct ImportVisitor {
    void* context;
    // A library's descriptor; `name` is null when its name does not resolve,
    // and `delay` tells a delay-load descriptor.
    void (*library)(void* context, const BYTE* name, bool delay);
    // An entry of the last library's table.
    void (*function)(void* context, const ImportedFunction* function);
};

// PE32 tables when view->is64 is false, PE32+ tables otherwise; the
// delay-import table when `delay` is set.
void WalkImports(const ImageView* view, bool delay, const ImportVisitor* visitor);
