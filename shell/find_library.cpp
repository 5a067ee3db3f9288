#include "find_library.h"
#include "api_set.h"

bool FindLibrary(const wchar_t* name, const wchar_t* importer, wchar_t* found)
{
    // An API set names no file: the loader loads its host, so that is searched for.
    wchar_t host[MAX_PATH];
    if (IsApiSetName(name) && ResolveApiSet(name, importer, host, MAX_PATH))
        name = host;
    // The search's result counts the units it needed: zero means not found, and
    // MAX_PATH or more means the full path did not fit, which must open nothing
    // rather than a cut path.
    DWORD length = SearchPathW(NULL, name, NULL, MAX_PATH, found, NULL);
    return length > 0 && length < MAX_PATH;
}
