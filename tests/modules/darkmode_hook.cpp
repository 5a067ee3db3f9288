// Test stand-in for DarkMode.dll: its export ordinal 1 appends one line to the
// file named by MODVIEW_DARKMODE_LOG, saying whether this thread already had
// a dialog window when it was called.
#include <windows.h>

static BOOL CALLBACK NoteDialog(HWND window, LPARAM found)
{
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    if (lstrcmpW(className, L"#32770") == 0)
        *reinterpret_cast<bool*>(found) = true;
    return TRUE;
}

extern "C" __declspec(dllexport) void WINAPI DarkModeHook(void)
{
    wchar_t path[MAX_PATH];
    if (!GetEnvironmentVariableW(L"MODVIEW_DARKMODE_LOG", path, MAX_PATH))
        return;
    bool dialog = false;
    EnumThreadWindows(GetCurrentThreadId(), NoteDialog, reinterpret_cast<LPARAM>(&dialog));
    HANDLE log = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, NULL);
    if (log == INVALID_HANDLE_VALUE)
        return;
    const char* line = dialog ? "called dialog=1\n" : "called dialog=0\n";
    DWORD written;
    WriteFile(log, line, lstrlenA(line), &written, NULL);
    CloseHandle(log);
}
