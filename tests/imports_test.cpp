// The import and delay-import lists, filled by opening built images in the
// real dialog.
#include <windows.h>
#include <gtest/gtest.h>
#include <string.h>
#include <string>
#include <vector>
#include "pe_builder.h"
#include "res/resource.h"
#include "viewer_dialog.h"

typedef std::vector<std::wstring> Lines;

// One table entry in the image's width: 32 bits for PE32, 64 for PE32+.
static DWORD PutEntry(PeBuilder& pe, DWORD rva, ULONGLONG value)
{
    if (pe.is64)
        pe.PutQword(rva, value);
    else
        pe.PutDword(rva, static_cast<DWORD>(value));
    return rva + (pe.is64 ? 8 : 4);
}

// A table of entries from `rva` on, with its zero entry.
static void PutTable(PeBuilder& pe, DWORD rva, const std::vector<ULONGLONG>& entries)
{
    for (ULONGLONG e : entries)
        rva = PutEntry(pe, rva, e);
    PutEntry(pe, rva, 0);
}

static void PutByName(PeBuilder& pe, DWORD rva, WORD hint, const char* name)
{
    pe.PutWord(rva, hint);
    pe.PutString(rva + 2, name);
}

static void PutImport(PeBuilder& pe, DWORD rva, DWORD lookup, DWORD name, DWORD addresses)
{
    IMAGE_IMPORT_DESCRIPTOR d = {};
    d.OriginalFirstThunk = lookup;
    d.TimeDateStamp = 0;
    d.Name = name;
    d.FirstThunk = addresses;
    pe.Put(rva, &d, sizeof d);
}

static void PutDelay(PeBuilder& pe, DWORD rva, DWORD attributes, DWORD name, DWORD names, DWORD addresses = 0)
{
    IMAGE_DELAYLOAD_DESCRIPTOR d = {};
    d.Attributes.AllAttributes = attributes;
    d.DllNameRVA = name;
    d.ImportNameTableRVA = names;
    d.ImportAddressTableRVA = addresses;
    pe.Put(rva, &d, sizeof d);
}

// File offset of an RVA in the section that AddDataSection() makes.
static size_t DataOffset(DWORD rva)
{
    return rva - 0x1000 + 0x400;
}

class ImportsTest : public ViewerDialogTest {
protected:
    Lines Imports(const std::vector<BYTE>& bytes)
    {
        OpenBytesInViewer(dialog, bytes, L"imports.dll");
        return RowLines(ViewerList(dialog, IDC_LIST_IMPORTS));
    }
    Lines DelayImports(const std::vector<BYTE>& bytes)
    {
        OpenBytesInViewer(dialog, bytes, L"delay.dll");
        return RowLines(ViewerList(dialog, IDC_LIST_DELAY));
    }
};

TEST_F(ImportsTest, LibrariesAndFunctionsInPe32AndPe32Plus)
{
    // The third is a PE32 image for 32-bit ARM: Magic, not Machine, makes it PE32.
    for (int variant = 0; variant < 3; ++variant) {
        const bool wide = variant == 1;
        SCOPED_TRACE(variant == 0 ? "PE32" : variant == 1 ? "PE32+" : "PE32 for ARM");
        PeBuilder pe(wide);
        if (variant == 2)
            pe.file.Machine = 0x01C4;
        pe.AddDataSection();
        pe.SetDirectory(IMAGE_DIRECTORY_ENTRY_IMPORT, 0x1000);
        PutImport(pe, 0x1000, 0x1100, 0x1400, 0x1200);
        PutImport(pe, 0x1014, 0, 0x1410, 0x1300);           // no lookup table: the address table is read
        PutImport(pe, 0x1028, 0x1100, 0, 0x1200);            // Name 0 ends the list ...
        PutImport(pe, 0x103C, 0x1100, 0x1420, 0x1200);       // ... though a named one follows
        pe.PutString(0x1400, "KERNEL32.dll");
        pe.PutString(0x1410, "user32.dll");
        pe.PutString(0x1420, "never.dll");
        PutByName(pe, 0x1500, 0, "Alpha");
        PutByName(pe, 0x1510, 0x1A2, "Beta");
        PutByName(pe, 0x1520, 0xFFFF, "Gamma");
        PutByName(pe, 0x1530, 7, "Delta");
        PutByName(pe, 0x1540, 9, "Wrong");
        // Ordinal entries carry junk between the flag and the ordinal; a PE32+
        // by-name entry carries junk in bits 32 to 62, and its bit 31 is no flag.
        ULONGLONG ordinal = wide ? 0x8000123456780010ULL : 0x80000010ULL;
        ULONGLONG junkName = wide ? 0x7FFFFFFF00001520ULL : 0x1520;
        ULONGLONG ordinal2 = wide ? 0xFFFFFFFFFFFF0001ULL : 0xFFFF0001ULL;
        PutTable(pe, 0x1100, { 0x1500, 0x1510, ordinal, junkName });
        PutTable(pe, 0x1200, { 0x1540 });
        PutTable(pe, 0x1300, { 0x1530, ordinal2 });
        Lines expected = {
            L"1||KERNEL32.dll",
            L"0|0000|Alpha",
            L"0|01A2|Beta",
            L"0|0010|",
            L"0|FFFF|Gamma",
            L"1||user32.dll",
            L"0|0007|Delta",
            L"0|0001|",
        };
        EXPECT_EQ(expected, Imports(pe.Build()));
    }
}

