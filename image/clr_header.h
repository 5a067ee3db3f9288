// The .NET header (the COM descriptor directory) and the version string of
// the metadata root it points to.
#pragma once
#include <windows.h>
#include "image_view.h"

// Flags that <winnt.h> does not name.
const DWORD CLR_FLAG_NATIVE_ENTRYPOINT = 0x10;
const DWORD CLR_FLAG_32BIT_PREFERRED = 0x20000;

// Room for the metadata root's version string, terminator included.
const int CLR_VERSION_BYTES = 256;

struct ClrHeader {
    IMAGE_COR20_HEADER header;
    bool hasMetadata;              // a metadata root with its "BSJB" signature inside the file
    WORD metadataMajor, metadataMinor;
    char version[CLR_VERSION_BYTES];   // "v4.0.30319", cut to fit; printable ASCII, others '?'
};

// False when the image has no .NET header inside the file. A header that the
// end of the file cuts is read as far as it reaches, the rest 0.
bool ReadClrHeader(const ImageView* view, ClrHeader* out);
