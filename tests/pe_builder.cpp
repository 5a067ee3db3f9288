#include "pe_builder.h"
#include <string.h>
#include <algorithm>
#include <stdexcept>

PeBuilder::PeBuilder(bool wide) : is64(wide), lfanew(0x40)
{
    memset(&file, 0, sizeof file);
    memset(&opt32, 0, sizeof opt32);
    memset(&opt64, 0, sizeof opt64);
    file.Machine = is64 ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386;
    file.TimeDateStamp = 0x5F5E1000;
    file.SizeOfOptionalHeader = is64 ? sizeof opt64 : sizeof opt32;
    file.Characteristics = IMAGE_FILE_EXECUTABLE_IMAGE | (is64 ? IMAGE_FILE_LARGE_ADDRESS_AWARE : IMAGE_FILE_32BIT_MACHINE);

    opt32.Magic = IMAGE_NT_OPTIONAL_HDR32_MAGIC;
    opt32.ImageBase = 0x400000;
    opt32.SectionAlignment = 0x1000;
    opt32.FileAlignment = 0x200;
    opt32.MajorOperatingSystemVersion = 6;
    opt32.MajorSubsystemVersion = 6;
    opt32.Subsystem = IMAGE_SUBSYSTEM_WINDOWS_GUI;
    opt32.SizeOfStackReserve = 0x100000;
    opt32.SizeOfStackCommit = 0x1000;
    opt32.SizeOfHeapReserve = 0x100000;
    opt32.SizeOfHeapCommit = 0x1000;
    opt32.NumberOfRvaAndSizes = 16;

    opt64.Magic = IMAGE_NT_OPTIONAL_HDR64_MAGIC;
    opt64.ImageBase = 0x140000000ULL;
    opt64.SectionAlignment = 0x1000;
    opt64.FileAlignment = 0x200;
    opt64.MajorOperatingSystemVersion = 6;
    opt64.MajorSubsystemVersion = 6;
    opt64.Subsystem = IMAGE_SUBSYSTEM_WINDOWS_GUI;
    opt64.SizeOfStackReserve = 0x100000;
    opt64.SizeOfStackCommit = 0x1000;
    opt64.SizeOfHeapReserve = 0x100000;
    opt64.SizeOfHeapCommit = 0x1000;
    opt64.NumberOfRvaAndSizes = 16;
}

int PeBuilder::AddSection(const char* name, DWORD virtualAddress, DWORD virtualSize,
                          DWORD rawSize, DWORD characteristics)
{
    PeSection s;
    memset(&s.header, 0, sizeof s.header);
    memcpy(s.header.Name, name, strnlen(name, IMAGE_SIZEOF_SHORT_NAME));
    s.header.VirtualAddress = virtualAddress;
    s.header.Misc.VirtualSize = virtualSize;
    s.header.SizeOfRawData = rawSize;
    s.header.Characteristics = characteristics;
    s.data.assign(rawSize, 0);
    sections.push_back(s);
    return static_cast<int>(sections.size()) - 1;
}

int PeBuilder::AddDataSection(DWORD virtualAddress, DWORD size)
{
    return AddSection(".data", virtualAddress, size, size);
}

void PeBuilder::SetDirectory(int index, DWORD rva, DWORD size)
{
    IMAGE_DATA_DIRECTORY& d = is64 ? opt64.DataDirectory[index] : opt32.DataDirectory[index];
    d.VirtualAddress = rva;
    d.Size = size;
}

void PeBuilder::SetImageBase(ULONGLONG base)
{
    if (is64)
        opt64.ImageBase = base;
    else
        opt32.ImageBase = static_cast<DWORD>(base);
}

void PeBuilder::SetSubsystem(WORD subsystem)
{
    opt32.Subsystem = subsystem;
    opt64.Subsystem = subsystem;
}

void PeBuilder::Put(DWORD rva, const void* data, size_t length)
{
    for (PeSection& s : sections) {
        DWORD va = s.header.VirtualAddress;
        if (rva >= va && rva - va + length <= s.data.size()) {
            memcpy(&s.data[rva - va], data, length);
            return;
        }
    }
    throw std::logic_error("PeBuilder::Put: no section's raw data holds that RVA range");
}

