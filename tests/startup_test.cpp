// The viewer as a separate process: start-up, the resource module and its
// companion file, the DarkMode.dll hook, the command line and closing.
#include <windows.h>
#include <gtest/gtest.h>
#include <commctrl.h>
#include "image/image_view.h"
#include "shell/list_sink.h"
#include "pe_builder.h"
#include "remote_viewer.h"
#include "image/views.h"
#include "res/resource.h"
#include "shell/resource_module.h"

// A fresh folder holding a copy of modview.exe and, optionally, companions.
static std::wstring ViewerFolder(const std::wstring& name)
{
    std::wstring folder = ScratchPath(name);
    CreateDirectoryW(folder.c_str(), NULL);
    DeleteFileW((folder + L"\\modview.exe.mui").c_str());
    DeleteFileW((folder + L"\\DarkMode.dll").c_str());
    EXPECT_TRUE(CopyFileW(BesideTests(L"modview.exe").c_str(), (folder + L"\\modview.exe").c_str(), FALSE));
    return folder;
}

static std::vector<std::wstring> TabCaptions(const RemoteViewer& viewer)
{
    std::vector<std::wstring> captions;
    HWND tabs = GetDlgItem(viewer.dialog, IDC_TABS);
    for (int i = 0; i < VIEW_COUNT; ++i)
        captions.push_back(RemoteTabCaption(viewer.process.hProcess, tabs, i));
    return captions;
}

// The lists on screen, by id.
static std::vector<int> ShownLists(HWND dialog)
{
    std::vector<int> shown;
    for (int id = IDC_LIST_FIRST; id <= IDC_LIST_LAST; ++id) {
        if (IsWindowVisible(GetDlgItem(dialog, id)))
            shown.push_back(id);
    }
    return shown;
}

TEST(Startup, OpensTheQuotedPathWithBlanksAndClosesWithExitCodeZero)
{
    std::wstring folder = ScratchPath(L"start with blanks");
    CreateDirectoryW(folder.c_str(), NULL);
    std::wstring file = folder + L"\\my image.exe";
    ASSERT_TRUE(CopyFileW(BesideTests(L"modview.exe").c_str(), file.c_str(), FALSE));

    RemoteViewer viewer;
    ASSERT_TRUE(StartViewer(BesideTests(L"modview.exe"), L"\"" + file + L"\" ignored-second-argument", &viewer));
    EXPECT_EQ(file, RemoteWindowText(GetDlgItem(viewer.dialog, IDC_PATH)));
    std::vector<std::wstring> captions = TabCaptions(viewer);
    const wchar_t* expected[] = { L"匯入", L"延遲匯入", L"匯出", L"節段", L"進階", L"版本", L"句子" };
    for (int i = 0; i < VIEW_COUNT; ++i)
        EXPECT_EQ(expected[i], captions[i]);
    EXPECT_EQ(L"程式 / 程式庫 檢視程式", RemoteWindowText(viewer.dialog));
    EXPECT_EQ(L"號碼", RemoteColumnCaption(viewer.process.hProcess, GetDlgItem(viewer.dialog, IDC_LIST_IMPORTS), 0));
    EXPECT_EQ(0u, CloseViewer(&viewer));
}

// A path too long for the viewer's buffer opens nothing, as no path does:
// cut short, it would name another file.
TEST(Startup, WithoutArgumentOrWithATooLongPathShowsEmptyPathAndOnlyTheSummaryLabels)
{
    for (const std::wstring& argument : { std::wstring(), L"\"" + ScratchPath(std::wstring(300, L'x')) + L"\"" }) {
        RemoteViewer viewer;
        ASSERT_TRUE(StartViewer(BesideTests(L"modview.exe"), argument, &viewer));
        EXPECT_EQ(L"", RemoteWindowText(GetDlgItem(viewer.dialog, IDC_PATH)));
        for (int id = IDC_LIST_FIRST; id <= IDC_LIST_LAST; ++id) {
            HWND list = GetDlgItem(viewer.dialog, id);
            if (id != IDC_LIST_SUMMARY) {
                EXPECT_EQ(0, RemoteRowCount(list)) << id;
                continue;
            }
            std::vector<ListRow> rows = RemoteReadRows(viewer.process.hProcess, list);
            ASSERT_EQ(14u, rows.size());
            EXPECT_EQ(L"檔案類型", rows[0].cells[0]);
            EXPECT_EQ(L"記憶組保留 / 佔用", rows[13].cells[0]);
            for (const ListRow& row : rows)
                EXPECT_EQ(L"", row.cells[1]);
        }
        EXPECT_EQ(0u, CloseViewer(&viewer));
    }
}

