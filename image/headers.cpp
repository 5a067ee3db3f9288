#include "headers.h"

static VersionPair Versions(const ImageView* view, DWORD majorOffset, DWORD minorOffset)
{
    VersionPair pair = { NtWord(view, majorOffset), NtWord(view, minorOffset) };
    return pair;
}

void ReadHeaders(const ImageView* view, ImageHeaders* out)
{
    out->machine = NtWord(view, NT_MACHINE);
    out->numberOfSections = NtWord(view, NT_NUMBER_OF_SECTIONS);
    out->timeDateStamp = NtDword(view, NT_TIME_DATE_STAMP);
    out->sizeOfOptionalHeader = NtWord(view, NT_SIZE_OF_OPTIONAL_HEADER);
    out->characteristics = NtWord(view, NT_CHARACTERISTICS);
    out->magic = NtWord(view, NT_MAGIC);
    // The two linker version bytes, major first.
    WORD linker = NtWord(view, NT_OPTIONAL(view, MajorLinkerVersion));
    out->linker.major = LOBYTE(linker);
    out->linker.minor = HIBYTE(linker);
    out->entryPoint = NtDword(view, NT_OPTIONAL(view, AddressOfEntryPoint));
    out->imageBase = NtPointerSized(view, NT_OPTIONAL(view, ImageBase));
    out->sectionAlignment = NtDword(view, NT_OPTIONAL(view, SectionAlignment));
    out->fileAlignment = NtDword(view, NT_OPTIONAL(view, FileAlignment));
    out->operatingSystem = Versions(view, NT_OPTIONAL(view, MajorOperatingSystemVersion),
                                    NT_OPTIONAL(view, MinorOperatingSystemVersion));
    out->image = Versions(view, NT_OPTIONAL(view, MajorImageVersion), NT_OPTIONAL(view, MinorImageVersion));
    out->subsystemVersion = Versions(view, NT_OPTIONAL(view, MajorSubsystemVersion),
                                     NT_OPTIONAL(view, MinorSubsystemVersion));
    out->sizeOfImage = NtDword(view, NT_OPTIONAL(view, SizeOfImage));
    out->sizeOfHeaders = NtDword(view, NT_OPTIONAL(view, SizeOfHeaders));
    out->checksum = NtDword(view, NT_OPTIONAL(view, CheckSum));
    out->subsystem = NtWord(view, NT_OPTIONAL(view, Subsystem));
    out->dllCharacteristics = NtWord(view, NT_OPTIONAL(view, DllCharacteristics));
    out->stackReserve = NtPointerSized(view, NT_OPTIONAL(view, SizeOfStackReserve));
    out->stackCommit = NtPointerSized(view, NT_OPTIONAL(view, SizeOfStackCommit));
    out->heapReserve = NtPointerSized(view, NT_OPTIONAL(view, SizeOfHeapReserve));
    out->heapCommit = NtPointerSized(view, NT_OPTIONAL(view, SizeOfHeapCommit));
    out->numberOfRvaAndSizes = NtDword(view, NT_OPTIONAL(view, NumberOfRvaAndSizes));
}

FILETIME LinkTimeToFileTime(DWORD timeDateStamp)
{
    ULONGLONG ticks = static_cast<ULONGLONG>(timeDateStamp) * 10000000ULL + 116444736000000000ULL;
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(ticks);
    time.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return time;
}
