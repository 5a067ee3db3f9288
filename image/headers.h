// The file header's and the optional header's fields as the image stores
// them, read once through the accessors: the summary view and the headers
// JSON both take them from here.
#pragma once
#include <windows.h>
#include "image_view.h"

struct VersionPair {
    WORD major;
    WORD minor;
};

struct ImageHeaders {
    // File header.
    WORD machine;
    WORD numberOfSections;
    DWORD timeDateStamp;
    WORD sizeOfOptionalHeader;
    WORD characteristics;
    // Optional header, PE32 or PE32+ as the image is read.
    WORD magic;
    VersionPair linker;
    DWORD entryPoint;
    ULONGLONG imageBase;
    DWORD sectionAlignment;
    DWORD fileAlignment;
    VersionPair operatingSystem;
    VersionPair image;
    VersionPair subsystemVersion;
    DWORD sizeOfImage;
    DWORD sizeOfHeaders;
    DWORD checksum;
    WORD subsystem;
    WORD dllCharacteristics;
    ULONGLONG stackReserve;
    ULONGLONG stackCommit;
    ULONGLONG heapReserve;
    ULONGLONG heapCommit;
    DWORD numberOfRvaAndSizes;
};

void ReadHeaders(const ImageView* view, ImageHeaders* out);

// A link time (seconds since 1970) as FILETIME ticks since 1601, UTC.
FILETIME LinkTimeToFileTime(DWORD timeDateStamp);
