// Manifest reading over well-formed and hostile text, each placed right before
// a no-access page; and the choice of a folder in the assembly store.
#include <windows.h>
#include <gtest/gtest.h>
#include <string.h>
#include <algorithm>
#include <string>
#include <vector>
#include "loader/manifest.h"
#include "thread_time.h"

namespace {
std::string Row(const AssemblyRef& a)
{
    return std::string(a.name) + "|" + a.version + "|" + a.architecture + "|" + a.publicKeyToken + "|" + a.language;
}

// The text ends right before a no-access page, so that a read past it faults.
std::vector<std::string> ReadGuarded(const std::string& text, int room = MAX_ASSEMBLIES)
{
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    SIZE_T page = system.dwPageSize, pages = text.size() / page + 2;
    BYTE* memory = static_cast<BYTE*>(VirtualAlloc(NULL, pages * page, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    BYTE* at = memory + (pages - 1) * page - text.size();
    memcpy(at, text.data(), text.size());
    DWORD old;
    VirtualProtect(memory + (pages - 1) * page, page, PAGE_NOACCESS, &old);
    AssemblyRef out[MAX_ASSEMBLIES];
    ByteSpan span = { at, static_cast<DWORD>(text.size()) };
    int found = ReadManifestDependencies(&span, out, room);
    VirtualFree(memory, 0, MEM_RELEASE);
    std::vector<std::string> rows;
    for (int i = 0; i < found; ++i)
        rows.push_back(Row(out[i]));
    return rows;
}

// UTF-16 LE with its byte-order mark.
std::string Utf16(const std::string& utf8)
{
    std::wstring wide(utf8.size(), L'\0');
    wide.resize(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &wide[0],
                                    static_cast<int>(wide.size())));
    return "\xFF\xFE" + std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * 2);
}

const char* const REAL = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">
  <assemblyIdentity type="win32" name="modview" version="1.1.0.0" processorArchitecture="*"/>
  <dependency>
    <dependentAssembly>
      <assemblyIdentity type="win32" name="Microsoft.Windows.Common-Controls" version="6.0.0.0"
                        processorArchitecture="*" publicKeyToken="6595b64144ccf1df" language="*"/>
    </dependentAssembly>
  </dependency>
</assembly>)";
const char* const CONTROLS = "Microsoft.Windows.Common-Controls|6.0.0.0|*|6595b64144ccf1df|*";

// Three dependencies, one of them in a dependency of two assemblies.
const char* const SEVERAL = "<assembly><assemblyIdentity name='self'/>"
                            "<dependency><dependentAssembly><assemblyIdentity name='A' version='1.0.0.0'/>"
                            "<assemblyIdentity name='second in the same'/></dependentAssembly></dependency>"
                            "<dependency><assemblyIdentity name='outside dependentAssembly'/>"
                            "<dependentAssembly><assemblyIdentity name='B' language='en-us'/></dependentAssembly>"
                            "<dependentAssembly><assemblyIdentity name='C' processorArchitecture='x86'/>"
                            "</dependentAssembly></dependency></assembly>";
const std::vector<std::string> SEVERAL_ROWS = { "A|1.0.0.0|||", "B||||en-us", "C||x86||" };

std::string Wrap(const std::string& identity)
{
    return "<dependency><dependentAssembly>" + identity + "</dependentAssembly></dependency>";
}
}

TEST(ManifestRead, FindsTheDependentIdentities)
{
    std::string longName(200, 'n');
    struct Case {
        const char* why;
        std::string text;
        std::vector<std::string> rows;
    } cases[] = {
        { "a program's manifest", REAL, { CONTROLS } },
        { "UTF-16 with its mark", Utf16(REAL), { CONTROLS } },
        { "namespace prefixes", "<asmv1:assembly xmlns:asmv1='urn:x'><asmv1:dependency><asmv1:dependentAssembly>"
          "<asmv1:assemblyIdentity asmv1:name='P' version='2.0.0.0'/></asmv1:dependentAssembly></asmv1:dependency>",
          { "P|2.0.0.0|||" } },
        { "single quotes, spaces, the other quote inside",
          Wrap("<assemblyIdentity\tname = 'say \"x\"'\r\n version='1.0.0.0' ></assemblyIdentity>"),
          { "say \"x\"|1.0.0.0|||" } },
        { "comments hide elements",
          "<!-- " + Wrap("<assemblyIdentity name='hidden'/>") + " --><dependency><dependentAssembly>"
          "<!-- <assemblyIdentity name='hidden too'/> --><assemblyIdentity name='shown'/></dependentAssembly>"
          "</dependency>",
          { "shown||||" } },
        { "several dependencies, other identities not counted", SEVERAL, SEVERAL_ROWS },
        { "fields cut to fit",
          Wrap("<assemblyIdentity name='" + longName + "' version='1.2.3.4.5.6.7.8.9.10.11.12.13.14.15'/>"),
          { std::string(127, 'n') + "|1.2.3.4.5.6.7.8.9.10.11.12.13.1|||" } },
        { "non-ASCII replaced", Utf16(Wrap("<assemblyIdentity name='caf\xC3\xA9'/>")), { "caf?||||" } },
        { "a stray '<' skipped", Wrap("< <assemblyIdentity name='a'/>"), { "a||||" } },
        { "an unterminated quote", Wrap("<assemblyIdentity name='a/>"), {} },
        { "an unterminated comment", "<!--" + Wrap("<assemblyIdentity name='a'/>"), {} },
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.rows, ReadGuarded(c.text)) << c.why;
    EXPECT_EQ(std::vector<std::string>(SEVERAL_ROWS.begin(), SEVERAL_ROWS.begin() + 2), ReadGuarded(SEVERAL, 2));

    // Cut anywhere, a manifest gives the identities whole up to the cut.
    for (const std::string& text : { std::string(SEVERAL), Utf16(SEVERAL) }) {
        for (size_t size = 0; size <= text.size(); ++size) {
            std::vector<std::string> rows = ReadGuarded(text.substr(0, size));
            ASSERT_LE(rows.size(), SEVERAL_ROWS.size()) << size;
            EXPECT_TRUE(std::equal(rows.begin(), rows.end(), SEVERAL_ROWS.begin())) << "cut to " << size;
        }
    }
}

