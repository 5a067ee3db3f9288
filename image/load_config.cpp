#include "load_config.h"
#include <string.h>

// In the order the structure holds them; the last of each Windows release's
// layout marks its size (PE32 / PE32+): 72 / 112 with the SE handlers,
// 92 / 148 with Control Flow Guard, 104 / 160 with code integrity, and so on
// to 192 / 320.
const LoadConfigField LOAD_CONFIG_FIELDS[] = {
    { "size", 0, 4, 0, 4 },
    { "time_date_stamp", 4, 4, 4, 4 },
    { "major_version", 8, 2, 8, 2 },
    { "minor_version", 10, 2, 10, 2 },
    { "global_flags_clear", 12, 4, 12, 4 },
    { "global_flags_set", 16, 4, 16, 4 },
    { "critical_section_default_timeout", 20, 4, 20, 4 },
    { "decommit_free_block_threshold", 24, 4, 24, 8 },
    { "decommit_total_free_threshold", 28, 4, 32, 8 },
    { "lock_prefix_table", 32, 4, 40, 8 },
    { "maximum_allocation_size", 36, 4, 48, 8 },
    { "virtual_memory_threshold", 40, 4, 56, 8 },
    { "process_heap_flags", 44, 4, 72, 4 },
    { "process_affinity_mask", 48, 4, 64, 8 },
    { "csd_version", 52, 2, 76, 2 },
    { "dependent_load_flags", 54, 2, 78, 2 },
    { "edit_list", 56, 4, 80, 8 },
    { "security_cookie", 60, 4, 88, 8 },
    { "se_handler_table", 64, 4, 96, 8 },
    { "se_handler_count", 68, 4, 104, 8 },
    { "guard_cf_check_function_pointer", 72, 4, 112, 8 },
    { "guard_cf_dispatch_function_pointer", 76, 4, 120, 8 },
    { "guard_cf_function_table", 80, 4, 128, 8 },
    { "guard_cf_function_count", 84, 4, 136, 8 },
    { "guard_flags", 88, 4, 144, 4 },
    { "code_integrity_flags", 92, 2, 148, 2 },
    { "code_integrity_catalog", 94, 2, 150, 2 },
    { "code_integrity_catalog_offset", 96, 4, 152, 4 },
    { "guard_address_taken_iat_entry_table", 104, 4, 160, 8 },
    { "guard_address_taken_iat_entry_count", 108, 4, 168, 8 },
    { "guard_long_jump_target_table", 112, 4, 176, 8 },
    { "guard_long_jump_target_count", 116, 4, 184, 8 },
    { "dynamic_value_reloc_table", 120, 4, 192, 8 },
    { "chpe_metadata_pointer", 124, 4, 200, 8 },
    { "guard_rf_failure_routine", 128, 4, 208, 8 },
    { "guard_rf_failure_routine_function_pointer", 132, 4, 216, 8 },
    { "dynamic_value_reloc_table_offset", 136, 4, 224, 4 },
    { "dynamic_value_reloc_table_section", 140, 2, 228, 2 },
    { "guard_rf_verify_stack_pointer_function_pointer", 144, 4, 232, 8 },
    { "hot_patch_table_offset", 148, 4, 240, 4 },
    { "enclave_configuration_pointer", 156, 4, 248, 8 },
    { "volatile_metadata_pointer", 160, 4, 256, 8 },
    { "guard_eh_continuation_table", 164, 4, 264, 8 },
    { "guard_eh_continuation_count", 168, 4, 272, 8 },
    { "guard_xfg_check_function_pointer", 172, 4, 280, 8 },
    { "guard_xfg_dispatch_function_pointer", 176, 4, 288, 8 },
    { "guard_xfg_table_dispatch_function_pointer", 180, 4, 296, 8 },
    { "cast_guard_os_determined_failure_mode", 184, 4, 304, 8 },
    { "guard_memcpy_function_pointer", 188, 4, 312, 8 },
};
const int LOAD_CONFIG_FIELD_COUNT = sizeof LOAD_CONFIG_FIELDS / sizeof LOAD_CONFIG_FIELDS[0];

bool ReadLoadConfig(const ImageView* view, LoadConfig* out)
{
    ZeroMemory(out, sizeof *out);
    out->is64 = view->is64;
    DWORD rva = DataDirectoryRva(view, IMAGE_DIRECTORY_ENTRY_LOAD_CONFIG);
    const BYTE* at = rva ? RvaToSpan(view, rva, sizeof(DWORD)) : NULL;
    if (!at || !ReadDword(view, at, &out->declared))
        return false;
    DWORD left = BytesLeft(view, at);
    out->bytes.base = at;
    out->bytes.size = out->declared < left ? out->declared : left;
    return true;
}

bool LoadConfigValue(const LoadConfig* config, int id, ULONGLONG* value)
{
    *value = 0;
    if (id < 0 || id >= LOAD_CONFIG_FIELD_COUNT)
        return false;
    const LoadConfigField* field = &LOAD_CONFIG_FIELDS[id];
    DWORD offset = config->is64 ? field->offset64 : field->offset32;
    DWORD width = config->is64 ? field->width64 : field->width32;
    const BYTE* at = SpanAt(&config->bytes, offset, width);
    if (!at)
        return false;
    memcpy(value, at, width);   // little-endian: the low bytes first
    return true;
}

// IMAGE_TLS_DIRECTORY32 and 64 differ only in the width of their addresses.
template <class Directory>
static bool ReadTls(const ImageView* view, DWORD rva, TlsDirectory* out)
{
    Directory tls;
    const BYTE* at = RvaToSpan(view, rva, sizeof tls);
    if (!at)
        return false;
    memcpy(&tls, at, sizeof tls);
    TlsDirectory read = { tls.StartAddressOfRawData, tls.EndAddressOfRawData, tls.AddressOfIndex,
                          tls.AddressOfCallBacks, tls.SizeOfZeroFill, tls.Characteristics };
    *out = read;
    return true;
}

bool ReadTlsDirectory(const ImageView* view, TlsDirectory* out)
{
    ZeroMemory(out, sizeof *out);
    DWORD rva = DataDirectoryRva(view, IMAGE_DIRECTORY_ENTRY_TLS);
    if (rva == 0)
        return false;
    return view->is64 ? ReadTls<IMAGE_TLS_DIRECTORY64>(view, rva, out) : ReadTls<IMAGE_TLS_DIRECTORY32>(view, rva, out);
}

void WalkTlsCallbacks(const ImageView* view, const TlsDirectory* tls, bool (*each)(void* context, ULONGLONG rva),
                      void* context)
{
    ULONGLONG base = NtPointerSized(view, NT_OPTIONAL(view, ImageBase));
    ULONGLONG tableRva = tls->addressOfCallBacks - base;
    if (tls->addressOfCallBacks == 0 || tableRva > MAXDWORD)
        return;
    const DWORD width = view->is64 ? 8 : 4;
    // One entry at a time through the accessor: the table ends at its zero
    // entry, or where the file does.
    for (const BYTE* p = RvaToSpan(view, static_cast<DWORD>(tableRva), width); p; p = SpanPart(view, p + width, width)) {
        ULONGLONG address = 0;
        memcpy(&address, p, width);
        if (address == 0 || !each(context, address - base))
            return;
    }
}
