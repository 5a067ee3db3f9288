// The JSON "headers" object: the file and optional header fields as stored,
// enumerations and flags also as fixed English words.
#include "json_views.h"
#include "image/checksum.h"

static const Word MACHINES[] = {
    { IMAGE_FILE_MACHINE_I386, "i386" }, { IMAGE_FILE_MACHINE_AMD64, "x64" },
    { IMAGE_FILE_MACHINE_ARM64, "arm64" }, { IMAGE_FILE_MACHINE_ARM, "arm" },
    { IMAGE_FILE_MACHINE_ARMNT, "arm-thumb2" }, { IMAGE_FILE_MACHINE_THUMB, "thumb" },
    { IMAGE_FILE_MACHINE_IA64, "ia64" },
};

static const Word FILE_FLAGS[] = {
    { IMAGE_FILE_RELOCS_STRIPPED, "relocs-stripped" },
    { IMAGE_FILE_EXECUTABLE_IMAGE, "executable-image" },
    { IMAGE_FILE_LINE_NUMS_STRIPPED, "line-nums-stripped" },
    { IMAGE_FILE_LOCAL_SYMS_STRIPPED, "local-syms-stripped" },
    { IMAGE_FILE_AGGRESIVE_WS_TRIM, "aggressive-ws-trim" },
    { IMAGE_FILE_LARGE_ADDRESS_AWARE, "large-address-aware" },
    { IMAGE_FILE_BYTES_REVERSED_LO, "bytes-reversed-lo" },
    { IMAGE_FILE_32BIT_MACHINE, "32bit-machine" },
    { IMAGE_FILE_DEBUG_STRIPPED, "debug-stripped" },
    { IMAGE_FILE_REMOVABLE_RUN_FROM_SWAP, "removable-run-from-swap" },
    { IMAGE_FILE_NET_RUN_FROM_SWAP, "net-run-from-swap" },
    { IMAGE_FILE_SYSTEM, "system" },
    { IMAGE_FILE_DLL, "dll" },
    { IMAGE_FILE_UP_SYSTEM_ONLY, "up-system-only" },
    { IMAGE_FILE_BYTES_REVERSED_HI, "bytes-reversed-hi" },
};

static const Word SUBSYSTEMS[] = {
    { IMAGE_SUBSYSTEM_UNKNOWN, "unknown" }, { IMAGE_SUBSYSTEM_NATIVE, "native" },
    { IMAGE_SUBSYSTEM_WINDOWS_GUI, "windows-gui" }, { IMAGE_SUBSYSTEM_WINDOWS_CUI, "windows-cui" },
    { IMAGE_SUBSYSTEM_OS2_CUI, "os2-cui" }, { IMAGE_SUBSYSTEM_POSIX_CUI, "posix-cui" },
    { IMAGE_SUBSYSTEM_NATIVE_WINDOWS, "native-windows" }, { IMAGE_SUBSYSTEM_WINDOWS_CE_GUI, "windows-ce-gui" },
    { IMAGE_SUBSYSTEM_EFI_APPLICATION, "efi-application" },
    { IMAGE_SUBSYSTEM_EFI_BOOT_SERVICE_DRIVER, "efi-boot-service-driver" },
    { IMAGE_SUBSYSTEM_EFI_RUNTIME_DRIVER, "efi-runtime-driver" }, { IMAGE_SUBSYSTEM_EFI_ROM, "efi-rom" },
    { IMAGE_SUBSYSTEM_XBOX, "xbox" }, { IMAGE_SUBSYSTEM_WINDOWS_BOOT_APPLICATION, "windows-boot-application" },
};

static const Word DLL_FLAGS[] = {
    { 0x0020, "high-entropy-va" }, { 0x0040, "dynamic-base" }, { 0x0080, "force-integrity" },
    { 0x0100, "nx-compat" }, { 0x0200, "no-isolation" }, { 0x0400, "no-seh" }, { 0x0800, "no-bind" },
    { 0x1000, "appcontainer" }, { 0x2000, "wdm-driver" }, { 0x4000, "guard-cf" },
    { 0x8000, "terminal-server-aware" },
};

// The data directories by index.
static const char* const DIRECTORIES[IMAGE_NUMBEROF_DIRECTORY_ENTRIES] = {
    "export", "import", "resource", "exception", "security", "basereloc", "debug", "architecture",
    "globalptr", "tls", "load-config", "bound-import", "iat", "delay-import", "com-descriptor", "reserved",
};

static void PutVersion(Output* out, const char* key, WORD major, WORD minor)
{
    PutNextKey(out, key);
    PutText(out, "{\"major\": ");
    PutNumber(out, major);
    PutText(out, ", \"minor\": ");
    PutNumber(out, minor);
    PutChar(out, '}');
}

static void PutField(Output* out, const char* key, ULONGLONG value)
{
    PutNextKey(out, key);
    PutNumber(out, value);
}

// The link time in UTC, as seconds since 1970 and as ISO 8601.
static void PutTimeStamp(Output* out, DWORD stamp)
{
    PutField(out, "time_date_stamp", stamp);
    PutNextKey(out, "time_date_stamp_utc");
    ULONGLONG ticks = static_cast<ULONGLONG>(stamp) * 10000000ULL + 116444736000000000ULL;
    FILETIME utc;
    utc.dwLowDateTime = static_cast<DWORD>(ticks);
    utc.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    SYSTEMTIME st;
    char text[32];
    if (!FileTimeToSystemTime(&utc, &st)) {
        PutText(out, "null");
        return;
    }
    wsprintfA(text, "\"%04u-%02u-%02uT%02u:%02u:%02uZ\"", st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute,
              st.wSecond);
    PutText(out, text);
}

