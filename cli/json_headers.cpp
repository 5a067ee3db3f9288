// The JSON "headers" object: the file and optional header fields as stored,
// enumerations and flags also as fixed English words.
#include "json_views.h"
#include "image/checksum.h"
#include "image/headers.h"
#include "words.h"


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
    { IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA, "high-entropy-va" },
    { IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE, "dynamic-base" },
    { IMAGE_DLLCHARACTERISTICS_FORCE_INTEGRITY, "force-integrity" },
    { IMAGE_DLLCHARACTERISTICS_NX_COMPAT, "nx-compat" },
    { IMAGE_DLLCHARACTERISTICS_NO_ISOLATION, "no-isolation" },
    { IMAGE_DLLCHARACTERISTICS_NO_SEH, "no-seh" },
    { IMAGE_DLLCHARACTERISTICS_NO_BIND, "no-bind" },
    { IMAGE_DLLCHARACTERISTICS_APPCONTAINER, "appcontainer" },
    { IMAGE_DLLCHARACTERISTICS_WDM_DRIVER, "wdm-driver" },
    { IMAGE_DLLCHARACTERISTICS_GUARD_CF, "guard-cf" },
    { IMAGE_DLLCHARACTERISTICS_TERMINAL_SERVER_AWARE, "terminal-server-aware" },
};

// The data directories by index.
static const char* const DIRECTORIES[IMAGE_NUMBEROF_DIRECTORY_ENTRIES] = {
    "export", "import", "resource", "exception", "security", "basereloc", "debug", "architecture",
    "globalptr", "tls", "load-config", "bound-import", "iat", "delay-import", "com-descriptor", "reserved",
};

static void VersionField(JsonWriter* w, const char* key, VersionPair version)
{
    Key(w, key);
    BeginObject(w, JSON_INLINE);
    NumberField(w, "major", version.major);
    NumberField(w, "minor", version.minor);
    EndScope(w);
}

// The link time in UTC, as seconds since 1970 and as ISO 8601.
static void TimeStampFields(JsonWriter* w, DWORD stamp)
{
    NumberField(w, "time_date_stamp", stamp);
    Key(w, "time_date_stamp_utc");
    FILETIME utc = LinkTimeToFileTime(stamp);
    SYSTEMTIME st;
    char text[32];
    if (!FileTimeToSystemTime(&utc, &st)) {
        NullValue(w);
        return;
    }
    wsprintfA(text, "%04u-%02u-%02uT%02u:%02u:%02uZ", st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute,
              st.wSecond);
    WordValue(w, text);
}

static void DataDirectoriesField(JsonWriter* w, const ImageView* view, DWORD declared)
{
    Key(w, "data_directories");
    BeginArray(w, JSON_LINES_END_INLINE);
    // The loader reads no more than sixteen, whatever the count claims.
    DWORD count = declared < IMAGE_NUMBEROF_DIRECTORY_ENTRIES ? declared : IMAGE_NUMBEROF_DIRECTORY_ENTRIES;
    for (DWORD i = 0; i < count; ++i) {
        BeginObject(w, JSON_INLINE);
        WordField(w, "name", DIRECTORIES[i]);
        NumberField(w, "rva", DataDirectoryRva(view, static_cast<int>(i)));
        NumberField(w, "size", DataDirectorySize(view, static_cast<int>(i)));
        EndScope(w);
    }
    EndScope(w);
}

void PutHeaders(JsonWriter* w, const ImageView* view)
{
    ImageHeaders h;
    ReadHeaders(view, &h);
    BeginObject(w, JSON_INLINE);
    WordField(w, "file_type", (h.characteristics & IMAGE_FILE_DLL) ? "dll" : "exe");
    NumberField(w, "file_size", view->size);
    Key(w, "machine");
    EnumValue(w, h.machine, MACHINES, MACHINE_COUNT);
    NumberField(w, "machine_raw", h.machine);
    Key(w, "characteristics");
    FlagsValue(w, h.characteristics, WORDS(FILE_FLAGS));
    NumberField(w, "characteristics_raw", h.characteristics);
    TimeStampFields(w, h.timeDateStamp);
    NumberField(w, "number_of_sections", h.numberOfSections);
    NumberField(w, "size_of_optional_header", h.sizeOfOptionalHeader);

    WordField(w, "magic", h.magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC   ? "PE32+"
                          : h.magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC ? "PE32"
                                                                     : "unknown");
    NumberField(w, "magic_raw", h.magic);
    VersionField(w, "linker_version", h.linker);
    NumberField(w, "entry_point", h.entryPoint);
    NumberField(w, "image_base", h.imageBase);
    NumberField(w, "section_alignment", h.sectionAlignment);
    NumberField(w, "file_alignment", h.fileAlignment);
    VersionField(w, "os_version", h.operatingSystem);
    VersionField(w, "image_version", h.image);
    VersionField(w, "subsystem_version", h.subsystemVersion);
    NumberField(w, "size_of_image", h.sizeOfImage);
    NumberField(w, "size_of_headers", h.sizeOfHeaders);
    DWORD computed = ComputeImageChecksum(view);
    NumberField(w, "checksum", h.checksum);
    NumberField(w, "checksum_computed", computed);
    Key(w, "checksum_matches");
    BoolValue(w, h.checksum == computed);
    Key(w, "subsystem");
    EnumValue(w, h.subsystem, WORDS(SUBSYSTEMS));
    NumberField(w, "subsystem_raw", h.subsystem);
    Key(w, "dll_characteristics");
    FlagsValue(w, h.dllCharacteristics, WORDS(DLL_FLAGS));
    NumberField(w, "dll_characteristics_raw", h.dllCharacteristics);
    NumberField(w, "stack_reserve", h.stackReserve);
    NumberField(w, "stack_commit", h.stackCommit);
    NumberField(w, "heap_reserve", h.heapReserve);
    NumberField(w, "heap_commit", h.heapCommit);
    NumberField(w, "number_of_rva_and_sizes", h.numberOfRvaAndSizes);
    DataDirectoriesField(w, view, h.numberOfRvaAndSizes);
    EndScope(w);
}
