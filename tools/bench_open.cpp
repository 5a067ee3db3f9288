// bench_open: how long opening a file takes, next to the least it could take.
//
//   bench_open [--runs N] [--lists] [--no-scale] [--only-scale] [--process MODVIEW_EXE]
//              [--tsv FILE] [--family exports|imports|strings|version] [FILE...]
//
// Each file (and each built-in scale image) is opened N times (default 7; more
// for files that open quickly, up to about half a second's worth) through
// OpenImage on the real main dialog, kept hidden. Interleaved with those
// runs, the floor is timed: the same lists are emptied and the very same
// rows inserted again (same texts, same markers, same columns, taken
// from the lists after an open), with redraw switched off and on and the last
// columns auto-sized just as OpenImage does, but without touching the file.
// What opening costs beyond the floor is walking the file, translating
// addresses, converting and formatting: our own overhead.
//
// --lists also times each view's filler alone against inserting its rows alone.
// --process also times whole viewer processes: from CreateProcess of
// MODVIEW_EXE "FILE" until its dialog is visible with its lists filled.
// --tsv writes one line per file for tools/bench.sh.
#include <windows.h>
#include <commctrl.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <algorithm>
#include <string>
#include <vector>
#include "image/image_view.h"
#include "image/list_rows.h"
#include "image/open_image.h"
#include "res/resource.h"
#include "image/views.h"
#include "shell/main_dialog.h"
#include "shell/resource_module.h"
#include "tests/pe_builder.h"
#include "tests/resource_builder.h"

// ---------------------------------------------------------------- output

static void Print(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    vprintf(format, args);
    va_end(args);
    fflush(stdout);
}

static std::string Utf8(const std::wstring& text)
{
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), NULL, 0, NULL, NULL);
    std::string out(bytes, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], bytes, NULL, NULL);
    return out;
}

static std::string Grouped(unsigned long long value)
{
    std::string digits = std::to_string(value), out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i && (digits.size() - i) % 3 == 0)
            out += ',';
        out += digits[i];
    }
    return out;
}

static std::wstring BaseName(const std::wstring& path)
{
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// ---------------------------------------------------------------- timing

static double TicksPerMs;

static double NowMs()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / TicksPerMs;
}

struct Stats {
    double median, min, max;
};

static Stats Summarize(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    size_t n = samples.size();
    double median = n % 2 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
    return Stats{ median, samples.front(), samples.back() };
}