// Only the first tab's list is shown at start, whether the file named on the
// command line filled the lists, was refused or was never named; the right
// arrow on the tabs then shows each following tab's list alone.
TEST(Startup, OnlyTheSelectedTabsListIsShown)
{
    std::wstring shortFile = ScratchPath(L"hundred bytes.dll");
    std::vector<BYTE> bytes(100, 0);
    bytes[0] = 'M';
    bytes[1] = 'Z';
    ASSERT_TRUE(WriteFileBytes(shortFile, bytes));
    const std::wstring arguments[] = { L"", L"\"" + ScratchPath(L"no such file.dll") + L"\"", L"\"" + shortFile + L"\"",
                                       L"\"" + BesideTests(L"modview.exe") + L"\"" };
    for (const std::wstring& argument : arguments) {
        RemoteViewer viewer;
        ASSERT_TRUE(StartViewer(BesideTests(L"modview.exe"), argument, &viewer));
        EXPECT_EQ(std::vector<int>{ IDC_LIST_IMPORTS }, ShownLists(viewer.dialog)) << "argument " << argument;
        HWND tabs = GetDlgItem(viewer.dialog, IDC_TABS);
        for (int tab = 1; tab < VIEW_COUNT; ++tab) {
            SendMessageW(tabs, WM_KEYDOWN, VK_RIGHT, 0);
            EXPECT_EQ(std::vector<int>{ IDC_LIST_FIRST + tab }, ShownLists(viewer.dialog)) << "argument " << argument;
        }
        EXPECT_EQ(0u, CloseViewer(&viewer));
    }
}

TEST(Startup, EscCloses_EnterDoesNothing)
{
    RemoteViewer viewer;
    ASSERT_TRUE(StartViewer(BesideTests(L"modview.exe"), L"", &viewer));
    HWND list = GetDlgItem(viewer.dialog, IDC_LIST_IMPORTS);
    PostMessageW(list, WM_KEYDOWN, VK_RETURN, 0);
    PostMessageW(list, WM_KEYUP, VK_RETURN, 0);
    EXPECT_EQ(STILL_ACTIVE, WaitViewer(&viewer, 1500));
    EXPECT_TRUE(IsWindowVisible(viewer.dialog));
    PostMessageW(list, WM_KEYDOWN, VK_ESCAPE, 0);
    PostMessageW(list, WM_KEYUP, VK_ESCAPE, 0);
    EXPECT_EQ(0u, WaitViewer(&viewer, 10000));
    viewer.dialog = NULL;
    CloseViewer(&viewer);
}

