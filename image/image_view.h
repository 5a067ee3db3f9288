// The opened file as a read-only mapping, and the only ways to read it.
//
// Every byte of the file is untrusted. Nothing reads the mapping directly:
// each read goes through the accessors below, which answer "absent" (null or
// false) instead of handing out a pointer that leaves [base, base + size).
#pragma once
#include <windows.h>

struct SectionIndex;

struct ImageView {
    const BYTE* base;   // start of the mapping of the whole file
    DWORD size;         // bytes mapped (low 32 bits of the file size)
    const BYTE* nt;     // the PE signature; the fixed headers behind it lie inside
    bool is64;          // optional header read as PE32+ (Machine is not i386)
    const SectionIndex* index;   // null, or a lookup table for a long section table
};

// Fixed offsets from the PE signature.
enum NtOffset {
    NT_MACHINE = 4,
    NT_NUMBER_OF_SECTIONS = 6,
    NT_TIME_DATE_STAMP = 8,
    NT_SIZE_OF_OPTIONAL_HEADER = 20,
    NT_CHARACTERISTICS = 22,
    NT_OPTIONAL_HEADER = 24,
};

// Bytes of NT headers that must lie inside the file for an image to be shown:
// signature, file header and the whole optional header with its 16 directories.
const DWORD NT_HEADERS_SIZE_32 = 248;
const DWORD NT_HEADERS_SIZE_64 = 264;

// Offset from the PE signature of data-directory entry `index`.
DWORD DataDirectoryOffset(const ImageView* view, int index);
// VirtualAddress of data-directory entry `index`.
DWORD DataDirectoryRva(const ImageView* view, int index);

// Checks the DOS header and PE signature of the `size` bytes at `base` and
// fills `view`. False when the file is not a PE image or its headers do not
// lie wholly inside it.
bool InitImageView(ImageView* view, const BYTE* base, DWORD size);

// `p` when [p, p + length) lies inside the file, otherwise null.
const BYTE* ImageSpan(const ImageView* view, const void* p, DWORD length);
// base + offset when [offset, offset + length) lies inside the file, otherwise null.
const BYTE* ImageAt(const ImageView* view, DWORD offset, DWORD length);
// Bytes from p to the end of the file; 0 when p is not inside it.
DWORD ImageBytesLeft(const ImageView* view, const void* p);

// Little-endian value reads; false (and *out 0) when the value is not wholly inside.
bool ReadWord(const ImageView* view, const void* p, WORD* out);
bool ReadDword(const ImageView* view, const void* p, DWORD* out);
bool ReadQword(const ImageView* view, const void* p, ULONGLONG* out);

// Header fields at a fixed offset from the PE signature (0 when outside).
WORD NtWord(const ImageView* view, DWORD offset);
DWORD NtDword(const ImageView* view, DWORD offset);
ULONGLONG NtQword(const ImageView* view, DWORD offset);

// Length in bytes of the 8-bit string at p, up to its NUL or to the end of the
// file, whichever comes first. 0 when p is outside.
DWORD ImageStringLength(const ImageView* view, const void* p);
// Length in UTF-16 units of the text at p, up to its zero unit, to `limit`
// bytes from p, or to the end of the file, whichever comes first.
DWORD ImageWideStringLength(const ImageView* view, const void* p, DWORD limitBytes);

// The section table, cut to the headers that lie wholly inside the file.
const IMAGE_SECTION_HEADER* SectionTable(const ImageView* view, DWORD* count);

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
