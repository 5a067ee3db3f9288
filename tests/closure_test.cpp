// The dependency closure over real files under Wine: a program and libraries
// written into a folder of their own, walked with this system's facts.
#include <windows.h>
#include <gtest/gtest.h>
#include <commctrl.h>
#include <map>
#include <string>
#include <vector>
#include "loader/closure.h"
#include "module_builder.h"
#include "pe_builder.h"
#include "remote_viewer.h"
#include "res/resource.h"
#include "shell/dependency_walk.h"
#include "host/system_facts.h"
#include "viewer_dialog.h"

namespace {

// Images of this process's own bitness.
const bool NATIVE = sizeof(void*) == 8;

const char CONTROLS_MANIFEST[] =
    "<assembly xmlns='urn:schemas-microsoft-com:asm.v1' manifestVersion='1.0'><dependency><dependentAssembly>"
    "<assemblyIdentity type='win32' name='Microsoft.Windows.Common-Controls' version='6.0.0.0' "
    "processorArchitecture='*' publicKeyToken='6595b64144ccf1df' language='*'/>"
    "</dependentAssembly></dependency></assembly>";

struct Walked {
    std::map<std::wstring, ClosureLibrary> libraries;   // by name, lower case
    std::vector<std::wstring> missing;                  // "library|function|importer|needed"
    std::vector<std::wstring> found;                    // the file each of Walk's `names` leads to, lower case
    bool missingAtStart;
};

Walked Walk(const std::wstring& root, const std::vector<std::wstring>& names = {})
{
    LoaderFacts facts;
    GatherSystemFacts(&facts, NULL, NULL, false);
    Closure closure;
    Walked walked = {};
    EXPECT_TRUE(BuildClosure(&facts, root.c_str(), &closure));
    for (int i = 1; i < closure.count; ++i) {
        std::wstring name = closure.libraries[i].name;
        CharLowerW(&name[0]);
        EXPECT_EQ(0u, walked.libraries.count(name)) << "listed twice: " << name;
        walked.libraries[name] = closure.libraries[i];
    }
    for (int m = 0; m < closure.missingCount; ++m) {
        const MissingFunction& f = closure.missing[m];
        walked.missing.push_back(std::wstring(closure.libraries[f.library].name) + L"|" +
                                 (f.byOrdinal ? L"#" + std::to_wstring(f.ordinal) : std::wstring(f.name)) + L"|" +
                                 closure.libraries[f.importer].name + (NeededAtStart(&closure, &f) ? L"|1" : L"|0"));
    }
    for (const std::wstring& name : names) {
        int library = FindImport(&closure, name.c_str());
        std::wstring path = library >= 0 ? closure.libraries[library].path : L"";
        std::wstring file = path.substr(path.find_last_of(L'\\') + 1);
        CharLowerW(&file[0]);
        walked.found.push_back(file);
    }
    walked.missingAtStart = MissingAtStart(&closure);
    FreeClosure(&closure);
    return walked;
}

}  // namespace

