// The export list: present slots in slot order, names matched to them, and
// rows of their own for names without a present slot; tables that leave the
// file end their pass.
#include <windows.h>
#include <gtest/gtest.h>
#include <string.h>
#include <string>
#include <utility>
#include <vector>
#include "pe_builder.h"
#include "res/resource.h"
#include "viewer_dialog.h"

// Layout inside one data section at RVA 0x1000 of 0x4000 bytes, which is
// also the end of the file (file offset 0x400 + 0x4000).
const DWORD DIR = 0x1000, EAT = 0x1100, NAMES = 0x1800, ORDINALS = 0x1A00, STRINGS = 0x2000;
const DWORD SECTION_END = 0x5000;

struct ExportImage {
    PeBuilder pe;
    IMAGE_EXPORT_DIRECTORY dir;

    // Export directory with the given base, address table and (slot index, name) pairs.
    ExportImage(bool is64, DWORD base, const std::vector<DWORD>& functions,
                const std::vector<std::pair<WORD, std::string>>& names)
        : pe(is64)
    {
        pe.AddDataSection(0x1000, 0x4000);
        pe.SetDirectory(IMAGE_DIRECTORY_ENTRY_EXPORT, DIR, sizeof(IMAGE_EXPORT_DIRECTORY));
        memset(&dir, 0, sizeof dir);
        dir.Base = base;
        dir.NumberOfFunctions = static_cast<DWORD>(functions.size());
        dir.NumberOfNames = static_cast<DWORD>(names.size());
        dir.AddressOfFunctions = EAT;
        dir.AddressOfNames = NAMES;
        dir.AddressOfNameOrdinals = ORDINALS;
        for (size_t j = 0; j < functions.size(); ++j)
            pe.PutDword(EAT + 4 * static_cast<DWORD>(j), functions[j]);
        DWORD text = STRINGS;
        for (size_t i = 0; i < names.size(); ++i) {
            pe.PutWord(ORDINALS + 2 * static_cast<DWORD>(i), names[i].first);
            pe.PutDword(NAMES + 4 * static_cast<DWORD>(i), text);
            pe.PutString(text, names[i].second.c_str());
            text += static_cast<DWORD>(names[i].second.size()) + 1;
        }
    }

    std::vector<BYTE> Build()
    {
        pe.Put(DIR, &dir, sizeof dir);
        return pe.Build();
    }
};

class Exports : public ViewerDialogTest {
protected:
    std::vector<std::wstring> Open(const std::vector<BYTE>& bytes)
    {
        OpenBytesInViewer(dialog, bytes, L"exports.dll");
        return RowLines(ViewerList(dialog, IDC_LIST_EXPORTS));
    }
    std::vector<std::wstring> Open(ExportImage& image) { return Open(image.Build()); }
};

typedef std::vector<std::wstring> Rows;

TEST_F(Exports, PresentSlotsInOrderWithTheirNames)
{
    for (bool wide : { false, true }) {
        ExportImage image(wide, 1, { 0x1010, 0x1020, 0x1030 }, { { 0, "Alpha" }, { 2, "Gamma" } });
        EXPECT_EQ(Rows({ L"0|0001|Alpha", L"0|0002|", L"0|0003|Gamma" }), Open(image))
            << (wide ? "PE32+" : "PE32");
    }

    // Ordinals keep four digits at least and show more when needed.
    ExportImage big(false, 0x12345, { 0x1010, 0, 0x1010 }, {});
    EXPECT_EQ(Rows({ L"0|12345|", L"0|12347|" }), Open(big));

    // Base 0: slot 0 has no number but is named like any other row.
    ExportImage zero(true, 0, { 0x1010, 0x1020 }, { { 1, "One" }, { 0, "Zero" } });
    EXPECT_EQ(Rows({ L"0||Zero", L"0|0001|One" }), Open(zero));
}

TEST_F(Exports, NamesWithoutAPresentSlotGetRowsOfTheirOwnAfterTheSlots)
{
    // Slot 1 is empty; slot index 7 lies beyond NumberOfFunctions.
    ExportImage image(false, 5, { 0x1010, 0, 0x1030 },
                      { { 1, "OnEmpty" }, { 7, "Beyond" }, { 0, "First" }, { 0, "Second" }, { 1, "AlsoEmpty" } });
    Rows expected = {
        L"0|0005|Second",   // the later of two names on one slot
        L"0|0007|",
        L"0|0006|OnEmpty",
        L"0|000C|Beyond",
        L"0|0006|AlsoEmpty",
    };
    EXPECT_EQ(expected, Open(image));

    // No slot present: every name gets its own row, in name-table order.
    ExportImage none(true, 1, { 0, 0 }, { { 1, "B" }, { 0, "A" }, { 0xFFFF, "Far" } });
    EXPECT_EQ(Rows({ L"0|0002|B", L"0|0001|A", L"0|10000|Far" }), Open(none));

    // Base 0 and a name on an empty slot 0: its own row, with no number.
    ExportImage zero(false, 0, { 0, 0x1010 }, { { 0, "Nothing" } });
    EXPECT_EQ(Rows({ L"0|0001|", L"0||Nothing" }), Open(zero));
}

