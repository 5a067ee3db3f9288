// The load configuration directory, which grew with Windows releases: its
// Size says which of its fields the file holds, and only those are read.
// Also the TLS directory and its callbacks, which run before the entry point.
#pragma once
#include <windows.h>
#include "image_view.h"

// A field, and where it lies in the PE32 and the PE32+ layout. <winnt.h>'s
// structures stop before the fields of later releases, hence the table.
struct LoadConfigField {
    const char* name;   // the JSON key
    WORD offset32, width32;
    WORD offset64, width64;
};

// Fields that the hardening verdicts read, by their index in the table.
enum LoadConfigFieldId {
    LC_SIZE = 0,
    LC_DEPENDENT_LOAD_FLAGS = 15,
    LC_SECURITY_COOKIE = 17,
    LC_SE_HANDLER_TABLE = 18,
    LC_SE_HANDLER_COUNT = 19,
    LC_GUARD_CF_FUNCTION_TABLE = 22,
    LC_GUARD_CF_FUNCTION_COUNT = 23,
    LC_GUARD_FLAGS = 24,
    LC_CHPE_METADATA_POINTER = 33,
};

// GuardFlags bits; bits 28 to 31 hold the stride of the guard function table.
const DWORD GUARD_CF_INSTRUMENTED = 0x100;
const DWORD GUARD_CFW_INSTRUMENTED = 0x200;
const DWORD GUARD_CF_FUNCTION_TABLE_PRESENT = 0x400;
const DWORD GUARD_SECURITY_COOKIE_UNUSED = 0x800;
const DWORD GUARD_PROTECT_DELAYLOAD_IAT = 0x1000;
const DWORD GUARD_DELAYLOAD_IAT_IN_ITS_OWN_SECTION = 0x2000;
const DWORD GUARD_CF_EXPORT_SUPPRESSION_INFO_PRESENT = 0x4000;
const DWORD GUARD_CF_ENABLE_EXPORT_SUPPRESSION = 0x8000;
const DWORD GUARD_CF_LONGJUMP_TABLE_PRESENT = 0x10000;
const DWORD GUARD_RF_INSTRUMENTED = 0x20000;
const DWORD GUARD_RF_ENABLE = 0x40000;
const DWORD GUARD_RF_STRICT = 0x80000;
const DWORD GUARD_RETPOLINE_PRESENT = 0x100000;
const DWORD GUARD_EH_CONTINUATION_TABLE_PRESENT = 0x400000;
const DWORD GUARD_XFG_ENABLED = 0x800000;
const DWORD GUARD_CASTGUARD_PRESENT = 0x1000000;
const DWORD GUARD_MEMCPY_PRESENT = 0x2000000;
const DWORD GUARD_FUNCTION_TABLE_STRIDE_SHIFT = 28;

extern const LoadConfigField LOAD_CONFIG_FIELDS[];
extern const int LOAD_CONFIG_FIELD_COUNT;

struct LoadConfig {
    bool is64;
    DWORD declared;   // its Size, as the file declares it
    ByteSpan bytes;   // the structure, as far as both its Size and the file reach
};

// False when the image has no load configuration, or its Size cannot be read.
bool ReadLoadConfig(const ImageView* view, LoadConfig* out);
// Field `id` of the table; false when it lies past the declared Size or the file.
bool LoadConfigValue(const LoadConfig* config, int id, ULONGLONG* value);

struct TlsDirectory {
    ULONGLONG startAddressOfRawData;
    ULONGLONG endAddressOfRawData;
    ULONGLONG addressOfIndex;
    ULONGLONG addressOfCallBacks;
    DWORD sizeOfZeroFill;
    DWORD characteristics;
};

// False when the image has no TLS directory inside the file.
bool ReadTlsDirectory(const ImageView* view, TlsDirectory* out);
// Calls `each` with the RVA of every callback (its address less ImageBase,
// as the table stores addresses), up to the table's zero entry or the end of
// the file; stops when `each` returns false.
void WalkTlsCallbacks(const ImageView* view, const TlsDirectory* tls, bool (*each)(void* context, ULONGLONG rva),
                      void* context);
