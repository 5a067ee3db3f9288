#include "system_facts.h"
#include <winternl.h>
#include "../image/image_file.h"
#include "../image/image_view.h"

// Offset of ApiSetMap in the PEB: the layout differs between 32- and 64-bit processes.
#ifdef _WIN64
const size_t PEB_API_SET_MAP = 0x68;
#else
const size_t PEB_API_SET_MAP = 0x38;
#endif

// This process's PEB, through ntdll's documented query.
static const BYTE* ProcessPeb()
{
    typedef NTSTATUS(WINAPI * QueryProcess)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    QueryProcess query = ntdll ? reinterpret_cast<QueryProcess>(
                                     reinterpret_cast<void*>(GetProcAddress(ntdll, "NtQueryInformationProcess")))
                               : NULL;
    PROCESS_BASIC_INFORMATION basic = {};
    if (!query || query(GetCurrentProcess(), ProcessBasicInformation, &basic, sizeof basic, NULL) < 0)
        return NULL;
    return reinterpret_cast<const BYTE*>(basic.PebBaseAddress);
}

// The process's API set schema and the bytes of it that are readable.
static void ReadSchema(LoaderFacts* facts)
{
    const BYTE* peb = ProcessPeb();
    if (!peb)
        return;
    const BYTE* schema = *reinterpret_cast<const BYTE* const*>(peb + PEB_API_SET_MAP);
    MEMORY_BASIC_INFORMATION region = {};
    if (!schema || VirtualQuery(schema, &region, sizeof region) != sizeof region || region.State != MEM_COMMIT ||
        (region.Protect & (PAGE_NOACCESS | PAGE_GUARD)) != 0)
        return;
    SIZE_T readable = static_cast<const BYTE*>(region.BaseAddress) + region.RegionSize - schema;
    facts->apiSetSchema = schema;
    facts->apiSetSize = readable > MAXDWORD ? MAXDWORD : static_cast<DWORD>(readable);
}

static const wchar_t SESSION_MANAGER[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";

// The file names of KnownDLLs, each terminated, ending with an empty one;
// null where the system lists none (Wine lists none).
static wchar_t* ReadKnownDlls()
{
    HKEY key;
    wchar_t path[128];
    wsprintfW(path, L"%s\\KnownDLLs", SESSION_MANAGER);
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return NULL;
    const DWORD room = 32768;
    wchar_t* list = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, room * sizeof(wchar_t)));
    DWORD used = 0;
    for (DWORD i = 0; list; ++i) {
        wchar_t name[256], data[MAX_PATH];
        DWORD nameUnits = 256, dataBytes = sizeof data - sizeof(wchar_t), type;
        LONG status = RegEnumValueW(key, i, name, &nameUnits, NULL, &type, reinterpret_cast<BYTE*>(data), &dataBytes);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        // DllDirectory and DllDirectory32 name folders, not libraries.
        if (status != ERROR_SUCCESS || type != REG_SZ || CompareStringOrdinal(name, 12, L"DllDirectory", 12, TRUE) == CSTR_EQUAL)
            continue;
        data[dataBytes / sizeof(wchar_t)] = L'\0';
        DWORD units = lstrlenW(data);
        if (units == 0 || used + units + 2 > room)
            continue;
        lstrcpyW(list + used, data);
        used += units + 1;
    }
    RegCloseKey(key);
    return list;
}

static bool SafeSearchMode()
{
    DWORD value = 1, bytes = sizeof value;
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, SESSION_MANAGER, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return true;
    DWORD type;
    if (RegQueryValueExW(key, L"SafeDllSearchMode", NULL, &type, reinterpret_cast<BYTE*>(&value), &bytes) !=
            ERROR_SUCCESS || type != REG_DWORD)
        value = 1;
    RegCloseKey(key);
    return value != 0;
}

// `folder`\`name` into `out` (MAX_PATH units); empty when it does not fit.
static void Join(wchar_t* out, const wchar_t* folder, const wchar_t* name)
{
    if (lstrlenW(folder) + 1 + lstrlenW(name) >= MAX_PATH || !folder[0]) {
        out[0] = L'\0';
        return;
    }
    wsprintfW(out, L"%s\\%s", folder, name);
}