TEST(Startup, CompanionFileReplacesEveryTextWithoutFallback)
{
    std::wstring folder = ViewerFolder(L"companion-full");
    ASSERT_TRUE(CopyFileW(BesideTests(L"companion_full.mui").c_str(), (folder + L"\\modview.exe.mui").c_str(), FALSE));
    RemoteViewer viewer;
    ASSERT_TRUE(StartViewer(folder + L"\\modview.exe", L"", &viewer));
    EXPECT_EQ(L"Companion viewer", RemoteWindowText(viewer.dialog));
    EXPECT_EQ(L"&Browse", RemoteWindowText(GetDlgItem(viewer.dialog, IDC_BROWSE)));
    std::vector<std::wstring> captions = TabCaptions(viewer);
    for (int i = 0; i < VIEW_COUNT; ++i)
        EXPECT_EQ(L"T" + std::to_wstring(IDS_TAB_FIRST + i), captions[i]);
    std::vector<ListRow> summary = RemoteReadRows(viewer.process.hProcess, GetDlgItem(viewer.dialog, IDC_LIST_SUMMARY));
    ASSERT_EQ(14u, summary.size());
    EXPECT_EQ(L"T16", summary[0].cells[0]);
    EXPECT_EQ(0u, CloseViewer(&viewer));

    // A companion that lacks a string leaves that text empty: no fall-back.
    std::wstring partial = ViewerFolder(L"companion-missing");
    ASSERT_TRUE(CopyFileW(BesideTests(L"companion_missing.mui").c_str(), (partial + L"\\modview.exe.mui").c_str(), FALSE));
    ASSERT_TRUE(StartViewer(partial + L"\\modview.exe", L"", &viewer));
    captions = TabCaptions(viewer);
    EXPECT_EQ(L"T7", captions[5]);
    EXPECT_EQ(L"", captions[6]);
    EXPECT_EQ(0u, CloseViewer(&viewer));
}

static std::vector<std::wstring> SummaryLabels(const RemoteViewer& viewer)
{
    std::vector<std::wstring> labels;
    for (const ListRow& row : RemoteReadRows(viewer.process.hProcess, GetDlgItem(viewer.dialog, IDC_LIST_SUMMARY)))
        labels.push_back(row.cells.empty() ? L"" : row.cells[0]);
    return labels;
}

TEST(Startup, EnglishCompanionSwitchesTheViewerToEnglishAndBack)
{
    std::wstring folder = ViewerFolder(L"english");
    std::wstring companion = folder + L"\\modview.exe.mui";
    ASSERT_TRUE(CopyFileW(BesideTests(L"lang\\en\\modview.exe.mui").c_str(), companion.c_str(), FALSE));
    std::wstring self = L"\"" + folder + L"\\modview.exe\"";
    RemoteViewer viewer;
    ASSERT_TRUE(StartViewer(folder + L"\\modview.exe", self, &viewer));
    EXPECT_EQ(L"Program / Library Viewer", RemoteWindowText(viewer.dialog));
    EXPECT_EQ(L"&Browse", RemoteWindowText(GetDlgItem(viewer.dialog, IDC_BROWSE)));
    const wchar_t* tabs[] = { L"Imports", L"Delayed", L"Exports", L"Sections", L"Advanced", L"Version", L"Strings" };
    std::vector<std::wstring> captions = TabCaptions(viewer);
    for (int i = 0; i < VIEW_COUNT; ++i)
        EXPECT_EQ(tabs[i], captions[i]);
    // The seven captions fit side by side: no scroll arrows.
    HWND arrows = FindWindowExW(GetDlgItem(viewer.dialog, IDC_TABS), NULL, UPDOWN_CLASSW, NULL);
    EXPECT_TRUE(arrows == NULL || !IsWindowVisible(arrows));
    HANDLE process = viewer.process.hProcess;
    EXPECT_EQ(L"Number", RemoteColumnCaption(process, GetDlgItem(viewer.dialog, IDC_LIST_IMPORTS), 0));
    EXPECT_EQ(L"Name", RemoteColumnCaption(process, GetDlgItem(viewer.dialog, IDC_LIST_EXPORTS), 1));
    HWND sections = GetDlgItem(viewer.dialog, IDC_LIST_SECTIONS);
    const wchar_t* sectionColumns[] = { L"Name", L"Size", L"Raw size", L"Attributes" };
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(sectionColumns[i], RemoteColumnCaption(process, sections, i));
    const wchar_t* labels[] = { L"File type", L"Program type", L"Date", L"Time", L"Size", L"Base address",
                                L"Section alignment", L"File alignment", L"System version", L"Image version",
                                L"Subsystem version", L"Linker version", L"Stack res./commit",
                                L"Heap res./commit" };
    EXPECT_EQ(std::vector<std::wstring>(labels, labels + 14), SummaryLabels(viewer));
    // The texts the views take from the module while the viewer reads itself.
    HWND summary = GetDlgItem(viewer.dialog, IDC_LIST_SUMMARY);
    EXPECT_EQ(L"Executable", RemoteCellText(process, summary, 0, 1));
    EXPECT_EQ(L"Windowed program", RemoteCellText(process, summary, 1, 1));
    EXPECT_EQ(L"Total", RemoteCellText(process, sections, RemoteRowCount(sections) - 1, 0));
    std::vector<ListRow> version = RemoteReadRows(process, GetDlgItem(viewer.dialog, IDC_LIST_VERSION));
    ASSERT_GE(version.size(), 2u);
    EXPECT_EQ(L"Language", version[0].cells[0]);
    EXPECT_EQ(L"Company", version[1].cells[0]);
    EXPECT_EQ(0u, CloseViewer(&viewer));

    // The same copy without the companion is Chinese again.
    ASSERT_TRUE(DeleteFileW(companion.c_str()));
    ASSERT_TRUE(StartViewer(folder + L"\\modview.exe", self, &viewer));
    EXPECT_EQ(L"程式 / 程式庫 檢視程式", RemoteWindowText(viewer.dialog));
    EXPECT_EQ(L"瀏覽(&B)", RemoteWindowText(GetDlgItem(viewer.dialog, IDC_BROWSE)));
    EXPECT_EQ(L"匯入", TabCaptions(viewer)[0]);
    EXPECT_EQ(L"句子", TabCaptions(viewer)[6]);
    EXPECT_EQ(L"號碼", RemoteColumnCaption(viewer.process.hProcess, GetDlgItem(viewer.dialog, IDC_LIST_IMPORTS), 0));
    std::vector<std::wstring> chinese = SummaryLabels(viewer);
    ASSERT_EQ(14u, chinese.size());
    EXPECT_EQ(L"檔案類型", chinese[0]);
    EXPECT_EQ(L"記憶組保留 / 佔用", chinese[13]);
    EXPECT_EQ(L"執行檔 ", RemoteCellText(viewer.process.hProcess, GetDlgItem(viewer.dialog, IDC_LIST_SUMMARY), 0, 1));
    EXPECT_EQ(0u, CloseViewer(&viewer));
}

