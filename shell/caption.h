// The main dialog's caption: the template's own, then the dependency walk's
// verdict while something needed at start is missing, then a passing note
// (a search that found nothing). Each part is set on its own; the caption
// always shows the three together.
#pragma once
#include <windows.h>

// Keeps the dialog's caption as the template gave it; called as the dialog
// is created and destroyed.
void AttachCaption(HWND dialog);
void DetachCaption(HWND dialog);
// Sets one part ("" for none) and shows the caption anew.
void SetCaptionVerdict(HWND dialog, const wchar_t* verdict);
void SetCaptionNote(HWND dialog, const wchar_t* note);
