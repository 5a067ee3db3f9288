#include "hardening.h"
#include <stdarg.h>
#include "certificates.h"
#include "checksum.h"
#include "debug_dir.h"
#include "headers.h"
#include "load_config.h"

const char* const MITIGATION_WORDS[MITIGATION_COUNT] = {
    "dynamic-base", "high-entropy-va", "nx-compat", "force-integrity", "cfg", "safe-seh",
    "gs", "cet-compat", "appcontainer", "no-isolation", "signed", "checksum",
};
const char* const VERDICT_WORDS[3] = { "no", "yes", "not-applicable" };

// What the verdicts are decided from, read once.
namespace {
struct Facts {
    ImageHeaders headers;
    bool hasLoadConfig;
    LoadConfig loadConfig;
    bool hasExFlags;
    DWORD exFlags;
};
}

static void Decide(Mitigation* m, Verdict verdict, const char* format, ...)
{
    char text[1024];   // wvsprintfA's own limit
    va_list arguments;
    va_start(arguments, format);
    wvsprintfA(text, format, arguments);
    va_end(arguments);
    m->verdict = verdict;
    lstrcpynA(m->reason, text, REASON_BYTES);
}

// A 64-bit value for the reasons, as wsprintf has no portable 64-bit form.
static const char* Hex64(ULONGLONG value, char* out)
{
    if (value >> 32)
        wsprintfA(out, "0x%lX%08lX", static_cast<unsigned long>(value >> 32), static_cast<unsigned long>(value));
    else
        wsprintfA(out, "0x%lX", static_cast<unsigned long>(value));
    return out;
}

// A count: decimal, unless it needs more than 32 bits.
static const char* Count64(ULONGLONG value, char* out)
{
    if (value >> 32)
        return Hex64(value, out);
    wsprintfA(out, "%lu", static_cast<unsigned long>(value));
    return out;
}

// A DllCharacteristics bit: yes when set.
static void DllFlag(Mitigation* m, WORD flags, WORD bit, const char* name)
{
    if (flags & bit)
        Decide(m, VERDICT_YES, "DllCharacteristics 0x%04X sets %s (0x%04X)", flags, name, bit);
    else
        Decide(m, VERDICT_NO, "DllCharacteristics 0x%04X lacks %s (0x%04X)", flags, name, bit);
}

static void DynamicBase(const Facts* f, Mitigation* m)
{
    const ImageHeaders* h = &f->headers;
    DllFlag(m, h->dllCharacteristics, IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE, "DYNAMIC_BASE");
    if (m->verdict == VERDICT_YES && (h->characteristics & IMAGE_FILE_RELOCS_STRIPPED))
        Decide(m, VERDICT_NO, "DYNAMIC_BASE is set, but Characteristics 0x%04X has RELOCS_STRIPPED (0x0001): "
               "the image cannot be moved", h->characteristics);
}

static void HighEntropy(const Facts* f, bool is64, const Mitigation* dynamicBase, Mitigation* m)
{
    if (!is64) {
        Decide(m, VERDICT_NOT_APPLICABLE, "PE32: a 32-bit address space");
        return;
    }
    DllFlag(m, f->headers.dllCharacteristics, IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA, "HIGH_ENTROPY_VA");
    if (m->verdict == VERDICT_YES && dynamicBase->verdict != VERDICT_YES)
        Decide(m, VERDICT_NO, "HIGH_ENTROPY_VA (0x0020) is set, but the image is not dynamic-base");
}

