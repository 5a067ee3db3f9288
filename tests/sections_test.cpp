// The section list: one row per header inside the file, names, grouped sizes,
// attribute letters, and the totals row.
#include <windows.h>
#include <gtest/gtest.h>
#include <string.h>
#include <string>
#include <vector>
#include "pe_builder.h"
#include "res/resource.h"
#include "viewer_dialog.h"

class Sections : public ViewerDialogTest {
protected:
    std::vector<std::wstring> Open(const std::vector<BYTE>& bytes)
    {
        OpenBytesInViewer(dialog, bytes, L"sections.dll");
        return RowLines(ViewerList(dialog, IDC_LIST_SECTIONS));
    }
};

// A user locale setting changed for the test and restored afterwards.
class UserLocaleSetting {
public:
    UserLocaleSetting(LCTYPE type, const wchar_t* value) : type_(type)
    {
        GetLocaleInfoW(LOCALE_USER_DEFAULT, type, old_, 16);
        ok_ = SetLocaleInfoW(LOCALE_USER_DEFAULT, type, value) != FALSE;
    }
    ~UserLocaleSetting() { SetLocaleInfoW(LOCALE_USER_DEFAULT, type_, old_); }
    bool ok() const { return ok_; }

private:
    LCTYPE type_;
    wchar_t old_[16];
    bool ok_;
};

TEST_F(Sections, NoSectionsShowsTheTotalsRowAlone)
{
    PeBuilder pe;
    EXPECT_EQ(std::vector<std::wstring>({ L"1|合計|0|0|" }), Open(pe.Build()));
    PeBuilder wide(true);
    EXPECT_EQ(std::vector<std::wstring>({ L"1|合計|0|0|" }), Open(wide.Build()));
}

TEST_F(Sections, NamesSizesLettersAndWrappingTotals)
{
    PeBuilder pe(true);
    pe.AddSection(".text", 0x1000, 4096, 0x200, 0x60000020);
    pe.AddSection("ABCDEFGH", 0x2000, 1234567, 0x200, 0xC0000040);   // name fills all 8 bytes
    pe.AddSection(".a", 0x3000, 0, 0x200, 0xD0000040);               // VirtualSize 0 is shown as 0
    pe.AddSection("", 0x4000, 0xFFFFFF00, 0, 0);                    // no letters at all
    pe.AddSection(".all", 0x5000, 0x200, 0, 0xF00000E0);
    pe.AddSection(".other", 0x6000, 0, 0, 0x0F00FF1F);               // only bits without letters
    // Bytes after a NUL are not part of the name.
    memcpy(pe.sections[2].header.Name, ".a\0xyz\0\0", 8);
    // Raw sizes that no test file really holds, to make the sums wrap.
    pe.sections[4].header.SizeOfRawData = 0xFFFFFFFF;
    pe.sections[5].header.SizeOfRawData = 3;
    std::vector<std::wstring> expected = {
        L"0|.text|4,096|512|xrc",
        L"0|ABCDEFGH|1,234,567|512|rwi",
        L"0|.a|0|512|srwi",
        L"0||4,294,967,040|0|",
        L"0|.all|512|4,294,967,295|sxrwciu",
        L"0|.other|0|3|",
        // 4096 + 1234567 + 0xFFFFFF00 + 512 wraps to 1238919; 3 * 512 + 0xFFFFFFFF + 3 to 1538.
        L"1|合計|1,238,919|1,538|",
    };
    EXPECT_EQ(expected, Open(pe.Build()));
}

TEST_F(Sections, OnlyHeadersWhollyInsideTheFileAreListedAndSummed)
{
    PeBuilder pe;
    pe.AddSection(".one", 0x1000, 100, 0);
    pe.AddSection(".two", 0x2000, 200, 0);
    pe.AddSection(".three", 0x3000, 300, 0);
    std::vector<BYTE> bytes = pe.Build();
    DWORD table = 0x40 + 24 + sizeof(IMAGE_OPTIONAL_HEADER32);
    bytes.resize(table + 3 * sizeof(IMAGE_SECTION_HEADER) - 1);   // the third loses its last byte
    // A count far beyond the table changes nothing.
    WORD many = 0xFFFF;
    memcpy(&bytes[0x40 + 6], &many, sizeof many);
    std::vector<std::wstring> expected = {
        L"0|.one|100|0|ri",
        L"0|.two|200|0|ri",
        L"1|合計|300|0|",
    };
    EXPECT_EQ(expected, Open(bytes));
}

TEST_F(Sections, SizesAreGroupedWithCommasUnderALocaleThatGroupsWithPoints)
{
    UserLocaleSetting thousands(LOCALE_STHOUSAND, L".");
    UserLocaleSetting decimal(LOCALE_SDECIMAL, L",");
    ASSERT_TRUE(thousands.ok() && decimal.ok());
    // The user's own number format now really groups with a point.
    wchar_t own[64] = {};
    ASSERT_NE(0, GetNumberFormatW(LOCALE_USER_DEFAULT, 0, L"1234567", NULL, own, 64));
    ASSERT_NE(std::wstring::npos, std::wstring(own).find(L".567")) << own;

    PeBuilder pe;
    pe.AddSection(".data", 0x1000, 1234567, 0x1000);
    std::vector<BYTE> bytes = pe.Build();
    std::vector<std::wstring> expected = {
        L"0|.data|1,234,567|4,096|ri",
        L"1|合計|1,234,567|4,096|",
    };
    EXPECT_EQ(expected, Open(bytes));
    // The file size in the summary is grouped the same way.
    wchar_t size[32];
    wsprintfW(size, L"%u", static_cast<unsigned>(bytes.size()));
    std::wstring grouped(size);
    grouped.insert(grouped.size() - 3, L",");
    ASSERT_EQ(4u, wcslen(size));
    EXPECT_EQ(grouped, CellText(ViewerList(dialog, IDC_LIST_SUMMARY), 4, 1));
}
