// Drives a viewer running as a separate process, the way a person or another
// program sees it: its window, its lists and tabs read from outside.
#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "viewer_dialog.h"

struct RemoteViewer {
    PROCESS_INFORMATION process;
    HWND dialog;
};

// Full path of a file beside the test executable (e.g. L"modview.exe").
std::wstring BesideTests(const std::wstring& name);

// Starts `exe` with `arguments` (appended after the quoted program path) and
// waits up to `timeoutMs` for its main dialog. False if it never shows one.
bool StartViewer(const std::wstring& exe, const std::wstring& arguments, RemoteViewer* viewer,
                 DWORD timeoutMs = 15000);
// The visible top-level dialog of process `pid`, or null.
HWND FindProcessDialog(DWORD pid);
// Every visible viewer dialog of another process than this one.
std::vector<HWND> OtherViewerDialogs();
// Waits up to `timeoutMs` for a viewer dialog of a process not in `known`
// (nor this one); null if none shows.
HWND WaitForNewViewer(const std::vector<DWORD>& known, DWORD timeoutMs = 15000);
// Opens the process that shows `dialog`, so it can be read and closed like one
// started by StartViewer.
bool AttachViewer(HWND dialog, RemoteViewer* viewer);
// Sends IDCANCEL (as Esc would) and waits for the process; returns its exit
// code, or STILL_ACTIVE when it did not end in time.
DWORD CloseViewer(RemoteViewer* viewer, DWORD timeoutMs = 10000);
// Waits for the process to end by itself; returns its exit code or STILL_ACTIVE.
DWORD WaitViewer(RemoteViewer* viewer, DWORD timeoutMs = 10000);

std::wstring RemoteWindowText(HWND window);
int RemoteRowCount(HWND list);
std::wstring RemoteCellText(HANDLE process, HWND list, int row, int column);
LPARAM RemoteRowMarker(HANDLE process, HWND list, int row);
std::vector<ListRow> RemoteReadRows(HANDLE process, HWND list);
// The bounds of a row in the list's client coordinates.
RECT RemoteItemRect(HANDLE process, HWND list, int row);
std::wstring RemoteTabCaption(HANDLE process, HWND tabs, int index);
// Column caption through the list's header control.
std::wstring RemoteColumnCaption(HANDLE process, HWND list, int column);

// Has the viewer's process call LoadLibraryW(name) on a thread of its own, as
// any load on demand there would; true if a module of that name is then loaded.
bool RemoteLoadLibrary(HANDLE process, const std::wstring& name);

// A real left double-click at a screen position: the cursor moves there and
// the input goes to whatever window lies under it.
void DoubleClickAt(POINT screen);
