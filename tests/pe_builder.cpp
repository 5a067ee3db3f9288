#include "pe_builder.h"
#include <string.h>
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
