#include "files.h"
#include "image/grow.h"

// A heap copy of the first `units` of `prefix` followed by `name`.
static wchar_t* Joined(const wchar_t* prefix, int units, const wchar_t* name)
{
    int nameUnits = lstrlenW(name);
    wchar_t* text = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, (units + nameUnits + 1) * sizeof(wchar_t)));
    if (!text)
        return NULL;
    CopyMemory(text, prefix, units * sizeof(wchar_t));
    CopyMemory(text + units, name, (nameUnits + 1) * sizeof(wchar_t));
    return text;
}

static bool Add(FileList* list, const wchar_t* prefix, int units, const wchar_t* name, const wchar_t* error)
{
    NamedFile* item = AppendItem(&list->items, &list->count, &list->room);
    if (!item || !(item->shown = Joined(prefix, units, name)))
        return false;
    DWORD fullUnits = GetFullPathNameW(item->shown, MAX_PATH, item->full, NULL);
    if (fullUnits == 0 || fullUnits >= MAX_PATH)
        item->full[0] = L'\0';
    item->error = error;
    return true;
}

// Where the last part of `path` starts.
static int LastPart(const wchar_t* path)
{
    int start = 0;
    for (int i = 0; path[i]; ++i) {
        if (path[i] == L'\\' || path[i] == L'/' || (i == 1 && path[i] == L':'))
            start = i + 1;
    }
    return start;
}

static int CompareNames(const NamedFile& a, const NamedFile& b)
{
    int order = CompareStringOrdinal(a.shown, -1, b.shown, -1, TRUE);
    return order != CSTR_EQUAL ? order : CompareStringOrdinal(a.shown, -1, b.shown, -1, FALSE);
}

// The files that match `pattern`, sorted by name; folders are passed over.
static bool Expand(FileList* list, const wchar_t* pattern)
{
    int prefix = LastPart(pattern);
    int first = list->count;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern, &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !Add(list, pattern, prefix, found.cFileName, NULL)) {
                FindClose(search);
                return false;
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    if (list->count == first)
        return Add(list, pattern, lstrlenW(pattern), L"", L"no file matches");
    // Insertion sort: a folder's listing comes nearly in order already.
    for (int i = first + 1; i < list->count; ++i) {
        NamedFile item = list->items[i];
        int j = i;
        for (; j > first && CompareNames(list->items[j - 1], item) > CSTR_EQUAL; --j)
            list->items[j] = list->items[j - 1];
        list->items[j] = item;
    }
    return true;
}

bool ListFiles(wchar_t** argv, const int* fileArgs, int count, FileList* out)
{
    ZeroMemory(out, sizeof *out);
    for (int f = 0; f < count; ++f) {
        const wchar_t* argument = argv[fileArgs[f]];
        const wchar_t* last = argument + LastPart(argument);
        bool wild = false;
        for (const wchar_t* c = last; *c; ++c)
            wild = wild || *c == L'*' || *c == L'?';
        bool ok;
        if (wild) {
            ok = Expand(out, argument);
        } else {
            DWORD attributes = GetFileAttributesW(argument);
            bool folder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
            ok = Add(out, argument, lstrlenW(argument), L"", folder ? L"a folder, not a file" : NULL);
        }
        if (!ok)
            return false;
    }
    return true;
}

void FreeFileList(FileList* list)
{
    for (int i = 0; i < list->count; ++i) {
        if (list->items[i].shown)
            HeapFree(GetProcessHeap(), 0, list->items[i].shown);
    }
    FreeTable(&list->items, &list->room);
    list->count = 0;
}
