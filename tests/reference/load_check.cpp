// Asks the system loader what loading one module takes: loads PATH and
// prints, one per line,
//   error N | loaded
//   module <path>   for every module the load brought in (PATH itself too)
//   before <path>   for every module the process had already
// The reference against which modview-cli --deps is checked.
//
// The loader binds an EXE's imports only when it starts a process with it
// (LoadLibraryEx maps an EXE without them), so an EXE is started under the
// debugging API and stopped at the loader's first breakpoint, once its
// imports are bound and before its entry point runs.
#include <windows.h>
#include <tlhelp32.h>

#include <string>
#include <vector>

static void write_utf8(HANDLE out, const std::wstring& text)
{
    int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), (int)text.size(), nullptr, 0, nullptr, nullptr);
    std::string bytes(size > 0 ? size : 0, '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), (int)text.size(), &bytes[0], size, nullptr, nullptr);
    DWORD written = 0;
    WriteFile(out, bytes.data(), (DWORD)bytes.size(), &written, nullptr);
}

// Full paths of the modules now in a process, in load order.
static std::vector<std::wstring> loaded_modules(DWORD process_id)
{
    std::vector<std::wstring> paths;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, process_id);
    if (snapshot == INVALID_HANDLE_VALUE)
        return paths;
    MODULEENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Module32FirstW(snapshot, &entry); more; more = Module32NextW(snapshot, &entry))
        paths.push_back(entry.szExePath);
    CloseHandle(snapshot);
    return paths;
}

static bool contains(const std::vector<std::wstring>& paths, const std::wstring& path)
{
    for (const std::wstring& p : paths)
        if (lstrcmpiW(p.c_str(), path.c_str()) == 0)
            return true;
    return false;
}

// Whether the file's header lacks IMAGE_FILE_DLL; false when unreadable.
static bool is_exe(const wchar_t* path)
{
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    BYTE head[4096] = {};
    DWORD got = 0;
    ReadFile(file, head, sizeof head, &got, nullptr);
    CloseHandle(file);
    if (got < 64 || head[0] != 'M' || head[1] != 'Z')
        return false;
    DWORD at = *(const DWORD*)(head + 60);
    if (at > got - 24 || memcmp(head + at, "PE\0\0", 4) != 0)
        return false;
    WORD characteristics = *(const WORD*)(head + at + 22);
    return !(characteristics & IMAGE_FILE_DLL);
}

// The loader's status as a Win32 error, as LoadLibrary would set it.
static DWORD status_error(DWORD status)
{
    typedef ULONG(WINAPI * to_error)(LONG);
    auto convert = (to_error)(void*)GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlNtStatusToDosError");
    return convert ? convert((LONG)status) : status;
}

// Starts the EXE suspended at its first breakpoint; every module of the
// new process is new.
static std::wstring start_exe(wchar_t* path)
{
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(path, nullptr, nullptr, nullptr, FALSE, DEBUG_ONLY_THIS_PROCESS,
                        nullptr, nullptr, &startup, &process))
        return L"error " + std::to_wstring(GetLastError()) + L"\n";
    std::wstring report;
    for (bool done = false; !done;) {
        DEBUG_EVENT event = {};
        if (!WaitForDebugEvent(&event, INFINITE))
            return L"error " + std::to_wstring(GetLastError()) + L"\n";
        DWORD go_on = DBG_CONTINUE;
        switch (event.dwDebugEventCode) {
        case CREATE_PROCESS_DEBUG_EVENT:
            CloseHandle(event.u.CreateProcessInfo.hFile);
            break;
        case LOAD_DLL_DEBUG_EVENT:
            CloseHandle(event.u.LoadDll.hFile);
            break;
        case EXCEPTION_DEBUG_EVENT:
            if (event.u.Exception.ExceptionRecord.ExceptionCode == EXCEPTION_BREAKPOINT) {
                report = L"loaded\n";
                for (const std::wstring& p : loaded_modules(process.dwProcessId))
                    report += L"module " + p + L"\n";
                TerminateProcess(process.hProcess, 0);
                done = true;
            } else {
                go_on = DBG_EXCEPTION_NOT_HANDLED;
            }
            break;
        case EXIT_PROCESS_DEBUG_EVENT:
            report = L"error " + std::to_wstring(status_error(event.u.ExitProcess.dwExitCode)) + L"\n";
            done = true;
            break;
        }
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, go_on);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return report;
}

int wmain(int argc, wchar_t** argv)
{
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (argc != 2) {
        write_utf8(GetStdHandle(STD_ERROR_HANDLE), L"Usage: load_check PATH\n");
        return 2;
    }
    // A module that fails to load must not stop the run with a dialog.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    if (is_exe(argv[1])) {
        write_utf8(out, start_exe(argv[1]));
        TerminateProcess(GetCurrentProcess(), 0);
    }
    std::vector<std::wstring> before = loaded_modules(0);
    HMODULE module = LoadLibraryExW(argv[1], nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    DWORD error = GetLastError();
    std::wstring report = module ? L"loaded\n" : L"error " + std::to_wstring(error) + L"\n";
    for (const std::wstring& path : loaded_modules(0))
        if (!contains(before, path))
            report += L"module " + path + L"\n";
    for (const std::wstring& path : before)
        report += L"before " + path + L"\n";
    write_utf8(out, report);
    // No detach notifications: what a module does on unloading is not asked
    // here, and some hang or crash there.
    TerminateProcess(GetCurrentProcess(), 0);
    return 0;
}