static void ControlFlowGuard(const Facts* f, const Mitigation* dynamicBase, Mitigation* m)
{
    WORD flags = f->headers.dllCharacteristics;
    ULONGLONG guard = 0, table = 0, count = 0;
    bool hasGuard = f->hasLoadConfig && LoadConfigValue(&f->loadConfig, LC_GUARD_FLAGS, &guard);
    if (hasGuard) {
        LoadConfigValue(&f->loadConfig, LC_GUARD_CF_FUNCTION_TABLE, &table);
        LoadConfigValue(&f->loadConfig, LC_GUARD_CF_FUNCTION_COUNT, &count);
    }
    char number[24];
    if (!(flags & IMAGE_DLLCHARACTERISTICS_GUARD_CF)) {
        DllFlag(m, flags, IMAGE_DLLCHARACTERISTICS_GUARD_CF, "GUARD_CF");
    } else if (!hasGuard) {
        Decide(m, VERDICT_NO, "GUARD_CF is set, but the load configuration (Size %lu) holds no GuardFlags",
               static_cast<unsigned long>(f->loadConfig.declared));
    } else if (!(guard & GUARD_CF_INSTRUMENTED)) {
        Decide(m, VERDICT_NO, "GuardFlags 0x%08lX lacks CF_INSTRUMENTED (0x100)", static_cast<unsigned long>(guard));
    } else if (!(guard & GUARD_CF_FUNCTION_TABLE_PRESENT)) {
        Decide(m, VERDICT_NO, "GuardFlags 0x%08lX: instrumented, but lacks CF_FUNCTION_TABLE_PRESENT (0x400)",
               static_cast<unsigned long>(guard));
    } else if (table == 0) {
        Decide(m, VERDICT_NO, "GuardFlags 0x%08lX: instrumented, but GuardCFFunctionTable is 0",
               static_cast<unsigned long>(guard));
    } else if (dynamicBase->verdict != VERDICT_YES) {
        Decide(m, VERDICT_NO, "GuardFlags 0x%08lX: instrumented, but the image is not dynamic-base, "
               "and the loader enables CFG only for those", static_cast<unsigned long>(guard));
    } else {
        Decide(m, VERDICT_YES, "GUARD_CF set; GuardFlags 0x%08lX: instrumented, %s functions in the table",
               static_cast<unsigned long>(guard), Count64(count, number));
    }
}

static void SafeSeh(const Facts* f, bool is64, Mitigation* m)
{
    WORD flags = f->headers.dllCharacteristics;
    ULONGLONG table = 0, count = 0;
    bool hasHandlers = f->hasLoadConfig && LoadConfigValue(&f->loadConfig, LC_SE_HANDLER_COUNT, &count);
    if (hasHandlers)
        LoadConfigValue(&f->loadConfig, LC_SE_HANDLER_TABLE, &table);
    char number[24], handlers[24];
    if (is64) {
        Decide(m, VERDICT_NOT_APPLICABLE, "PE32+: exceptions are unwound from tables");
    } else if (f->headers.machine != IMAGE_FILE_MACHINE_I386) {
        Decide(m, VERDICT_NOT_APPLICABLE, "Machine 0x%04X: SafeSEH is for i386 images", f->headers.machine);
    } else if (flags & IMAGE_DLLCHARACTERISTICS_NO_SEH) {
        Decide(m, VERDICT_YES, "DllCharacteristics 0x%04X sets NO_SEH (0x0400): no exception handlers", flags);
    } else if (!f->hasLoadConfig) {
        Decide(m, VERDICT_NO, "no load configuration, so no SEHandlerTable, and NO_SEH is not set");
    } else if (!hasHandlers) {
        Decide(m, VERDICT_NO, "the load configuration (Size %lu) ends before SEHandlerTable and SEHandlerCount",
               static_cast<unsigned long>(f->loadConfig.declared));
    } else if (table == 0) {
        Decide(m, VERDICT_NO, "SEHandlerTable is 0, and NO_SEH is not set");
    } else {
        Decide(m, VERDICT_YES, "SEHandlerTable %s holds %s handlers", Hex64(table, number), Count64(count, handlers));
    }
}

static void StackCookie(const Facts* f, Mitigation* m)
{
    ULONGLONG cookie = 0, guard = 0;
    bool hasCookie = f->hasLoadConfig && LoadConfigValue(&f->loadConfig, LC_SECURITY_COOKIE, &cookie);
    bool unused = hasCookie && LoadConfigValue(&f->loadConfig, LC_GUARD_FLAGS, &guard)
                  && (guard & GUARD_SECURITY_COOKIE_UNUSED);
    char number[24];
    if (!f->hasLoadConfig) {
        Decide(m, VERDICT_NO, "no load configuration, so no SecurityCookie");
    } else if (!hasCookie) {
        Decide(m, VERDICT_NO, "the load configuration (Size %lu) ends before SecurityCookie",
               static_cast<unsigned long>(f->loadConfig.declared));
    } else if (cookie == 0) {
        Decide(m, VERDICT_NO, "SecurityCookie is 0");
    } else if (unused) {
        Decide(m, VERDICT_NO, "SecurityCookie %s, but GuardFlags 0x%08lX sets SECURITY_COOKIE_UNUSED (0x800)",
               Hex64(cookie, number), static_cast<unsigned long>(guard));
    } else {
        Decide(m, VERDICT_YES, "SecurityCookie at %s", Hex64(cookie, number));
    }
}

