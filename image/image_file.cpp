#include "image_file.h"

MapResult MapImageFile(const wchar_t* path, ImageFile* out)
{
    return MapFile(path, MIN_IMAGE_SIZE, out);
}

MapResult MapFile(const wchar_t* path, DWORD minimum, ImageFile* out)
{
    ZeroMemory(out, sizeof *out);
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return MAP_NOT_OPENED;
    DWORD size = GetFileSize(file, NULL);
    // A failed size query must not pass for a file of 4 GiB - 1 bytes.
    if (size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) {
        CloseHandle(file);
        return MAP_NOT_OPENED;
    }
    if (size < minimum || size == 0) {
        CloseHandle(file);
        return MAP_TOO_SMALL;
    }
    HANDLE mapping = CreateFileMappingW(file, NULL, PAGE_READONLY, 0, 0, NULL);
    const BYTE* base = mapping ? static_cast<const BYTE*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0)) : NULL;
    if (!base) {
        if (mapping)
            CloseHandle(mapping);
        CloseHandle(file);
        return MAP_NOT_MAPPED;
    }
    out->file = file;
    out->mapping = mapping;
    out->base = base;
    out->size = size;
    return MAP_DONE;
}

void UnmapImageFile(ImageFile* file)
{
    UnmapViewOfFile(file->base);
    CloseHandle(file->mapping);
    CloseHandle(file->file);
    ZeroMemory(file, sizeof *file);
}
