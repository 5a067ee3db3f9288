// A file mapped read-only for reading as an image.
#pragma once
#include <windows.h>

// The smallest file that can be an image: a 64-byte DOS header and the 248
// bytes of PE32 NT headers.
const DWORD MIN_IMAGE_SIZE = 312;

enum MapResult {
    MAP_DONE,        // mapped: to be released with UnmapImageFile
    MAP_TOO_SMALL,   // opened, but smaller than asked; nothing stays open
    MAP_NOT_OPENED,  // could not be opened (or its size read); nothing stays open
    MAP_NOT_MAPPED,  // opened, but could not be mapped; nothing stays open
};

struct ImageFile {
    HANDLE file;
    HANDLE mapping;
    const BYTE* base;
    DWORD size;   // the low 32 bits of the file's size
};

// Maps the whole file at `path` when it holds at least `minimum` bytes.
MapResult MapFile(const wchar_t* path, DWORD minimum, ImageFile* out);
// MapFile with the size of the smallest image.
MapResult MapImageFile(const wchar_t* path, ImageFile* out);
void UnmapImageFile(ImageFile* file);
