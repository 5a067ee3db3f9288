// Asks the system loader what loading one module takes: loads PATH and
// prints, one per line,
//   error N | loaded
//   module <path>   for every module the call brought in (PATH itself too)
//   before <path>   for every module the process had already
// The reference against which modview-cli --deps is checked.
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

// Full paths of the modules now in this process, in load order.
static std::vector<std::wstring> loaded_modules()
{
    std::vector<std::wstring> paths;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, 0);
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

int wmain(int argc, wchar_t** argv)
{
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (argc != 2) {
        write_utf8(GetStdHandle(STD_ERROR_HANDLE), L"Usage: load_check PATH\n");
        return 2;
    }
    // A module that fails to load must not stop the run with a dialog.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    std::vector<std::wstring> before = loaded_modules();
    HMODULE module = LoadLibraryExW(argv[1], nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    DWORD error = GetLastError();
    std::wstring report = module ? L"loaded\n" : L"error " + std::to_wstring(error) + L"\n";
    for (const std::wstring& path : loaded_modules())
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
