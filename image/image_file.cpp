#include "image_file.h"
#include "grow.h"

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
    if (file->mapping) {
        UnmapViewOfFile(file->base);
        CloseHandle(file->mapping);
    }
    if (file->file)
        CloseHandle(file->file);
    ZeroMemory(file, sizeof *file);
}

// Files larger than this are mapped: the cost of a mapping is mostly its
// own, whatever the file's size, and that of fresh memory to read into
// grows with it (under Wine, many times more than a mapping's).
static const DWORD READ_LIMIT = 8 * 1024 * 1024;

// The buffer, taken at its full size the first time: memory is faulted in
// only as far as files fill it, and it never moves or grows.
static bool HoldBytes(FileBuffer* buffer)
{
    if (!buffer->bytes) {
        buffer->bytes = static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), 0, READ_LIMIT));
        buffer->room = buffer->bytes ? READ_LIMIT : 0;
    }
    return buffer->bytes != NULL;
}

MapResult ReadImageFile(const wchar_t* path, FileBuffer* buffer, ImageFile* out)
{
    ZeroMemory(out, sizeof *out);
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return MAP_NOT_OPENED;
    DWORD high = 0;
    DWORD size = GetFileSize(file, &high);
    if (size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) {
        CloseHandle(file);
        return MAP_NOT_OPENED;
    }
    if (size < MIN_IMAGE_SIZE) {
        CloseHandle(file);
        return MAP_TOO_SMALL;
    }
    if (high != 0 || size > READ_LIMIT || !HoldBytes(buffer)) {
        CloseHandle(file);
        return MapImageFile(path, out);
    }
    DWORD read = 0;
    while (read < size) {
        DWORD got = 0;
        if (!ReadFile(file, buffer->bytes + read, size - read, &got, NULL) || got == 0)
            break;
        read += got;
    }
    CloseHandle(file);
    // A file that shrank while it was read is read again as a mapping shows it.
    if (read != size)
        return MapImageFile(path, out);
    out->base = buffer->bytes;
    out->size = size;
    return MAP_DONE;
}

void FreeFileBuffer(FileBuffer* buffer)
{
    FreeTable(&buffer->bytes, &buffer->room);
}