// The system folders of 64-bit and 32-bit images. A 32-bit process on 64-bit
// Windows sees System32 redirected to SysWOW64, and reaches the native one as
// Sysnative.
static void SystemFolders(LoaderFacts* facts)
{
    wchar_t system[MAX_PATH], wow[MAX_PATH];
    UINT units = GetSystemDirectoryW(system, MAX_PATH);
    if (units == 0 || units >= MAX_PATH)
        system[0] = L'\0';
    units = GetSystemWow64DirectoryW(wow, MAX_PATH);
    if (units == 0 || units >= MAX_PATH)
        wow[0] = L'\0';
#ifdef _WIN64
    lstrcpyW(facts->systemFolder64, system);
    lstrcpyW(facts->systemFolder32, wow);
#else
    BOOL wow64 = FALSE;
    if (IsWow64Process(GetCurrentProcess(), &wow64) && wow64) {
        Join(facts->systemFolder64, facts->windowsFolder, L"Sysnative");
        lstrcpyW(facts->systemFolder32, wow[0] ? wow : system);
    } else {
        lstrcpyW(facts->systemFolder32, system);
    }
#endif
}

// Reads the machine of the image at `path`.
static WORD ProbeMachine(void*, const wchar_t* path)
{
    ImageFile file;
    if (MapImageFile(path, &file) != MAP_DONE)
        return 0;
    ImageView view;
    WORD machine = InitImageView(&view, file.base, file.size) ? NtWord(&view, NT_MACHINE) : 0;
    UnmapImageFile(&file);
    return machine;
}

static bool ProbeFolders(void*, const wchar_t* folder, void (*each)(void*, const wchar_t*), void* eachContext)
{
    wchar_t pattern[MAX_PATH];
    Join(pattern, folder, L"*");
    WIN32_FIND_DATAW found;
    HANDLE search = pattern[0] ? FindFirstFileW(pattern, &found) : INVALID_HANDLE_VALUE;
    if (search == INVALID_HANDLE_VALUE)
        return false;
    do {
        bool dots = lstrcmpW(found.cFileName, L".") == 0 || lstrcmpW(found.cFileName, L"..") == 0;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !dots)
            each(eachContext, found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return true;
}

// Any file that is not empty, mapped whole; the token is its ImageFile.
static bool ProbeMap(void*, const wchar_t* path, const BYTE** bytes, DWORD* size, void** token)
{
    ImageFile* file = static_cast<ImageFile*>(HeapAlloc(GetProcessHeap(), 0, sizeof(ImageFile)));
    if (!file)
        return false;
    if (MapFile(path, 1, file) != MAP_DONE) {
        HeapFree(GetProcessHeap(), 0, file);
        return false;
    }
    *bytes = file->base;
    *size = file->size;
    *token = file;
    return true;
}

static void ProbeRelease(void*, void* token)
{
    UnmapImageFile(static_cast<ImageFile*>(token));
    HeapFree(GetProcessHeap(), 0, token);
}

// Files kept mapped for the whole run, by path: a library that many files
// of one run import is mapped and probed once. Only so much is kept, so that
// a 32-bit process keeps address space for the rest.
const DWORD KEPT_SLOTS = 16384;   // a power of two
const ULONGLONG KEPT_BYTES = 512ull * 1024 * 1024;

struct KeptFile {
    wchar_t path[MAX_PATH];
    WORD machine;          // 0: not a PE image, or not there
    ImageFile* mapped;     // null when not there or not kept
    DWORD size;
};

struct KeptFiles {
    KeptFile** slots;
    DWORD used;
    ULONGLONG bytes;
};

static KeptFile* FindKept(KeptFiles* kept, const wchar_t* path, bool add)
{
    DWORD hash = 2166136261u;
    for (const wchar_t* c = path; *c; ++c)
        hash = (hash ^ (*c >= L'A' && *c <= L'Z' ? *c + 32 : *c)) * 16777619u;
    for (DWORD slot = hash & (KEPT_SLOTS - 1);; slot = (slot + 1) & (KEPT_SLOTS - 1)) {
        KeptFile* file = kept->slots[slot];
        if (!file) {
            // Three quarters full: no more is kept.
            if (!add || kept->used >= KEPT_SLOTS / 4 * 3 || lstrlenW(path) >= MAX_PATH)
                return NULL;
            file = static_cast<KeptFile*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(KeptFile)));
            if (!file)
                return NULL;
            lstrcpyW(file->path, path);
            kept->slots[slot] = file;
            ++kept->used;
            return file;
        }
        if (CompareStringOrdinal(file->path, -1, path, -1, TRUE) == CSTR_EQUAL)
            return file;
    }
}

