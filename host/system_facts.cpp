#include "system_facts.h"
#include <winternl.h>
#include "file_probe.h"
#include "../loader/names.h"

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
        JoinPath(facts->windowsFolder, lstrlenW(facts->windowsFolder), L"Sysnative", facts->systemFolder64);
        lstrcpyW(facts->systemFolder32, wow[0] ? wow : system);
    } else {
        lstrcpyW(facts->systemFolder32, system);
    }
#endif
}

void GatherSystemFacts(LoaderFacts* facts, const wchar_t* current, const wchar_t* added, bool keepFiles)
{
    ZeroMemory(facts, sizeof *facts);
    facts->probe = RealFileProbe(keepFiles);
    ReadSchema(facts);
    facts->knownDlls = ReadKnownDlls();
    UINT units = GetWindowsDirectoryW(facts->windowsFolder, MAX_PATH);
    if (units == 0 || units >= MAX_PATH)
        facts->windowsFolder[0] = L'\0';
    SystemFolders(facts);
    JoinPath(facts->windowsFolder, lstrlenW(facts->windowsFolder), L"System", facts->system16Folder);
    JoinPath(facts->windowsFolder, lstrlenW(facts->windowsFolder), L"WinSxS", facts->winsxsFolder);
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
