// The search order of the library resolution, over files of our own: each
// step once, a file of the wrong machine skipped, a library already loaded
// reused, added folders last, the 32-bit system folder for a 32-bit importer.
#include <windows.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "loader/resolve.h"

namespace {

struct FakeFile {
    std::wstring path;
    WORD machine;
};

struct FakeSystem {
    std::vector<FakeFile> files;
    std::vector<std::wstring> folders;   // inside the store
    std::vector<std::wstring> loaded;    // paths already in the closure
};

WORD FakeMachine(void* context, const wchar_t* path)
{
    for (const FakeFile& file : static_cast<FakeSystem*>(context)->files) {
        if (lstrcmpiW(file.path.c_str(), path) == 0)
            return file.machine;
    }
    return 0;
}

bool FakeFolders(void* context, const wchar_t* folder, void (*each)(void*, const wchar_t*), void* eachContext)
{
    if (lstrcmpiW(folder, L"C:\\win\\WinSxS") != 0)
        return false;
    for (const std::wstring& name : static_cast<FakeSystem*>(context)->folders)
        each(eachContext, name.c_str());
    return true;
}

bool FakeLoaded(void* context, const wchar_t* name, wchar_t* path)
{
    for (const std::wstring& loaded : static_cast<FakeSystem*>(context)->loaded) {
        if (lstrcmpiW(loaded.substr(loaded.rfind(L'\\') + 1).c_str(), name) == 0) {
            lstrcpyW(path, loaded.c_str());
            return true;
        }
    }
    return false;
}

const WORD X64 = IMAGE_FILE_MACHINE_AMD64;
const WORD X86 = IMAGE_FILE_MACHINE_I386;

struct Case {
    const wchar_t* name;
    std::vector<FakeFile> files;
    const wchar_t* path;   // expected; empty for not found
    FoundBy how;
    WORD importer = X64;
    bool safeSearch = true;
    bool assembly = false;   // the importer's manifest asks for Common Controls 6
};

}  // namespace