void PeBuilder::PutString(DWORD rva, const char* text)
{
    Put(rva, text, strlen(text) + 1);
}

void PeBuilder::PutWideString(DWORD rva, const wchar_t* text)
{
    Put(rva, text, (wcslen(text) + 1) * sizeof(wchar_t));
}

std::vector<BYTE> PeBuilder::Build() const
{
    DWORD optionalSize = is64 ? sizeof opt64 : sizeof opt32;
    DWORD tableOffset = lfanew + 24 + file.SizeOfOptionalHeader;
    DWORD headersEnd = lfanew + 24 + optionalSize;
    DWORD tableEnd = tableOffset + static_cast<DWORD>(sections.size()) * sizeof(IMAGE_SECTION_HEADER);
    if (tableEnd > headersEnd)
        headersEnd = tableEnd;
    DWORD next = (headersEnd + 0x1FF) & ~0x1FFu;
    if (next < 0x400)
        next = 0x400;

    std::vector<IMAGE_SECTION_HEADER> headers;
    DWORD fileEnd = headersEnd;
    for (const PeSection& s : sections) {
        IMAGE_SECTION_HEADER h = s.header;
        if (h.PointerToRawData == 0 && !s.data.empty()) {
            h.PointerToRawData = next;
            next += (static_cast<DWORD>(s.data.size()) + 0x1FF) & ~0x1FFu;
        }
        if (!s.data.empty() && h.PointerToRawData + s.data.size() > fileEnd)
            fileEnd = h.PointerToRawData + static_cast<DWORD>(s.data.size());
        headers.push_back(h);
    }

    std::vector<BYTE> out(fileEnd < 312 ? 312 : fileEnd, 0);
    IMAGE_DOS_HEADER dos = {};
    dos.e_magic = IMAGE_DOS_SIGNATURE;
    dos.e_lfarlc = 0x40;
    dos.e_lfanew = static_cast<LONG>(lfanew);
    memcpy(&out[0], &dos, sizeof dos);

    IMAGE_FILE_HEADER fh = file;
    fh.NumberOfSections = static_cast<WORD>(sections.size());
    auto put = [&out](DWORD offset, const void* data, size_t length) {
        if (offset + length > out.size())
            out.resize(offset + length);
        memcpy(&out[offset], data, length);
    };
    DWORD signature = IMAGE_NT_SIGNATURE;
    put(lfanew, &signature, 4);
    put(lfanew + 4, &fh, sizeof fh);
    if (is64) {
        IMAGE_OPTIONAL_HEADER64 o = opt64;
        o.SizeOfHeaders = 0x400;
        put(lfanew + 24, &o, sizeof o);
    } else {
        IMAGE_OPTIONAL_HEADER32 o = opt32;
        o.SizeOfHeaders = 0x400;
        put(lfanew + 24, &o, sizeof o);
    }
    for (size_t i = 0; i < headers.size(); ++i)
        put(tableOffset + static_cast<DWORD>(i * sizeof(IMAGE_SECTION_HEADER)), &headers[i], sizeof headers[i]);
    for (size_t i = 0; i < sections.size(); ++i) {
        if (!sections[i].data.empty())
            put(headers[i].PointerToRawData, sections[i].data.data(), sections[i].data.size());
    }
    return out;
}

bool WriteFileBytes(const std::wstring& path, const std::vector<BYTE>& bytes)
{
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (f == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = bytes.empty() || WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, NULL);
    CloseHandle(f);
    return ok && written == bytes.size();
}

std::wstring ScratchPath(const std::wstring& name)
{
    static std::wstring folder;
    if (folder.empty()) {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        folder = std::wstring(temp) + L"modview-tests";
        CreateDirectoryW(folder.c_str(), NULL);
    }
    return folder + L"\\" + name;
}

static DWORD Align(DWORD value, DWORD alignment)
{
    return (value + alignment - 1) & ~(alignment - 1);
}

std::vector<BYTE> BuildImageWith(const char* section, const std::vector<BYTE>& data, int directory)
{
    PeBuilder pe(true);
    DWORD size = Align(static_cast<DWORD>(data.size()) + 1, 0x200);
    pe.AddSection(section, SCALE_DATA_RVA, size, size);
    pe.Put(SCALE_DATA_RVA, data.data(), data.size());
    pe.SetDirectory(directory, SCALE_DATA_RVA, static_cast<DWORD>(data.size()));
    return pe.Build();
}