static void CetCompat(const Facts* f, Mitigation* m)
{
    if (!f->hasExFlags)
        Decide(m, VERDICT_NO, "no debug entry of type 20 (extended DLL characteristics)");
    else if (f->exFlags & 1)
        Decide(m, VERDICT_YES, "debug entry type 20: 0x%08lX sets CET_COMPAT (0x1)",
               static_cast<unsigned long>(f->exFlags));
    else
        Decide(m, VERDICT_NO, "debug entry type 20: 0x%08lX lacks CET_COMPAT (0x1)",
               static_cast<unsigned long>(f->exFlags));
}

static void Signed(const ImageView* view, Mitigation* m)
{
    CertificateTable table;
    if (!ReadCertificateTable(view, &table))
        Decide(m, VERDICT_NO, "no certificate table");
    else if (table.bytes.size < table.size)
        Decide(m, VERDICT_NO, "the certificate table (offset 0x%lX, %lu bytes) reaches past the end of the file "
               "(%lu bytes)", static_cast<unsigned long>(table.offset), static_cast<unsigned long>(table.size),
               static_cast<unsigned long>(view->size));
    else
        Decide(m, VERDICT_YES, "a certificate table at offset 0x%lX, %lu bytes", static_cast<unsigned long>(table.offset),
               static_cast<unsigned long>(table.size));
}

static void Checksum(const ImageView* view, const Facts* f, Mitigation* m)
{
    DWORD stored = f->headers.checksum, computed = ComputeImageChecksum(view);
    if (stored == computed)
        Decide(m, VERDICT_YES, "CheckSum 0x%08lX is the computed one", static_cast<unsigned long>(stored));
    else
        Decide(m, VERDICT_NO, "CheckSum 0x%08lX, computed 0x%08lX", static_cast<unsigned long>(stored),
               static_cast<unsigned long>(computed));
}

static bool TakeExFlags(void* context, const DebugEntry* entry)
{
    Facts* f = static_cast<Facts*>(context);
    if (entry->hasExFlags && !f->hasExFlags) {
        f->hasExFlags = true;
        f->exFlags = entry->exFlags;
    }
    return true;
}

void AssessHardening(const ImageView* view, Mitigation out[MITIGATION_COUNT])
{
    Facts f;
    ZeroMemory(&f, sizeof f);
    ZeroMemory(out, MITIGATION_COUNT * sizeof *out);
    ReadHeaders(view, &f.headers);
    f.hasLoadConfig = ReadLoadConfig(view, &f.loadConfig);
    WalkDebugEntries(view, TakeExFlags, &f);
    WORD flags = f.headers.dllCharacteristics;
    DynamicBase(&f, &out[MITIGATION_DYNAMIC_BASE]);
    HighEntropy(&f, view->is64, &out[MITIGATION_DYNAMIC_BASE], &out[MITIGATION_HIGH_ENTROPY_VA]);
    DllFlag(&out[MITIGATION_NX_COMPAT], flags, IMAGE_DLLCHARACTERISTICS_NX_COMPAT, "NX_COMPAT");
    DllFlag(&out[MITIGATION_FORCE_INTEGRITY], flags, IMAGE_DLLCHARACTERISTICS_FORCE_INTEGRITY, "FORCE_INTEGRITY");
    ControlFlowGuard(&f, &out[MITIGATION_DYNAMIC_BASE], &out[MITIGATION_CFG]);
    SafeSeh(&f, view->is64, &out[MITIGATION_SAFE_SEH]);
    StackCookie(&f, &out[MITIGATION_GS]);
    CetCompat(&f, &out[MITIGATION_CET_COMPAT]);
    DllFlag(&out[MITIGATION_APPCONTAINER], flags, IMAGE_DLLCHARACTERISTICS_APPCONTAINER, "APPCONTAINER");
    DllFlag(&out[MITIGATION_NO_ISOLATION], flags, IMAGE_DLLCHARACTERISTICS_NO_ISOLATION, "NO_ISOLATION");
    Signed(view, &out[MITIGATION_SIGNED]);
    Checksum(view, &f, &out[MITIGATION_CHECKSUM]);
}