// The file at `path`, mapped and probed once; null when it cannot be kept.
static KeptFile* Keep(KeptFiles* kept, const wchar_t* path)
{
    KeptFile* file = FindKept(kept, path, false);
    if (file)
        return file;
    if (kept->bytes >= KEPT_BYTES || !(file = FindKept(kept, path, true)))
        return NULL;
    const BYTE* bytes;
    void* token;
    if (ProbeMap(NULL, path, &bytes, &file->size, &token)) {
        file->mapped = static_cast<ImageFile*>(token);
        kept->bytes += file->size;
        ImageView view;
        if (InitImageView(&view, bytes, file->size))
            file->machine = NtWord(&view, NT_MACHINE);
    }
    return file;
}

static WORD KeptMachine(void* context, const wchar_t* path)
{
    KeptFile* file = Keep(static_cast<KeptFiles*>(context), path);
    return file ? file->machine : ProbeMachine(NULL, path);
}

static bool KeptMap(void* context, const wchar_t* path, const BYTE** bytes, DWORD* size, void** token)
{
    KeptFile* file = Keep(static_cast<KeptFiles*>(context), path);
    if (!file)
        return ProbeMap(NULL, path, bytes, size, token);
    if (!file->mapped)
        return false;
    *bytes = file->mapped->base;
    *size = file->size;
    *token = NULL;   // stays mapped
    return true;
}

static void KeptRelease(void*, void* token)
{
    if (token)
        ProbeRelease(NULL, token);
}

void GatherSystemFacts(LoaderFacts* facts, const wchar_t* current, const wchar_t* added, bool keepFiles)
{
    ZeroMemory(facts, sizeof *facts);
    FileProbe probe = { NULL, ProbeMachine, ProbeFolders, ProbeMap, ProbeRelease };
    KeptFiles* kept = keepFiles ? static_cast<KeptFiles*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(KeptFiles)))
                                : NULL;
    if (kept)
        kept->slots = static_cast<KeptFile**>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, KEPT_SLOTS * sizeof(KeptFile*)));
    if (kept && kept->slots) {
        FileProbe keeping = { kept, KeptMachine, ProbeFolders, KeptMap, KeptRelease };
        probe = keeping;
    }
    facts->probe = probe;
    ReadSchema(facts);
    facts->knownDlls = ReadKnownDlls();
    UINT units = GetWindowsDirectoryW(facts->windowsFolder, MAX_PATH);
    if (units == 0 || units >= MAX_PATH)
        facts->windowsFolder[0] = L'\0';
    SystemFolders(facts);
    Join(facts->system16Folder, facts->windowsFolder, L"System");
    Join(facts->winsxsFolder, facts->windowsFolder, L"WinSxS");
    if (current && lstrlenW(current) < MAX_PATH)
        lstrcpyW(facts->currentFolder, current);
    DWORD pathUnits = GetEnvironmentVariableW(L"PATH", NULL, 0);
    wchar_t* path = pathUnits ? static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, pathUnits * sizeof(wchar_t)))
                              : NULL;
    if (path && GetEnvironmentVariableW(L"PATH", path, pathUnits) < pathUnits)
        facts->pathFolders = path;
    facts->addedFolders = added;
    facts->safeSearch = SafeSearchMode();
}