TEST(ManifestRead, AMegabyteOfMarkupReadsInLinearTime)
{
    for (const char* unit : { "<", "<!-", "<?", "<a b='' ", "</", "<dependency><dependentAssembly>" }) {
        std::string text;
        while (text.size() < (1 << 20))
            text += unit;
        ULONGLONG before = ThreadBusyMs(GetCurrentThread());
        EXPECT_TRUE(ReadGuarded(text).empty()) << unit;
        EXPECT_LT(ThreadBusyMs(GetCurrentThread()) - before, 2000u) << unit;
    }
}

namespace {
const wchar_t* const STORE = L"C:\\windows\\winsxs";
const wchar_t* const FOLDERS[] = {
    L"manifests",
    L"amd64_microsoft.windows.common-controls_6595b64144ccf1df_6.0.2600.2982_none_deadbeef",
    L"amd64_microsoft.windows.common-controls_6595b64144ccf1df_6.0.19041.1110_none_a8625c1886757984",
    L"amd64_microsoft.windows.common-controls_6595b64144ccf1df_6.0.9200.16384_none_0123",
    L"amd64_microsoft.windows.common-controls_6595b64144ccf1df_6.0.70000.0_none_bad",   // no version
    L"amd64_microsoft.windows.common-controls_6595b64144ccf1df_5.82.19041.1110_none_89ab",
    L"x86_microsoft.windows.common-controls_6595b64144ccf1df_6.0.2600.2982_none_deadbeef",
    L"arm64_microsoft.windows.common-controls_6595b64144ccf1df_6.0.2600.2982_none_deadbeef",
    L"amd64_contoso.widgets_0123456789abcdef_1.0.0.0_none_1",
    L"amd64_contoso.widgets_0123456789abcdef_1.0.0.0_en-us_2",
    L"amd64_contoso_tools_0123456789abcdef_2.1.0.5_none_3",
    L"amd64_6.0.0.0_none_4",
};

bool ListStore(void*, const wchar_t*, void (*each)(void*, const wchar_t*), void* eachContext)
{
    for (const wchar_t* name : FOLDERS)
        each(eachContext, name);
    return true;
}

std::wstring Find(const AssemblyRef& ref, WORD machine, const wchar_t* store = STORE)
{
    FileProbe probe = { NULL, NULL, ListStore, NULL, NULL };
    wchar_t folder[MAX_PATH];
    bool found = FindAssemblyFolder(&probe, store, &ref, machine, folder);
    EXPECT_EQ(found, folder[0] != L'\0') << ref.name;
    return folder;
}
}

TEST(ManifestFolder, TakesTheHighestOfTheAskedMajorAndMinor)
{
    const WORD AMD64 = IMAGE_FILE_MACHINE_AMD64;
    struct Case {
        AssemblyRef ref;
        WORD machine;
        int folder;   // in FOLDERS; -1 for none
    } cases[] = {
        { { "Microsoft.Windows.Common-Controls", "6.0.0.0", "*", "6595b64144ccf1df", "*" }, AMD64, 2 },   // 19041 is numerically the highest
        { { "Microsoft.Windows.Common-Controls", "6.0.0.0", "*", "6595b64144ccf1df", "*" }, IMAGE_FILE_MACHINE_I386, 6 },
        { { "Microsoft.Windows.Common-Controls", "6.0.0.0", "", "6595b64144ccf1df", "" }, IMAGE_FILE_MACHINE_ARM64, 7 },
        { { "Microsoft.Windows.Common-Controls", "6.0.0.0", "x86", "6595b64144ccf1df", "*" }, AMD64, 6 },   // as the manifest asks
        { { "Microsoft.Windows.Common-Controls", "6.0.0.0", "*", "6595b64144ccf1df", "*" }, 0, -1 },
        { { "Microsoft.Windows.Common-Controls", "5.82.0.0", "*", "6595b64144ccf1df", "*" }, AMD64, 5 },
        { { "Microsoft.Windows.Common-Controls", "7.0.0.0", "*", "6595b64144ccf1df", "*" }, AMD64, -1 },
        { { "Microsoft.Windows.Common-Controls", "6.0.0.0", "*", "1fc8b3b9a1e18e3b", "*" }, AMD64, -1 },
        { { "contoso.widgets", "1.0.0.0", "amd64", "0123456789abcdef", "*" }, AMD64, 8 },
        { { "contoso.widgets", "1.0.0.0", "amd64", "0123456789abcdef", "" }, AMD64, 8 },
        { { "contoso.widgets", "1.0.0.0", "amd64", "0123456789abcdef", "en-US" }, AMD64, 9 },
        { { "contoso_tools", "2.1.0.0", "*", "0123456789abcdef", "*" }, AMD64, 10 },
    };
    for (const Case& c : cases) {
        std::wstring expected = c.folder < 0 ? L"" : std::wstring(STORE) + L"\\" + FOLDERS[c.folder];
        EXPECT_EQ(expected, Find(c.ref, c.machine)) << c.ref.name << " " << c.ref.version << " " << c.ref.language;
    }
    // A path that would not fit is no folder.
    std::wstring deep = L"C:\\" + std::wstring(MAX_PATH - 60, L'd');
    EXPECT_EQ(L"", Find(cases[0].ref, AMD64, deep.c_str()));
}