TEST_F(ImportsTest, MissingDirectoryTablesAndNames)
{
    PeBuilder base;
    base.AddDataSection();
    PutImport(base, 0x1000, 0x1100, 0x1400, 0x1100);
    base.PutString(0x1400, "a.dll");
    PutTable(base, 0x1100, { 0x80000001 });

    // No import directory, one that does not resolve, and one whose first
    // descriptor has Name 0 whatever else it holds.
    EXPECT_EQ(Lines(), Imports(base.Build()));
    PeBuilder unresolved = base;
    unresolved.SetDirectory(IMAGE_DIRECTORY_ENTRY_IMPORT, 0x9000);
    EXPECT_EQ(Lines(), Imports(unresolved.Build()));
    PeBuilder nameless = base;
    nameless.SetDirectory(IMAGE_DIRECTORY_ENTRY_IMPORT, 0x1000);
    PutImport(nameless, 0x1000, 0x1100, 0, 0x1100);
    EXPECT_EQ(Lines(), Imports(nameless.Build()));

    // Libraries with something missing keep their row, and the walk goes on.
    PeBuilder pe = base;
    pe.SetDirectory(IMAGE_DIRECTORY_ENTRY_IMPORT, 0x2000);
    PutImport(pe, 0x2000, 0x1200, 0x1400, 0x1100);    // table starts with its zero entry
    PutImport(pe, 0x2014, 0x1100, 0x9000, 0);         // name does not resolve
    PutImport(pe, 0x2028, 0x9000, 0x1400, 0x1100);    // lookup table does not resolve: no fallback
    PutImport(pe, 0x203C, 0, 0x1400, 0);              // no table at all (RVA 0)
    PutImport(pe, 0x2050, 0x1100, 0x1410, 0);
    pe.PutString(0x1410, "b.dll");
    Lines expected = {
        L"1||a.dll",
        L"1||",
        L"0|0001|",
        L"1||a.dll",
        L"1||a.dll",
        L"1||b.dll",
        L"0|0001|",
    };
    EXPECT_EQ(expected, Imports(pe.Build()));
}

