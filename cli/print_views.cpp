#include "print_views.h"

const wchar_t* ResolvedPath(const Closure* closure, const wchar_t* name, int* notFound)
{
    int library = FindImport(closure, name);
    const wchar_t* path = library >= 0 ? closure->libraries[library].path : L"";
    if (!path[0])
        ++*notFound;
    return path;
}
