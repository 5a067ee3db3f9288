#include "names.h"

bool SameName(const wchar_t* a, const wchar_t* b)
{
    return CompareStringOrdinal(a, -1, b, -1, TRUE) == CSTR_EQUAL;
}

bool SameNameUnits(const wchar_t* a, int aUnits, const wchar_t* b, int bUnits)
{
    return aUnits == bUnits && (aUnits == 0 || CompareStringOrdinal(a, aUnits, b, bUnits, TRUE) == CSTR_EQUAL);
}

DWORD NameHash(const wchar_t* name)
{
    DWORD hash = 2166136261u;   // FNV-1a
    for (; *name; ++name) {
        wchar_t c = *name >= L'A' && *name <= L'Z' ? static_cast<wchar_t>(*name + 32) : *name;
        hash = (hash ^ c) * 16777619u;
    }
    return hash;
}

const wchar_t* FileNameOf(const wchar_t* path)
{
    const wchar_t* name = path;
    for (const wchar_t* c = path; *c; ++c) {
        if (*c == L'\\' || *c == L'/')
            name = c + 1;
    }
    return name;
}

bool JoinPath(const wchar_t* folder, int folderUnits, const wchar_t* name, wchar_t* out)
{
    out[0] = L'\0';
    if (folderUnits <= 0)
        return false;
    int nameUnits = lstrlenW(name);
    bool separator = folder[folderUnits - 1] != L'\\' && folder[folderUnits - 1] != L'/';
    if (folderUnits + (separator ? 1 : 0) + nameUnits >= MAX_PATH)
        return false;
    CopyMemory(out, folder, folderUnits * sizeof(wchar_t));
    int at = folderUnits;
    if (separator)
        out[at++] = L'\\';
    CopyMemory(out + at, name, (nameUnits + 1) * sizeof(wchar_t));
    return true;
}
