// The seven view fillers. Each appends rows to its own list, which OpenImage
// has emptied (the header summary only rewrites its value column), and reads
// the file only through the accessors of image_view.h.
#pragma once
#include <windows.h>
#include "image_view.h"

void ShowSections(HWND list, HMODULE resources, const ImageView* view);
// PE32 tables when view->is64 is false, PE32+ tables otherwise.
void ShowImports(HWND list, const ImageView* view);
void ShowDelayImports(HWND list, const ImageView* view);
void ShowExports(HWND list, const ImageView* view);
void ShowHeaderSummary(HWND list, HMODULE resources, const ImageView* view);
void ShowVersionInfo(HWND list, HMODULE resources, const ImageView* view);
void ShowStringTables(HWND list, const ImageView* view);