TEST_F(ImportsTest, DataCutByTheEndOfTheFile)
{
    // The data section's raw bytes end the file at RVA 0x5000.
    PeBuilder pe;
    pe.AddDataSection();
    pe.SetDirectory(IMAGE_DIRECTORY_ENTRY_IMPORT, 0x1000);
    PutImport(pe, 0x1000, 0x1100, 0x1400, 0);
    pe.PutString(0x1400, "a.dll");
    // A by-name entry whose hint and name lie outside every section, one whose
    // hint is the last two bytes of the file, and one whose name runs to the end.
    PutTable(pe, 0x1100, { 0x9000, 0x4FFE, 0x4FF6, 0x80000002 });
    pe.PutWord(0x4FF6, 5);
    pe.Put(0x4FF8, "ABCDEFGH", 8);
    std::vector<BYTE> bytes = pe.Build();
    ASSERT_EQ(DataOffset(0x5000), bytes.size());
    Lines expected = {
        L"1||a.dll",
        L"0||",
        L"0|4847|",
        L"0|0005|ABCDEFGH",
        L"0|0002|",
    };
    EXPECT_EQ(expected, Imports(bytes));

    // A table with no zero entry before the end of the file, which cuts its
    // last entry in half.
    PeBuilder runaway;
    runaway.AddDataSection();
    runaway.SetDirectory(IMAGE_DIRECTORY_ENTRY_IMPORT, 0x1000);
    PutImport(runaway, 0x1000, 0x1100, 0x1080, 0);
    runaway.PutString(0x1080, "r.dll");
    for (DWORD rva = 0x1100; rva < 0x5000; rva += 4)
        runaway.PutDword(rva, 0x80000000 | (rva >> 2));
    bytes = runaway.Build();
    bytes.resize(bytes.size() - 2);
    Lines rows = Imports(bytes);
    ASSERT_EQ(1u + (0x4FFC - 0x1100) / 4, rows.size());
    EXPECT_EQ(L"0|0440|", rows[1]);
    EXPECT_EQ(L"0|13FE|", rows.back());

    // The second descriptor lacks its last byte: the list ends before it.
    PeBuilder cut;
    cut.AddDataSection();
    cut.SetDirectory(IMAGE_DIRECTORY_ENTRY_IMPORT, 0x5000 - 39);
    PutImport(cut, 0x1000, 0x1100, 0x1400, 0);
    PutImport(cut, 0x1014, 0x1100, 0x1400, 0);
    cut.PutString(0x1400, "a.dll");
    PutTable(cut, 0x1100, { 0x80000002 });
    bytes = cut.Build();
    memmove(&bytes[DataOffset(0x5000 - 39)], &bytes[DataOffset(0x1000)], 39);
    EXPECT_EQ(Lines({ L"1||a.dll", L"0|0002|" }), Imports(bytes));
}

TEST_F(ImportsTest, LongNamesAndSharedTables)
{
    PeBuilder pe;
    pe.AddDataSection();
    pe.SetDirectory(IMAGE_DIRECTORY_ENTRY_IMPORT, 0x1000);
    PutImport(pe, 0x1000, 0x1100, 0x1400, 0);
    std::string longName(300, 'x');
    pe.PutString(0x1400, longName.c_str());
    PutByName(pe, 0x1600, 1, longName.c_str());
    PutTable(pe, 0x1100, { 0x1600 });
    Lines rows = Imports(pe.Build());
    ASSERT_EQ(2u, rows.size());
    std::wstring cut(259, L'x');
    EXPECT_EQ(L"1||" + cut, rows[0]);
    EXPECT_EQ(L"0|0001|" + cut, rows[1]);

    // Hundreds of descriptors that share one long table: the walk reads no
    // more table bytes than the file holds, instead of hundreds of copies.
    PeBuilder shared;
    shared.AddDataSection();
    const DWORD entries = 1000;
    std::vector<ULONGLONG> table(entries, 0x80000007);
    PutTable(shared, 0x1000, table);
    shared.PutString(0x1FF0, "s.dll");
    shared.SetDirectory(IMAGE_DIRECTORY_ENTRY_IMPORT, 0x2000);
    DWORD libraries = 0;
    for (DWORD rva = 0x2000; rva + 40 <= 0x5000; rva += 20, ++libraries)
        PutImport(shared, rva, 0x1000, 0x1FF0, 0);
    std::vector<BYTE> bytes = shared.Build();
    rows = Imports(bytes);
    ASSERT_GT(rows.size(), 2 * (entries + 1));
    EXPECT_EQ(L"1||s.dll", rows[0]);
    EXPECT_EQ(L"0|0007|", rows[entries]);
    EXPECT_EQ(L"1||s.dll", rows[entries + 1]);
    size_t functions = 0;
    for (const std::wstring& line : rows)
        functions += line[0] == L'0';
    EXPECT_LE(functions, bytes.size() / 4);
    EXPECT_LT(rows.size(), libraries * (entries + 1) / 100);
}

