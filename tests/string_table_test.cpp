// The string-table list: ids from block numbers, language rows where the
// language changes, the Size of each block, and files that lie about it.
#include <windows.h>
#include <gtest/gtest.h>
#include <string.h>
#include "image/resource_dir.h"
#include "remote_viewer.h"
#include "res/resource.h"
#include "resource_builder.h"
#include "viewer_dialog.h"

namespace {

const DWORD RT_STRING_ID = 6;
const DWORD ENGLISH_US = 0x0409;
const DWORD GERMAN = 0x0407;

std::wstring LanguageRow(DWORD language)
{
    wchar_t name[128];
    if (GetLocaleInfoW(language, LOCALE_SLANGUAGE, name, 128) == 0)
        LanguageIdText(language, name);
    return std::wstring(L"1||") + name;
}

std::wstring Row(DWORD id, const std::wstring& text)
{
    return L"0|" + std::to_wstring(id) + L"|" + text;
}

ResourceName Block(DWORD number, const std::vector<ResourceLanguage>& languages)
{
    return ResourceName{ number, languages, 0 };
}

ResourceType Strings(const std::vector<ResourceName>& blocks)
{
    return ResourceType{ RT_STRING_ID, blocks, 0 };
}

std::vector<BYTE> Image(const std::vector<ResourceType>& types, bool is64 = false)
{
    PeBuilder pe(is64);
    pe.AddDataSection(0x1000, 0x8000);
    PutResources(&pe, types);
    return pe.Build();
}

class StringTableTest : public ViewerDialogTest {
protected:
    std::vector<std::wstring> Rows(const std::vector<BYTE>& bytes)
    {
        OpenBytesInViewer(dialog, bytes, L"string_table.dll");
        return RowLines(ViewerList(dialog, IDC_LIST_STRINGS));
    }
};

TEST_F(StringTableTest, NothingWithoutStringTables)
{
    PeBuilder bare;
    bare.AddDataSection();
    EXPECT_TRUE(Rows(bare.Build()).empty());

    EXPECT_TRUE(Rows(Image({ SingleResource(16, 1, ENGLISH_US, std::vector<BYTE>(64, 0)) })).empty());
    EXPECT_TRUE(Rows(Image({ Strings({}) })).empty());

    // Only named entries at the block level: no id entries to visit.
    ResourceType named = Strings({ Block(0x80000100, { ResourceLanguage{ ENGLISH_US, StringBlock({ L"a" }) } }) });
    named.namedNames = 1;
    EXPECT_TRUE(Rows(Image({ named })).empty());
}

TEST_F(StringTableTest, IdsFollowTheBlockNumber)
{
    std::vector<std::wstring> last;
    for (int i = 0; i < 16; ++i)
        last.push_back(L"s" + std::to_wstring(i));
    ResourceType strings = Strings({
        Block(1, { ResourceLanguage{ ENGLISH_US, StringBlock({ L"", L"", L"third", L"", L"", L"sixth" }) } }),
        Block(2, { ResourceLanguage{ ENGLISH_US, StringBlock({ L"a", L"", L"c" }) } }),
        Block(4096, { ResourceLanguage{ ENGLISH_US, StringBlock(last) } }),
    });
    // One language for all blocks: one language row at the top.
    std::vector<std::wstring> expected = { LanguageRow(ENGLISH_US), Row(2, L"third"), Row(5, L"sixth"),
                                           Row(16, L"a"), Row(18, L"c") };
    for (int i = 0; i < 16; ++i)
        expected.push_back(Row(65520 + i, last[i]));
    EXPECT_EQ(expected, Rows(Image({ strings })));
    EXPECT_EQ(expected, Rows(Image({ strings }, true)));

    // The string with id 0 is shown as a header row without its id.
    EXPECT_EQ((std::vector<std::wstring>{ LanguageRow(ENGLISH_US), L"1||zero", Row(1, L"one") }),
              Rows(Image({ Strings({ Block(1, { ResourceLanguage{ ENGLISH_US, StringBlock({ L"zero", L"one" }) } }) }) })));
}

TEST_F(StringTableTest, LanguageRowsWhereTheLanguageChanges)
{
    ResourceType strings = Strings({
        Block(1, { ResourceLanguage{ ENGLISH_US, StringBlock({ L"", L"one" }) },
                   ResourceLanguage{ GERMAN, StringBlock({ L"", L"eins" }) } }),
        Block(2, { ResourceLanguage{ ENGLISH_US, StringBlock({ L"sixteen" }) },
                   ResourceLanguage{ GERMAN, StringBlock({ L"sechzehn" }) } }),
        Block(3, { ResourceLanguage{ GERMAN, StringBlock({ L"zweiunddreissig" }) } }),
    });
    // Only the first string type is read.
    ResourceType second = Strings({ Block(5, { ResourceLanguage{ GERMAN, StringBlock({ L"unseen" }) } }) });
    EXPECT_EQ((std::vector<std::wstring>{
                  LanguageRow(ENGLISH_US), Row(1, L"one"),
                  LanguageRow(GERMAN), Row(1, L"eins"),
                  LanguageRow(ENGLISH_US), Row(16, L"sixteen"),
                  LanguageRow(GERMAN), Row(16, L"sechzehn"), Row(32, L"zweiunddreissig"),
              }),
              Rows(Image({ strings, second })));

    // Language 0 differs from the "no language yet" the walk starts with.
    EXPECT_EQ((std::vector<std::wstring>{ LanguageRow(0), Row(1, L"neutral") }),
              Rows(Image({ Strings({ Block(1, { ResourceLanguage{ 0, StringBlock({ L"", L"neutral" }) } }) }) })));
}

TEST_F(StringTableTest, SizeBoundsEachBlock)
{
    std::vector<std::wstring> eighteen;
    for (int i = 0; i < 18; ++i)
        eighteen.push_back(L"t" + std::to_wstring(i));
    ResourceType strings = Strings({
        Block(2, { ResourceLanguage{ ENGLISH_US, StringBlock({ L"one", L"two", L"three" }) },
                   ResourceLanguage{ GERMAN, StringBlock({ L"eins" }) } }),
        Block(3, { ResourceLanguage{ ENGLISH_US, StringBlock({ L"unseen" }) } }),
        Block(4, { ResourceLanguage{ ENGLISH_US, StringBlock(eighteen) } }),
        Block(6, { ResourceLanguage{ ENGLISH_US, StringBlock({ std::wstring(1023, L'x'), std::wstring(1024, L'y') }) } }),
    });
    PeBuilder pe;
    pe.AddDataSection(0x1000, 0x8000);
    ResourceLayout layout = PutResources(&pe, { strings });
    // Size ends inside "two": "one" stays, the German entry is still visited.
    pe.PutDword(0x1000 + layout.dataEntries[0] + 4, 2 + 6 + 2 + 2);
    // Size 0: only the language row (the language changes there).
    pe.PutDword(0x1000 + layout.dataEntries[2] + 4, 0);
    std::vector<std::wstring> expected = {
        LanguageRow(ENGLISH_US), Row(16, L"one"),
        LanguageRow(GERMAN), Row(16, L"eins"),
        LanguageRow(ENGLISH_US),
    };
    // Past sixteen strings the ids go on upward.
    for (int i = 0; i < 18; ++i)
        expected.push_back(Row(48 + i, eighteen[i]));
    // 1023 units are shown whole, 1024 units as their first 1022.
    expected.push_back(Row(80, std::wstring(1023, L'x')));
    expected.push_back(Row(81, std::wstring(1022, L'y')));
    EXPECT_EQ(expected, Rows(pe.Build()));
}

// A string of 4,096 units and the longest version value a block can hold:
// the viewer cuts the string to 1,022 units and shows the value whole. The
// file stays for the console companion's check, which prints both whole.
TEST_F(StringTableTest, LongCellsFile)
{
    const std::wstring text(4096, L's'), value(32600, L'v');
    VersionNode info = VersionInfo({ VersionTable(L"040904B0", { VersionString(L"Comments", value) }) });
    PeBuilder pe;
    pe.AddDataSection(0x1000, 0x20000);
    PutResources(&pe, {
        Strings({ Block(1, { ResourceLanguage{ ENGLISH_US, StringBlock({ L"", text }) } }) }),
        SingleResource(16, 1, ENGLISH_US, VersionBytes(info)),   // RT_VERSION
    });
    OpenBytesInViewer(dialog, pe.Build(), L"long-cells.dll");
    EXPECT_EQ(text.substr(0, 1022), CellText(ViewerList(dialog, IDC_LIST_STRINGS), 1, 1));
    EXPECT_EQ(value, CellText(ViewerList(dialog, IDC_LIST_VERSION), 1, 1));
}

TEST_F(StringTableTest, UnresolvedDataEndsTheView)
{
    ResourceType strings = Strings({
        Block(1, { ResourceLanguage{ ENGLISH_US, StringBlock({ L"", L"one" }) } }),
        Block(2, { ResourceLanguage{ GERMAN, StringBlock({ L"unseen" }) } }),
        Block(3, { ResourceLanguage{ ENGLISH_US, StringBlock({ L"unseen" }) } }),
    });
    std::vector<std::wstring> expected = { LanguageRow(ENGLISH_US), Row(1, L"one"), LanguageRow(GERMAN) };
    PeBuilder pe;
    pe.AddDataSection(0x1000, 0x1000);
    ResourceLayout layout = PutResources(&pe, { strings });
    // An RVA that no section holds.
    pe.PutDword(0x1000 + layout.dataEntries[1], 0x9000);
    EXPECT_EQ(expected, Rows(pe.Build()));
    // An RVA a section holds, at the very end of the file (raw data shorter
    // than the section).
    PeBuilder shortRaw;
    shortRaw.AddSection(".rsrc", 0x1000, 0x3000, 0x1000);
    layout = PutResources(&shortRaw, { strings });
    shortRaw.PutDword(0x1000 + layout.dataEntries[1], 0x2000);
    EXPECT_EQ(expected, Rows(shortRaw.Build()));
    // A data entry that lies past the end of the file. The language
    // directories (24 bytes each) come right before the data entries; block
    // 2's is the second of three, its entry's OffsetToData at byte 20.
    PeBuilder lost;
    lost.AddDataSection(0x1000, 0x1000);
    layout = PutResources(&lost, { strings });
    lost.PutDword(0x1000 + layout.dataEntries[0] - 2 * 24 + 20, 0x7FFFFFF0);
    EXPECT_EQ(expected, Rows(lost.Build()));
}

TEST_F(StringTableTest, NamedEntriesAreVisitedAsIdEntries)
{
    // At the block level: the named entry comes first and is taken for a
    // block whose number is its whole Name; the last id entry is left out.
    ResourceType blocks = Strings({
        Block(0x80000010, { ResourceLanguage{ ENGLISH_US, StringBlock({ L"named" }) } }),
        Block(1, { ResourceLanguage{ ENGLISH_US, StringBlock({ L"", L"one" }) } }),
        Block(2, { ResourceLanguage{ ENGLISH_US, StringBlock({ L"unseen" }) } }),
    });
    blocks.namedNames = 1;
    EXPECT_EQ((std::vector<std::wstring>{ LanguageRow(ENGLISH_US), Row(0x8000000Fu * 16u, L"named"), Row(1, L"one") }),
              Rows(Image({ blocks })));

    // At the language level likewise; a language the platform cannot name
    // shows its id.
    ResourceName languages = Block(1, {
        ResourceLanguage{ 0x80000020, StringBlock({ L"", L"named" }) },
        ResourceLanguage{ ENGLISH_US, StringBlock({ L"", L"one" }) },
        ResourceLanguage{ GERMAN, StringBlock({ L"", L"unseen" }) },
    });
    languages.namedLanguages = 1;
    EXPECT_EQ((std::vector<std::wstring>{ L"1||0x80000020", Row(1, L"named"), LanguageRow(ENGLISH_US), Row(1, L"one") }),
              Rows(Image({ Strings({ languages }) })));
}

TEST_F(StringTableTest, SizesAndDirectoriesThatLie)
{
    // Size 0xFFFFFFFF on the last data of a file that ends inside the third
    // string: the walk stops at the end of the file.
    std::vector<BYTE> data = StringBlock({ L"", L"one", L"two", L"three" });
    PeBuilder pe;
    pe.AddDataSection(0x1000, 0x1000);
    ResourceLayout layout = PutResources(&pe, { Strings({ Block(1, { ResourceLanguage{ ENGLISH_US, data } }) }) });
    pe.PutDword(0x1000 + layout.dataEntries[0] + 4, 0xFFFFFFFF);
    std::vector<BYTE> bytes = pe.Build();
    bytes.resize(0x400 + layout.data[0] + data.size() - 4);
    EXPECT_EQ((std::vector<std::wstring>{ LanguageRow(ENGLISH_US), Row(1, L"one"), Row(2, L"two") }), Rows(bytes));

    // 256 blocks that share one language directory of 256 entries, all
    // sharing one data entry whose Size reaches the end of the file: walked
    // as written, 65536 walks of the whole data. The walk stops once it has
    // counted as many bytes as the file has.
    const DWORD fan = 256;
    const DWORD rva = 0x1000;
    const DWORD blockDir = 0x18, languageDir = blockDir + 16 + 8 * fan;
    const DWORD dataEntry = languageDir + 16 + 8 * fan, text = dataEntry + 16;
    PeBuilder shared;
    shared.AddDataSection(rva, 0x2000);
    DWORD root[6] = { 0, 0, 0, 1u << 16, RT_STRING_ID, 0x80000000 | blockDir };
    shared.Put(rva, root, sizeof root);
    shared.PutDword(rva + blockDir + 12, fan << 16);
    shared.PutDword(rva + languageDir + 12, fan << 16);
    for (DWORD i = 0; i < fan; ++i) {
        DWORD block[2] = { 1, 0x80000000 | languageDir };
        DWORD language[2] = { ENGLISH_US, dataEntry };
        shared.Put(rva + blockDir + 16 + 8 * i, block, sizeof block);
        shared.Put(rva + languageDir + 16 + 8 * i, language, sizeof language);
    }
    DWORD entry[4] = { rva + text, 0xFFFFFFFF, 0, 0 };
    shared.Put(rva + dataEntry, entry, sizeof entry);
    for (DWORD at = text; at + 4 <= 0x2000; at += 4)
        shared.PutDword(rva + at, 0x00780001);   // length 1, "x"
    shared.SetDirectory(IMAGE_DIRECTORY_ENTRY_RESOURCE, rva);
    bytes = shared.Build();
    OpenBytesInViewer(dialog, bytes, L"string_table_shared.dll");
    int rows = RowCount(ViewerList(dialog, IDC_LIST_STRINGS));
    EXPECT_GT(rows, 1000);
    EXPECT_LE(rows, static_cast<int>(bytes.size() / 4));
}

TEST_F(StringTableTest, TheViewerShowsItsOwnStringTable)
{
    // The tests carry the same resources as the viewer.
    std::vector<std::wstring> expected = { LanguageRow(0x0C04) };
    for (UINT id = 1; id < 96; ++id) {
        wchar_t text[1024];
        if (LoadStringW(GetModuleHandleW(NULL), id, text, 1024) > 0)
            expected.push_back(Row(id, text));
    }
    ASSERT_GT(expected.size(), 40u);
    OpenInViewer(dialog, BesideTests(L"modview.exe"));
    EXPECT_EQ(expected, RowLines(ViewerList(dialog, IDC_LIST_STRINGS)));
}

}  // namespace
