#include "image_view.h"
#include <string.h>
#include "section_index.h"

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

ULONGLONG NtPointerSized(const ImageView* view, DWORD offset)
{
    return view->is64 ? NtQword(view, offset) : NtDword(view, offset);
}

DWORD DataDirectoryOffset(const ImageView* view, int index)
{
    return NT_OPTIONAL(view, DataDirectory) + sizeof(IMAGE_DATA_DIRECTORY) * static_cast<DWORD>(index);
}

// The entry (VirtualAddress in the low half, Size in the high), 0 when absent.
static ULONGLONG DataDirectoryEntry(const ImageView* view, int index)
{
    // The loader treats the directories past NumberOfRvaAndSizes as absent;
    // their bytes are often the section table.
    if (static_cast<DWORD>(index) >= NtDword(view, NT_OPTIONAL(view, NumberOfRvaAndSizes)))
        return 0;
    // The entry is read whole (VirtualAddress, then Size), so one that the
    // end of the file cuts is absent too.
    return NtQword(view, DataDirectoryOffset(view, index));
}

DWORD DataDirectoryRva(const ImageView* view, int index)
{
    return static_cast<DWORD>(DataDirectoryEntry(view, index));
}

DWORD DataDirectorySize(const ImageView* view, int index)
{
    return static_cast<DWORD>(DataDirectoryEntry(view, index) >> 32);
}

DWORD EntriesInside(const ImageView* view, const BYTE* table, DWORD declared, DWORD entrySize)
{
    DWORD fit = ImageBytesLeft(view, table) / entrySize;
    return declared < fit ? declared : fit;
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
    view->index = NULL;

    // Like the loader, look at nothing of the DOS header but its first two
    // bytes and e_lfanew.
    WORD dosMagic;
    DWORD lfanew, signature;
    if (!ReadWord(view, base, &dosMagic) || dosMagic != IMAGE_DOS_SIGNATURE)
        return false;
    // e_lfanew is signed: a negative value or one past the end is no PE image.
    if (!ReadDword(view, base + DOS_LFANEW, &lfanew) || static_cast<LONG>(lfanew) < 0)
        return false;
    const BYTE* nt = ImageAt(view, lfanew, sizeof(DWORD));
    if (!nt || !ReadDword(view, nt, &signature) || signature != IMAGE_NT_SIGNATURE)
        return false;
    view->nt = nt;
    // Magic chooses the layout; Machine decides only when Magic is neither
    // (a ROM image or a damaged header).
    WORD magic = NtWord(view, NT_MAGIC);
    bool is64 = magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC
        || (magic != IMAGE_NT_OPTIONAL_HDR32_MAGIC && NtWord(view, NT_MACHINE) != IMAGE_FILE_MACHINE_I386);
    if (!ImageAt(view, lfanew, is64 ? NT_FIXED_HEADERS_64 : NT_FIXED_HEADERS_32)) {
        view->nt = NULL;
        return false;
    }
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
    DWORD i = FindSection(view, sections, count, rva);
    if (i == NO_SECTION)
        return NULL;
    IMAGE_SECTION_HEADER s;
    memcpy(&s, &sections[i], sizeof s);
    // The file offset is computed exactly, so a large PointerToRawData
    // cannot wrap back into the file.
    ULONGLONG offset = static_cast<ULONGLONG>(rva - s.VirtualAddress) + s.PointerToRawData;
    if (offset >= view->size)
        return NULL;
    return ImageAt(view, static_cast<DWORD>(offset), length);
}

const BYTE* RvaToPointer(const ImageView* view, DWORD rva)
{
    return Translate(view, rva, 0);
}

const BYTE* RvaToSpan(const ImageView* view, DWORD rva, DWORD length)
{
    return Translate(view, rva, length);
}
