#include "clr_header.h"
#include <string.h>

// The metadata root: "BSJB", major and minor version, a reserved DWORD, the
// length of the version string that follows (padded to four bytes).
static void ReadMetadataRoot(const ImageView* view, ClrHeader* out)
{
    DWORD rva = out->header.MetaData.VirtualAddress;
    const BYTE* root = rva ? RvaToSpan(view, rva, 16) : NULL;
    DWORD signature = 0, length = 0;
    if (!root || !ReadDword(view, root, &signature) || signature != 0x424A5342)
        return;
    out->hasMetadata = true;
    ReadWord(view, root + 4, &out->metadataMajor);
    ReadWord(view, root + 6, &out->metadataMinor);
    ReadDword(view, root + 12, &length);
    const BYTE* text = SpanPart(view, root + 16, 1);
    DWORD left = BytesLeft(view, text);
    if (length > left)
        length = left;
    DWORD n = 0;
    for (; n < length && n + 1 < CLR_VERSION_BYTES && text[n]; ++n)
        out->version[n] = text[n] < 0x20 || text[n] > 0x7E ? '?' : static_cast<char>(text[n]);
    out->version[n] = '\0';
}

bool ReadClrHeader(const ImageView* view, ClrHeader* out)
{
    ZeroMemory(out, sizeof *out);
    DWORD rva = DataDirectoryRva(view, IMAGE_DIRECTORY_ENTRY_COM_DESCRIPTOR);
    const BYTE* at = rva ? RvaToSpan(view, rva, sizeof(DWORD)) : NULL;
    if (!at)
        return false;
    DWORD left = BytesLeft(view, at);
    memcpy(&out->header, at, left < sizeof out->header ? left : sizeof out->header);
    ReadMetadataRoot(view, out);
    return true;
}