TEST(Startup, CompanionWithoutDialogEndsTheProcessWithZero)
{
    std::wstring folder = ViewerFolder(L"companion-nodialog");
    ASSERT_TRUE(CopyFileW(BesideTests(L"companion_nodialog.mui").c_str(), (folder + L"\\modview.exe.mui").c_str(), FALSE));
    RemoteViewer viewer;
    EXPECT_FALSE(StartViewer(folder + L"\\modview.exe", L"", &viewer, 5000));
    EXPECT_EQ(0u, WaitViewer(&viewer, 10000));
    viewer.dialog = NULL;
    CloseViewer(&viewer);
}

static std::string ReadLog(const std::wstring& path)
{
    std::string text;
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
    if (f == INVALID_HANDLE_VALUE)
        return text;
    char buffer[4096];
    DWORD read = 0;
    if (ReadFile(f, buffer, sizeof buffer, &read, NULL))
        text.assign(buffer, read);
    CloseHandle(f);
    return text;
}

TEST(Startup, DarkModeHookRunsOnceBeforeTheDialog)
{
    std::wstring folder = ViewerFolder(L"darkmode");
    ASSERT_TRUE(CopyFileW(BesideTests(L"hook\\DarkMode.dll").c_str(), (folder + L"\\DarkMode.dll").c_str(), FALSE));
    std::wstring log = folder + L"\\hook.log";
    DeleteFileW(log.c_str());
    SetEnvironmentVariableW(L"MODVIEW_DARKMODE_LOG", log.c_str());

    // Opening a file calls for the resource module again; the hook must not run again.
    RemoteViewer viewer;
    bool started = StartViewer(folder + L"\\modview.exe", L"\"" + folder + L"\\modview.exe\"", &viewer);
    SetEnvironmentVariableW(L"MODVIEW_DARKMODE_LOG", NULL);
    ASSERT_TRUE(started);
    EXPECT_EQ(0u, CloseViewer(&viewer));
    EXPECT_EQ("called dialog=0\n", ReadLog(log));

    // The console companion beside the same library never loads it: it
    // themes no window, it creates none.
    std::wstring companion = folder + L"\\modview-cli.exe";
    ASSERT_TRUE(CopyFileW(BesideTests(L"modview-cli.exe").c_str(), companion.c_str(), FALSE));
    std::wstring command = L"\"" + companion + L"\" --view sections \"" + companion + L"\"";
    std::vector<wchar_t> line(command.begin(), command.end());
    line.push_back(L'\0');
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    SetEnvironmentVariableW(L"MODVIEW_DARKMODE_LOG", log.c_str());
    ASSERT_TRUE(CreateProcessW(companion.c_str(), line.data(), NULL, NULL, FALSE, CREATE_NO_WINDOW, NULL, NULL,
                               &startup, &process));
    SetEnvironmentVariableW(L"MODVIEW_DARKMODE_LOG", NULL);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process.hProcess, 30000));
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    EXPECT_EQ("called dialog=0\n", ReadLog(log));

    // Without the library the viewer starts all the same.
    DeleteFileW((folder + L"\\DarkMode.dll").c_str());
    ASSERT_TRUE(StartViewer(folder + L"\\modview.exe", L"", &viewer));
    EXPECT_EQ(L"匯入", TabCaptions(viewer)[0]);
    EXPECT_EQ(0u, CloseViewer(&viewer));
}

