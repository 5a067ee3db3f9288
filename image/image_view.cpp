#include "image_view.h"
#include <string.h>
#include "section_index.h"

WORD NtWord(const ImageView* view, DWORD offset)
{
    WORD value;
    ReadWord(view, SpanPart(view, view->nt, offset) ? view->nt + offset : NULL, &value);
    return value;
}

DWORD NtDword(const ImageView* view, DWORD offset)
{
    DWORD value;
    ReadDword(view, SpanPart(view, view->nt, offset) ? view->nt + offset : NULL, &value);
    return value;
}

ULONGLONG NtQword(const ImageView* view, DWORD offset)
{
    ULONGLONG value;
    ReadQword(view, SpanPart(view, view->nt, offset) ? view->nt + offset : NULL, &value);
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
    const BYTE* nt = SpanAt(view, lfanew, sizeof(DWORD));
    if (!nt || !ReadDword(view, nt, &signature) || signature != IMAGE_NT_SIGNATURE)
        return false;
    view->nt = nt;
    // Magic chooses the layout; Machine decides only when Magic is neither
    // (a ROM image or a damaged header).
    WORD magic = NtWord(view, NT_MAGIC);
    bool is64 = magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC
        || (magic != IMAGE_NT_OPTIONAL_HDR32_MAGIC && NtWord(view, NT_MACHINE) != IMAGE_FILE_MACHINE_I386);
    if (!SpanAt(view, lfanew, is64 ? NT_FIXED_HEADERS_64 : NT_FIXED_HEADERS_32)) {
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
    const BYTE* table = SpanPart(view, view->nt, offset) ? view->nt + offset : NULL;
    DWORD fit = BytesLeft(view, table) / sizeof(IMAGE_SECTION_HEADER);
    DWORD declared = NtWord(view, NT_NUMBER_OF_SECTIONS);
    *count = declared < fit ? declared : fit;
    return *count ? reinterpret_cast<const IMAGE_SECTION_HEADER*>(table) : NULL;
}

bool ReadSectionHeader(const ImageView* view, const IMAGE_SECTION_HEADER* table, DWORD count, DWORD index,
                       IMAGE_SECTION_HEADER* out)
{
    const BYTE* entry = index < count ? SpanPart(view, &table[index], sizeof *out) : NULL;
    if (entry)
        memcpy(out, entry, sizeof *out);
    return entry != NULL;
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
    return SpanAt(view, static_cast<DWORD>(offset), length);
}

const BYTE* RvaToPointer(const ImageView* view, DWORD rva)
{
    return Translate(view, rva, 0);
}

const BYTE* RvaToSpan(const ImageView* view, DWORD rva, DWORD length)
{
    return Translate(view, rva, length);
}
