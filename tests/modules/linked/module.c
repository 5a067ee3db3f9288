/* A module that imports and delay-loads a few functions, by name and by
   ordinal. It is only read by the tests, never loaded, so it needs no C
   runtime: the delay-load helper is a stub. */
#define IMPORT __declspec(dllimport) int __stdcall
IMPORT GetTickCount(void);
IMPORT GetLastError(void);
IMPORT CoUninitialize(void);
IMPORT CoInitialize(void*);
IMPORT MessageBeep(unsigned);
IMPORT GetDesktopWindow(void);
IMPORT PathFileExistsW(const unsigned short*);
IMPORT StrToIntW(const unsigned short*);

void* __stdcall __delayLoadHelper2(const void* descriptor, void** slot)
{
    (void)descriptor;
    return *slot;
}

__declspec(dllexport) int __stdcall Touch(void)
{
    return GetTickCount() + GetLastError() + CoUninitialize() + CoInitialize(0) + MessageBeep(0)
        + GetDesktopWindow() + PathFileExistsW(0) + StrToIntW(0);
}

/* What a release check reads, made by the linker as it makes them for
   programs built with a C runtime: a load configuration whose guard and
   SafeSEH fields the linker fills, a security cookie, and a TLS callback. */
typedef unsigned short u16;
typedef unsigned int u32;
typedef __UINTPTR_TYPE__ uptr;

struct load_config {
    u32 Size, TimeDateStamp;
    u16 MajorVersion, MinorVersion;
    u32 GlobalFlagsClear, GlobalFlagsSet, CriticalSectionDefaultTimeout;
    uptr DeCommitFreeBlockThreshold, DeCommitTotalFreeThreshold, LockPrefixTable, MaximumAllocationSize;
    uptr VirtualMemoryThreshold;
#ifdef _WIN64
    uptr ProcessAffinityMask;
    u32 ProcessHeapFlags;
#else
    u32 ProcessHeapFlags;
    uptr ProcessAffinityMask;
#endif
    u16 CSDVersion, DependentLoadFlags;
    uptr EditList, SecurityCookie, SEHandlerTable, SEHandlerCount;
    uptr GuardCFCheckFunctionPointer, GuardCFDispatchFunctionPointer, GuardCFFunctionTable, GuardCFFunctionCount;
    u32 GuardFlags;
    u16 CodeIntegrityFlags, CodeIntegrityCatalog;
    u32 CodeIntegrityCatalogOffset, CodeIntegrityReserved;
    uptr GuardAddressTakenIatEntryTable, GuardAddressTakenIatEntryCount;
    uptr GuardLongJumpTargetTable, GuardLongJumpTargetCount;
};

/* The linker defines these: their addresses are the tables and counts. */
extern const char __guard_fids_table[], __guard_fids_count[], __guard_flags[];
extern const char __guard_iat_table[], __guard_iat_count[], __guard_longjmp_table[], __guard_longjmp_count[];
#ifdef _WIN64
#define SAFE_SEH_TABLE 0
#define SAFE_SEH_COUNT 0
/* A 32-bit field cannot take a 64-bit address in a constant: the words the
   linker gives a module with a function table and nothing more. */
#define GUARD_FLAGS 0x500
#else
#define GUARD_FLAGS (u32)__guard_flags
extern const char __safe_se_handler_table[], __safe_se_handler_count[];
#define SAFE_SEH_TABLE (uptr)__safe_se_handler_table
#define SAFE_SEH_COUNT (uptr)__safe_se_handler_count
#endif

uptr __security_cookie = (uptr)0x2B992DDFA232ull;
const struct load_config _load_config_used = {
    sizeof(struct load_config), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x0800, 0,
    (uptr)&__security_cookie, SAFE_SEH_TABLE, SAFE_SEH_COUNT, 0, 0,
    (uptr)__guard_fids_table, (uptr)__guard_fids_count, GUARD_FLAGS, 0, 0, 0, 0,
    (uptr)__guard_iat_table, (uptr)__guard_iat_count, (uptr)__guard_longjmp_table, (uptr)__guard_longjmp_count,
};

typedef void(__stdcall* tls_callback)(void*, unsigned long, void*);
static void __stdcall OnThread(void* module, unsigned long reason, void* reserved)
{
    (void)module, (void)reason, (void)reserved;
}
#pragma section(".CRT$XLB", read)
__declspec(allocate(".CRT$XLB")) const tls_callback tls_callbacks[] = { OnThread, 0 };
u32 _tls_index;
const struct { uptr start, end, index, callbacks; u32 zeroFill, characteristics; } _tls_used = {
    0, 0, (uptr)&_tls_index, (uptr)tls_callbacks, 0, 0,
};
