// The header summary: the fourteen values in column 1 of the summary list.
#include <windows.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "pe_builder.h"
#include "res/resource.h"
#include "viewer_dialog.h"

class HeaderSummary : public ViewerDialogTest {
protected:
    HWND List() { return ViewerList(dialog, IDC_LIST_SUMMARY); }

    // Column 1 of every row after opening the bytes; the rows stay fourteen.
    std::vector<std::wstring> Open(const std::vector<BYTE>& bytes)
    {
        OpenBytesInViewer(dialog, bytes, L"summary.exe");
        EXPECT_EQ(14, RowCount(List()));
        std::vector<std::wstring> values;
        for (int r = 0; r < RowCount(List()); ++r)
            values.push_back(CellText(List(), r, 1));
        return values;
    }
};

static std::wstring Grouped(size_t value)
{
    std::wstring digits = std::to_wstring(value);
    for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3)
        digits.insert(i, L",");
    return digits;
}

// The date and time rows for a UTC instant, reached without the file-time epoch.
static std::vector<std::wstring> LocalDateAndTime(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second)
{
    SYSTEMTIME utc = { year, month, 0, day, hour, minute, second, 0 };
    FILETIME ft;
    SystemTimeToFileTime(&utc, &ft);
    FileTimeToSystemTime(&ft, &utc);   // fills in the day of the week
    SYSTEMTIME local;
    SystemTimeToTzSpecificLocalTime(NULL, &utc, &local);
    wchar_t date[64] = {}, time[64] = {};
    GetDateFormatW(LOCALE_SYSTEM_DEFAULT, DATE_LONGDATE, &local, NULL, date, 64);
    GetTimeFormatW(LOCALE_SYSTEM_DEFAULT, 0, &local, NULL, time, 64);
    return { date, time };
}

TEST_F(HeaderSummary, Pe32ExecutableShowsEveryValue)
{
    PeBuilder pe;
    pe.AddDataSection();
    pe.opt32.MajorLinkerVersion = 14;
    pe.opt32.MinorLinkerVersion = 44;
    pe.opt32.MajorImageVersion = 10;
    pe.opt32.MinorImageVersion = 2;
    pe.opt32.MajorSubsystemVersion = 6;
    pe.opt32.MinorSubsystemVersion = 1;
    pe.opt32.SizeOfStackReserve = 0x100000;
    pe.opt32.SizeOfStackCommit = 0x1000;
    pe.opt32.SizeOfHeapReserve = 0xFFFFFFFF;
    pe.opt32.SizeOfHeapCommit = 0;
    std::vector<BYTE> bytes = pe.Build();
    std::vector<std::wstring> dateTime = LocalDateAndTime(2020, 9, 13, 12, 26, 40);   // stamp 0x5F5E1000
    std::vector<std::wstring> expected = {
        L"執行檔 ", L"視窗程式", dateTime[0], dateTime[1], Grouped(bytes.size()),
        L"0x00400000", L"0x1000", L"0x200", L"6.0", L"10.2", L"6.1", L"14.44",
        L"0x100000 / 0x1000", L"0xFFFFFFFF / 0x0",
    };
    EXPECT_EQ(expected, Open(bytes));
}

TEST_F(HeaderSummary, Pe32PlusShowsAllSixtyFourBits)
{
    PeBuilder pe(true);
    pe.file.Characteristics |= IMAGE_FILE_DLL;
    pe.file.TimeDateStamp = 0xFFFFFFFF;   // unsigned: early 2106, not 1969
    pe.SetSubsystem(IMAGE_SUBSYSTEM_WINDOWS_CUI);
    pe.SetImageBase(0x180000000ULL);
    pe.opt64.MajorLinkerVersion = 2;
    pe.opt64.MinorLinkerVersion = 255;
    pe.opt64.MajorOperatingSystemVersion = 65535;
    pe.opt64.MinorOperatingSystemVersion = 3;
    pe.opt64.SectionAlignment = 0x10000;
    pe.opt64.FileAlignment = 0x1000;
    pe.opt64.SizeOfStackReserve = 0x100000000ULL;
    pe.opt64.SizeOfStackCommit = 0x1000;
    pe.opt64.SizeOfHeapReserve = 0x123456789AULL;
    pe.opt64.SizeOfHeapCommit = 0xFFFFFFFFFFFFFFFFULL;
    std::vector<BYTE> bytes = pe.Build();
    std::vector<std::wstring> dateTime = LocalDateAndTime(2106, 2, 7, 6, 28, 15);
    ASSERT_NE(std::wstring::npos, dateTime[0].find(L"2106")) << dateTime[0];
    ASSERT_FALSE(dateTime[1].empty());
    std::vector<std::wstring> expected = {
        L"動態連結檔", L"文字程式", dateTime[0], dateTime[1], Grouped(bytes.size()),
        L"0x180000000", L"0x10000", L"0x1000", L"65535.3", L"0.0", L"6.0", L"2.255",
        L"0x100000000 / 0x1000", L"0x123456789A / 0xFFFFFFFFFFFFFFFF",
    };
    EXPECT_EQ(expected, Open(bytes));

    // A small PE32+ base still shows eight digits.
    pe.SetImageBase(0x10000);
    EXPECT_EQ(L"0x00010000", Open(pe.Build())[5]);
}

TEST_F(HeaderSummary, ProgramTypeIsWindowedForTheGuiSubsystemOnly)
{
    const WORD subsystems[] = { IMAGE_SUBSYSTEM_NATIVE, IMAGE_SUBSYSTEM_EFI_APPLICATION, 0, IMAGE_SUBSYSTEM_WINDOWS_GUI };
    for (WORD subsystem : subsystems) {
        PeBuilder pe;
        pe.file.Characteristics |= IMAGE_FILE_DLL;
        pe.SetSubsystem(subsystem);
        std::vector<std::wstring> values = Open(pe.Build());
        EXPECT_EQ(L"動態連結檔", values[0]);
        EXPECT_EQ(subsystem == IMAGE_SUBSYSTEM_WINDOWS_GUI ? L"視窗程式" : L"文字程式", values[1]) << subsystem;
    }
}

TEST_F(HeaderSummary, ZeroStampShowsTheEpochAndValuesOutliveAFailedFile)
{
    PeBuilder pe;
    pe.file.TimeDateStamp = 0;
    std::vector<std::wstring> first = Open(pe.Build());
    std::vector<std::wstring> epoch = LocalDateAndTime(1970, 1, 1, 0, 0, 0);
    EXPECT_EQ(epoch[0], first[2]);
    EXPECT_EQ(epoch[1], first[3]);

    // Not a PE image: the summary keeps the values of the last good one.
    std::vector<BYTE> junk(400, 0);
    junk[0] = 'M';
    junk[1] = 'Z';
    EXPECT_EQ(first, Open(junk));
}
