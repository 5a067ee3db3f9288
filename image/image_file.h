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
    HANDLE mapping;   // null when the file was read into a buffer
    const BYTE* base;
    DWORD size;   // the low 32 bits of the file's size
};

// Room that files are read into, kept from one file to the next.
struct FileBuffer {
    BYTE* bytes;
    SIZE_T room;
};

// Maps the whole file at `path` when it holds at least `minimum` bytes.
MapResult MapFile(const wchar_t* path, DWORD minimum, ImageFile* out);
// MapFile with the size of the smallest image.
MapResult MapImageFile(const wchar_t* path, ImageFile* out);
void UnmapImageFile(ImageFile* file);
// Reads the whole image file at `path` into `buffer` instead of mapping it:
// for a run that reads every byte of many files (the checksum does), a read
// into memory used again and again costs less than a mapping of each. A
// large file is mapped after all.
// Released with UnmapImageFile all the same; `buffer` stays with the caller.
MapResult ReadImageFile(const wchar_t* path, FileBuffer* buffer, ImageFile* out);
void FreeFileBuffer(FileBuffer* buffer);
