#include "copy_files.h"
#include <string.h>
#include "image/image_file.h"
#include "loader/names.h"

const char* CopyWord(CopyResult result)
{
    static const char* const WORDS[] = { "copied", "same", "kept", "replaced", "failed" };
    return WORDS[result];
}

bool MakeFolder(const wchar_t* folder)
{
    wchar_t path[MAX_PATH];
    int units = lstrlenW(folder);
    if (units == 0 || units >= MAX_PATH)
        return false;
    lstrcpyW(path, folder);
    // Each level from the top down; a drive, a share or a level that is
    // there already cannot be made, and stays as it is.
    for (int i = 1; i <= units; ++i) {
        if (i < units && path[i] != L'\\' && path[i] != L'/')
            continue;
        wchar_t kept = path[i];
        path[i] = L'\0';
        CreateDirectoryW(path, NULL);
        path[i] = kept;
    }
    DWORD attributes = GetFileAttributesW(folder);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Whether the two files hold the same bytes.
static bool SameBytes(const wchar_t* a, const wchar_t* b)
{
    ImageFile first, second;
    if (MapFile(a, 1, &first) != MAP_DONE)
        return false;
    bool same = false;
    if (MapFile(b, 1, &second) == MAP_DONE) {
        same = first.size == second.size && memcmp(first.base, second.base, first.size) == 0;
        UnmapImageFile(&second);
    }
    UnmapImageFile(&first);
    return same;
}

// The copy's creation, access and write times are the source's.
static void KeepTimes(const wchar_t* source, const wchar_t* copy)
{
    HANDLE from = CreateFileW(source, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    HANDLE to = CreateFileW(copy, FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    FILETIME created, accessed, written;
    if (from != INVALID_HANDLE_VALUE && to != INVALID_HANDLE_VALUE &&
        GetFileTime(from, &created, &accessed, &written))
        SetFileTime(to, &created, &accessed, &written);
    if (from != INVALID_HANDLE_VALUE)
        CloseHandle(from);
    if (to != INVALID_HANDLE_VALUE)
        CloseHandle(to);
}

CopyResult CopyInto(const wchar_t* source, const wchar_t* folder, bool overwrite, wchar_t* copied)
{
    copied[0] = L'\0';
    const wchar_t* name = FileNameOf(source);
    if (!name[0] || lstrcmpW(name, L".") == 0 || lstrcmpW(name, L"..") == 0 || wcschr(name, L':') ||
        !JoinPath(folder, lstrlenW(folder), name, copied))
        return COPY_FAILED;
    bool there = GetFileAttributesW(copied) != INVALID_FILE_ATTRIBUTES;
    if (there && SameBytes(source, copied))
        return COPY_SAME;
    if (there && !overwrite)
        return COPY_KEPT;
    // The old name goes first: copied over, a link would carry the bytes
    // to its target, outside the folder.
    if ((there && !DeleteFileW(copied)) || !CopyFileW(source, copied, TRUE))
        return COPY_FAILED;
    KeepTimes(source, copied);
    return there ? COPY_REPLACED : COPY_DONE;
}
