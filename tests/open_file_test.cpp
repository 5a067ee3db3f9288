// Opening a file other than by the command line: the Browse dialog, dropped
// files, and double-clicks that start a second viewer on an imported library.
#include <windows.h>
#include <gtest/gtest.h>
#include <commctrl.h>
#include <commdlg.h>
#include <dlgs.h>
#include <shlobj.h>
#include <string>
#include <vector>
#include "image/image_view.h"
#include "shell/list_sink.h"
#include "module_builder.h"
#include "pe_builder.h"
#include "remote_viewer.h"
#include "res/resource.h"
#include "shell/open_file.h"
#include "viewer_dialog.h"

// The filter's entries as the open-file dialog walks them: strings up to the
// first empty one. Stops with a failure if the walk would leave the buffer.
static std::vector<std::wstring> FilterEntries(const wchar_t* filter, int units)
{
    std::vector<std::wstring> entries;
    int at = 0;
    while (at < units && filter[at]) {
        int end = at;
        while (end < units && filter[end])
            ++end;
        if (end == units) {
            ADD_FAILURE() << "filter runs off its buffer";
            break;
        }
        entries.push_back(std::wstring(filter + at, end - at));
        at = end + 1;
    }
    EXPECT_LT(at, units) << "no closing double NUL";
    return entries;
}