static void PumpMessages()
{
    MSG message;
    while (PeekMessageW(&message, NULL, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// ---------------------------------------------------------------- the floor

struct CapturedRow {
    LPARAM marker;
    std::vector<std::wstring> cells;
};

struct CapturedList {
    int id;
    std::vector<CapturedRow> rows;
};

static std::wstring CellText(HWND list, int row, int column)
{
    static std::vector<wchar_t> text(65536);
    text[0] = L'\0';
    LVITEMW item = {};
    item.iSubItem = column;
    item.pszText = text.data();
    item.cchTextMax = static_cast<int>(text.size());
    SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    return text.data();
}

static std::vector<CapturedList> CaptureLists(HWND dialog)
{
    std::vector<CapturedList> lists;
    for (int id = IDC_LIST_FIRST; id <= IDC_LIST_LAST; ++id) {
        HWND list = GetDlgItem(dialog, id);
        HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
        int columns = static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
        int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
        CapturedList captured;
        captured.id = id;
        for (int r = 0; r < rows; ++r) {
            CapturedRow row;
            LVITEMW item = {};
            item.mask = LVIF_PARAM;
            item.iItem = r;
            SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
            row.marker = item.lParam;
            for (int c = 0; c < columns; ++c)
                row.cells.push_back(CellText(list, r, c));
            captured.rows.push_back(row);
        }
        lists.push_back(captured);
    }
    return lists;
}

// What OpenImage does to the lists, with the rows taken from `lists` instead
// of from a file. The summary list keeps its fixed rows; only its values are
// written again.
// Empties the lists as OpenImage does first: all but the summary.
static void EmptyLists(HWND dialog)
{
    for (int id = IDC_LIST_FIRST; id <= IDC_LIST_LAST; ++id) {
        if (id != IDC_LIST_SUMMARY)
            SendDlgItemMessageW(dialog, id, LVM_DELETEALLITEMS, 0, 0);
    }
}

static void InsertList(HWND list, const CapturedList& captured);

// Where the floor's fill goes, in ms: inserting, auto-sizing, redraw.
struct FloorParts {
    double insert, autosize, redraw;
};

// What OpenImage does to the lists, with the rows taken from `lists` instead
// of from a file. The summary list keeps its fixed rows; only its values are
// written again.
static void InsertFloor(HWND dialog, const std::vector<CapturedList>& lists, FloorParts* parts = NULL)
{
    EmptyLists(dialog);
    for (int id = IDC_LIST_FIRST; id <= IDC_LIST_LAST; ++id)
        SendDlgItemMessageW(dialog, id, WM_SETREDRAW, FALSE, 0);
    double t1 = NowMs();
    for (const CapturedList& captured : lists)
        InsertList(GetDlgItem(dialog, captured.id), captured);
    double t2 = NowMs();
    AutosizeLastColumns(dialog);
    double t3 = NowMs();
    for (int id = IDC_LIST_FIRST; id <= IDC_LIST_LAST; ++id) {
        HWND list = GetDlgItem(dialog, id);
        SendMessageW(list, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(list, NULL, TRUE);
    }
    ShowSelectedTab(dialog);
    if (parts) {
        parts->insert = t2 - t1;
        parts->autosize = t3 - t2;
        parts->redraw = NowMs() - t3;
    }
}

static void Open(HWND dialog, const std::wstring& path)
{
    wchar_t buffer[MAX_PATH] = {};
    lstrcpynW(buffer, path.c_str(), MAX_PATH);
    OpenImage(dialog, buffer);
}

// ---------------------------------------------------------------- one list at a time

// Runs the filler of list `id` on its own.
static void Fill(HWND list, int id, HMODULE resources, const ImageView* view)
{
    switch (id) {
    case IDC_LIST_IMPORTS: ShowImports(list, view); break;
    case IDC_LIST_DELAY: ShowDelayImports(list, view); break;
    case IDC_LIST_EXPORTS: ShowExports(list, view); break;
    case IDC_LIST_SECTIONS: ShowSections(list, resources, view); break;
    case IDC_LIST_SUMMARY: ShowHeaderSummary(list, resources, view); break;
    case IDC_LIST_VERSION: ShowVersionInfo(list, resources, view); break;
    case IDC_LIST_STRINGS: ShowStringTables(list, view); break;
    }
}

// Inserts the captured rows of one list, as InsertFloor does for all.
static void InsertList(HWND list, const CapturedList& captured)
{
    int r = 0;
    for (const CapturedRow& row : captured.rows) {
        if (captured.id == IDC_LIST_SUMMARY) {
            SetCell(list, r, 1, row.cells.size() > 1 ? row.cells[1].c_str() : L"");
        } else {
            const wchar_t* first = row.cells.empty() || row.cells[0].empty() ? NULL : row.cells[0].c_str();
            InsertRow(list, r, first, static_cast<RowMarker>(row.marker));
            for (size_t c = 1; c < row.cells.size(); ++c) {
                if (!row.cells[c].empty())
                    SetCell(list, r, static_cast<int>(c), row.cells[c].c_str());
            }
        }
        ++r;
    }
}

// Per list: the median time of its filler alone on the mapped file, and of
// inserting its captured rows alone, both into the emptied list with redraw off.
static void MeasureLists(HWND dialog, const std::wstring& path, const std::vector<CapturedList>& lists, int runs,
                         double fill[LIST_COUNT], double floor[LIST_COUNT])
{
    for (int i = 0; i < LIST_COUNT; ++i)
        fill[i] = floor[i] = 0;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD size = GetFileSize(file, NULL);
    HANDLE mapping = CreateFileMappingW(file, NULL, PAGE_READONLY, 0, 0, NULL);
    const BYTE* base = mapping ? static_cast<const BYTE*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0)) : NULL;
    ImageView view;
    if (base && InitImageView(&view, base, size)) {
        HMODULE resources = GetResourceModule();
        for (const CapturedList& captured : lists) {
            HWND list = GetDlgItem(dialog, captured.id);
            std::vector<double> fills, floors;
            for (int run = 0; run < runs; ++run) {
                EmptyLists(dialog);
                SendMessageW(list, WM_SETREDRAW, FALSE, 0);
                double start = NowMs();
                Fill(list, captured.id, resources, &view);
                fills.push_back(NowMs() - start);
                EmptyLists(dialog);
                start = NowMs();
                InsertList(list, captured);
                floors.push_back(NowMs() - start);
                SendMessageW(list, WM_SETREDRAW, TRUE, 0);
            }
            fill[captured.id - IDC_LIST_FIRST] = Summarize(fills).median;
            floor[captured.id - IDC_LIST_FIRST] = Summarize(floors).median;
        }
        ShowSelectedTab(dialog);
    }
    if (base)
        UnmapViewOfFile(base);
    if (mapping)
        CloseHandle(mapping);
    CloseHandle(file);
}

// ---------------------------------------------------------------- one file

struct Measurement {
    std::wstring name;
    unsigned long long bytes;
    int rows[LIST_COUNT];
    int totalRows;
    // Each run first empties the lists of the previous run's rows (timed on
    // its own: "emptying"), then opens or inserts into the empty lists
    // ("fill"). Open and floor are the sums, what reopening a file costs.
    Stats open, floor, openFill, floorFill, emptying;
    // Median of each run's open / floor: the two are timed within moments of
    // each other, so load from elsewhere tends to touch both.
    double ratio, fillRatio;
    FloorParts parts;   // medians of the floor's fill parts
    int runs;
    bool hasLists;   // per-list times below were measured
    double listFill[LIST_COUNT], listFloor[LIST_COUNT];
    bool hasProcess;
    Stats process;
};

// The most runs given to one file when its opens are short.
static const int MAX_RUNS = 41;

static Measurement MeasureFile(HWND dialog, const std::wstring& path, const std::wstring& name, int runs,
                               bool perList)
{
    Measurement m = {};
    m.name = name;
    WIN32_FILE_ATTRIBUTE_DATA attributes;
    if (GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &attributes))
        m.bytes = (static_cast<unsigned long long>(attributes.nFileSizeHigh) << 32) | attributes.nFileSizeLow;

    // A first, untimed open warms the file cache and gives the rows of the floor.
    Open(dialog, path);
    PumpMessages();
    std::vector<CapturedList> lists = CaptureLists(dialog);
    for (size_t i = 0; i < lists.size(); ++i) {
        m.rows[i] = static_cast<int>(lists[i].rows.size());
        m.totalRows += m.rows[i];
    }
    InsertFloor(dialog, lists);
    PumpMessages();

    // Short files get more runs, up to about half a second of opening, so that
    // a burst of load from elsewhere on the machine moves the median less.
    double once = NowMs();
    Open(dialog, path);
    once = NowMs() - once;
    PumpMessages();
    int wanted = once > 0 ? static_cast<int>(500 / once) : MAX_RUNS;
    if (runs < wanted)
        runs = wanted < MAX_RUNS ? wanted : MAX_RUNS;
    m.runs = runs;

    std::vector<double> open, floor, openFill, floorFill, emptying, insert, autosize, redraw;
    for (int run = 0; run < runs; ++run) {
        double t0 = NowMs();
        EmptyLists(dialog);
        double t1 = NowMs();
        Open(dialog, path);
        double t2 = NowMs();
        PumpMessages();
        emptying.push_back(t1 - t0);
        openFill.push_back(t2 - t1);
        open.push_back(t2 - t0);

        FloorParts parts;
        t0 = NowMs();
        EmptyLists(dialog);
        t1 = NowMs();
        InsertFloor(dialog, lists, &parts);
        t2 = NowMs();
        PumpMessages();
        floorFill.push_back(t2 - t1);
        floor.push_back(t2 - t0);
        insert.push_back(parts.insert);
        autosize.push_back(parts.autosize);
        redraw.push_back(parts.redraw);
    }
    std::vector<double> ratios, fillRatios;
    for (int run = 0; run < runs; ++run) {
        ratios.push_back(open[run] / floor[run]);
        fillRatios.push_back(openFill[run] / floorFill[run]);
    }
    m.ratio = Summarize(ratios).median;
    m.fillRatio = Summarize(fillRatios).median;
    m.open = Summarize(open);
    m.floor = Summarize(floor);
    m.openFill = Summarize(openFill);
    m.floorFill = Summarize(floorFill);
    m.emptying = Summarize(emptying);
    m.parts.insert = Summarize(insert).median;
    m.parts.autosize = Summarize(autosize).median;
    m.parts.redraw = Summarize(redraw).median;
    if (perList) {
        MeasureLists(dialog, path, lists, runs, m.listFill, m.listFloor);
        m.hasLists = true;
    }
    return m;
}

// ---------------------------------------------------------------- whole processes

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

// Milliseconds from CreateProcess until the viewer's dialog is visible and
// its section list holds `sectionRows` rows; negative when it never does.
// An empty path starts the viewer without a file.
static double TimeProcess(const std::wstring& exe, const std::wstring& path, int sectionRows)
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

// ---------------------------------------------------------------- scale images

struct ScaleMember {
    const char* family;
    std::wstring name;
    std::vector<BYTE> (*make)(DWORD, DWORD);
    DWORD a, b;
};

static std::vector<BYTE> MakeExports(DWORD slots, DWORD) { return BuildExportImage(slots); }
static std::vector<BYTE> MakeStrings(DWORD blocks, DWORD) { return BuildStringTableImage(blocks); }
static std::vector<BYTE> MakeVersions(DWORD languages, DWORD) { return BuildVersionImage(languages); }

static const ScaleMember SCALE[] = {
    { "exports", L"exports-1000.dll", MakeExports, 1000, 0 },
    { "exports", L"exports-8000.dll", MakeExports, 8000, 0 },
    { "exports", L"exports-65000.dll", MakeExports, 65000, 0 },
    { "imports", L"imports-10x100.dll", BuildImportImage, 10, 100 },
    { "imports", L"imports-32x100.dll", BuildImportImage, 32, 100 },
    { "imports", L"imports-100x100.dll", BuildImportImage, 100, 100 },
    { "strings", L"strings-256.dll", MakeStrings, 256, 0 },
    { "strings", L"strings-1024.dll", MakeStrings, 1024, 0 },
    { "strings", L"strings-4096.dll", MakeStrings, 4096, 0 },
    { "version", L"version-16.dll", MakeVersions, 16, 0 },
    { "version", L"version-128.dll", MakeVersions, 128, 0 },
    { "version", L"version-1024.dll", MakeVersions, 1024, 0 },
};

// ---------------------------------------------------------------- report

static void PrintMeasurement(const Measurement& m)
{
    Print("%s  (%s bytes, %d runs)\n", Utf8(m.name).c_str(), Grouped(m.bytes).c_str(), m.runs);
    Print("  rows   ");
    for (int i = 0; i < LIST_COUNT; ++i)
        Print(" %d:%s", IDC_LIST_FIRST + i, Grouped(m.rows[i]).c_str());
    Print("  total %s\n", Grouped(m.totalRows).c_str());
    double perSecond = m.open.median > 0 ? m.totalRows / (m.open.median / 1000) : 0;
    Print("  open    median %8.2f ms  min %8.2f  max %8.2f   %s rows/s\n", m.open.median, m.open.min,
          m.open.max, Grouped(static_cast<unsigned long long>(perSecond)).c_str());
    Print("  floor   median %8.2f ms  min %8.2f  max %8.2f\n", m.floor.median, m.floor.min, m.floor.max);
    Print("  open / floor %.2f%s   (median of the runs' ratios; of the medians %.2f, of the minimums %.2f)\n",
          m.ratio, m.ratio > 1.25 ? " (above 1.25)" : "", m.open.median / m.floor.median,
          m.open.min / m.floor.min);
    Print("    of which emptying the previous rows %.2f ms; into empty lists: open %.2f, floor %.2f"
          " (rows %.2f, auto-size %.2f, redraw %.2f), open / floor %.2f\n",
          m.emptying.median, m.openFill.median, m.floorFill.median, m.parts.insert, m.parts.autosize,
          m.parts.redraw, m.fillRatio);
    if (m.hasLists) {
        Print("    per list, filler alone / its rows alone (ms):");
        for (int i = 0; i < LIST_COUNT; ++i)
            Print("  %d: %.2f/%.2f", IDC_LIST_FIRST + i, m.listFill[i], m.listFloor[i]);
        Print("\n");
    }
    if (m.hasProcess) {
        Print("  process to filled window  median %8.2f ms  min %8.2f  max %8.2f\n", m.process.median,
              m.process.min, m.process.max);
    }
}

static void PrintFamily(const char* family, const std::vector<Measurement>& members)
{
    const Measurement& small = members.front();
    const Measurement& large = members.back();
    double rowRatio = static_cast<double>(large.totalRows) / small.totalRows;
    double openRatio = large.open.median / small.open.median;
    double fillRatio = large.openFill.median / small.openFill.median;
    double floorRatio = large.floor.median / small.floor.median;
    double floorFillRatio = large.floorFill.median / small.floorFill.median;
    Print("family %-8s rows %7s -> %7s  row ratio %6.2f | into empty lists: open %6.2f (%.2f of the row ratio)"
          " floor %6.2f | with emptying: open %6.2f floor %6.2f%s\n",
          family, Grouped(small.totalRows).c_str(), Grouped(large.totalRows).c_str(), rowRatio, fillRatio,
          fillRatio / rowRatio, floorFillRatio, openRatio, floorRatio,
          fillRatio > 1.2 * rowRatio ? "   (more than linear)" : "");
}

static void WriteTsv(FILE* out, const Measurement& m)
{
    fprintf(out, "%s\t%llu\t%d\t%.3f\t%.3f\t%.3f\t%.3f\t%.3f\t%.3f\n", Utf8(m.name).c_str(), m.bytes,
            m.totalRows, m.open.median, m.open.min, m.open.max, m.floor.median, m.ratio,
            m.hasProcess ? m.process.median : -1.0);
}

int wmain(int argc, wchar_t** argv)
{
    int runs = 7;
    bool scale = true, files = true, perList = false;
    std::wstring processExe, tsvPath;
    std::string family;
    std::vector<std::wstring> paths;
    for (int i = 1; i < argc; ++i) {
        std::wstring a = argv[i];
        bool more = i + 1 < argc;
        if (a == L"--runs" && more) runs = _wtoi(argv[++i]);
        else if (a == L"--no-scale") scale = false;
        else if (a == L"--lists") perList = true;
        else if (a == L"--only-scale") files = false;
        else if (a == L"--process" && more) processExe = argv[++i];
        else if (a == L"--tsv" && more) tsvPath = argv[++i];
        else if (a == L"--family" && more) family = Utf8(argv[++i]);
        else if (a.size() > 1 && a[0] == L'-' && a[1] == L'-') {
            fprintf(stderr, "usage: bench_open [--runs N] [--lists] [--no-scale] [--only-scale] [--process MODVIEW_EXE]"
                            " [--tsv FILE] [--family exports|imports|strings|version] [FILE...]\n");
            return 2;
        } else paths.push_back(a);
    }
    if (runs < 1)
        runs = 1;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    TicksPerMs = static_cast<double>(frequency.QuadPart) / 1000;

    INITCOMMONCONTROLSEX controls = { sizeof controls, ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES };
    InitCommonControlsEx(&controls);
    HWND dialog = CreateDialogParamW(GetModuleHandleW(NULL), MAKEINTRESOURCEW(IDD_MAIN), NULL, MainDialogProc, 0);
    if (!dialog) {
        fprintf(stderr, "bench_open: cannot create the dialog\n");
        return 2;
    }
    ShowWindow(dialog, SW_HIDE);
    PumpMessages();

    FILE* tsv = tsvPath.empty() ? NULL : _wfopen(tsvPath.c_str(), L"w");
    Print("bench_open: at least %d runs each (more for short files); times are medians of the runs\n\n", runs);

    if (files && !processExe.empty() && !paths.empty()) {
        // What every process pays before it opens anything: starting it and its empty dialog.
        std::vector<double> samples;
        for (int run = 0; run < runs; ++run) {
            double t = TimeProcess(processExe, L"", 0);
            if (t >= 0)
                samples.push_back(t);
        }
        if (!samples.empty()) {
            Stats empty = Summarize(samples);
            Print("process without a file, start to visible dialog  median %8.2f ms  min %8.2f  max %8.2f\n\n",
                  empty.median, empty.min, empty.max);
        }
    }
    if (files) {
        for (const std::wstring& path : paths) {
            Measurement m = MeasureFile(dialog, path, BaseName(path), runs, perList);
            if (!processExe.empty()) {
                std::vector<double> samples;
                for (int run = 0; run < runs; ++run) {
                    double t = TimeProcess(processExe, path, m.rows[IDC_LIST_SECTIONS - IDC_LIST_FIRST]);
                    if (t >= 0)
                        samples.push_back(t);
                }
                if (!samples.empty()) {
                    m.hasProcess = true;
                    m.process = Summarize(samples);
                }
            }
            PrintMeasurement(m);
            if (tsv)
                WriteTsv(tsv, m);
        }
    }

    if (scale) {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        std::wstring folder = std::wstring(temp) + L"modview-bench";
        CreateDirectoryW(folder.c_str(), NULL);
        std::vector<std::pair<const char*, std::vector<Measurement>>> families;
        for (const ScaleMember& member : SCALE) {
            if (!family.empty() && family != member.family)
                continue;
            std::wstring path = folder + L"\\" + member.name;
            if (!WriteFileBytes(path, member.make(member.a, member.b))) {
                fprintf(stderr, "bench_open: cannot write %s\n", Utf8(path).c_str());
                return 2;
            }
            Measurement m = MeasureFile(dialog, path, member.name, runs, perList);
            PrintMeasurement(m);
            if (families.empty() || lstrcmpA(families.back().first, member.family) != 0)
                families.push_back(std::make_pair(member.family, std::vector<Measurement>()));
            families.back().second.push_back(m);
        }
        Print("\nlargest / smallest of each family (linear growth: open time ratio near the row ratio)\n");
        for (const auto& family : families)
            PrintFamily(family.first, family.second);
    }
    if (tsv)
        fclose(tsv);
    DestroyWindow(dialog);
    return 0;
}
