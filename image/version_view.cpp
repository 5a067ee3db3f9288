#include "views.h"

void ShowVersionInfo(HWND, HMODULE, const ImageView*)
{
}

