// The debug and load-config views: the debug directory's entries, and the
// load configuration's fields as far as its Size reaches, with the TLS
// directory's callbacks.
#include "report_views.h"
#include <string.h>
#include "image/debug_dir.h"
#include "image/load_config.h"

static const Word DEBUG_TYPES[] = {
    { IMAGE_DEBUG_TYPE_UNKNOWN, "unknown" }, { IMAGE_DEBUG_TYPE_COFF, "coff" },
    { IMAGE_DEBUG_TYPE_CODEVIEW, "codeview" }, { IMAGE_DEBUG_TYPE_FPO, "fpo" }, { IMAGE_DEBUG_TYPE_MISC, "misc" },
    { IMAGE_DEBUG_TYPE_EXCEPTION, "exception" }, { IMAGE_DEBUG_TYPE_FIXUP, "fixup" },
    { IMAGE_DEBUG_TYPE_OMAP_TO_SRC, "omap-to-src" }, { IMAGE_DEBUG_TYPE_OMAP_FROM_SRC, "omap-from-src" },
    { IMAGE_DEBUG_TYPE_BORLAND, "borland" }, { 10, "reserved10" }, { 11, "clsid" }, { 12, "vc-feature" },
    { DEBUG_TYPE_POGO, "pogo" }, { 14, "iltcg" }, { 15, "mpx" }, { DEBUG_TYPE_REPRO, "repro" },
    { 17, "embedded-portable-pdb" }, { 18, "spgo" }, { 19, "pdb-checksum" },
    { DEBUG_TYPE_EX_DLL_CHARACTERISTICS, "ex-dll-characteristics" },
};

static const Word EX_DLL_FLAGS[] = {
    { 0x01, "cet-compat" }, { 0x02, "cet-compat-strict-mode" }, { 0x04, "cet-set-context-ip-validation-relaxed-mode" },
    { 0x08, "cet-dynamic-apis-allow-in-proc" }, { 0x40, "forward-cfi-compat" }, { 0x80, "hotpatch-compatible" },
};

static const Word GUARD_FLAGS[] = {
    { GUARD_CF_INSTRUMENTED, "cf-instrumented" }, { GUARD_CFW_INSTRUMENTED, "cfw-instrumented" },
    { GUARD_CF_FUNCTION_TABLE_PRESENT, "cf-function-table-present" },
    { GUARD_SECURITY_COOKIE_UNUSED, "security-cookie-unused" },
    { GUARD_PROTECT_DELAYLOAD_IAT, "protect-delayload-iat" },
    { GUARD_DELAYLOAD_IAT_IN_ITS_OWN_SECTION, "delayload-iat-in-its-own-section" },
    { GUARD_CF_EXPORT_SUPPRESSION_INFO_PRESENT, "cf-export-suppression-info-present" },
    { GUARD_CF_ENABLE_EXPORT_SUPPRESSION, "cf-enable-export-suppression" },
    { GUARD_CF_LONGJUMP_TABLE_PRESENT, "cf-longjump-table-present" },
    { GUARD_RF_INSTRUMENTED, "rf-instrumented" }, { GUARD_RF_ENABLE, "rf-enable" }, { GUARD_RF_STRICT, "rf-strict" },
    { GUARD_RETPOLINE_PRESENT, "retpoline-present" },
    { GUARD_EH_CONTINUATION_TABLE_PRESENT, "eh-continuation-table-present" },
    { GUARD_XFG_ENABLED, "xfg-enabled" }, { GUARD_CASTGUARD_PRESENT, "castguard-present" },
    { GUARD_MEMCPY_PRESENT, "memcpy-present" },
};

// The most TLS callbacks listed: the table ends only at a zero entry.
static const int MAX_TLS_CALLBACKS = 1024;

static void PutCodeView(Report* r, const CodeViewInfo* cv)
{
    ReportRow(r, "codeview");
    char text[48];
    if (cv->format == CodeViewInfo::RSDS) {
        ReportWord(r, "format", "RSDS");
        GuidText(&cv->guid, text);
        ReportWord(r, "guid", text);
        ReportNumber(r, "age", cv->age);
        SymbolServerKey(&cv->guid, cv->age, text);
        ReportWord(r, "symbol_server_key", text);
    } else {
        ReportWord(r, "format", "NB10");
        ReportHex(r, "offset", cv->offset);
        ReportHex(r, "signature", cv->signature);
        ReportNumber(r, "age", cv->age);
    }
    ReportAnsi(r, "pdb", reinterpret_cast<const BYTE*>(cv->pdb), PDB_PATH_BYTES);
    ReportBool(r, "pdb_terminated", cv->pdbEnded);
    ReportEnd(r);
}

