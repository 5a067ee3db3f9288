// The version list: language rows, String rows and their labels, the walk of
// the blocks, and files that lie about their sizes.
#include <windows.h>
#include <commctrl.h>
#include <winver.h>
#include <gtest/gtest.h>
#include <string.h>
#include <algorithm>
#include "shell/open_image.h"
#include "image/resource_dir.h"
#include "remote_viewer.h"
#include "res/resource.h"
#include "resource_builder.h"
#include "viewer_dialog.h"

namespace {

const DWORD RT_VERSION_ID = 16;
const DWORD ENGLISH_US = 0x0409;
const DWORD GERMAN = 0x0407;

std::wstring LanguageRow(DWORD language)
{
    wchar_t name[128];
    if (VerLanguageNameW(language, name, 128) == 0)
        LanguageIdText(language, name);
    return std::wstring(L"1|語言|") + name;
}

std::vector<BYTE> Image(const std::vector<ResourceType>& types, DWORD sectionSize = 0x8000, bool is64 = false)
{
    PeBuilder pe(is64);
    pe.AddDataSection(0x1000, sectionSize);
    PutResources(&pe, types);
    return pe.Build();
}

std::vector<BYTE> VersionImage(const VersionNode& root, DWORD language = ENGLISH_US, bool is64 = false)
{
    return Image({ SingleResource(RT_VERSION_ID, 1, language, VersionBytes(root)) }, 0x8000, is64);
}

VersionNode Table(const std::vector<VersionNode>& strings)
{
    return VersionTable(L"040904B0", strings);
}

class VersionViewTest : public ViewerDialogTest {
protected:
    std::vector<std::wstring> Rows(const std::vector<BYTE>& bytes)
    {
        OpenBytesInViewer(dialog, bytes, L"version_view.dll");
        return RowLines(ViewerList(dialog, IDC_LIST_VERSION));
    }
};

TEST_F(VersionViewTest, NothingWithoutAVersionResource)
{
    PeBuilder bare;
    bare.AddDataSection();
    EXPECT_TRUE(Rows(bare.Build()).empty());

    // Only a string table.
    EXPECT_TRUE(Rows(Image({ SingleResource(6, 1, ENGLISH_US, StringBlock({ L"a" })) })).empty());

    // A directory address that no section holds.
    PeBuilder lost;
    lost.AddDataSection();
    lost.SetDirectory(IMAGE_DIRECTORY_ENTRY_RESOURCE, 0x9000);
    EXPECT_TRUE(Rows(lost.Build()).empty());

    // A version type whose name directory holds no entries.
    EXPECT_TRUE(Rows(Image({ ResourceType{ RT_VERSION_ID, {}, 0 } })).empty());
}

TEST_F(VersionViewTest, StandardKeysGetLabelsOthersShowTheKey)
{
    VersionNode root = VersionInfo({ Table({
        VersionString(L"CompanyName", L"Acme"),
        VersionString(L"companyName", L"lower"),
        VersionString(L"Comments", L"first key"),
        VersionString(L"SpecialBuild", L"last key"),
        VersionString(L"LegalTrademarks", L"TM"),
        VersionString(L"Build", L"own key"),
    }) });
    std::vector<std::wstring> expected = {
        LanguageRow(ENGLISH_US),
        L"0|公司|Acme",
        L"0|companyName|lower",
        L"0|註解|first key",
        L"0|特殊組建描述|last key",
        L"0|合法商標|TM",
        L"0|Build|own key",
    };
    // StringFileInfo, the table and VarFileInfo with its Translation give no rows.
    EXPECT_EQ(expected, Rows(VersionImage(root)));
    EXPECT_EQ(expected, Rows(VersionImage(root, ENGLISH_US, true)));
}

// Labels come from the resource module, loaded once per key and reused for
// a key met again; a module without the strings leaves the keys as written.
TEST_F(VersionViewTest, LabelsComeFromTheResourceModule)
{
    VersionNode root = VersionInfo({ Table({
        VersionString(L"CompanyName", L"Acme"),
        VersionString(L"Build", L"own key"),
        VersionString(L"CompanyName", L"again"),
    }) });
    std::vector<BYTE> bytes = VersionImage(root);
    HWND list = ViewerList(dialog, IDC_LIST_VERSION);
    auto rowsWith = [&](HMODULE resources) {
        SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
        EXPECT_TRUE(ShowImage(dialog, resources, bytes.data(), static_cast<DWORD>(bytes.size())));
        return RowLines(list);
    };
    wchar_t language[128];
    VerLanguageNameW(ENGLISH_US, language, 128);
    HMODULE labelled = LoadLibraryExW(BesideTests(L"companion_full.mui").c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    HMODULE bare = LoadLibraryExW(BesideTests(L"hook\\DarkMode.dll").c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(labelled && bare);
    std::vector<std::wstring> expected = {
        std::wstring(L"1|T32|") + language, L"0|T34|Acme", L"0|Build|own key", L"0|T34|again",
    };
    EXPECT_EQ(expected, rowsWith(labelled));
    expected = {
        std::wstring(L"1||") + language, L"0|CompanyName|Acme", L"0|Build|own key", L"0|CompanyName|again",
    };
    EXPECT_EQ(expected, rowsWith(bare));
    FreeLibrary(labelled);
    FreeLibrary(bare);
}

TEST_F(VersionViewTest, EveryLanguageEntryAndEveryTable)
{
    std::vector<BYTE> english = VersionBytes(VersionInfo({ Table({ VersionString(L"FileVersion", L"1.0") }) }));
    std::vector<BYTE> german = VersionBytes(VersionInfo({
        VersionTable(L"040704B0", { VersionString(L"ProductName", L"Produkt") }),
        VersionTable(L"040904B0", { VersionString(L"ProductName", L"Product") }),
    }));
    std::vector<BYTE> empty = VersionBytes(VersionInfo({}));
    ResourceType version{ RT_VERSION_ID, {
        ResourceName{ 1, { ResourceLanguage{ ENGLISH_US, english }, ResourceLanguage{ GERMAN, german } }, 0 },
        ResourceName{ 2, { ResourceLanguage{ ENGLISH_US, empty } }, 0 },
    }, 0 };
    // Only the first version type is read.
    ResourceType second{ RT_VERSION_ID, { ResourceName{ 1, { ResourceLanguage{ GERMAN, english } }, 0 } }, 0 };
    EXPECT_EQ((std::vector<std::wstring>{
                  LanguageRow(ENGLISH_US),
                  L"0|檔案版本|1.0",
                  LanguageRow(GERMAN),
                  L"0|產品名稱|Produkt",
                  L"0|產品名稱|Product",
                  LanguageRow(ENGLISH_US),
              }),
              Rows(Image({ version, second })));
}

TEST_F(VersionViewTest, ValuesAreSteppedAsWritten)
{
    // Binary (wType 0) at String level: no row, stepped by wValueLength bytes.
    VersionNode binary{ L"FileVersion", 0, std::vector<BYTE>(12, 0x41), 12, {}, -1 };
    // Text shorter than wValueLength says: the next String follows its terminator.
    VersionNode shortText = VersionString(L"ProductName", L"ab");
    shortText.valueLength = 40;
    // wValueLength 0: a row with an empty value, nothing stepped over.
    VersionNode noValue{ L"InternalName", 1, {}, 0, {}, -1 };
    VersionNode root = VersionInfo({ Table({
        binary, VersionString(L"Comments", L"after binary"),
        shortText, VersionString(L"PrivateBuild", L"after short"),
        noValue, VersionString(L"ProductVersion", L"after empty"),
    }) });
    EXPECT_EQ((std::vector<std::wstring>{
                  LanguageRow(ENGLISH_US),
                  L"0|註解|after binary",
                  L"0|產品名稱|ab",
                  L"0|內部組建描述|after short",
                  L"0|內部名稱|",
                  L"0|產品版本|after empty",
              }),
              Rows(VersionImage(root)));

    // A root whose wLength ends with its fixed part: the language row only.
    VersionNode cut = VersionInfo({ Table({ VersionString(L"Comments", L"unseen") }) });
    cut.length = 92;   // 6 + "VS_VERSION_INFO" with terminator, padded, + 52
    EXPECT_EQ(std::vector<std::wstring>{ LanguageRow(ENGLISH_US) }, Rows(VersionImage(cut)));
}

TEST_F(VersionViewTest, LongKeysAndTextsPastTheirBlock)
{
    // A key too long for the label buffer is cut to 255 units.
    std::wstring key(300, L'K');
    // A String whose wLength ends inside its text: shown up to the block's
    // end; the walk still finds the next String after the terminator.
    VersionNode spilled = VersionString(L"Comments", L"inside-outside");
    spilled.length = 24 + 2 * 6;   // header and key, then "inside"
    VersionNode root = VersionInfo({ Table({
        VersionString(key, L"long"), spilled, VersionString(L"CompanyName", L"next"),
    }) });
    EXPECT_EQ((std::vector<std::wstring>{
                  LanguageRow(ENGLISH_US),
                  L"0|" + key.substr(0, 255) + L"|long",
                  L"0|註解|inside",
                  L"0|公司|next",
              }),
              Rows(VersionImage(root)));
}

TEST_F(VersionViewTest, DataRunningOffTheEndOfTheFile)
{
    // The version data is the last thing in the file, which ends inside the
    // text of a String: the text is shown as far as the file goes.
    VersionNode root = VersionInfo({ Table({
        VersionString(L"CompanyName", L"whole"), VersionString(L"Comments", L"abcdef"),
    }) });
    std::vector<BYTE> data = VersionBytes(root);
    PeBuilder pe;
    pe.AddDataSection(0x1000, 0x1000);
    ResourceLayout layout = PutResources(&pe, { SingleResource(RT_VERSION_ID, 1, ENGLISH_US, data) });
    std::vector<BYTE> bytes = pe.Build();
    const wchar_t* abc = L"abc";
    auto at = std::search(data.begin(), data.end(), reinterpret_cast<const BYTE*>(abc),
                          reinterpret_cast<const BYTE*>(abc) + 6);
    ASSERT_NE(at, data.end());
    DWORD fileEnd = 0x400 + layout.data[0] + static_cast<DWORD>(at - data.begin()) + 6;
    bytes.resize(fileEnd);
    EXPECT_EQ((std::vector<std::wstring>{ LanguageRow(ENGLISH_US), L"0|公司|whole", L"0|註解|abc" }), Rows(bytes));

    // Cut inside the header of the second String: the first String stays.
    bytes.resize(fileEnd - 6 - 24 + 3);
    EXPECT_EQ((std::vector<std::wstring>{ LanguageRow(ENGLISH_US), L"0|公司|whole" }), Rows(bytes));
}

TEST_F(VersionViewTest, DeepNesting)
{
    // Sound but deep: a chain of 300 nested blocks between two Strings is
    // measured by its lengths and the String after it is still found.
    VersionNode chain{ L"", 0, {}, 0, {}, -1 };
    for (int i = 0; i < 300; ++i)
        chain = VersionNode{ L"", 0, {}, 0, { chain }, -1 };
    VersionNode root = VersionInfo({ Table({
        VersionString(L"Comments", L"before"), chain, VersionString(L"CompanyName", L"after"),
    }) });
    EXPECT_EQ((std::vector<std::wstring>{ LanguageRow(ENGLISH_US), L"0|註解|before", L"0|公司|after" }),
              Rows(VersionImage(root)));

    // Hostile: every 8 bytes a block claiming 65535 bytes, nested all the way
    // to the end of a 1 MiB section. Walked without a depth bound this needs
    // 131072 levels of recursion.
    const DWORD size = 0x100000;
    std::vector<BYTE> nest(size);
    for (DWORD i = 0; i < size; i += 8) {
        WORD block[4] = { 0xFFFF, 0, 0, 0 };
        memcpy(&nest[i], block, sizeof block);
    }
    std::vector<BYTE> bytes = Image({ SingleResource(RT_VERSION_ID, 1, ENGLISH_US, nest) }, size + 0x1000);
    EXPECT_EQ(std::vector<std::wstring>{ LanguageRow(ENGLISH_US) }, Rows(bytes));
}

TEST_F(VersionViewTest, DirectoriesPointingOutsideOrAtThemselves)
{
    std::vector<BYTE> data = VersionBytes(VersionInfo({ Table({ VersionString(L"Comments", L"c") }) }));
    ResourceType version{ RT_VERSION_ID, { ResourceName{ 1, {
        ResourceLanguage{ ENGLISH_US, data }, ResourceLanguage{ GERMAN, data }, ResourceLanguage{ 0x040C, data },
    }, 0 } }, 0 };
    PeBuilder pe;
    pe.AddDataSection(0x1000, 0x1000);
    ResourceLayout layout = PutResources(&pe, { version });
    // The first data entry names an RVA no section holds, the second lies
    // past the end of the file: each leaves its language row alone.
    pe.PutDword(0x1000 + layout.dataEntries[0], 0x9000);
    DWORD german = layout.dataEntries[0] - 16;   // its entry in the language directory
    pe.PutDword(0x1000 + german + 4, 0x7FFFFFF0);
    EXPECT_EQ((std::vector<std::wstring>{
                  LanguageRow(ENGLISH_US), LanguageRow(GERMAN), LanguageRow(0x040C), L"0|註解|c",
              }),
              Rows(pe.Build()));

    // A root of 2000 entries that all lead back to the root: taken for the
    // name and the language levels, that would be four million language
    // rows. The walk stops once it has counted as many bytes as the file has.
    const DWORD entries = 2000;
    std::vector<BYTE> root(16 + 8 * entries);
    root[14] = entries & 0xFF;
    root[15] = entries >> 8;
    for (DWORD i = 0; i < entries; ++i) {
        DWORD entry[2] = { RT_VERSION_ID, 0x80000000 };
        memcpy(&root[16 + 8 * i], entry, sizeof entry);
    }
    PeBuilder loop;
    loop.AddDataSection(0x1000, 0x4000);
    loop.Put(0x1000, root.data(), root.size());
    loop.SetDirectory(IMAGE_DIRECTORY_ENTRY_RESOURCE, 0x1000);
    std::vector<BYTE> bytes = loop.Build();
    OpenBytesInViewer(dialog, bytes, L"version_loop.dll");
    int rows = RowCount(ViewerList(dialog, IDC_LIST_VERSION));
    EXPECT_GT(rows, 0);
    EXPECT_LE(rows, static_cast<int>(bytes.size() / 8));
}

TEST_F(VersionViewTest, TheViewerShowsItsOwnVersion)
{
    OpenInViewer(dialog, BesideTests(L"modview.exe"));
    EXPECT_EQ((std::vector<std::wstring>{
                  LanguageRow(0x0C04),
                  L"0|公司|modview",
                  L"0|描述|程式 / 程式庫 檢視程式",
                  L"0|檔案版本|1.1.0.0",
                  L"0|內部名稱|modview",
                  L"0|著作權|modview",
                  L"0|原始檔名|modview.exe",
                  L"0|產品名稱|modview",
                  L"0|產品版本|1.0.0.0",
              }),
              RowLines(ViewerList(dialog, IDC_LIST_VERSION)));
}

}  // namespace
