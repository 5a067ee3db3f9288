#include "row_tips.h"
#include <commctrl.h>

// Wide enough for a path; a tip breaks at its line ends.
static const int TIP_WIDTH = 640;

// Kept in the list's user data: the list reads it for every message it gets,
// and a window property costs a trip to the window server under Wine.
struct RowTips {
    WNDPROC proc;    // the list's own procedure
    HWND tooltip;
    int row;         // the row the cursor rests on, -1 for none
};

static RowTips* TipsOf(HWND list)
{
    return reinterpret_cast<RowTips*>(GetWindowLongPtrW(list, GWLP_USERDATA));
}

int TippedRow(HWND list)
{
    RowTips* tips = TipsOf(list);
    return tips ? tips->row : -1;
}

// The list's own procedure, with its mouse moves also shown to the tooltip.
static LRESULT CALLBACK TippedListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam)
{
    RowTips* tips = TipsOf(list);
    WNDPROC proc = tips->proc;
    if (message == WM_MOUSEMOVE) {
        LVHITTESTINFO hit = {};
        hit.pt.x = static_cast<short>(LOWORD(lParam));
        hit.pt.y = static_cast<short>(HIWORD(lParam));
        int row = static_cast<int>(CallWindowProcW(proc, list, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
        // A tooltip keeps its text while it shows: on another row it starts anew.
        if (row != tips->row) {
            tips->row = row;
            SendMessageW(tips->tooltip, TTM_POP, 0, 0);
        }
    }
    if ((message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) || message == WM_MOUSELEAVE) {
        MSG relayed = { list, message, wParam, lParam, static_cast<DWORD>(GetMessageTime()), {} };
        DWORD position = GetMessagePos();
        relayed.pt.x = static_cast<short>(LOWORD(position));
        relayed.pt.y = static_cast<short>(HIWORD(position));
        SendMessageW(tips->tooltip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relayed));
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
        SetWindowLongPtrW(list, GWLP_USERDATA, 0);
        DestroyWindow(tips->tooltip);
        HeapFree(GetProcessHeap(), 0, tips);
    }
    return CallWindowProcW(proc, list, message, wParam, lParam);
}

void AddRowTips(HWND dialog, HWND list)
{
    RowTips* tips = static_cast<RowTips*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(RowTips)));
    if (!tips)
        return;
    tips->row = -1;
    tips->tooltip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, NULL, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, dialog, NULL,
                                    NULL, NULL);
    if (!tips->tooltip) {
        HeapFree(GetProcessHeap(), 0, tips);
        return;
    }
    TTTOOLINFOW tool = {};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND;
    tool.hwnd = dialog;
    tool.uId = reinterpret_cast<UINT_PTR>(list);
    tool.lpszText = LPSTR_TEXTCALLBACKW;
    SendMessageW(tips->tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    SendMessageW(tips->tooltip, TTM_SETMAXTIPWIDTH, 0, TIP_WIDTH);
    tips->proc = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(list, GWLP_WNDPROC));
    SetWindowLongPtrW(list, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(tips));
    SetWindowLongPtrW(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TippedListProc));
}