static void PutDataDirectories(Output* out, const ImageView* view, DWORD declared)
{
    PutNextKey(out, "data_directories");
    PutChar(out, '[');
    // The loader reads no more than sixteen, whatever the count claims.
    DWORD count = declared < IMAGE_NUMBEROF_DIRECTORY_ENTRIES ? declared : IMAGE_NUMBEROF_DIRECTORY_ENTRIES;
    for (DWORD i = 0; i < count; ++i) {
        PutText(out, i ? ",\n      {" : "\n      {");
        PutKey(out, "name");
        PutWord(out, DIRECTORIES[i]);
        PutField(out, "rva", DataDirectoryRva(view, static_cast<int>(i)));
        PutField(out, "size", DataDirectorySize(view, static_cast<int>(i)));
        PutChar(out, '}');
    }
    PutChar(out, ']');
}

void PutHeaders(Output* out, const ImageView* view)
{
    PutChar(out, '{');
    WORD characteristics = NtWord(view, NT_CHARACTERISTICS);
    PutKey(out, "file_type");
    PutWord(out, (characteristics & IMAGE_FILE_DLL) ? "dll" : "exe");
    PutField(out, "file_size", view->size);
    WORD machine = NtWord(view, NT_MACHINE);
    PutNextKey(out, "machine");
    PutEnumWord(out, machine, WORDS(MACHINES));
    PutField(out, "machine_raw", machine);
    PutNextKey(out, "characteristics");
    PutFlagWords(out, characteristics, WORDS(FILE_FLAGS));
    PutField(out, "characteristics_raw", characteristics);
    PutTimeStamp(out, NtDword(view, NT_TIME_DATE_STAMP));
    PutField(out, "number_of_sections", NtWord(view, NT_NUMBER_OF_SECTIONS));
    PutField(out, "size_of_optional_header", NtWord(view, NT_SIZE_OF_OPTIONAL_HEADER));

    WORD magic = NtWord(view, NT_MAGIC);
    PutNextKey(out, "magic");
    PutWord(out, magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC ? "PE32+" : magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC ? "PE32"
                                                                                                        : "unknown");
    PutField(out, "magic_raw", magic);
    // The two linker version bytes, major first.
    WORD linker = NtWord(view, NT_OPTIONAL(view, MajorLinkerVersion));
    PutVersion(out, "linker_version", LOBYTE(linker), HIBYTE(linker));
    PutField(out, "entry_point", NtDword(view, NT_OPTIONAL(view, AddressOfEntryPoint)));
    PutField(out, "image_base", NtPointerSized(view, NT_OPTIONAL(view, ImageBase)));
    PutField(out, "section_alignment", NtDword(view, NT_OPTIONAL(view, SectionAlignment)));
    PutField(out, "file_alignment", NtDword(view, NT_OPTIONAL(view, FileAlignment)));
    PutVersion(out, "os_version", NtWord(view, NT_OPTIONAL(view, MajorOperatingSystemVersion)),
               NtWord(view, NT_OPTIONAL(view, MinorOperatingSystemVersion)));
    PutVersion(out, "image_version", NtWord(view, NT_OPTIONAL(view, MajorImageVersion)),
               NtWord(view, NT_OPTIONAL(view, MinorImageVersion)));
    PutVersion(out, "subsystem_version", NtWord(view, NT_OPTIONAL(view, MajorSubsystemVersion)),
               NtWord(view, NT_OPTIONAL(view, MinorSubsystemVersion)));
    PutField(out, "size_of_image", NtDword(view, NT_OPTIONAL(view, SizeOfImage)));
    PutField(out, "size_of_headers", NtDword(view, NT_OPTIONAL(view, SizeOfHeaders)));
    DWORD checksum = NtDword(view, NT_OPTIONAL(view, CheckSum));
    DWORD computed = ComputeImageChecksum(view);
    PutField(out, "checksum", checksum);
    PutField(out, "checksum_computed", computed);
    PutNextKey(out, "checksum_matches");
    PutBool(out, checksum == computed);
    WORD subsystem = NtWord(view, NT_OPTIONAL(view, Subsystem));
    PutNextKey(out, "subsystem");
    PutEnumWord(out, subsystem, WORDS(SUBSYSTEMS));
    PutField(out, "subsystem_raw", subsystem);
    WORD dllCharacteristics = NtWord(view, NT_OPTIONAL(view, DllCharacteristics));
    PutNextKey(out, "dll_characteristics");
    PutFlagWords(out, dllCharacteristics, WORDS(DLL_FLAGS));
    PutField(out, "dll_characteristics_raw", dllCharacteristics);
    PutField(out, "stack_reserve", NtPointerSized(view, NT_OPTIONAL(view, SizeOfStackReserve)));
    PutField(out, "stack_commit", NtPointerSized(view, NT_OPTIONAL(view, SizeOfStackCommit)));
    PutField(out, "heap_reserve", NtPointerSized(view, NT_OPTIONAL(view, SizeOfHeapReserve)));
    PutField(out, "heap_commit", NtPointerSized(view, NT_OPTIONAL(view, SizeOfHeapCommit)));
    DWORD directories = NtDword(view, NT_OPTIONAL(view, NumberOfRvaAndSizes));
    PutField(out, "number_of_rva_and_sizes", directories);
    PutDataDirectories(out, view, directories);
    PutChar(out, '}');
}