static bool PutDebugEntry(void* context, const DebugEntry* e)
{
    Report* r = static_cast<Report*>(context);
    const IMAGE_DEBUG_DIRECTORY* d = &e->entry;
    ReportRow(r, NULL);
    ReportEnum(r, "type", d->Type, WORDS(DEBUG_TYPES));
    ReportNumber(r, "type_raw", d->Type);
    ReportNumber(r, "time_date_stamp", d->TimeDateStamp);
    ReportNumber(r, "size", d->SizeOfData);
    ReportHex(r, "rva", d->AddressOfRawData);
    ReportHex(r, "file_offset", d->PointerToRawData);
    ReportBool(r, "data_in_file", e->data.size == d->SizeOfData && e->data.base);
    if (e->hasExFlags) {
        ReportFlags(r, "ex_dll_characteristics", e->exFlags, WORDS(EX_DLL_FLAGS));
        ReportHex(r, "ex_dll_characteristics_raw", e->exFlags);
    }
    if (e->codeView.format != CodeViewInfo::NONE)
        PutCodeView(r, &e->codeView);
    ReportEnd(r);
    return true;
}

void PutDebugReport(Report* r, const ImageView* view, const wchar_t*)
{
    if (DataDirectoryRva(view, IMAGE_DIRECTORY_ENTRY_DEBUG) == 0) {
        ReportNull(r, NULL);
        return;
    }
    ReportObject(r, NULL);
    ReportList(r, "entries", false);
    WalkDebugEntries(view, PutDebugEntry, r);
    ReportEnd(r);
    ReportEnd(r);
}

// Counts, versions and sizes in decimal; addresses and flags in hexadecimal.
static bool IsDecimal(const char* name)
{
    size_t n = strlen(name);
    return strcmp(name, "size") == 0 || strcmp(name, "time_date_stamp") == 0
           || (n > 5 && strcmp(name + n - 5, "count") == 0) || (n > 7 && strcmp(name + n - 7, "version") == 0);
}

static void PutLoadConfig(Report* r, const ImageView* view)
{
    LoadConfig config;
    if (!ReadLoadConfig(view, &config)) {
        ReportNull(r, "directory");
        return;
    }
    ReportObject(r, "directory");
    for (int i = 0; i < LOAD_CONFIG_FIELD_COUNT; ++i) {
        ULONGLONG value;
        if (!LoadConfigValue(&config, i, &value))
            continue;
        const char* name = LOAD_CONFIG_FIELDS[i].name;
        if (IsDecimal(name))
            ReportNumber(r, name, value);
        else
            ReportHex(r, name, value);
        if (i == LC_GUARD_FLAGS) {
            ReportFlags(r, "guard_flags_words", static_cast<DWORD>(value), WORDS(GUARD_FLAGS));
            ReportNumber(r, "guard_cf_function_table_stride", value >> GUARD_FUNCTION_TABLE_STRIDE_SHIFT);
        }
    }
    ReportEnd(r);
}

namespace {
struct CallbackList {
    Report* r;
    int listed;
};
}

static bool PutCallback(void* context, ULONGLONG rva)
{
    CallbackList* list = static_cast<CallbackList*>(context);
    if (list->listed++ == MAX_TLS_CALLBACKS)
        return false;
    ReportHex(list->r, NULL, rva);
    return true;
}

static void PutTls(Report* r, const ImageView* view)
{
    TlsDirectory tls;
    if (!ReadTlsDirectory(view, &tls)) {
        ReportNull(r, "tls");
        return;
    }
    ReportObject(r, "tls");
    ReportHex(r, "start_address_of_raw_data", tls.startAddressOfRawData);
    ReportHex(r, "end_address_of_raw_data", tls.endAddressOfRawData);
    ReportHex(r, "address_of_index", tls.addressOfIndex);
    ReportHex(r, "address_of_callbacks", tls.addressOfCallBacks);
    ReportNumber(r, "size_of_zero_fill", tls.sizeOfZeroFill);
    ReportHex(r, "characteristics", tls.characteristics);
    ReportList(r, "callbacks", true);
    CallbackList list = { r, 0 };
    WalkTlsCallbacks(view, &tls, PutCallback, &list);
    ReportEnd(r);
    ReportBool(r, "callbacks_cut", list.listed > MAX_TLS_CALLBACKS);
    ReportEnd(r);
}

void PutLoadConfigReport(Report* r, const ImageView* view, const wchar_t*)
{
    ReportObject(r, NULL);
    PutLoadConfig(r, view);
    PutTls(r, view);
    ReportEnd(r);
}
