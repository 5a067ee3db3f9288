// The opened file as a read-only mapping, and the only ways to read it.
//
// Every byte of the file is untrusted. Nothing reads the mapping directly:
// each read goes through the accessors of byte_span.h and the ones below,
// which answer "absent" (null or false) instead of handing out a pointer
// that leaves [base, base + size).
#pragma once
#include <windows.h>
#include <stddef.h>
#include "byte_span.h"

struct SectionIndex;

// The mapping of the whole file (base, and size: the low 32 bits of the
// file's size), read as a PE image.
struct ImageView : ByteSpan {
    const BYTE* nt;     // the PE signature; the fixed headers behind it lie inside
    bool is64;          // optional header read as PE32+
    const SectionIndex* index;   // null, or a lookup table for a long section table
};

// Where the header fields lie, taken from <winnt.h>'s structures. NT offsets
// count from the PE signature; the optional header's layout differs between
// PE32 and PE32+ from ImageBase on, so its fields are named per layout.
#define FIELD_AT(type, field) static_cast<DWORD>(offsetof(type, field))
const DWORD DOS_LFANEW = FIELD_AT(IMAGE_DOS_HEADER, e_lfanew);
const DWORD NT_FILE_HEADER = FIELD_AT(IMAGE_NT_HEADERS32, FileHeader);
const DWORD NT_MACHINE = NT_FILE_HEADER + FIELD_AT(IMAGE_FILE_HEADER, Machine);
const DWORD NT_NUMBER_OF_SECTIONS = NT_FILE_HEADER + FIELD_AT(IMAGE_FILE_HEADER, NumberOfSections);
const DWORD NT_TIME_DATE_STAMP = NT_FILE_HEADER + FIELD_AT(IMAGE_FILE_HEADER, TimeDateStamp);
const DWORD NT_SIZE_OF_OPTIONAL_HEADER = NT_FILE_HEADER + FIELD_AT(IMAGE_FILE_HEADER, SizeOfOptionalHeader);
const DWORD NT_CHARACTERISTICS = NT_FILE_HEADER + FIELD_AT(IMAGE_FILE_HEADER, Characteristics);
const DWORD NT_OPTIONAL_HEADER = FIELD_AT(IMAGE_NT_HEADERS32, OptionalHeader);
#define NT_OPTIONAL32(field) (NT_OPTIONAL_HEADER + FIELD_AT(IMAGE_OPTIONAL_HEADER32, field))
#define NT_OPTIONAL64(field) (NT_OPTIONAL_HEADER + FIELD_AT(IMAGE_OPTIONAL_HEADER64, field))
// An optional-header field at its place in the image's layout.
#define NT_OPTIONAL(view, field) ((view)->is64 ? NT_OPTIONAL64(field) : NT_OPTIONAL32(field))
// Magic lies at the same place in both layouts.
const DWORD NT_MAGIC = NT_OPTIONAL32(Magic);

// What a file must hold to be shown: the signature, the file header and the
// optional header's fixed fields up to and including NumberOfRvaAndSizes.
// The data directories behind them are read one by one, each only when it
// lies inside the file.
const DWORD NT_FIXED_HEADERS_32 = NT_OPTIONAL32(DataDirectory);
const DWORD NT_FIXED_HEADERS_64 = NT_OPTIONAL64(DataDirectory);

// Offset from the PE signature of data-directory entry `index`.
DWORD DataDirectoryOffset(const ImageView* view, int index);
// VirtualAddress of data-directory entry `index`; 0 (absent) when the image
// declares fewer directories (NumberOfRvaAndSizes) or the end of the file
// cuts the entry.
DWORD DataDirectoryRva(const ImageView* view, int index);
// Size of data-directory entry `index`, 0 where DataDirectoryRva is.
DWORD DataDirectorySize(const ImageView* view, int index);

// Checks the `size` bytes at `base` the way the loader does (M, Z at the
// start and the PE signature at e_lfanew; nothing else of the DOS header) and
// fills `view`: the optional header's Magic chooses PE32 or PE32+, and only
// when it is neither does Machine (i386 or not). False when the file is not a
// PE image or its fixed headers do not lie inside it.
bool InitImageView(ImageView* view, const BYTE* base, DWORD size);

// Header fields at a fixed offset from the PE signature (0 when outside).
WORD NtWord(const ImageView* view, DWORD offset);
DWORD NtDword(const ImageView* view, DWORD offset);
ULONGLONG NtQword(const ImageView* view, DWORD offset);
// ImageBase and the stack and heap sizes are pointer-sized in the image:
// 32 bits in PE32, 64 in PE32+.
ULONGLONG NtPointerSized(const ImageView* view, DWORD offset);

// The section table, cut to the headers that lie wholly inside the file.
const IMAGE_SECTION_HEADER* SectionTable(const ImageView* view, DWORD* count);
// Header `index` of the table of `count` headers at `table`, copied out;
// false past the table's end.
bool ReadSectionHeader(const ImageView* view, const IMAGE_SECTION_HEADER* table, DWORD count, DWORD index,
                       IMAGE_SECTION_HEADER* out);

// A hostile file can declare tens of thousands of sections, and every lookup
// would walk them all. For a table longer than this, BuildSectionIndex makes
// a sorted table that gives the same first-matching section in logarithmic time.
const DWORD SECTION_INDEX_THRESHOLD = 32;
// Builds the index when the table is long enough (and memory allows); the
// lookups below use it from then on. FreeSectionIndex releases it.
void BuildSectionIndex(ImageView* view);
void FreeSectionIndex(ImageView* view);

// Translates an RVA through the section table: the first section whose
// [VirtualAddress, VirtualAddress + extent) holds it wins, extent being
// VirtualSize or, when that is 0, SizeOfRawData. Null when no section holds
// it or the position it names lies outside the file.
const BYTE* RvaToPointer(const ImageView* view, DWORD rva);
// As RvaToPointer, but null unless `length` bytes from there lie inside the file.
const BYTE* RvaToSpan(const ImageView* view, DWORD rva, DWORD length);