TEST(Resolve, EachStepInTheLoadersOrder)
{
    const Case cases[] = {
        { L"a.dll", { { L"C:\\app\\a.dll", X64 }, { L"C:\\sys64\\a.dll", X64 }, { L"C:\\win\\a.dll", X64 } },
          L"C:\\app\\a.dll", FOUND_BY_APPLICATION_FOLDER },
        { L"KNOWN.DLL", { { L"C:\\app\\KNOWN.DLL", X64 }, { L"C:\\sys64\\KNOWN.DLL", X64 } }, L"C:\\sys64\\KNOWN.DLL",
          FOUND_BY_KNOWN_DLL },
        { L"b.dll", { { L"C:\\sys64\\b.dll", X64 }, { L"C:\\win\\b.dll", X64 } }, L"C:\\sys64\\b.dll",
          FOUND_BY_SYSTEM_FOLDER },
        { L"c.dll", { { L"C:\\win\\System\\c.dll", X64 }, { L"C:\\win\\c.dll", X64 } }, L"C:\\win\\System\\c.dll",
          FOUND_BY_SYSTEM_FOLDER },
        { L"d.dll", { { L"C:\\win\\d.dll", X64 }, { L"C:\\cur\\d.dll", X64 } }, L"C:\\win\\d.dll",
          FOUND_BY_WINDOWS_FOLDER },
        { L"e.dll", { { L"C:\\cur\\e.dll", X64 }, { L"C:\\p2\\e.dll", X64 } }, L"C:\\cur\\e.dll",
          FOUND_BY_CURRENT_FOLDER },
        { L"f.dll", { { L"C:\\p2\\f.dll", X64 }, { L"C:\\add\\f.dll", X64 } }, L"C:\\p2\\f.dll", FOUND_BY_PATH },
        { L"g.dll", { { L"C:\\add\\g.dll", X64 } }, L"C:\\add\\g.dll", FOUND_BY_GIVEN_FOLDER },
        // A file of another machine is passed over.
        { L"h.dll", { { L"C:\\app\\h.dll", X86 }, { L"C:\\sys64\\h.dll", X64 } }, L"C:\\sys64\\h.dll",
          FOUND_BY_SYSTEM_FOLDER },
        // Already loaded from elsewhere: that one, before the program's folder.
        { L"loaded.dll", { { L"C:\\app\\loaded.dll", X64 } }, L"C:\\else\\loaded.dll", FOUND_BY_ALREADY_LOADED },
        // No extension: a .dll.
        { L"j", { { L"C:\\app\\j.dll", X64 } }, L"C:\\app\\j.dll", FOUND_BY_APPLICATION_FOLDER },
        // A 32-bit importer searches the 32-bit system folder.
        { L"k.dll", { { L"C:\\sys64\\k.dll", X64 }, { L"C:\\sys32\\k.dll", X86 } }, L"C:\\sys32\\k.dll",
          FOUND_BY_SYSTEM_FOLDER, X86 },
        { L"nowhere.dll", { { L"C:\\app\\nowhere.dll", X86 } }, L"", NOT_FOUND },
        // Without safe search the current folder comes right after the program's.
        { L"m.dll", { { L"C:\\cur\\m.dll", X64 }, { L"C:\\sys64\\m.dll", X64 } }, L"C:\\cur\\m.dll",
          FOUND_BY_CURRENT_FOLDER, X64, false },
        // Side by side first, from the highest 6.0 in the store.
        { L"comctl32.dll",
          { { L"C:\\win\\WinSxS\\amd64_microsoft.windows.common-controls_6595b64144ccf1df_6.0.9.9_none_1\\comctl32.dll",
              X64 },
            { L"C:\\app\\comctl32.dll", X64 } },
          L"C:\\win\\WinSxS\\amd64_microsoft.windows.common-controls_6595b64144ccf1df_6.0.9.9_none_1\\comctl32.dll",
          FOUND_BY_SIDE_BY_SIDE, X64, true, true },
        // A folder name with nothing after it is no candidate; too long a name neither.
        { L"sub\\n.dll", { { L"C:\\app\\sub\\n.dll", X64 } }, L"", NOT_FOUND },
    };
    AssemblyRef controls = { "Microsoft.Windows.Common-Controls", "6.0.0.0", "*", "6595b64144ccf1df", "*" };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeSystem system;
        system.files = c.files;
        system.folders = { L"amd64_microsoft.windows.common-controls_6595b64144ccf1df_5.82.0.0_none_1",
                           L"amd64_microsoft.windows.common-controls_6595b64144ccf1df_6.0.9.9_none_1" };
        system.loaded = { L"C:\\else\\loaded.dll" };
        LoaderFacts facts = {};
        facts.probe = { &system, FakeMachine, FakeFolders, NULL, NULL };
        facts.knownDlls = L"known.dll\0\0";
        lstrcpyW(facts.systemFolder64, L"C:\\sys64");
        lstrcpyW(facts.systemFolder32, L"C:\\sys32");
        lstrcpyW(facts.system16Folder, L"C:\\win\\System");
        lstrcpyW(facts.windowsFolder, L"C:\\win");
        lstrcpyW(facts.currentFolder, L"C:\\cur");
        lstrcpyW(facts.winsxsFolder, L"C:\\win\\WinSxS");
        facts.pathFolders = L"C:\\p1;;C:\\p2;";
        facts.addedFolders = L"C:\\add\0\0";
        facts.safeSearch = c.safeSearch;
        Importer importer = { L"app.exe", c.importer, L"C:\\app\\", &controls, c.assembly ? 1 : 0, FakeLoaded,
                              &system };
        Resolution found;
        EXPECT_EQ(c.how != NOT_FOUND, ResolveLibrary(&facts, &importer, c.name, &found));
        EXPECT_EQ(std::wstring(c.path), found.path);
        EXPECT_STREQ(FoundByWord(c.how), FoundByWord(found.how));
    }
}