TEST_F(ImportsTest, DelayDescriptorsHoldAddressesUnlessBitZeroIsSet)
{
    PeBuilder pe;   // ImageBase 0x400000
    pe.AddDataSection();
    pe.AddSection(".wrap", 0xFFC02000, 0x100, 0x200);
    pe.SetDirectory(IMAGE_DIRECTORY_ENTRY_IMPORT, 0x1000);
    PutImport(pe, 0x1000, 0x2100, 0x2000, 0);
    pe.SetDirectory(IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT, 0x3000);
    PutDelay(pe, 0x3000, 0, 0x402000, 0x402100);      // addresses: the base comes off
    PutDelay(pe, 0x3020, 1, 0x402000, 0x2200);        // RVAs: 0x402000 lies in no section
    PutDelay(pe, 0x3040, 1, 0x2000, 0, 0x2100);       // no name table: no fallback
    PutDelay(pe, 0x3060, 0, 0x2000, 0);               // 0x2000 - 0x400000 wraps
    PutDelay(pe, 0x3080, 7, 0, 0x2100, 0x2100);       // DllNameRVA 0 ends the list ...
    PutDelay(pe, 0x30A0, 1, 0x2000, 0x2100);          // ... though a named one follows
    pe.PutString(0x2000, "late.dll");
    pe.PutString(0xFFC02000, "wrapped.dll");
    PutTable(pe, 0x2100, { 0x402300, 0x80000005 });   // by-name entries adjusted, ordinals not
    PutTable(pe, 0x2200, { 0x2300 });
    PutByName(pe, 0x2300, 0x33, "Fn");
    Lines expected = {
        L"1||late.dll",
        L"0|0033|Fn",
        L"0|0005|",
        L"1||",
        L"0|0033|Fn",
        L"1||late.dll",
        L"1||wrapped.dll",
    };
    EXPECT_EQ(expected, DelayImports(pe.Build()));
    // The import view never subtracts the base: its entry 0x402300 lies in no section.
    EXPECT_EQ(Lines({ L"1||late.dll", L"0||", L"0|0005|" }), RowLines(ViewerList(dialog, IDC_LIST_IMPORTS)));

    // Without a delay directory the list stays empty.
    PeBuilder none = pe;
    none.SetDirectory(IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT, 0);
    EXPECT_EQ(Lines(), DelayImports(none.Build()));

    // A PE32 base of 0x80000000 or more sets bit 31 of every by-name address:
    // those entries read as ordinals.
    PeBuilder high;
    high.SetImageBase(0x80000000);
    high.AddDataSection();
    high.SetDirectory(IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT, 0x3000);
    PutDelay(high, 0x3000, 0, 0x80002000, 0x80002100);
    high.PutString(0x2000, "high.dll");
    PutTable(high, 0x2100, { 0x80002300 });
    PutByName(high, 0x2300, 0x33, "Fn");
    EXPECT_EQ(Lines({ L"1||high.dll", L"0|2300|" }), DelayImports(high.Build()));
}

TEST_F(ImportsTest, DelayImportsInPe32PlusSubtractTheLowHalfOfTheBase)
{
    for (int variant = 0; variant < 2; ++variant) {
        // 0x180000000 has low half 0x80000000; 0x100400000 has 0x400000.
        ULONGLONG imageBase = variant ? 0x100400000ULL : 0x180000000ULL;
        DWORD low = static_cast<DWORD>(imageBase);
        PeBuilder pe(true);
        pe.SetImageBase(imageBase);
        pe.AddDataSection();
        pe.SetDirectory(IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT, 0x1000);
        PutDelay(pe, 0x1000, 0, low + 0x2000, low + 0x2100);
        PutDelay(pe, 0x1020, 1, 0x2000, 0x2200);
        pe.PutString(0x2000, "wide.dll");
        PutTable(pe, 0x2100, { imageBase + 0x3000, 0x8000000000000042ULL, 0x7FFF000000000000ULL + low + 0x3010 });
        PutTable(pe, 0x2200, { 0x3000 });
        PutByName(pe, 0x3000, 0x10, "First");
        PutByName(pe, 0x3010, 0x11, "Second");
        Lines expected = {
            L"1||wide.dll",
            L"0|0010|First",
            L"0|0042|",
            L"0|0011|Second",
            L"1||wide.dll",
            L"0|0010|First",
        };
        EXPECT_EQ(expected, DelayImports(pe.Build())) << std::hex << imageBase;
    }
}
