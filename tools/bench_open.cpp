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
#include <stdio.h>
#include <string>
#include <vector>
#include "shell/open_image.h"
#include "image/views.h"
#include "res/resource.h"
#include "tests/pe_builder.h"
#include "tools/bench_floor.h"
#include "tools/bench_lists.h"
#include "tools/bench_scale.h"
#include "tools/bench_text.h"
#include "tools/bench_timing.h"
#include "tools/hidden_dialog.h"

// ---------------------------------------------------------------- one file

static void Open(HWND dialog, const std::wstring& path)
{
    wchar_t buffer[MAX_PATH] = {};
    lstrcpynW(buffer, path.c_str(), MAX_PATH);
    OpenImage(dialog, buffer);
}

struct Measurement {
    std::wstring name;
    unsigned long long bytes;
    int rows[VIEW_COUNT];
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
    double listFill[VIEW_COUNT], listFloor[VIEW_COUNT];
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

// ---------------------------------------------------------------- report

static void PrintMeasurement(const Measurement& m)
{
    Print("%s  (%s bytes, %d runs)\n", Utf8(m.name).c_str(), Grouped(m.bytes).c_str(), m.runs);
    Print("  rows   ");
    for (int i = 0; i < VIEW_COUNT; ++i)
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
        for (int i = 0; i < VIEW_COUNT; ++i)
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
    StartClock();

    HWND dialog = CreateHiddenDialog();
    if (!dialog) {
        fprintf(stderr, "bench_open: cannot create the dialog\n");
        return 2;
    }
    PumpMessages();

    FILE* tsv = tsvPath.empty() ? NULL : _wfopen(tsvPath.c_str(), L"w");
    Print("bench_open: at least %d runs each (more for short files); times are medians of the runs\n\n", runs);

    if (files && !processExe.empty() && !paths.empty()) {
        // What every process pays before it opens anything: starting it and its empty dialog.
        Stats empty;
        if (TimeProcesses(processExe, L"", 0, runs, &empty)) {
            Print("process without a file, start to visible dialog  median %8.2f ms  min %8.2f  max %8.2f\n\n",
                  empty.median, empty.min, empty.max);
        }
    }
    if (files) {
        for (const std::wstring& path : paths) {
            Measurement m = MeasureFile(dialog, path, BaseName(path), runs, perList);
            if (!processExe.empty())
                m.hasProcess = TimeProcesses(processExe, path, m.rows[IDC_LIST_SECTIONS - IDC_LIST_FIRST], runs,
                                             &m.process);
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
        for (int i = 0; i < SCALE_COUNT; ++i) {
            const ScaleMember& member = SCALE[i];
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