// A library of the hook's name in the folder the viewer starts in, which is
// also the folder of the file it opens, is never loaded: not for the hook, and
// not by any later load by name in the viewer's process.
TEST(Startup, DarkModeLibraryInTheCurrentDirectoryIsNeverLoaded)
{
    std::wstring folder = ViewerFolder(L"darkmode-elsewhere");
    std::wstring planted = ScratchPath(L"darkmode-planted");
    CreateDirectoryW(planted.c_str(), NULL);
    ASSERT_TRUE(CopyFileW(BesideTests(L"hook\\DarkMode.dll").c_str(), (planted + L"\\DarkMode.dll").c_str(), FALSE));
    std::wstring log = planted + L"\\hook.log";
    DeleteFileW(log.c_str());
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    SetCurrentDirectoryW(planted.c_str());
    SetEnvironmentVariableW(L"MODVIEW_DARKMODE_LOG", log.c_str());

    RemoteViewer viewer;
    bool started = StartViewer(folder + L"\\modview.exe", L"\"" + planted + L"\\DarkMode.dll\"", &viewer);
    SetEnvironmentVariableW(L"MODVIEW_DARKMODE_LOG", NULL);
    SetCurrentDirectoryW(previous);
    ASSERT_TRUE(started);
    EXPECT_FALSE(RemoteLoadLibrary(viewer.process.hProcess, L"DarkMode.dll"));
    EXPECT_EQ(0u, CloseViewer(&viewer));
    EXPECT_EQ("", ReadLog(log));
}

// The library is looked for at start-up only: one that turns up beside the
// executable later is never loaded, so its hook cannot run after the dialog
// exists.
TEST(Startup, DarkModeLibraryArrivingLaterIsNotLoaded)
{
    std::wstring library = BesideTests(L"DarkMode.dll");
    DeleteFileW(library.c_str());
    GetResourceModule();   // the first call, as at start-up: no library to be found
    ASSERT_TRUE(CopyFileW(BesideTests(L"hook\\DarkMode.dll").c_str(), library.c_str(), FALSE));
    std::wstring log = ScratchPath(L"darkmode-late.log");
    DeleteFileW(log.c_str());
    SetEnvironmentVariableW(L"MODVIEW_DARKMODE_LOG", log.c_str());

    HMODULE resources = GetResourceModule();   // as for every opened file

    SetEnvironmentVariableW(L"MODVIEW_DARKMODE_LOG", NULL);
    HMODULE hook = GetModuleHandleW(L"DarkMode.dll");
    if (hook)
        FreeLibrary(hook);   // else the file stays, for every later viewer started from here
    DeleteFileW(library.c_str());
    EXPECT_EQ(GetModuleHandleW(NULL), resources);
    EXPECT_EQ(NULL, hook);
    EXPECT_EQ("", ReadLog(log));
}