// A program and libraries beside it, with every way of missing something:
// a library not found, functions missing by name and by ordinal, forwarders
// to nowhere and to a library not found, a library missing two levels down,
// and delay-loaded ones. Returns the folder.
static std::wstring WriteClosureModules()
{
    std::wstring folder = ScratchPath(L"closure");
    CreateDirectoryW(folder.c_str(), NULL);
    auto write = [&](const wchar_t* name, const std::vector<BYTE>& bytes) {
        EXPECT_TRUE(WriteFileBytes(folder + L"\\" + name, bytes));
    };
    write(L"present.dll", BuildModule(NATIVE, {}, { { "Good", "" }, { "Second", "" } }));
    write(L"chain.dll", BuildModule(NATIVE, {}, { { "Mid", "present.Good" } }));
    write(L"fwd.dll", BuildModule(NATIVE, {}, { { "FwdFunc", "chain.Mid" }, { "Nowhere", "nodot" }, { "ToGone", "gone.Thing" },
                                                { "ToLost", "lost.Thing" }, { "ToSet", "api-ms-win-core-synch-l1-2-0.Sleep" } }));
    write(L"dly.dll", BuildModule(NATIVE, { { "fwd.dll", { "ToLost" }, false } }, { { "D", "" } }));
    write(L"cyc1.dll", BuildModule(NATIVE, { { "cyc2.dll", { "B" }, false } }, { { "A", "" } }));
    write(L"cyc2.dll", BuildModule(NATIVE, { { "cyc1.dll", { "A" }, false } }, { { "B", "" } }));
    write(L"mid.dll", BuildModule(NATIVE, { { "gone.dll", { "G" }, false } }, { { "M", "" } }));
    write(L"app.exe", BuildModule(NATIVE, { { "present.dll", { "Good", "#2", "Missing1", "#9" }, false },
                              { "absent.dll", { "X" }, false },
                              { "fwd.dll", { "FwdFunc", "ToSet", "Nowhere", "ToGone" }, false },
                              { "cyc1.dll", { "A" }, false },
                              { "comctl32.dll", { "InitCommonControlsEx" }, false },
                              { "mid.dll", { "M" }, false },
                              { "lazy.dll", { "Y" }, true },
                              { "present.dll", { "Late" }, true },
                              { "dly.dll", { "D" }, true } },
                            {}, true, CONTROLS_MANIFEST));
    return folder;
}

TEST(Closure, MissingLibrariesFunctionsForwardersCyclesAndSideBySide)
{
    std::wstring folder = WriteClosureModules();
    Walked walked = Walk(folder + L"\\app.exe");

    EXPECT_EQ(FOUND_BY_APPLICATION_FOLDER, walked.libraries[L"present.dll"].how);
    EXPECT_TRUE(walked.libraries[L"absent.dll"].needed);
    EXPECT_EQ(NOT_FOUND, walked.libraries[L"absent.dll"].how);
    EXPECT_EQ(NOT_FOUND, walked.libraries[L"lazy.dll"].how);
    EXPECT_FALSE(walked.libraries[L"lazy.dll"].needed);
    // The chain fwd -> chain -> present ends in a function that is there.
    EXPECT_EQ(1u, walked.libraries.count(L"chain.dll"));
    EXPECT_EQ(FOUND_BY_API_SET, walked.libraries[L"api-ms-win-core-synch-l1-2-0.dll"].how);
    EXPECT_EQ(1u, walked.libraries.count(L"cyc2.dll"));
    std::wstring controls = walked.libraries[L"comctl32.dll"].path;
    CharLowerW(&controls[0]);
    EXPECT_EQ(FOUND_BY_SIDE_BY_SIDE, walked.libraries[L"comctl32.dll"].how);
    EXPECT_NE(std::wstring::npos, controls.find(L"winsxs\\")) << controls;
    EXPECT_NE(std::wstring::npos, controls.find(L"common-controls_6595b64144ccf1df_6.0.")) << controls;
    std::vector<std::wstring> missing = {
        L"present.dll|Missing1|app.exe|1", L"present.dll|#9|app.exe|1", L"fwd.dll|Nowhere|app.exe|1",
        L"present.dll|Late|app.exe|0",
    };
    EXPECT_EQ(missing, walked.missing);
    EXPECT_TRUE(walked.missingAtStart);

    // A forwarder's library is needed by whoever binds the forwarded function:
    // gone.dll by the program, lost.dll only by a delay-loaded library.
    EXPECT_TRUE(walked.libraries[L"gone.dll"].needed);
    EXPECT_FALSE(walked.libraries[L"lost.dll"].needed);
    EXPECT_EQ(walked.libraries[L"lost.dll"].path[0], L'\0');
    EXPECT_EQ(-1, walked.libraries[L"present.dll"].lacksNeededBy);

    // Only a delay-loaded library missing: the program still starts.
    auto write = [&](const wchar_t* name, const std::vector<BYTE>& bytes) {
        ASSERT_TRUE(WriteFileBytes(folder + L"\\" + name, bytes));
    };
    write(L"lazy-only.exe", BuildModule(NATIVE, { { "present.dll", { "Good" }, false }, { "lazy.dll", { "Y" }, true } }, {}, true));
    EXPECT_FALSE(Walk(folder + L"\\lazy-only.exe").missingAtStart);

    // Two names of one library: each row leads to it (what a double-click
    // and --resolve open).
    write(L"two-names.exe", BuildModule(NATIVE, { { "present.dll", { "Good" }, false }, { "PRESENT", { "Second" }, false } }, {}, true));
    std::vector<std::wstring> found = { L"present.dll", L"present.dll", L"" };
    EXPECT_EQ(found, Walk(folder + L"\\two-names.exe", { L"present.dll", L"Present", L"absent.dll" }).found);
}

