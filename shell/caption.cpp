#include "caption.h"

static const int CAPTION_UNITS = 512;
static const wchar_t CAPTION_PROP[] = L"modview.caption";

// The parts in the order they are shown.
enum CaptionPart { PART_OWN, PART_VERDICT, PART_NOTE, PART_COUNT };

struct CaptionParts {
    wchar_t text[PART_COUNT][CAPTION_UNITS];
};

static CaptionParts* PartsOf(HWND dialog)
{
    return static_cast<CaptionParts*>(GetPropW(dialog, CAPTION_PROP));
}

void AttachCaption(HWND dialog)
{
    CaptionParts* parts = static_cast<CaptionParts*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(CaptionParts)));
    if (!parts)
        return;
    GetWindowTextW(dialog, parts->text[PART_OWN], CAPTION_UNITS);
    SetPropW(dialog, CAPTION_PROP, parts);
}

void DetachCaption(HWND dialog)
{
    CaptionParts* parts = PartsOf(dialog);
    if (!parts)
        return;
    RemovePropW(dialog, CAPTION_PROP);
    HeapFree(GetProcessHeap(), 0, parts);
}

static void SetPart(HWND dialog, CaptionPart part, const wchar_t* text)
{
    CaptionParts* parts = PartsOf(dialog);
    if (!parts)
        return;
    lstrcpynW(parts->text[part], text, CAPTION_UNITS);
    wchar_t caption[PART_COUNT * CAPTION_UNITS] = L"";
    for (int p = 0; p < PART_COUNT; ++p)
        lstrcatW(caption, parts->text[p]);
    SetWindowTextW(dialog, caption);
}

void SetCaptionVerdict(HWND dialog, const wchar_t* verdict)
{
    SetPart(dialog, PART_VERDICT, verdict);
}

void SetCaptionNote(HWND dialog, const wchar_t* note)
{
    SetPart(dialog, PART_NOTE, note);
}