TEST_F(Exports, NoDirectoryOrNoFunctionsLeavesTheListEmpty)
{
    PeBuilder plain;
    plain.AddDataSection();
    EXPECT_EQ(Rows(), Open(plain.Build()));

    ExportImage noFunctions(false, 1, {}, { { 0, "Orphan" } });
    EXPECT_EQ(Rows(), Open(noFunctions));

    // A directory that does not resolve, or that the end of the file cuts.
    ExportImage away(false, 1, { 0x1010 }, {});
    away.pe.SetDirectory(IMAGE_DIRECTORY_ENTRY_EXPORT, 0x90000);
    EXPECT_EQ(Rows(), Open(away));
    ExportImage cut(false, 1, { 0x1010 }, {});
    cut.pe.SetDirectory(IMAGE_DIRECTORY_ENTRY_EXPORT, SECTION_END - 0x20);
    cut.pe.Put(SECTION_END - 0x20, &cut.dir, 0x20);   // all but the last two table addresses
    EXPECT_EQ(Rows(), Open(cut));
}

TEST_F(Exports, OrdinalsThatWrapPastTheTopStillFindTheirSlots)
{
    ExportImage image(false, 0xFFFFFFFE, { 0x1010, 0x1010, 0x1010, 0x1010 },
                      { { 2, "Zero" }, { 3, "One" }, { 0, "Top" } });
    EXPECT_EQ(Rows({ L"0|FFFFFFFE|Top", L"0|FFFFFFFF|", L"0||Zero", L"0|0001|One" }), Open(image));
}

TEST_F(Exports, TablesAreReadOnlyAsFarAsTheyLieInsideTheFile)
{
    // NumberOfFunctions far beyond the address table: only the four entries
    // before the end of the file count, and no huge table is needed.
    ExportImage many(false, 1, { 0x1010 }, { { 2, "Two" }, { 0, "Zero" } });
    many.dir.NumberOfFunctions = 0xFFFFFFFF;
    many.dir.AddressOfFunctions = SECTION_END - 16;
    for (DWORD j = 0; j < 4; ++j)
        many.pe.PutDword(SECTION_END - 16 + 4 * j, j == 1 ? 0 : 0x1010);
    EXPECT_EQ(Rows({ L"0|0001|Zero", L"0|0003|Two", L"0|0004|" }), Open(many));

    // NumberOfNames beyond the tables: the shorter of the two ends the pass.
    ExportImage names(false, 1, { 0x1010, 0x1010, 0x1010 }, {});
    names.dir.NumberOfNames = 0x7FFFFFFF;
    names.dir.AddressOfNames = SECTION_END - 8;       // two name pointers fit
    names.dir.AddressOfNameOrdinals = SECTION_END - 12;  // six ordinals fit
    names.pe.PutDword(SECTION_END - 8, STRINGS);
    names.pe.PutDword(SECTION_END - 4, STRINGS + 8);
    names.pe.PutString(STRINGS, "First");
    names.pe.PutString(STRINGS + 8, "Second");
    WORD ordinals[2] = { 2, 9 };
    names.pe.Put(SECTION_END - 12, ordinals, sizeof ordinals);
    EXPECT_EQ(Rows({ L"0|0001|", L"0|0002|", L"0|0003|First", L"0|000A|Second" }), Open(names));

    // Tables that do not resolve end their pass: no slot rows, or no names.
    ExportImage noSlots(false, 1, { 0x1010 }, { { 0, "Named" } });
    noSlots.dir.AddressOfFunctions = 0x90000;
    EXPECT_EQ(Rows({ L"0|0001|Named" }), Open(noSlots));
    ExportImage noNames(false, 1, { 0x1010 }, { { 0, "Named" } });
    noNames.dir.AddressOfNames = 0x90000;
    EXPECT_EQ(Rows({ L"0|0001|" }), Open(noNames));
    ExportImage noOrdinals(false, 1, { 0x1010 }, { { 0, "Named" } });
    noOrdinals.dir.AddressOfNameOrdinals = 0;
    EXPECT_EQ(Rows({ L"0|0001|" }), Open(noOrdinals));
}

TEST_F(Exports, NamesThatDoNotResolveAreCutByTheFileOrAreTooLong)
{
    std::string longName(300, 'L');
    ExportImage image(false, 1, { 0x1010, 0x1010, 0x1010 },
                      { { 0, "Lost" }, { 1, longName }, { 5, "Away" }, { 2, "Kept" }, { 2, "Edge" } });
    // Name 0 does not resolve: its slot stays unnamed. Name 2 has its own
    // row, empty in column 1. Name 4, the later one on slot 2, is the last
    // four bytes of the file with no NUL: shown as far as it lies inside.
    image.pe.PutDword(NAMES + 0, 0x90000);
    image.pe.PutDword(NAMES + 8, 0x90000);
    image.pe.PutDword(NAMES + 16, SECTION_END - 4);
    image.pe.Put(SECTION_END - 4, "Edge", 4);
    std::wstring cut(259, L'L');   // the conversion buffer holds 259 units and the NUL
    Rows expected = { L"0|0001|", L"0|0002|" + cut, L"0|0003|Edge", L"0|0006|" };
    EXPECT_EQ(expected, Open(image));
}
