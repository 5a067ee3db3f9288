// The debug directory: its entries as the image stores them, and what the
// ones a release check asks about hold (CodeView, NB10, the extended DLL
// characteristics), each read only as far as the entry's data lies inside
// the file.
#pragma once
#include <windows.h>
#include "image_view.h"

// The entry types that the views name beyond <winnt.h>'s older ones.
const DWORD DEBUG_TYPE_POGO = 13;
const DWORD DEBUG_TYPE_REPRO = 16;
const DWORD DEBUG_TYPE_EX_DLL_CHARACTERISTICS = 20;

// Room for a PDB path, terminator included.
const int PDB_PATH_BYTES = 512;

struct CodeViewInfo {
    enum Format { NONE, RSDS, NB10 } format;
    GUID guid;            // RSDS
    DWORD offset;         // NB10
    DWORD signature;      // NB10: a time stamp
    DWORD age;
    char pdb[PDB_PATH_BYTES];   // as stored (8-bit), cut to fit; empty when absent
    bool pdbEnded;        // a NUL ended the path inside the entry's data and PDB_PATH_BYTES
};

struct DebugEntry {
    IMAGE_DEBUG_DIRECTORY entry;
    ByteSpan data;        // the entry's data inside the file: empty when none lies there
    CodeViewInfo codeView;   // IMAGE_DEBUG_TYPE_CODEVIEW
    bool hasExFlags;
    DWORD exFlags;        // DEBUG_TYPE_EX_DLL_CHARACTERISTICS
};

// Calls `each` for every entry of the debug directory, in order; stops when
// `each` returns false. The count is the directory's size over 28 bytes,
// and no more than lie inside the file.
void WalkDebugEntries(const ImageView* view, bool (*each)(void* context, const DebugEntry* entry), void* context);

// "RSDS" GUIDs as the symbol server names them: the GUID without dashes in
// upper case, then the age in hexadecimal (33 + 8 characters at most).
void SymbolServerKey(const GUID* guid, DWORD age, char* out);
// The GUID as {8-4-4-4-12} digits, upper case, without braces.
void GuidText(const GUID* guid, char* out);
