// The dependency closure over real files under Wine: a program and libraries
// written into a folder of their own, walked with this system's facts.
#include <windows.h>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>
#include "loader/closure.h"
#include "module_builder.h"
#include "pe_builder.h"
#include "shell/system_facts.h"

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
    bool missingAtStart;
};

Walked Walk(const std::wstring& root)
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
    walked.missingAtStart = MissingAtStart(&closure);
    FreeClosure(&closure);
    return walked;
}

}  // namespace

TEST(Closure, MissingLibrariesFunctionsForwardersCyclesAndSideBySide)
{
    std::wstring folder = ScratchPath(L"closure");
    CreateDirectoryW(folder.c_str(), NULL);
    auto write = [&](const wchar_t* name, const std::vector<BYTE>& bytes) {
        ASSERT_TRUE(WriteFileBytes(folder + L"\\" + name, bytes));
    };
    write(L"present.dll", BuildModule(NATIVE, {}, { { "Good", "" }, { "Second", "" } }));
    write(L"chain.dll", BuildModule(NATIVE, {}, { { "Mid", "present.Good" } }));
    write(L"fwd.dll", BuildModule(NATIVE, {}, { { "FwdFunc", "chain.Mid" }, { "Nowhere", "nodot" }, { "ToSet", "api-ms-win-core-synch-l1-2-0.Sleep" } }));
    write(L"cyc1.dll", BuildModule(NATIVE, { { "cyc2.dll", { "B" }, false } }, { { "A", "" } }));
    write(L"cyc2.dll", BuildModule(NATIVE, { { "cyc1.dll", { "A" }, false } }, { { "B", "" } }));
    write(L"app.exe", BuildModule(NATIVE, { { "present.dll", { "Good", "#2", "Missing1", "#9" }, false },
                              { "absent.dll", { "X" }, false },
                              { "fwd.dll", { "FwdFunc", "ToSet", "Nowhere" }, false },
                              { "cyc1.dll", { "A" }, false },
                              { "comctl32.dll", { "InitCommonControlsEx" }, false },
                              { "lazy.dll", { "Y" }, true },
                              { "present.dll", { "Late" }, true } },
                            {}, true, CONTROLS_MANIFEST));
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

    // Only a delay-loaded library missing: the program still starts.
    write(L"lazy-only.exe", BuildModule(NATIVE, { { "present.dll", { "Good" }, false }, { "lazy.dll", { "Y" }, true } }, {}, true));
    EXPECT_FALSE(Walk(folder + L"\\lazy-only.exe").missingAtStart);
}
