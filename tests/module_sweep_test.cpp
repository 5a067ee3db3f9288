// Every PE module of the Wine installation opened through the real OpenImage,
// and what opening does not do to a file: write it, or keep it.
#include <windows.h>
#include <gtest/gtest.h>
#include <string.h>
#include <imagehlp.h>
#include "image/checksum.h"
#include "image/image_file.h"
#include "pe_builder.h"
#include "res/resource.h"
#include "viewer_dialog.h"

static const wchar_t* const WINE_MODULES = L"Z:\\usr\\lib\\x86_64-linux-gnu\\wine\\x86_64-windows";

TEST(ModuleSweep, EveryWineModuleOpens)
{
    HWND dialog = CreateViewerDialog();
    ASSERT_TRUE(dialog != NULL);
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((std::wstring(WINE_MODULES) + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        GTEST_SKIP() << "no Wine module folder here";
    int opened = 0, withRows = 0, summed = 0;
    DWORD slowest = 0, total = 0;
    std::wstring slowestName;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        std::wstring path = std::wstring(WINE_MODULES) + L"\\" + found.cFileName;
        DWORD start = GetTickCount();
        OpenInViewer(dialog, path);
        DWORD elapsed = GetTickCount() - start;
        total += elapsed;
        ++opened;
        if (RowCount(ViewerList(dialog, IDC_LIST_SECTIONS)) > 0)
            ++withRows;
        // The checksum, summed a word at a time or eight bytes at a time, is the system's.
        ImageFile file;
        ImageView view;
        if (MapImageFile(path.c_str(), &file) == MAP_DONE) {
            DWORD stored = 0, system = 0;
            if (InitImageView(&view, file.base, file.size) &&
                CheckSumMappedFile(const_cast<BYTE*>(file.base), file.size, &stored, &system)) {
                EXPECT_EQ(system, ComputeImageChecksum(&view)) << found.cFileName;
                ++summed;
            }
            UnmapImageFile(&file);
        }
        if (elapsed > slowest) {
            slowest = elapsed;
            slowestName = found.cFileName;
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
    DestroyWindow(dialog);
    printf("opened %d files (%d shown as PE images) in %lu ms; slowest %ls, %lu ms\n", opened, withRows, total,
           slowestName.c_str(), slowest);
    // Every one of them is a module Wine loads, so every one is shown.
    EXPECT_GT(opened, 500);
    EXPECT_EQ(opened, withRows);
    EXPECT_EQ(opened, summed);
}

static FILETIME LastWrite(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
}

static std::vector<BYTE> ReadAll(const std::wstring& path)
{
    std::vector<BYTE> bytes;
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
    if (f == INVALID_HANDLE_VALUE)
        return bytes;
    bytes.resize(GetFileSize(f, NULL));
    DWORD read = 0;
    if (!bytes.empty())
        ReadFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &read, NULL);
    CloseHandle(f);
    return bytes;
}

TEST(ModuleSweep, OpeningNeitherWritesNorHoldsTheFile)
{
    HWND dialog = CreateViewerDialog();
    ASSERT_TRUE(dialog != NULL);
    PeBuilder pe;
    pe.AddDataSection();
    std::vector<BYTE> bytes = pe.Build();
    std::wstring path = ScratchPath(L"untouched.dll");
    ASSERT_TRUE(WriteFileBytes(path, bytes));
    FILETIME before = LastWrite(path);
    Sleep(20);

    OpenInViewer(dialog, path);
    EXPECT_EQ(bytes, ReadAll(path));
    FILETIME after = LastWrite(path);
    EXPECT_EQ(0, CompareFileTime(&before, &after));
    EXPECT_GT(RowCount(ViewerList(dialog, IDC_LIST_SECTIONS)), 0);

    // No handle is left behind: the file can be renamed and deleted at once.
    std::wstring renamed = ScratchPath(L"untouched-renamed.dll");
    DeleteFileW(renamed.c_str());
    EXPECT_TRUE(MoveFileW(path.c_str(), renamed.c_str()));
    EXPECT_TRUE(DeleteFileW(renamed.c_str()));

    // A file that another program holds open for writing is refused silently.
    std::wstring busy = ScratchPath(L"busy.dll");
    ASSERT_TRUE(WriteFileBytes(busy, bytes));
    HANDLE writer = CreateFileW(busy.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, writer);
    OpenInViewer(dialog, busy);
    EXPECT_EQ(0, RowCount(ViewerList(dialog, IDC_LIST_SECTIONS)));
    CloseHandle(writer);
    EXPECT_EQ(bytes, ReadAll(busy));
    DestroyWindow(dialog);
}