// --- What the viewer shows of it ----------------------------------------------

namespace {

// Pumps the dialog's messages until its dependency walk is complete.
bool WaitForWalk(HWND dialog)
{
    for (DWORD start = GetTickCount(); GetTickCount() - start < 20000; Sleep(5)) {
        PumpMessages();
        if (WalkedClosure(dialog))
            return true;
    }
    return false;
}

// The list as it draws itself, captured through WM_PRINT.
struct Capture {
    std::vector<COLORREF> pixels;
    int width = 0, height = 0;
    COLORREF At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

Capture CaptureList(HWND list)
{
    Capture c;
    RECT client;
    GetClientRect(list, &client);
    c.width = client.right;
    c.height = client.bottom;
    HDC screen = GetDC(list);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, c.width, c.height);
    HGDIOBJ old = SelectObject(dc, bitmap);
    PrintWindow(list, dc, PW_CLIENTONLY);
    c.pixels.resize(static_cast<size_t>(c.width) * c.height);
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x)
            c.pixels[static_cast<size_t>(y) * c.width + x] = GetPixel(dc, x, y);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(list, screen);
    return c;
}

const COLORREF TEAL = RGB(0x00, 0x90, 0x90), RED = RGB(0xC0, 0x00, 0x00), ORANGE = RGB(0xC0, 0x60, 0x00);

// A row's background (right of column 0's text) and whether any pixel of
// its text is the marks' red (on another background than red).
void RowColours(HWND list, const Capture& c, int row, COLORREF* background, bool* redText)
{
    RECT bounds = {};
    bounds.left = LVIR_BOUNDS;
    SendMessageW(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&bounds));
    int y = (bounds.top + bounds.bottom) / 2;
    int column0 = static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, 0, 0));
    *background = c.At(column0 - 4, y);
    *redText = false;
    for (int py = bounds.top; py < bounds.bottom && py < c.height && *background != RED; ++py)
        for (int x = 0; x < c.width && x < bounds.right; ++x)
            *redText = *redText || c.At(x, py) == RED;
}

std::wstring Tip(HWND dialog, int listId, int row)
{
    wchar_t text[1024] = L"";
    if (!DependencyTip(dialog, listId == IDC_LIST_DELAY, row, text, 1024))
        return L"(none)";
    return text;
}

std::wstring Caption(HWND dialog)
{
    wchar_t text[512] = {};
    GetWindowTextW(dialog, text, 512);
    return text;
}

}  // namespace

