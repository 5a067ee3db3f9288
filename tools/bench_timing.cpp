#include "bench_timing.h"
#include <commctrl.h>
#include <algorithm>
#include "res/resource.h"

static double TicksPerMs;

void StartClock()
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    TicksPerMs = static_cast<double>(frequency.QuadPart) / 1000;
}

double NowMs()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / TicksPerMs;
}

Stats Summarize(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    size_t n = samples.size();
    double median = n % 2 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
    return Stats{ median, samples.front(), samples.back() };
}

void PumpMessages()
{
    MSG message;
    while (PeekMessageW(&message, NULL, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

struct FindData {
    DWORD pid;
    HWND found;
};

static BOOL CALLBACK FindDialog(HWND window, LPARAM param)
{
    FindData* data = reinterpret_cast<FindData*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    if (pid == data->pid && IsWindowVisible(window) && lstrcmpW(className, L"#32770") == 0
        && GetDlgItem(window, IDC_TABS)) {
        data->found = window;
        return FALSE;
    }
    return TRUE;
}

double TimeProcess(const std::wstring& exe, const std::wstring& path, int sectionRows)
{
    std::wstring commandLine = L"\"" + exe + L"\"";
    if (!path.empty())
        commandLine += L" \"" + path + L"\"";
    std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back(L'\0');
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    double start = NowMs();
    if (!CreateProcessW(exe.c_str(), buffer.data(), NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process))
        return -1;
    double elapsed = -1;
    HWND dialog = NULL;
    while (NowMs() - start < 30000) {
        FindData data = { process.dwProcessId, NULL };
        EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&data));
        if (data.found) {
            int rows = static_cast<int>(SendDlgItemMessageW(data.found, IDC_LIST_SECTIONS, LVM_GETITEMCOUNT, 0, 0));
            if (rows >= sectionRows) {
                elapsed = NowMs() - start;
                dialog = data.found;
                break;
            }
        }
        if (WaitForSingleObject(process.hProcess, 1) == WAIT_OBJECT_0)
            break;
    }
    if (dialog)
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0)
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return elapsed;
}

bool TimeProcesses(const std::wstring& exe, const std::wstring& path, int sectionRows, int runs, Stats* stats)
{
    std::vector<double> samples;
    for (int run = 0; run < runs; ++run) {
        double t = TimeProcess(exe, path, sectionRows);
        if (t >= 0)
            samples.push_back(t);
    }
    if (samples.empty())
        return false;
    *stats = Summarize(samples);
    return true;
}
