#include "image_view.h"
#include <string.h>

const BYTE* ImageAt(const ImageView* view, DWORD offset, DWORD length)
{
    if (offset > view->size || length > view->size - offset)
        return NULL;
    return view->base + offset;
}

const BYTE* ImageSpan(const ImageView* view, const void* p, DWORD length)
{
    const BYTE* b = static_cast<const BYTE*>(p);
    if (b == NULL || b < view->base || b > view->base + view->size)
        return NULL;
    return ImageAt(view, static_cast<DWORD>(b - view->base), length);
}

DWORD ImageBytesLeft(const ImageView* view, const void* p)
{
    const BYTE* b = static_cast<const BYTE*>(p);
    if (b == NULL || b < view->base || b >= view->base + view->size)
        return 0;
    return view->size - static_cast<DWORD>(b - view->base);
}

bool ReadWord(const ImageView* view, const void* p, WORD* out)
{
    *out = 0;
    const BYTE* b = ImageSpan(view, p, sizeof(WORD));
    if (!b)
        return false;
    memcpy(out, b, sizeof(WORD));
    return true;
}

bool ReadDword(const ImageView* view, const void* p, DWORD* out)
{
    *out = 0;
    const BYTE* b = ImageSpan(view, p, sizeof(DWORD));
    if (!b)
        return false;
    memcpy(out, b, sizeof(DWORD));
    return true;
}

bool ReadQword(const ImageView* view, const void* p, ULONGLONG* out)
{
    *out = 0;
    const BYTE* b = ImageSpan(view, p, sizeof(ULONGLONG));
    if (!b)
        return false;
    memcpy(out, b, sizeof(ULONGLONG));
    return true;
}

WORD NtWord(const ImageView* view, DWORD offset)
{
    WORD value;
    ReadWord(view, ImageSpan(view, view->nt, offset) ? view->nt + offset : NULL, &value);
    return value;
}

DWORD NtDword(const ImageView* view, DWORD offset)
{
    DWORD value;
    ReadDword(view, ImageSpan(view, view->nt, offset) ? view->nt + offset : NULL, &value);
    return value;
}

ULONGLONG NtQword(const ImageView* view, DWORD offset)
{
    ULONGLONG value;
    ReadQword(view, ImageSpan(view, view->nt, offset) ? view->nt + offset : NULL, &value);
    return value;
}

DWORD DataDirectoryOffset(const ImageView* view, int index)
{
    // The directories follow 96 bytes of PE32 or 112 bytes of PE32+ optional header.
    return NT_OPTIONAL_HEADER + (view->is64 ? 112 : 96) + 8 * static_cast<DWORD>(index);
}

DWORD DataDirectoryRva(const ImageView* view, int index)
{
    return NtDword(view, DataDirectoryOffset(view, index));
}

DWORD ImageStringLength(const ImageView* view, const void* p)
{
    DWORD left = ImageBytesLeft(view, p);
    if (left == 0)
        return 0;
    const void* nul = memchr(p, 0, left);
    return nul ? static_cast<DWORD>(static_cast<const BYTE*>(nul) - static_cast<const BYTE*>(p)) : left;
}

DWORD ImageWideStringLength(const ImageView* view, const void* p, DWORD limitBytes)
{
    DWORD left = ImageBytesLeft(view, p);
    if (left > limitBytes)
        left = limitBytes;
    const BYTE* b = static_cast<const BYTE*>(p);
    DWORD units = 0;
    for (DWORD i = 0; i + 1 < left; i += 2, ++units) {
        if (b[i] == 0 && b[i + 1] == 0)
            break;
    }
    return units;
}

bool InitImageView(ImageView* view, const BYTE* base, DWORD size)
{
    view->base = base;
    view->size = size;
    view->nt = NULL;
    view->is64 = false;

    WORD magic, relocations;
    DWORD lfanew, signature;
    if (!ReadWord(view, base, &magic) || magic != IMAGE_DOS_SIGNATURE)
        return false;
    if (!ReadWord(view, base + 0x18, &relocations) || relocations != 0x40)
        return false;
    // e_lfanew is signed: a negative value or one past the end is no PE image.
    if (!ReadDword(view, base + 0x3C, &lfanew) || static_cast<LONG>(lfanew) < 0)
        return false;
    const BYTE* nt = ImageAt(view, lfanew, sizeof(DWORD));
    if (!nt || !ReadDword(view, nt, &signature) || signature != IMAGE_NT_SIGNATURE)
        return false;
    WORD machine;
    if (!ReadWord(view, ImageAt(view, lfanew, NT_OPTIONAL_HEADER) ? nt + NT_MACHINE : NULL, &machine))
        return false;
    bool is64 = machine != IMAGE_FILE_MACHINE_I386;
    if (!ImageAt(view, lfanew, is64 ? NT_HEADERS_SIZE_64 : NT_HEADERS_SIZE_32))
        return false;
    view->nt = nt;
    view->is64 = is64;
    return true;
}

const IMAGE_SECTION_HEADER* SectionTable(const ImageView* view, DWORD* count)
{
    *count = 0;
    DWORD offset = NT_OPTIONAL_HEADER + NtWord(view, NT_SIZE_OF_OPTIONAL_HEADER);
    const BYTE* table = ImageSpan(view, view->nt, offset) ? view->nt + offset : NULL;
    DWORD fit = ImageBytesLeft(view, table) / sizeof(IMAGE_SECTION_HEADER);
    DWORD declared = NtWord(view, NT_NUMBER_OF_SECTIONS);
    *count = declared < fit ? declared : fit;
    return *count ? reinterpret_cast<const IMAGE_SECTION_HEADER*>(table) : NULL;
}

static const BYTE* Translate(const ImageView* view, DWORD rva, DWORD length)
{
    DWORD count;
    const IMAGE_SECTION_HEADER* sections = SectionTable(view, &count);
    for (DWORD i = 0; i < count; ++i) {
        IMAGE_SECTION_HEADER s;
        memcpy(&s, &sections[i], sizeof s);
        DWORD extent = s.Misc.VirtualSize ? s.Misc.VirtualSize : s.SizeOfRawData;
        DWORD end = s.VirtualAddress + extent;  // wraps modulo 2^32, as the loader's arithmetic does
        if (s.VirtualAddress <= rva && rva < end) {
            // The file offset is computed exactly, so a large PointerToRawData
            // cannot wrap back into the file.
            ULONGLONG offset = static_cast<ULONGLONG>(rva - s.VirtualAddress) + s.PointerToRawData;
            if (offset >= view->size)
                return NULL;
            return ImageAt(view, static_cast<DWORD>(offset), length);
        }
    }
    return NULL;
}

const BYTE* RvaToPointer(const ImageView* view, DWORD rva)
{
    return Translate(view, rva, 0);
}

const BYTE* RvaToSpan(const ImageView* view, DWORD rva, DWORD length)
{
    return Translate(view, rva, length);
}