static void PutBytes(std::vector<BYTE>* bytes, DWORD offset, const void* data, size_t length)
{
    if (offset + length > bytes->size())
        bytes->resize(offset + length);
    memcpy(&(*bytes)[offset], data, length);
}

// splitmix64, so that every run shuffles the same way.
static unsigned long long NextRandom(unsigned long long* state)
{
    unsigned long long z = (*state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

std::vector<BYTE> BuildExportImage(DWORD slots, bool named)
{
    std::vector<DWORD> order(slots);
    for (DWORD i = 0; i < slots; ++i)
        order[i] = i;
    unsigned long long state = slots;
    for (DWORD i = slots; i > 1; --i)
        std::swap(order[i - 1], order[NextRandom(&state) % i]);

    DWORD nameCount = named ? slots : 0;
    DWORD functions = sizeof(IMAGE_EXPORT_DIRECTORY);
    DWORD names = functions + 4 * slots;
    DWORD ordinals = names + 4 * nameCount;
    DWORD text = Align(ordinals + 2 * nameCount, 4);
    std::vector<BYTE> data(text);
    IMAGE_EXPORT_DIRECTORY directory = {};
    directory.Base = 1;
    directory.NumberOfFunctions = slots;
    directory.NumberOfNames = nameCount;
    directory.AddressOfFunctions = SCALE_DATA_RVA + functions;
    directory.AddressOfNames = named ? SCALE_DATA_RVA + names : 0;
    directory.AddressOfNameOrdinals = named ? SCALE_DATA_RVA + ordinals : 0;
    PutBytes(&data, 0, &directory, sizeof directory);
    for (DWORD i = 0; i < slots; ++i) {
        DWORD code = 0x10000 + 16 * i;
        PutBytes(&data, functions + 4 * i, &code, 4);
        if (!named)
            continue;
        char name[64];
        int length = wsprintfA(name, "ScaleExport%05luWithALongerName", order[i]);
        DWORD at = static_cast<DWORD>(data.size());
        DWORD rva = SCALE_DATA_RVA + at;
        WORD slot = static_cast<WORD>(order[i]);
        PutBytes(&data, names + 4 * i, &rva, 4);
        PutBytes(&data, ordinals + 2 * i, &slot, 2);
        PutBytes(&data, at, name, length + 1);
    }
    return BuildImageWith(".edata", data, IMAGE_DIRECTORY_ENTRY_EXPORT);
}

std::vector<BYTE> BuildImportImage(DWORD libraries, DWORD functions, const char* library)
{
    DWORD lookup = (libraries + 1) * sizeof(IMAGE_IMPORT_DESCRIPTOR);
    DWORD text = lookup + libraries * (functions + 1) * 8;
    std::vector<BYTE> data(text);
    for (DWORD l = 0; l < libraries; ++l) {
        DWORD table = lookup + l * (functions + 1) * 8;
        char name[64];
        int length = library ? wsprintfA(name, "%s", library) : wsprintfA(name, "scale-library-%03lu.dll", l);
        IMAGE_IMPORT_DESCRIPTOR descriptor = {};
        descriptor.OriginalFirstThunk = SCALE_DATA_RVA + table;
        descriptor.FirstThunk = SCALE_DATA_RVA + table;
        descriptor.Name = SCALE_DATA_RVA + static_cast<DWORD>(data.size());
        PutBytes(&data, static_cast<DWORD>(data.size()), name, length + 1);
        PutBytes(&data, l * sizeof descriptor, &descriptor, sizeof descriptor);
        for (DWORD f = 0; f < functions; ++f) {
            DWORD at = Align(static_cast<DWORD>(data.size()), 2);
            ULONGLONG entry = SCALE_DATA_RVA + at;
            PutBytes(&data, table + 8 * f, &entry, 8);
            WORD hint = static_cast<WORD>(f * 7);
            PutBytes(&data, at, &hint, 2);
            length = wsprintfA(name, "ScaleImport%03lu_%04luFunction", l, f);
            PutBytes(&data, at + 2, name, length + 1);
        }
    }
    return BuildImageWith(".idata", data, IMAGE_DIRECTORY_ENTRY_IMPORT);
}
