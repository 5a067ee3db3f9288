// Writes small synthetic PE32 / PE32+ files for the tests: headers, chosen
// sections, data directories and raw bytes placed at chosen RVAs.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

struct PeSection {
    IMAGE_SECTION_HEADER header;
    std::vector<BYTE> data;   // SizeOfRawData bytes, written at PointerToRawData
};

struct PeBuilder {
    bool is64;
    IMAGE_FILE_HEADER file;
    IMAGE_OPTIONAL_HEADER32 opt32;   // used when !is64
    IMAGE_OPTIONAL_HEADER64 opt64;   // used when is64
    std::vector<PeSection> sections;
    DWORD lfanew;   // where the PE signature goes (default 0x40)

    // A PE32 (Machine i386) or PE32+ (Machine AMD64) image with no sections,
    // file alignment 0x200, section alignment 0x1000.
    explicit PeBuilder(bool is64 = false);

    // Adds a section whose raw data follows the previous one's in the file.
    // Returns its index.
    int AddSection(const char* name, DWORD virtualAddress, DWORD virtualSize,
                   DWORD rawSize, DWORD characteristics = 0x40000040);
    // Convenience: one data section ".data" at RVA 0x1000 with 0x4000 bytes.
    int AddDataSection(DWORD virtualAddress = 0x1000, DWORD size = 0x4000);

    void SetDirectory(int index, DWORD rva, DWORD size = 0);
    void SetImageBase(ULONGLONG base);
    void SetSubsystem(WORD subsystem);

    // Writes bytes at an RVA, inside the raw data of the section that holds it.
    void Put(DWORD rva, const void* data, size_t length);
    void PutWord(DWORD rva, WORD value) { Put(rva, &value, sizeof value); }
    void PutDword(DWORD rva, DWORD value) { Put(rva, &value, sizeof value); }
    void PutQword(DWORD rva, ULONGLONG value) { Put(rva, &value, sizeof value); }
    // Writes the text and its NUL.
    void PutString(DWORD rva, const char* text);
    void PutWideString(DWORD rva, const wchar_t* text);

    // The file's bytes. Sections are laid out from file offset 0x400 (or the end
    // of the section table, aligned) unless a header's PointerToRawData is set.
    std::vector<BYTE> Build() const;
};

// Writes bytes to a file; true on success.
bool WriteFileBytes(const std::wstring& path, const std::vector<BYTE>& bytes);
// A path in the tests' scratch folder (created on first use).
std::wstring ScratchPath(const std::wstring& name);

// Images at scale, for the benchmark and the fuzzer: PE32+, with one section
// at SCALE_DATA_RVA that holds the directory.
const DWORD SCALE_DATA_RVA = 0x1000;
// The image whose section `section` holds `data`, which data directory
// `directory` points at.
std::vector<BYTE> BuildImageWith(const char* section, const std::vector<BYTE>& data, int directory);
// `slots` present export slots; when `named`, each is named once and the name
// table is in shuffled order, so that names meet their slots in no
// particular order.
std::vector<BYTE> BuildExportImage(DWORD slots, bool named = true);
// `libraries` import descriptors of `functions` by-name imports each, of
// libraries named "scale-library-N.dll", or each of `library` when given.
std::vector<BYTE> BuildImportImage(DWORD libraries, DWORD functions, const char* library = NULL);
