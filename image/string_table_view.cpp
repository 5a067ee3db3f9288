#include "views.h"

void ShowStringTables(HWND, const ImageView*)
{
}