// The executable is linked statically, so it runs without any runtime beside
// it: it imports only libraries of the system, and from comctl32 nothing but
// ordinal 17, the common-control initialisation (its import library is made
// from a .def of our own, per architecture); the console companion, which
// creates no window, nothing from comctl32. Its header asks for ASLR (high
// entropy on x64; relocations kept, without which nothing moves), DEP, and 4
// GB of address space for x86 on 64-bit Windows.
TEST(Startup, ExecutablesImportOnlySystemLibrariesAndComctl32ByOrdinal17AndAreHardened)
{
    // The viewer and its console companion, both shipped.
    for (const wchar_t* exe : { L"modview.exe", L"modview-cli.exe" }) {
        SCOPED_TRACE(exe);
        BYTE head[4096];   // the headers
        DWORD read = 0;
        HANDLE file = CreateFileW(BesideTests(exe).c_str(), GENERIC_READ, FILE_SHARE_READ, NULL,
                                  OPEN_EXISTING, 0, NULL);
        ASSERT_NE(INVALID_HANDLE_VALUE, file);
        ReadFile(file, head, sizeof head, &read, NULL);
        CloseHandle(file);
        ImageView view;
        ASSERT_TRUE(InitImageView(&view, head, read));
        WORD flags = NtWord(&view, NT_OPTIONAL(&view, DllCharacteristics));
        EXPECT_TRUE(flags & IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE);
        EXPECT_TRUE(flags & IMAGE_DLLCHARACTERISTICS_NX_COMPAT);
        EXPECT_EQ(view.is64, (flags & IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA) != 0);
        EXPECT_TRUE(NtWord(&view, NT_CHARACTERISTICS) & IMAGE_FILE_LARGE_ADDRESS_AWARE);
        EXPECT_FALSE(NtWord(&view, NT_CHARACTERISTICS) & IMAGE_FILE_RELOCS_STRIPPED);
        EXPECT_NE(0u, DataDirectoryRva(&view, IMAGE_DIRECTORY_ENTRY_BASERELOC));

        HWND dialog = CreateViewerDialog();
        ASSERT_TRUE(dialog != NULL);
        OpenInViewer(dialog, BesideTests(exe));
        std::vector<ListRow> rows = ReadRows(ViewerList(dialog, IDC_LIST_IMPORTS));
        DestroyWindow(dialog);

        const wchar_t* const system[] = { L"kernel32.dll", L"user32.dll", L"gdi32.dll", L"comdlg32.dll",
                                          L"shell32.dll", L"shlwapi.dll", L"comctl32.dll", L"msvcrt.dll",
                                          L"advapi32.dll",    // the stack cookie's random seed
                                          L"crypt32.dll", L"bcrypt.dll", L"wintrust.dll" };   // the companion's signature view
        std::wstring library;
        std::vector<std::wstring> fromComctl32;
        for (const ListRow& row : rows) {
            if (row.marker == ROW_HEADER) {
                library = row.cells[1];
                bool known = false;
                for (const wchar_t* name : system)
                    known = known || lstrcmpiW(library.c_str(), name) == 0;
                EXPECT_TRUE(known) << "imports " << library;
            } else if (lstrcmpiW(library.c_str(), L"comctl32.dll") == 0) {
                fromComctl32.push_back(row.cells[0] + L"|" + row.cells[1]);
            }
        }
        std::vector<std::wstring> expected;
        if (lstrcmpW(exe, L"modview.exe") == 0)
            expected.push_back(L"0011|");
        EXPECT_EQ(expected, fromComctl32);
    }
}
