#include "views.h"

void ShowExports(HWND, const ImageView*)
{
}

