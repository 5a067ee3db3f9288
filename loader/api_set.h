// API-set names ("api-ms-win-core-synch-l1-2-0.dll") name no file: since
// Windows 7 the loader maps each to a host library through the API set
// schema that every process carries, before it searches any folder.
#pragma once
#include <windows.h>

// True when `name` starts with "api-" or "ext-" (in any case).
bool IsApiSetName(const wchar_t* name);

// Looks `name` up in the version-6 schema of `size` bytes at `schema` and
// copies its host's name into `host` (room for `hostUnits` units). The match
// ignores case, a ".dll" extension and everything from the name's last
// hyphen on (the set's minor version). Of the set's values, the one whose
// importing module is `importer` (a file name, or null) wins over the
// default one, which names no importer. False, with `host` empty, when the
// schema is of another version or malformed, does not know the set, or
// gives it no host.
bool ResolveApiSetIn(const BYTE* schema, DWORD size, const wchar_t* name, const wchar_t* importer,
                     wchar_t* host, int hostUnits);
