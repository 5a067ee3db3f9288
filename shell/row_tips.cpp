#include "row_tips.h"
#include <commctrl.h>

static const wchar_t LIST_PROC_PROP[] = L"modview.tips.proc";
static const wchar_t TOOLTIP_PROP[] = L"modview.tips.tooltip";
static const wchar_t ROW_PROP[] = L"modview.tips.row";   // the row + 1
// Wide enough for a path; a tip breaks at its line ends.
static const int TIP_WIDTH = 640;

int TippedRow(HWND list)
{
    return static_cast<int>(reinterpret_cast<INT_PTR>(GetPropW(list, ROW_PROP))) - 1;
}

// The list's own procedure, with its mouse moves also shown to the tooltip.
static LRESULT CALLBACK TippedListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam)
{
    WNDPROC proc = reinterpret_cast<WNDPROC>(GetPropW(list, LIST_PROC_PROP));
    HWND tooltip = static_cast<HWND>(GetPropW(list, TOOLTIP_PROP));
    if (message == WM_MOUSEMOVE && tooltip) {
        LVHITTESTINFO hit = {};
        hit.pt.x = static_cast<short>(LOWORD(lParam));
        hit.pt.y = static_cast<short>(HIWORD(lParam));
        int row = static_cast<int>(CallWindowProcW(proc, list, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
        // A tooltip keeps its text while it shows: on another row it starts anew.
        if (row != TippedRow(list)) {
            SetPropW(list, ROW_PROP, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(row) + 1));
            SendMessageW(tooltip, TTM_POP, 0, 0);
        }
    }
    if (tooltip && ((message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) || message == WM_MOUSELEAVE)) {
        MSG relayed = { list, message, wParam, lParam, static_cast<DWORD>(GetMessageTime()), {} };
        DWORD position = GetMessagePos();
        relayed.pt.x = static_cast<short>(LOWORD(position));
        relayed.pt.y = static_cast<short>(HIWORD(position));
        SendMessageW(tooltip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relayed));
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
        RemovePropW(list, LIST_PROC_PROP);
        RemovePropW(list, TOOLTIP_PROP);
        RemovePropW(list, ROW_PROP);
        if (tooltip)
            DestroyWindow(tooltip);
    }
    return CallWindowProcW(proc, list, message, wParam, lParam);
}

void AddRowTips(HWND dialog, HWND list)
{
    HWND tooltip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, NULL, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, dialog, NULL,
                                   NULL, NULL);
    if (!tooltip)
        return;
    TTTOOLINFOW tool = {};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND;
    tool.hwnd = dialog;
    tool.uId = reinterpret_cast<UINT_PTR>(list);
    tool.lpszText = LPSTR_TEXTCALLBACKW;
    SendMessageW(tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    SendMessageW(tooltip, TTM_SETMAXTIPWIDTH, 0, TIP_WIDTH);
    SetPropW(list, TOOLTIP_PROP, tooltip);
    SetPropW(list, LIST_PROC_PROP, reinterpret_cast<HANDLE>(GetWindowLongPtrW(list, GWLP_WNDPROC)));
    SetWindowLongPtrW(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TippedListProc));
}
