#include "views.h"

void ShowSections(HWND, HMODULE, const ImageView*)
{
}

