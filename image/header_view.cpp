#include "views.h"

void ShowHeaderSummary(HWND, HMODULE, const ImageView*)
{
}

