// The benchmark's clock and statistics, and the timing of whole viewer
// processes from start to a filled window.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

// Reads the performance counter's frequency; call once before NowMs.
void StartClock();
// Milliseconds on the performance counter.
double NowMs();

struct Stats {
    double median, min, max;
};

Stats Summarize(std::vector<double> samples);

// Processes pending messages of this thread.
void PumpMessages();

// Milliseconds from CreateProcess until the viewer's dialog is visible and
// its section list holds `sectionRows` rows; negative when it never does.
// An empty path starts the viewer without a file.
double TimeProcess(const std::wstring& exe, const std::wstring& path, int sectionRows);
// TimeProcess `runs` times; false when no run got as far as the filled window.
bool TimeProcesses(const std::wstring& exe, const std::wstring& path, int sectionRows, int runs, Stats* stats);