TEST(DependencyMarks, RowsTipsAndCaptionSayWhatTheLoaderWouldMiss)
{
    std::wstring folder = WriteClosureModules();
    HWND dialog = CreateViewerDialog();
    ASSERT_TRUE(dialog != NULL);
    OpenInViewer(dialog, folder + L"\\app.exe");
    ASSERT_TRUE(WaitForWalk(dialog));
    const COLORREF plain = GetSysColor(COLOR_WINDOW);
    struct Row {
        int list, row;
        COLORREF background;
        bool red;
        const wchar_t* tip;   // null: not checked
    } rows[] = {
        { IDC_LIST_IMPORTS, 0, ORANGE, false, L"程式所在資料夾：" },   // present.dll, lacking its own functions
        { IDC_LIST_IMPORTS, 1, plain, false, L"(none)" },            // Good
        { IDC_LIST_IMPORTS, 2, plain, false, NULL },                 // ordinal 2
        { IDC_LIST_IMPORTS, 3, plain, true, L"present.dll 沒有匯出此函式" },   // Missing1
        { IDC_LIST_IMPORTS, 4, plain, true, NULL },                  // ordinal 9
        { IDC_LIST_IMPORTS, 5, RED, false, L"找不到" },               // absent.dll
        { IDC_LIST_IMPORTS, 6, plain, false, NULL },                 // X, of a library not found
        { IDC_LIST_IMPORTS, 7, ORANGE, false, NULL },                // fwd.dll
        { IDC_LIST_IMPORTS, 8, plain, false, NULL },                 // FwdFunc, forwarded twice to a function that is there
        { IDC_LIST_IMPORTS, 10, plain, true, L"fwd.dll 的轉送無處可去" },     // Nowhere
        { IDC_LIST_IMPORTS, 11, plain, true, L"轉送到 gone.dll.Thing，但它缺失" },   // ToGone
        { IDC_LIST_IMPORTS, 12, TEAL, false, NULL },                 // cyc1.dll
        { IDC_LIST_IMPORTS, 14, TEAL, false, L"並存組件：" },         // comctl32.dll
        { IDC_LIST_IMPORTS, 16, ORANGE, false, L"缺少 gone.dll，mid.dll 需要它" },   // mid.dll, two levels above gone.dll
        { IDC_LIST_DELAY, 0, RED, false, L"找不到\r\n首次呼叫時會失敗" },   // lazy.dll
        { IDC_LIST_DELAY, 2, ORANGE, false, L"缺少 Late（在 present.dll），app.exe 需要它\r\n首次呼叫時會失敗" },
        { IDC_LIST_DELAY, 3, plain, true, L"present.dll 沒有匯出此函式\r\n首次呼叫時會失敗" },
        { IDC_LIST_DELAY, 4, ORANGE, false, L"缺少 lost.dll，dly.dll 需要它" },
    };
    for (int id : { IDC_LIST_IMPORTS, IDC_LIST_DELAY }) {
        HWND list = GetDlgItem(dialog, id);
        Capture capture = CaptureList(list);
        for (const Row& r : rows) {
            if (r.list != id)
                continue;
            SCOPED_TRACE(testing::Message() << "list " << id << ", row " << r.row);
            COLORREF background;
            bool red;
            RowColours(list, capture, r.row, &background, &red);
            EXPECT_EQ(r.background, background);
            EXPECT_EQ(r.red, red);
            if (r.tip) {
                std::wstring tip = Tip(dialog, id, r.row);
                EXPECT_NE(std::wstring::npos, tip.find(r.tip)) << tip.c_str();
            }
        }
    }
    // Needed at start: absent.dll and gone.dll; Missing1, ordinal 9 and Nowhere.
    EXPECT_EQ(L"程式 / 程式庫 檢視程式 — 缺少 2 個程式庫，缺少 3 個函式", Caption(dialog));
    DestroyWindow(dialog);
}

TEST(DependencyMarks, AProgramThatLoadsWholeShowsNoMarkAndTheBareCaption)
{
    HWND dialog = CreateViewerDialog();
    ASSERT_TRUE(dialog != NULL);
    OpenInViewer(dialog, BesideTests(L"modview.exe"));
    ASSERT_TRUE(WaitForWalk(dialog));
    HWND list = GetDlgItem(dialog, IDC_LIST_IMPORTS);
    Capture capture = CaptureList(list);
    int visible = static_cast<int>(SendMessageW(list, LVM_GETCOUNTPERPAGE, 0, 0));
    for (int row = 0; row < RowCount(list) && row < visible; ++row) {
        COLORREF background;
        bool red;
        RowColours(list, capture, row, &background, &red);
        EXPECT_EQ(RowMarkerAt(list, row) == ROW_HEADER ? TEAL : GetSysColor(COLOR_WINDOW), background) << row;
        EXPECT_FALSE(red) << row;
    }
    EXPECT_EQ(L"程式 / 程式庫 檢視程式", Caption(dialog));
    DestroyWindow(dialog);
}
