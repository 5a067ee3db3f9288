#include "views.h"

void ShowImports(HWND, const ImageView*)
{
}

void ShowDelayImports(HWND, const ImageView*)
{
}

