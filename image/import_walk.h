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

// What the walk meets next: a library's descriptor, or an entry of the last
// library's table.
struct ImportItem {
    bool isLibrary;
    const BYTE* library;          // isLibrary: its name, null when the name does not resolve
    ImportedFunction function;    // otherwise
};

// Where a walk of one table stands, so that it can go on later: the caller
// keeps it between calls, and the image stays mapped meanwhile.
struct ImportCursor {
    bool delay;
    const BYTE* descriptor;   // the next descriptor; null once they end
    const BYTE* entry;        // the next entry of the current table; null when it has ended
    DWORD bias;               // subtracted from the current delay descriptor's addresses
    DWORD imageBase;          // low 32 bits of ImageBase, for delay descriptors
    DWORD bytesLeft;          // table bytes that may still be read
};

// PE32 tables when view->is64 is false, PE32+ tables otherwise; the
// delay-import table when `delay` is set.
void BeginImports(const ImageView* view, bool delay, ImportCursor* cursor);
// The next library or function; false at the end of the table.
bool NextImport(const ImageView* view, ImportCursor* cursor, ImportItem* item);

struct ImportVisitor {
    void* context;
    // A library's descriptor; `name` is null when its name does not resolve,
    // and `delay` tells a delay-load descriptor.
    void (*library)(void* context, const BYTE* name, bool delay);
    // An entry of the last library's table.
    void (*function)(void* context, const ImportedFunction* function);
};

// The whole table, item by item.
void WalkImports(const ImageView* view, bool delay, const ImportVisitor* visitor);
