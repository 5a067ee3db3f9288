// OpenImage: which files reach the views, what a failure leaves behind, and
// the current directory afterwards.
#include <windows.h>
#include <gtest/gtest.h>
#include <string.h>
#include "shell/list_sink.h"
#include "pe_builder.h"
#include "res/resource.h"
#include "viewer_dialog.h"

class OpenImageTest : public ViewerDialogTest {
protected:
    void SetUp() override
    {
        ViewerDialogTest::SetUp();
        wchar_t folder[MAX_PATH];
        GetTempPathW(MAX_PATH, folder);
        SetCurrentDirectoryW(folder);
    }

    // A folder of its own for one test's file, so the current directory tells
    // which opening moved it.
    std::wstring FileInFolder(const std::wstring& folder, const std::wstring& name, const std::vector<BYTE>& bytes)
    {
        std::wstring dir = ScratchPath(folder);
        CreateDirectoryW(dir.c_str(), NULL);
        std::wstring path = dir + L"\\" + name;
        EXPECT_TRUE(WriteFileBytes(path, bytes));
        return path;
    }

    std::wstring CurrentDirectory()
    {
        wchar_t dir[MAX_PATH];
        GetCurrentDirectoryW(MAX_PATH, dir);
        return dir;
    }

    std::wstring PathBox()
    {
        wchar_t text[MAX_PATH] = {};
        GetDlgItemTextW(dialog, IDC_PATH, text, MAX_PATH);
        return text;
    }

    // Puts a marker row in every list but the summary, and marker values in the summary.
    void FillLists()
    {
        for (int id = IDC_LIST_FIRST; id <= IDC_LIST_LAST; ++id) {
            HWND list = ViewerList(dialog, id);
            if (id == IDC_LIST_SUMMARY) {
                for (int r = 0; r < 14; ++r)
                    SetCell(list, r, 1, (L"old " + std::to_wstring(r)).c_str());
            } else {
                InsertRow(list, 0, L"stale", ROW_PLAIN);
            }
        }
    }

    void ExpectListsEmptySummaryKept()
    {
        for (int id = IDC_LIST_FIRST; id <= IDC_LIST_LAST; ++id) {
            HWND list = ViewerList(dialog, id);
            if (id == IDC_LIST_SUMMARY) {
                ASSERT_EQ(14, RowCount(list));
                for (int r = 0; r < 14; ++r)
                    EXPECT_EQ(L"old " + std::to_wstring(r), CellText(list, r, 1));
            } else {
                EXPECT_EQ(0, RowCount(list)) << "list " << id;
            }
        }
    }

};

static std::wstring Folder(const std::wstring& path)
{
    return path.substr(0, path.find_last_of(L'\\'));
}

TEST_F(OpenImageTest, MissingFileEmptiesListsButKeepsSummaryAndDirectory)
{
    FillLists();
    std::wstring before = CurrentDirectory();
    std::wstring path = ScratchPath(L"no such file.dll");
    std::wstring after = OpenInViewer(dialog, path);
    ExpectListsEmptySummaryKept();
    EXPECT_EQ(path, PathBox());
    EXPECT_EQ(path, after);   // the buffer is left as it was
    EXPECT_EQ(before, CurrentDirectory());
}

TEST_F(OpenImageTest, FilesBelow312BytesAreRefusedBeforeMapping)
{
    std::vector<BYTE> bytes = PeBuilder().Build();
    ASSERT_EQ(312u, bytes.size());   // DOS header + PE32 NT headers, nothing else

    std::vector<BYTE> shorter(bytes.begin(), bytes.end() - 1);
    std::wstring shortPath = FileInFolder(L"short", L"short.exe", shorter);
    FillLists();
    std::wstring before = CurrentDirectory();
    OpenInViewer(dialog, shortPath);
    ExpectListsEmptySummaryKept();
    EXPECT_EQ(before, CurrentDirectory());

    std::wstring exactPath = FileInFolder(L"exact", L"exact.exe", bytes);
    std::wstring folder = OpenInViewer(dialog, exactPath);
    EXPECT_EQ(Folder(exactPath), folder);
    EXPECT_EQ(Folder(exactPath), CurrentDirectory());
    EXPECT_EQ(exactPath, PathBox());
}

TEST_F(OpenImageTest, FilesFailingValidationStillMoveTheCurrentDirectory)
{
    std::vector<BYTE> good = PeBuilder().Build();
    struct Case { const wchar_t* name; std::vector<BYTE> bytes; };
    std::vector<Case> cases;
    std::vector<BYTE> dos = good;   // an old DOS program: no PE signature where e_lfanew points
    dos[0x18] = 0x1C;
    LONG lfanew = 0x20;
    memcpy(&dos[0x3C], &lfanew, 4);
    cases.push_back({ L"dos", dos });
    std::vector<BYTE> negative = good;
    lfanew = -0x40;
    memcpy(&negative[0x3C], &lfanew, 4);
    cases.push_back({ L"lfanew-negative", negative });
    std::vector<BYTE> pastEnd = good;
    lfanew = 0x10000;
    memcpy(&pastEnd[0x3C], &lfanew, 4);
    cases.push_back({ L"lfanew-past-end", pastEnd });
    std::vector<BYTE> cut = good;
    lfanew = static_cast<LONG>(good.size()) - 8;   // signature inside, headers cut off
    memcpy(&cut[0x3C], &lfanew, 4);
    memcpy(&cut[lfanew], "PE\0\0", 4);
    cases.push_back({ L"nt-headers-cut", cut });

    for (const Case& c : cases) {
        FillLists();
        std::wstring path = FileInFolder(c.name, L"image.dll", c.bytes);
        OpenInViewer(dialog, path);
        ExpectListsEmptySummaryKept();
        EXPECT_EQ(Folder(path), CurrentDirectory()) << c.name;
    }
}

TEST_F(OpenImageTest, PathWithBlanksIsShownAndItsFolderBecomesCurrent)
{
    PeBuilder pe(true);
    std::wstring path = FileInFolder(L"folder with blanks", L"a library.dll", pe.Build());
    std::wstring folder = OpenInViewer(dialog, path);
    EXPECT_EQ(path, PathBox());
    EXPECT_EQ(Folder(path), folder);
    EXPECT_EQ(Folder(path), CurrentDirectory());
}
