// One list at a time (bench_open --lists): each view's filler alone on the
// mapped file against inserting its captured rows alone.
#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "image/views.h"
#include "res/resource.h"
#include "tools/bench_floor.h"

// Per list: the median time of its filler alone on the mapped file, and of
// inserting its captured rows alone, both into the emptied list with redraw off.
void MeasureLists(HWND dialog, const std::wstring& path, const std::vector<CapturedList>& lists, int runs,
                  double fill[VIEW_COUNT], double floor[VIEW_COUNT]);
