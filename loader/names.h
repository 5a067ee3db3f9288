// File names as the loader compares them, and paths made from them.
#pragma once
#include <windows.h>

// Equal but for case (ordinal comparison, as the loader's): whole names, and
// names given by their units.
bool SameName(const wchar_t* a, const wchar_t* b);
bool SameNameUnits(const wchar_t* a, int aUnits, const wchar_t* b, int bUnits);
// A hash that equal names (but for ASCII case) share.
DWORD NameHash(const wchar_t* name);
// The part of `path` after its last separator.
const wchar_t* FileNameOf(const wchar_t* path);
// The first `folderUnits` units of `folder`, a backslash unless it ends in
// one, and `name`, into `out` (MAX_PATH units). False, with `out` empty, when
// the folder is empty or the path and its terminator do not fit.
bool JoinPath(const wchar_t* folder, int folderUnits, const wchar_t* name, wchar_t* out);