TEST(OpenFilter, BarsBecomeNulsAndTheListEndsInTwoNulsWhateverTheStringsLength)
{
    wchar_t filter[FILTER_UNITS + 1];
    BuildOpenFilter(GetModuleHandleW(NULL), filter);
    std::wstring description = L"程式 / 程式庫", patterns = L"*.exe;*.dll;*.cpl;*.scr;*.mui;*.ocx";
    std::wstring expected = description + L'\0' + patterns + L'\0' + L'\0';
    EXPECT_EQ(expected, std::wstring(filter, expected.size()));

    // The filter comes from the module it is given (a companion's own text).
    HMODULE companion = LoadLibraryExW(BesideTests(L"companion_full.mui").c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(companion != NULL);
    BuildOpenFilter(companion, filter);
    EXPECT_EQ((std::vector<std::wstring>{ L"T53", L"*.exe" }), FilterEntries(filter, FILTER_UNITS + 1));
    FreeLibrary(companion);

    // A translation longer than the buffer is cut, and still closed by two NULs.
    HMODULE longText = LoadLibraryExW(BesideTests(L"filter_long.mui").c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(longText != NULL);
    for (int i = 0; i <= FILTER_UNITS; ++i)
        filter[i] = L'#';
    BuildOpenFilter(longText, filter);
    EXPECT_EQ((std::vector<std::wstring>{ L"Programme und Bibliotheken (alle Arten)", L"*.exe;*.dll;*.cpl;*.scr" }),
              FilterEntries(filter, FILTER_UNITS + 1));
    EXPECT_EQ(0, filter[FILTER_UNITS - 1]);
    EXPECT_EQ(0, filter[FILTER_UNITS]);
    FreeLibrary(longText);
}

// A dialog in the top-left corner of the screen, whose current directory and
// path box the tests read.
class OpenFileTest : public ViewerDialogTest {
protected:
    void SetUp() override
    {
        ViewerDialogTest::SetUp();
        SetWindowPos(dialog, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE);
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        SetCurrentDirectoryW(temp);
        for (HWND other : OtherViewerDialogs()) {
            DWORD pid = 0;
            GetWindowThreadProcessId(other, &pid);
            knownViewers.push_back(pid);
        }
    }
    void TearDown() override
    {
        // Viewers that a test started and did not close.
        while (HWND left = WaitForNewViewer(knownViewers, 0)) {
            RemoteViewer viewer;
            AttachViewer(left, &viewer);
            CloseViewer(&viewer);
            knownViewers.push_back(viewer.process.dwProcessId);
        }
        ViewerDialogTest::TearDown();
    }

    // A fresh folder with the given files, each a small DLL.
    std::wstring FolderWith(const std::wstring& name, const std::vector<std::wstring>& files)
    {
        std::wstring folder = ScratchPath(name);
        CreateDirectoryW(folder.c_str(), NULL);
        PeBuilder dll;
        dll.file.Characteristics |= IMAGE_FILE_DLL;
        dll.AddDataSection();
        for (const std::wstring& file : files)
            EXPECT_TRUE(WriteFileBytes(folder + L"\\" + file, dll.Build()));
        return folder;
    }

    std::wstring PathBox()
    {
        wchar_t text[1024] = {};
        GetDlgItemTextW(dialog, IDC_PATH, text, 1024);
        return text;
    }

    std::wstring CurrentDirectory()
    {
        wchar_t dir[MAX_PATH] = {};
        GetCurrentDirectoryW(MAX_PATH, dir);
        return dir;
    }

    std::vector<DWORD> knownViewers;
};

// --- Browse ---------------------------------------------------------------

// What the test does in the open-file dialog, and what it saw there. It runs
// on a thread of its own while the dialog's modal loop runs on the test's.
struct FileDialogScript {
    HWND owner;
    DWORD ownerThread;
    std::wstring typedName;
    bool expectRefusal;   // the dialog should refuse the name with a message box
    // Observations.
    bool found;
    bool refused;
    bool closed;
    int filterCount;
    std::wstring filterText;
    bool readOnlyBoxVisible;
};

struct WindowSearch {
    HWND owner;
    HWND found;
};

static BOOL CALLBACK FindOwnedDialog(HWND window, LPARAM param)
{
    WindowSearch* search = reinterpret_cast<WindowSearch*>(param);
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    if (lstrcmpW(className, L"#32770") == 0 && IsWindowVisible(window) && GetWindow(window, GW_OWNER) == search->owner) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

static HWND WaitForOwnedDialog(DWORD thread, HWND owner, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    do {
        WindowSearch search = { owner, NULL };
        EnumThreadWindows(thread, FindOwnedDialog, reinterpret_cast<LPARAM>(&search));
        if (search.found)
            return search.found;
        Sleep(50);
    } while (GetTickCount() - start < timeoutMs);
    return NULL;
}

static bool WaitGone(HWND window, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (IsWindow(window) && IsWindowVisible(window)) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(50);
    }
    return true;
}

static void PressButton(HWND dialog, int id)
{
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

static DWORD WINAPI DriveFileDialog(void* param)
{
    FileDialogScript* script = static_cast<FileDialogScript*>(param);
    HWND files = WaitForOwnedDialog(script->ownerThread, script->owner, 15000);
    if (!files)
        return 0;
    script->found = true;
    HWND filterBox = GetDlgItem(files, cmb1);
    script->filterCount = static_cast<int>(SendMessageW(filterBox, CB_GETCOUNT, 0, 0));
    wchar_t text[256] = {};
    if (script->filterCount > 0)
        SendMessageW(filterBox, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(text));
    script->filterText = text;
    script->readOnlyBoxVisible = IsWindowVisible(GetDlgItem(files, chx1)) != FALSE;

    // The file name box: a combo box in the Explorer-style dialog, an edit in older ones.
    HWND name = GetDlgItem(files, cmb13);
    if (!name)
        name = GetDlgItem(files, edt1);
    if (script->typedName.empty()) {
        PressButton(files, IDCANCEL);
    } else {
        SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(script->typedName.c_str()));
        PressButton(files, IDOK);
        if (script->expectRefusal) {
            HWND message = WaitForOwnedDialog(script->ownerThread, files, 5000);
            if (message) {
                script->refused = true;
                PressButton(message, IDOK);
                WaitGone(message, 5000);
            }
            PressButton(files, IDCANCEL);
        }
    }
    script->closed = WaitGone(files, 10000);
    if (!script->closed)
        PressButton(files, IDCANCEL);   // the test fails, but does not hang
    return 0;
}

// Presses Browse and plays `script` in the dialog it shows.
static void Browse(HWND dialog, FileDialogScript* script)
{
    script->owner = dialog;
    script->ownerThread = GetCurrentThreadId();
    script->found = script->refused = script->closed = script->readOnlyBoxVisible = false;
    script->filterCount = 0;
    HANDLE driver = CreateThread(NULL, 0, DriveFileDialog, script, 0, NULL);
    // Only once the driver has given up (or finished) can Browse have been
    // missed; the dialog's modal loop runs inside this call.
    SendMessageW(dialog, WM_COMMAND, IDC_BROWSE, 0);
    WaitForSingleObject(driver, 30000);
    CloseHandle(driver);
}

TEST_F(OpenFileTest, BrowseOpensTheConfirmedFileAndNothingOnCancelOrRefusal)
{
    std::wstring folder = FolderWith(L"browse here", { L"chosen.dll" });
    std::wstring chosen = folder + L"\\chosen.dll";

    FileDialogScript confirm = {};
    confirm.typedName = chosen;
    Browse(dialog, &confirm);
    ASSERT_TRUE(confirm.found) << "no open-file dialog owned by the viewer";
    EXPECT_TRUE(confirm.closed);
    EXPECT_EQ(1, confirm.filterCount);
    EXPECT_EQ(L"程式 / 程式庫", confirm.filterText);
    EXPECT_FALSE(confirm.readOnlyBoxVisible);
    EXPECT_EQ(chosen, PathBox());
    EXPECT_EQ(folder, CurrentDirectory());

    // Cancelled: the lists and the path box stay as they were.
    InsertRow(ViewerList(dialog, IDC_LIST_SECTIONS), 0, L"kept", ROW_PLAIN);
    FileDialogScript cancel = {};
    Browse(dialog, &cancel);
    ASSERT_TRUE(cancel.found);
    EXPECT_TRUE(cancel.closed);
    EXPECT_EQ(chosen, PathBox());
    EXPECT_EQ(L"kept", CellText(ViewerList(dialog, IDC_LIST_SECTIONS), 0, 0));   // no OpenImage emptied the list

    // A file that does not exist is refused by the dialog itself.
    FileDialogScript missing = {};
    missing.typedName = folder + L"\\no such file.dll";
    missing.expectRefusal = true;
    Browse(dialog, &missing);
    ASSERT_TRUE(missing.found);
    EXPECT_TRUE(missing.refused);
    EXPECT_TRUE(missing.closed);
    EXPECT_EQ(chosen, PathBox());
    EXPECT_EQ(L"kept", CellText(ViewerList(dialog, IDC_LIST_SECTIONS), 0, 0));   // no OpenImage emptied the list
}

// --- Drop -----------------------------------------------------------------

// A drop block as the shell hands it over: DROPFILES, then the wide paths,
// each NUL-terminated, and one more NUL.
static HDROP MakeDrop(const std::vector<std::wstring>& paths)
{
    size_t units = 1;
    for (const std::wstring& path : paths)
        units += path.size() + 1;
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + units * sizeof(wchar_t));
    DROPFILES* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->pt.x = drop->pt.y = 20;
    drop->fNC = FALSE;
    drop->fWide = TRUE;
    wchar_t* out = reinterpret_cast<wchar_t*>(drop + 1);
    for (const std::wstring& path : paths) {
        CopyMemory(out, path.c_str(), (path.size() + 1) * sizeof(wchar_t));
        out += path.size() + 1;
    }
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

static bool Released(HDROP drop)
{
    return GlobalSize(drop) == 0;
}

TEST_F(OpenFileTest, DropOpensOnlyTheFirstFileAndReleasesTheDrop)
{
    std::wstring first = FolderWith(L"dropped first", { L"one.dll" }) + L"\\one.dll";
    std::wstring secondFolder = FolderWith(L"dropped second", { L"two.dll" });
    HDROP drop = MakeDrop({ first, secondFolder + L"\\two.dll" });
    ASSERT_EQ(2u, DragQueryFileW(drop, 0xFFFFFFFF, NULL, 0));
    SendMessageW(dialog, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
    EXPECT_TRUE(Released(drop));
    EXPECT_EQ(first, PathBox());
    EXPECT_EQ(ScratchPath(L"dropped first"), CurrentDirectory());

    // A first path too long for the buffer opens nothing, not a cut path and
    // not the second file.
    InsertRow(ViewerList(dialog, IDC_LIST_SECTIONS), 0, L"kept", ROW_PLAIN);
    std::wstring tooLong = ScratchPath(std::wstring(MAX_PATH, L'x') + L".dll");
    drop = MakeDrop({ tooLong, secondFolder + L"\\two.dll" });
    SendMessageW(dialog, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
    EXPECT_TRUE(Released(drop));
    EXPECT_EQ(first, PathBox());
    EXPECT_EQ(L"kept", CellText(ViewerList(dialog, IDC_LIST_SECTIONS), 0, 0));   // no OpenImage emptied the list
}

// --- Double-click on a library ----------------------------------------------

struct Row {
    RowMarker marker;
    const wchar_t* name;   // column 1: a library on a header row, a function otherwise
};

static void FillList(HWND list, const std::vector<Row>& rows)
{
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    for (size_t i = 0; i < rows.size(); ++i) {
        int row = static_cast<int>(i);
        InsertRow(list, row, rows[i].marker == ROW_HEADER ? NULL : L"0001", rows[i].marker);
        SetCell(list, row, 1, rows[i].name);
    }
}

// Moves the cursor to `screen` and waits until the system agrees: Wine
// takes a cursor position unchanged for a while from the X server, which
// on a busy machine may not have seen the move yet.
static bool PlaceCursor(POINT screen)
{
    for (DWORD start = GetTickCount(); GetTickCount() - start < 5000;) {
        SetCursorPos(screen.x, screen.y);
        Sleep(150);   // past the time after which the position is asked of the X server
        POINT now = {};
        GetCursorPos(&now);
        if (now.x == screen.x && now.y == screen.y)
            return true;
    }
    return false;
}

// Puts the cursor on `row` (or below the last row when `row` is the count)
// and sends the list's double-click notification, as a real double-click
// would after the control saw it.
static void DoubleClickRow(HWND dialog, int listId, int row)
{
    HWND list = GetDlgItem(dialog, listId);
    RECT bounds = {};
    bounds.left = LVIR_BOUNDS;
    int count = RowCount(list);
    SendMessageW(list, LVM_GETITEMRECT, row < count ? row : count - 1, reinterpret_cast<LPARAM>(&bounds));
    int height = bounds.bottom - bounds.top;
    POINT point = { bounds.left + 20, (bounds.top + bounds.bottom) / 2 + (row < count ? 0 : 2 * height) };
    POINT screen = point;
    ClientToScreen(list, &screen);
    EXPECT_TRUE(PlaceCursor(screen)) << "cursor did not move to row " << row;

    NMITEMACTIVATE click = {};
    click.hdr.hwndFrom = list;
    click.hdr.idFrom = listId;
    click.hdr.code = NM_DBLCLK;
    click.iItem = row < count ? row : -1;
    click.ptAction = point;
    SendMessageW(dialog, WM_NOTIFY, listId, reinterpret_cast<LPARAM>(&click));
}

class OpenDependencyTest : public OpenFileTest {
protected:
    // The viewed program imports liba, libb and libd and delay-loads libc, all
    // beside it: a double-click opens what the loader would load for it.
    void SetUp() override
    {
        OpenFileTest::SetUp();
        folder = FolderWith(L"libraries beside", { L"liba.dll", L"libb.dll", L"libc.dll", L"libd.dll" });
        std::wstring program = folder + L"\\program.exe";
        ASSERT_TRUE(WriteFileBytes(program, BuildModule(false, { { "liba.dll", { "FirstA" }, false },
                                                                  { "libb.dll", { "FirstB" }, false },
                                                                  { "libd.dll", { "Function" }, false },
                                                                  { "libc.dll", { "Delayed" }, true } },
                                                        {}, true)));
        OpenInViewer(dialog, program);
    }

    // The path box of the next viewer that shows up, which is then closed;
    // empty when none shows within `timeoutMs`.
    std::wstring NextViewerPath(DWORD timeoutMs = 30000)
    {
        HWND shown = WaitForNewViewer(knownViewers, timeoutMs);
        if (!shown)
            return L"";
        RemoteViewer viewer;
        AttachViewer(shown, &viewer);
        std::wstring path = RemoteWindowText(GetDlgItem(shown, IDC_PATH));
        knownViewers.push_back(viewer.process.dwProcessId);
        EXPECT_EQ(0u, CloseViewer(&viewer));
        return path;
    }

    std::wstring folder;
};

TEST_F(OpenDependencyTest, OpensTheLibraryOfTheClickedRowsGroup)
{
    HWND imports = ViewerList(dialog, IDC_LIST_IMPORTS);
    FillList(imports, { { ROW_HEADER, L"liba.dll" }, { ROW_PLAIN, L"FirstA" }, { ROW_PLAIN, L"SecondA" },
                        { ROW_HEADER, L"libb.dll" }, { ROW_PLAIN, L"FirstB" }, { ROW_PLAIN, L"SecondB" } });
    DoubleClickRow(dialog, IDC_LIST_IMPORTS, 5);
    EXPECT_EQ(folder + L"\\libb.dll", NextViewerPath());
    DoubleClickRow(dialog, IDC_LIST_IMPORTS, 1);
    EXPECT_EQ(folder + L"\\liba.dll", NextViewerPath());
    DoubleClickRow(dialog, IDC_LIST_IMPORTS, 3);   // the header row itself
    EXPECT_EQ(folder + L"\\libb.dll", NextViewerPath());

    FillList(ViewerList(dialog, IDC_LIST_DELAY), { { ROW_HEADER, L"libc.dll" }, { ROW_PLAIN, L"Delayed" } });
    DoubleClickRow(dialog, IDC_LIST_DELAY, 1);
    EXPECT_EQ(folder + L"\\libc.dll", NextViewerPath());
}

TEST_F(OpenDependencyTest, StartsNothingOutsideTheImportListsOrWhenTheLibraryIsNotFound)
{
    // Lists 22 to 26 ignore double-clicks, even on rows shaped like a library's.
    for (int id = IDC_LIST_EXPORTS; id <= IDC_LIST_LAST; ++id) {
        FillList(ViewerList(dialog, id), { { ROW_HEADER, L"libd.dll" }, { ROW_PLAIN, L"Function" } });
        DoubleClickRow(dialog, id, 0);
        DoubleClickRow(dialog, id, 1);
    }
    HWND imports = ViewerList(dialog, IDC_LIST_IMPORTS);
    // An API set this system does not know finds nothing, and the program
    // does not import it either. The search stops at the clicked row's own header even when that library
    // is not found, so liba.dll above it is never reached.
    FillList(imports, { { ROW_HEADER, L"liba.dll" }, { ROW_PLAIN, L"FirstA" },
                        { ROW_HEADER, L"api-ms-win-made-up-l1-1-0.dll" }, { ROW_PLAIN, L"Sleep" },
                        { ROW_HEADER, L"" }, { ROW_PLAIN, L"Nameless" } });
    DoubleClickRow(dialog, IDC_LIST_IMPORTS, 3);
    DoubleClickRow(dialog, IDC_LIST_IMPORTS, 2);
    DoubleClickRow(dialog, IDC_LIST_IMPORTS, 5);   // under a header without a name
    DoubleClickRow(dialog, IDC_LIST_IMPORTS, 6);   // below the last row
    // Rows above the first header belong to no library, whatever they hold.
    FillList(imports, { { ROW_PLAIN, L"libd.dll" }, { ROW_PLAIN, L"libd.dll" }, { ROW_HEADER, L"liba.dll" } });
    DoubleClickRow(dialog, IDC_LIST_IMPORTS, 1);

    // The one double-click that opens something: the first viewer to show up
    // must be this one, and no other follows.
    FillList(ViewerList(dialog, IDC_LIST_DELAY), { { ROW_HEADER, L"libc.dll" }, { ROW_PLAIN, L"Delayed" } });
    DoubleClickRow(dialog, IDC_LIST_DELAY, 1);
    EXPECT_EQ(folder + L"\\libc.dll", NextViewerPath());
    EXPECT_EQ(L"", NextViewerPath(1500));
}

static std::wstring Wide(const std::string& ascii)
{
    return std::wstring(ascii.begin(), ascii.end());
}

// Writes `bytes` to `path`, which may be longer than MAX_PATH.
static bool CreateLongFile(const std::wstring& path, const std::vector<BYTE>& bytes)
{
    HANDLE file = CreateFileW((L"\\\\?\\" + path).c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, NULL);
    CloseHandle(file);
    return true;
}

TEST_F(OpenDependencyTest, AFullPathThatDoesNotFitTheBufferStartsNothing)
{
    // A folder deep enough that a short library name makes the full path 259
    // units (fits with its terminator) or 260 (does not); the program there
    // imports both.
    std::wstring deep = ScratchPath(L"deep");
    CreateDirectoryW(deep.c_str(), NULL);
    while (deep.size() < 220) {
        deep += L"\\" + std::wstring(30, L'd');
        CreateDirectoryW(deep.c_str(), NULL);
    }
    size_t nameUnits = 259 - deep.size() - 1;
    std::string fits = std::string(nameUnits - 4, 'f') + ".dll";
    std::string cut = std::string(nameUnits - 3, 'c') + ".dll";
    std::vector<BYTE> library = BuildModule(false, {}, { { "Function", "" } });
    ASSERT_TRUE(CreateLongFile(deep + L"\\" + Wide(fits), library));
    ASSERT_TRUE(CreateLongFile(deep + L"\\" + Wide(cut), library));
    ASSERT_EQ(259u, (deep + L"\\" + Wide(fits)).size());
    std::wstring program = deep + L"\\p.exe";
    ASSERT_TRUE(WriteFileBytes(program, BuildModule(false, { { cut, { "Function" }, false },
                                                              { fits, { "Function" }, false } },
                                                    {}, true)));
    OpenInViewer(dialog, program);

    FillList(ViewerList(dialog, IDC_LIST_IMPORTS), { { ROW_HEADER, Wide(cut).c_str() }, { ROW_PLAIN, L"Function" } });
    DoubleClickRow(dialog, IDC_LIST_IMPORTS, 1);
    FillList(ViewerList(dialog, IDC_LIST_IMPORTS), { { ROW_HEADER, Wide(fits).c_str() }, { ROW_PLAIN, L"Function" } });
    DoubleClickRow(dialog, IDC_LIST_IMPORTS, 1);
    EXPECT_EQ(deep + L"\\" + Wide(fits), NextViewerPath());
    EXPECT_EQ(L"", NextViewerPath(1500));
}

// --- Walking to a dependency, end to end -------------------------------------

// A PE32 program importing two functions by name from `library`.
static std::vector<BYTE> ProgramImporting(const char* library)
{
    PeBuilder program;
    program.AddDataSection();
    const DWORD descriptors = 0x1000, name = 0x1080, lookup = 0x1100, addresses = 0x1200, byName = 0x1300;
    IMAGE_IMPORT_DESCRIPTOR descriptor = {};
    descriptor.OriginalFirstThunk = lookup;
    descriptor.Name = name;
    descriptor.FirstThunk = addresses;
    program.Put(descriptors, &descriptor, sizeof descriptor);   // followed by a zeroed one
    program.PutString(name, library);
    const char* functions[] = { "FirstFunction", "SecondFunction" };
    for (DWORD i = 0; i < 2; ++i) {
        DWORD entry = byName + i * 0x20;
        program.PutWord(entry, static_cast<WORD>(i + 1));   // hint
        program.PutString(entry + 2, functions[i]);
        program.PutDword(lookup + i * 4, entry);
        program.PutDword(addresses + i * 4, entry);
    }
    program.SetDirectory(IMAGE_DIRECTORY_ENTRY_IMPORT, descriptors, 2 * sizeof(IMAGE_IMPORT_DESCRIPTOR));
    return program.Build();
}

static std::wstring ProcessImage(HANDLE process)
{
    wchar_t path[MAX_PATH] = {};
    DWORD units = MAX_PATH;
    QueryFullProcessImageNameW(process, 0, path, &units);
    return path;
}

// Starts a viewer on `program` and double-clicks row `row` of its import
// list with the real mouse, once the row is on top under the cursor and the
// viewer takes input. False, with a failure, when the viewer does not show,
// has no such row or cannot be clicked; `first` is then closed.
static bool DoubleClickImport(const std::wstring& program, int row, RemoteViewer* first)
{
    if (!StartViewer(BesideTests(L"modview.exe"), L"\"" + program + L"\"", first)) {
        ADD_FAILURE() << "the first viewer did not show";
        return false;
    }
    HWND imports = GetDlgItem(first->dialog, IDC_LIST_IMPORTS);
    if (RemoteRowCount(imports) <= row) {
        ADD_FAILURE() << "the first viewer shows no import row " << row;
        CloseViewer(first);
        return false;
    }
    RECT bounds = RemoteItemRect(first->process.hProcess, imports, row);
    POINT point = { bounds.left + 20, (bounds.top + bounds.bottom) / 2 };
    ClientToScreen(imports, &point);
    // On a busy machine the window can show before it takes input, or lie
    // under another one for a while: a click then goes elsewhere.
    bool ready = false;
    for (DWORD start = GetTickCount(); !ready && GetTickCount() - start < 10000;) {
        WaitForInputIdle(first->process.hProcess, 1000);
        SetForegroundWindow(first->dialog);
        ready = PlaceCursor(point) && WindowFromPoint(point) == imports && GetForegroundWindow() == first->dialog;
        if (!ready)
            Sleep(100);
    }
    if (!ready) {
        ADD_FAILURE() << "the first viewer's list is not under the cursor";
        CloseViewer(first);
        return false;
    }
    // Both clicks go in one call, stamped with one time: they are always
    // inside the double-click time, however long the viewer takes to read them.
    DoubleClickAt(point);
    return true;
}

// As DoubleClickImport, and attaches `second` to the viewer that shows up.
static bool WalkToImport(const std::wstring& program, int row, RemoteViewer* first, RemoteViewer* second)
{
    if (!DoubleClickImport(program, row, first))
        return false;
    HWND shown = WaitForNewViewer({ first->process.dwProcessId }, 30000);
    if (!shown || !AttachViewer(shown, second)) {
        ADD_FAILURE() << "no second viewer showed up";
        CloseViewer(first);
        return false;
    }
    return true;
}

TEST(DependencyWalk, DoubleClickedLibraryBesideTheFileOpensInASecondViewer)
{
    // The blanks in the folder's name show that the path reaches the second
    // viewer as one quoted argument.
    std::wstring folder = ScratchPath(L"walk folder with blanks");
    CreateDirectoryW(folder.c_str(), NULL);
    std::wstring program = folder + L"\\walker.exe", library = folder + L"\\modview_walk_dep.dll";
    ASSERT_TRUE(WriteFileBytes(program, ProgramImporting("modview_walk_dep.dll")));
    PeBuilder dll;
    dll.file.Characteristics |= IMAGE_FILE_DLL;
    dll.AddDataSection();
    ASSERT_TRUE(WriteFileBytes(library, dll.Build()));
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    SetCurrentDirectoryW(temp);   // the first viewer starts elsewhere than the library's folder

    RemoteViewer first, second;
    if (!WalkToImport(program, 2, &first, &second))
        return;
    std::vector<ListRow> rows = RemoteReadRows(first.process.hProcess, GetDlgItem(first.dialog, IDC_LIST_IMPORTS));
    ASSERT_EQ(3u, rows.size());
    EXPECT_EQ(ROW_HEADER, rows[0].marker);
    EXPECT_EQ(L"modview_walk_dep.dll", rows[0].cells[1]);
    EXPECT_EQ(L"SecondFunction", rows[2].cells[1]);
    EXPECT_EQ(library, RemoteWindowText(GetDlgItem(second.dialog, IDC_PATH)));
    EXPECT_EQ(0, lstrcmpiW(BesideTests(L"modview.exe").c_str(), ProcessImage(second.process.hProcess).c_str()));
    EXPECT_EQ(0u, CloseViewer(&second));
    EXPECT_EQ(0u, CloseViewer(&first));
}

// True when the file at `path` is a PE32+ image, false for PE32 (and for
// anything unreadable, which the caller's other checks then fail on).
static bool IsPe32Plus(const std::wstring& path)
{
    BYTE head[4096] = {};
    DWORD read = 0;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    ReadFile(file, head, sizeof head, &read, NULL);
    CloseHandle(file);
    ImageView view;
    return InitImageView(&view, head, read) && view.is64;
}

// A program leads to the system libraries of its own machine, whichever
// build views it: a PE32 program importing kernel32.dll to the PE32 kernel32
// (SysWOW64 on 64-bit Windows), and one importing an API set to the set's
// host in the same way. Where the system has no 32-bit half (a 64-bit Wine
// without its 32-bit loader), the loader would find nothing: the library's
// row is red, the caption says so, and a double-click opens nothing.
TEST(DependencyWalk, ASystemLibraryOrAnApiSetsHostOpensInTheProgramsOwnBitness)
{
    wchar_t system[MAX_PATH] = {};
    if (GetSystemWow64DirectoryW(system, MAX_PATH) == 0)
        GetSystemDirectoryW(system, MAX_PATH);
    struct Walk {
        const char* imported;
        const wchar_t* opened;
    } walks[] = {
        { "KERNEL32.dll", L"kernel32.dll" },
        { "api-ms-win-core-synch-l1-2-0.dll", L"kernelbase.dll" },
    };
    for (const Walk& walk : walks) {
        SCOPED_TRACE(walk.imported);
        std::wstring library = std::wstring(system) + L"\\" + walk.opened;
        bool present = GetFileAttributesW(library.c_str()) != INVALID_FILE_ATTRIBUTES;
        if (present) {
            ASSERT_FALSE(IsPe32Plus(library)) << "a 32-bit system library";
        }
        std::wstring folder = ScratchPath(L"walk to the system");
        CreateDirectoryW(folder.c_str(), NULL);
        std::wstring program = folder + L"\\program32.exe";
        ASSERT_TRUE(WriteFileBytes(program, ProgramImporting(walk.imported)));

        RemoteViewer first, second;
        if (!present) {
            if (!DoubleClickImport(program, 1, &first))
                return;
            EXPECT_TRUE(WaitForNewViewer({ first.process.dwProcessId }, 3000) == NULL);
            std::wstring caption = RemoteWindowText(first.dialog);
            EXPECT_NE(std::wstring::npos, caption.find(L"缺少 1 個程式庫")) << caption.c_str();
            EXPECT_EQ(0u, CloseViewer(&first));
            continue;
        }
        if (!WalkToImport(program, 1, &first, &second))
            return;
        EXPECT_EQ(0, lstrcmpiW(library.c_str(), RemoteWindowText(GetDlgItem(second.dialog, IDC_PATH)).c_str()));
        // What the second viewer shows is that file, read here in-process.
        HWND expected = CreateViewerDialog();
        ASSERT_TRUE(expected != NULL);
        OpenInViewer(expected, library);
        for (int id : { IDC_LIST_SUMMARY, IDC_LIST_SECTIONS }) {
            std::vector<ListRow> shown = RemoteReadRows(second.process.hProcess, GetDlgItem(second.dialog, id));
            std::vector<ListRow> rows = ReadRows(ViewerList(expected, id));
            EXPECT_FALSE(rows.empty()) << "list " << id;
            ASSERT_EQ(rows.size(), shown.size()) << "list " << id;
            for (size_t i = 0; i < rows.size(); ++i)
                EXPECT_EQ(rows[i].cells, shown[i].cells) << "list " << id << ", row " << i;
        }
        DestroyWindow(expected);
        EXPECT_EQ(0u, CloseViewer(&second));
        EXPECT_EQ(0u, CloseViewer(&first));
    }
}
