#include "remote_viewer.h"
#include <commctrl.h>
#include <tlhelp32.h>
#include "res/resource.h"

std::wstring BesideTests(const std::wstring& name)
{
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(NULL, path, MAX_PATH);
    std::wstring folder(path);
    folder.resize(folder.find_last_of(L'\\') + 1);
    return folder + name;
}

struct FindData {
    DWORD pid;
    HWND found;
};

static BOOL CALLBACK FindDialogWindow(HWND window, LPARAM param)
{
    FindData* data = reinterpret_cast<FindData*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    if (pid == data->pid && IsWindowVisible(window) && lstrcmpW(className, L"#32770") == 0
        && GetDlgItem(window, IDC_TABS)) {
        data->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindProcessDialog(DWORD pid)
{
    FindData data = { pid, NULL };
    EnumWindows(FindDialogWindow, reinterpret_cast<LPARAM>(&data));
    return data.found;
}

static BOOL CALLBACK CollectDialogWindow(HWND window, LPARAM param)
{
    std::vector<HWND>* found = reinterpret_cast<std::vector<HWND>*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    if (pid != GetCurrentProcessId() && IsWindowVisible(window) && lstrcmpW(className, L"#32770") == 0
        && GetDlgItem(window, IDC_TABS))
        found->push_back(window);
    return TRUE;
}

std::vector<HWND> OtherViewerDialogs()
{
    std::vector<HWND> found;
    EnumWindows(CollectDialogWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

HWND WaitForNewViewer(const std::vector<DWORD>& known, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    do {
        for (HWND dialog : OtherViewerDialogs()) {
            DWORD pid = 0;
            GetWindowThreadProcessId(dialog, &pid);
            bool isKnown = false;
            for (DWORD k : known)
                isKnown = isKnown || k == pid;
            if (!isKnown)
                return dialog;
        }
        Sleep(50);
    } while (GetTickCount() - start < timeoutMs);
    return NULL;
}

bool AttachViewer(HWND dialog, RemoteViewer* viewer)
{
    ZeroMemory(viewer, sizeof *viewer);
    DWORD pid = 0;
    DWORD thread = GetWindowThreadProcessId(dialog, &pid);
    viewer->process.hProcess = OpenProcess(PROCESS_ALL_ACCESS, FALSE, pid);
    viewer->process.dwProcessId = pid;
    viewer->process.dwThreadId = thread;
    viewer->dialog = dialog;
    return viewer->process.hProcess != NULL;
}

bool StartViewer(const std::wstring& exe, const std::wstring& arguments, RemoteViewer* viewer, DWORD timeoutMs)
{
    ZeroMemory(viewer, sizeof *viewer);
    std::wstring commandLine = L"\"" + exe + L"\"";
    if (!arguments.empty())
        commandLine += L" " + arguments;
    std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back(L'\0');
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    if (!CreateProcessW(exe.c_str(), buffer.data(), NULL, NULL, FALSE, 0, NULL, NULL, &startup, &viewer->process))
        return false;
    DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        viewer->dialog = FindProcessDialog(viewer->process.dwProcessId);
        if (viewer->dialog)
            return true;
        if (WaitForSingleObject(viewer->process.hProcess, 50) == WAIT_OBJECT_0)
            return false;
    }
    return false;
}

DWORD WaitViewer(RemoteViewer* viewer, DWORD timeoutMs)
{
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(viewer->process.hProcess, timeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(viewer->process.hProcess, &code);
    return code;
}

DWORD CloseViewer(RemoteViewer* viewer, DWORD timeoutMs)
{
    if (viewer->dialog)
        PostMessageW(viewer->dialog, WM_COMMAND, IDCANCEL, 0);
    DWORD code = WaitViewer(viewer, timeoutMs);
    if (code == STILL_ACTIVE)
        TerminateProcess(viewer->process.hProcess, 1);
    CloseHandle(viewer->process.hProcess);
    if (viewer->process.hThread)
        CloseHandle(viewer->process.hThread);
    viewer->process.hProcess = viewer->process.hThread = NULL;
    return code;
}

std::wstring RemoteWindowText(HWND window)
{
    wchar_t text[1024] = {};
    SendMessageW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text));
    return text;
}

int RemoteRowCount(HWND list)
{
    return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
}

// A block in the viewer's address space holding a record followed by a text buffer.
struct RemoteBlock {
    HANDLE process;
    BYTE* address;
    SIZE_T size;
};

static RemoteBlock AllocRemote(HANDLE process, SIZE_T size)
{
    RemoteBlock block = { process, NULL, size };
    block.address = static_cast<BYTE*>(VirtualAllocEx(process, NULL, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    return block;
}

static void FreeRemote(RemoteBlock* block)
{
    if (block->address)
        VirtualFreeEx(block->process, block->address, 0, MEM_RELEASE);
}

static const int REMOTE_TEXT_UNITS = 2048;

// Sends `message` with a copy of `record` placed in the viewer's memory, its
// pszText pointing at a text buffer right behind it there, and returns the
// text the viewer wrote. Serves every record with pszText and cchTextMax.
template <typename Record>
static std::wstring RemoteText(HANDLE process, HWND window, UINT message, WPARAM wParam, Record record)
{
    RemoteBlock block = AllocRemote(process, sizeof(Record) + REMOTE_TEXT_UNITS * sizeof(wchar_t));
    if (!block.address)
        return L"";
    record.pszText = reinterpret_cast<wchar_t*>(block.address + sizeof(Record));
    record.cchTextMax = REMOTE_TEXT_UNITS;
    WriteProcessMemory(process, block.address, &record, sizeof record, NULL);
    SendMessageW(window, message, wParam, reinterpret_cast<LPARAM>(block.address));
    std::vector<wchar_t> text(REMOTE_TEXT_UNITS + 1, 0);
    ReadProcessMemory(process, block.address + sizeof(Record), text.data(), REMOTE_TEXT_UNITS * sizeof(wchar_t), NULL);
    FreeRemote(&block);
    return text.data();
}

std::wstring RemoteCellText(HANDLE process, HWND list, int row, int column)
{
    LVITEMW item = {};
    item.iSubItem = column;
    return RemoteText(process, list, LVM_GETITEMTEXTW, row, item);
}

LPARAM RemoteRowMarker(HANDLE process, HWND list, int row)
{
    RemoteBlock block = AllocRemote(process, sizeof(LVITEMW));
    if (!block.address)
        return -1;
    LVITEMW item = {};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    WriteProcessMemory(process, block.address, &item, sizeof item, NULL);
    SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(block.address));
    ReadProcessMemory(process, block.address, &item, sizeof item, NULL);
    FreeRemote(&block);
    return item.lParam;
}

std::vector<ListRow> RemoteReadRows(HANDLE process, HWND list)
{
    std::vector<ListRow> rows;
    HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    int columns = static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
    int count = RemoteRowCount(list);
    for (int r = 0; r < count; ++r) {
        ListRow row;
        for (int c = 0; c < columns; ++c)
            row.cells.push_back(RemoteCellText(process, list, r, c));
        row.marker = RemoteRowMarker(process, list, r);
        rows.push_back(row);
    }
    return rows;
}

RECT RemoteItemRect(HANDLE process, HWND list, int row)
{
    RECT rect = {};
    RemoteBlock block = AllocRemote(process, sizeof(RECT));
    if (!block.address)
        return rect;
    rect.left = LVIR_BOUNDS;
    WriteProcessMemory(process, block.address, &rect, sizeof rect, NULL);
    if (!SendMessageW(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(block.address)))
        ZeroMemory(&rect, sizeof rect);
    else
        ReadProcessMemory(process, block.address, &rect, sizeof rect, NULL);
    FreeRemote(&block);
    return rect;
}

std::wstring RemoteTabCaption(HANDLE process, HWND tabs, int index)
{
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    return RemoteText(process, tabs, TCM_GETITEMW, index, item);
}

std::wstring RemoteColumnCaption(HANDLE process, HWND list, int column)
{
    LVCOLUMNW item = {};
    item.mask = LVCF_TEXT;
    return RemoteText(process, list, LVM_GETCOLUMNW, column, item);
}

bool RemoteLoadLibrary(HANDLE process, const std::wstring& name)
{
    SIZE_T bytes = (name.size() + 1) * sizeof(wchar_t);
    RemoteBlock block = AllocRemote(process, bytes);
    if (!block.address)
        return false;
    WriteProcessMemory(process, block.address, name.c_str(), bytes, NULL);
    // kernel32 lies at the same address in every process of the session.
    LPTHREAD_START_ROUTINE load = reinterpret_cast<LPTHREAD_START_ROUTINE>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "LoadLibraryW")));
    HANDLE thread = CreateRemoteThread(process, NULL, 0, load, block.address, 0, NULL);
    if (thread) {
        WaitForSingleObject(thread, 10000);
        CloseHandle(thread);
    }
    FreeRemote(&block);
    // A load that was never tried must not pass for one that failed.
    if (!thread) {
        ADD_FAILURE() << "no thread in the viewer's process";
        return false;
    }
    // The thread's exit code holds only half of a 64-bit module handle: ask
    // the process's module list instead.
    bool loaded = false;
    HANDLE modules = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, GetProcessId(process));
    if (modules == INVALID_HANDLE_VALUE) {
        ADD_FAILURE() << "no module list of the viewer's process";
        return false;
    }
    MODULEENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Module32FirstW(modules, &entry); more && !loaded; more = Module32NextW(modules, &entry))
        loaded = lstrcmpiW(entry.szModule, name.c_str()) == 0;
    CloseHandle(modules);
    return loaded;
}

void DoubleClickAt(POINT screen)
{
    SetCursorPos(screen.x, screen.y);
    INPUT inputs[4] = {};
    const DWORD flags[4] = { MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP };
    for (int i = 0; i < 4; ++i) {
        inputs[i].type = INPUT_MOUSE;
        inputs[i].mi.dwFlags = flags[i];
    }
    SendInput(4, inputs, sizeof(INPUT));
}
