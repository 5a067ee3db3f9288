// modview-cli --bundle and --copy-to over programs made by the module
// builder (which the loader can run) and over a program built with MinGW
// against its shared C++ runtime: the libraries to ship, what is passed
// over and why, and a bundle folder the program starts from alone.
#include <windows.h>
#include <gtest/gtest.h>
#include <algorithm>
#include <string>
#include <vector>
#include "mingw_runtime.h"
#include "module_builder.h"
#include "pe_builder.h"
#include "remote_viewer.h"

namespace {

const bool NATIVE = sizeof(void*) == 8;

struct Result {
    DWORD code;
    std::string out, err;
};

std::string Narrow(const std::wstring& wide)
{
    return std::string(wide.begin(), wide.end());   // the tests' paths are ASCII
}

std::string ReadAll(const std::wstring& path)
{
    std::string text;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return text;
    char buffer[4096];
    DWORD read;
    while (ReadFile(file, buffer, sizeof buffer, &read, NULL) && read)
        text.append(buffer, read);
    CloseHandle(file);
    return text;
}

// Runs `exe` with `arguments`, its output into files; waits up to a minute.
Result RunProgram(const std::wstring& exe, const std::wstring& arguments)
{
    Result result = { STILL_ACTIVE, "", "" };
    // Files of their own for each run: a console host that Wine starts for
    // the child may keep its handles open for a while.
    static int runs;
    std::wstring n = std::to_wstring(++runs);
    std::wstring out = ScratchPath(L"bundle-out-" + n + L".txt"), err = ScratchPath(L"bundle-err-" + n + L".txt");
    SECURITY_ATTRIBUTES inherit = { sizeof inherit, NULL, TRUE };
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    HANDLE outFile = CreateFileW(out.c_str(), GENERIC_WRITE, share, &inherit, CREATE_ALWAYS, 0, NULL);
    HANDLE errFile = CreateFileW(err.c_str(), GENERIC_WRITE, share, &inherit, CREATE_ALWAYS, 0, NULL);
    EXPECT_TRUE(outFile != INVALID_HANDLE_VALUE && errFile != INVALID_HANDLE_VALUE) << GetLastError();
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = outFile;
    startup.hStdError = errFile;
    std::wstring line = L"\"" + exe + L"\" " + arguments;
    std::vector<wchar_t> command(line.begin(), line.end());
    command.push_back(L'\0');
    PROCESS_INFORMATION process = {};
    if (CreateProcessW(exe.c_str(), command.data(), NULL, NULL, TRUE, CREATE_NO_WINDOW, NULL, NULL, &startup, &process)) {
        WaitForSingleObject(process.hProcess, 60000);
        GetExitCodeProcess(process.hProcess, &result.code);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    } else {
        ADD_FAILURE() << "cannot start " << Narrow(exe) << ": " << GetLastError();
    }
    CloseHandle(outFile);
    CloseHandle(errFile);
    result.out = ReadAll(out);
    result.err = ReadAll(err);
    return result;
}

Result Companion(const std::wstring& arguments)
{
    return RunProgram(BesideTests(L"modview-cli.exe"), arguments);
}


std::wstring Folder(const std::wstring& name)
{
    std::wstring folder = ScratchPath(name);
    CreateDirectoryW(folder.c_str(), NULL);
    return folder;
}

void RemoveFiles(const std::wstring& folder)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            DeleteFileW((folder + L"\\" + found.cFileName).c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

const ULONGLONG BASE = NATIVE ? 0x180000000ULL : 0x10000000ULL;

// A program in `program` importing a library beside it, one in `given` (a
// --path folder) whose namesake of the other machine lies beside the
// program and is passed over, one only delay-loaded, and (`withMissing`)
// one that is nowhere; each runnable.
void WriteModules(const std::wstring& program, const std::wstring& given, bool withMissing)
{
    auto write = [](const std::wstring& path, const std::vector<BYTE>& bytes) {
        ASSERT_TRUE(WriteFileBytes(path, bytes)) << Narrow(path);
    };
    write(program + L"\\beside.dll", BuildModule(NATIVE, {}, { { "B", "" } }, false, "", BASE));
    write(given + L"\\given.dll", BuildModule(NATIVE, {}, { { "G", "" } }, false, "", BASE + 0x100000));
    write(program + L"\\wm.dll", BuildModule(!NATIVE, {}, { { "W", "" } }, false, "", BASE + 0x200000));
    write(given + L"\\wm.dll", BuildModule(NATIVE, {}, { { "W", "" } }, false, "", BASE + 0x300000));
    write(given + L"\\lazy.dll", BuildModule(NATIVE, {}, { { "L", "" } }, false, "", BASE + 0x400000));
    std::vector<ImportedLibrary> imports = { { "beside.dll", { "B" }, false }, { "given.dll", { "G" }, false },
                                             { "wm.dll", { "W" }, false }, { "kernel32.dll", { "GetTickCount" }, false },
                                             { "lazy.dll", { "L" }, true } };
    if (withMissing) {
        imports.push_back({ "gone.dll", { "X" }, false });
        imports.push_back({ "gone.dll", { "Y" }, false });   // a second descriptor, as MinGW's often are
    }
    write(program + L"\\app.exe", BuildModule(NATIVE, imports, {}, true, "", NATIVE ? 0x140000000ULL : 0x400000));
}

}  // namespace

TEST(Bundle, TheLibrariesThatAreNotTheSystemsWithWhatIsPassedOverAndMissing)
{
    std::wstring program = Folder(L"bundle-program"), given = Folder(L"bundle-given");
    WriteModules(program, given, true);
    std::wstring app = L"\"" + program + L"\\app.exe\"", path = L"--path \"" + given + L"\" ";

    Result bundle = Companion(L"--bundle " + path + app);
    EXPECT_EQ(3u, bundle.code) << bundle.err;
    EXPECT_EQ(Narrow(program + L"\\beside.dll\n" + given + L"\\given.dll\n" + given + L"\\wm.dll\n" + given +
                     L"\\lazy.dll\tdelay\n"),
              bundle.out);
    EXPECT_NE(std::string::npos, bundle.err.find("missing library gone.dll, needed by app.exe")) << bundle.err;
    EXPECT_EQ(std::string::npos, bundle.err.find("app.exe, app.exe")) << bundle.err;

    // The text writes paths as Windows does, and names what was passed over.
    Result deps = Companion(L"--deps " + path + app);
    EXPECT_NE(std::string::npos, deps.out.find(Narrow(L"passed over: " + program + L"\\wm.dll, made for ") +
                                               (NATIVE ? "i386" : "x64"))) << deps.out;

    Result json = Companion(L"--deps --json " + path + app);
    for (const char* fragment :
         { "{\"name\": \"kernel32.dll\", \"path\": ", "\"found_by\": \"system-folder\", \"system\": true, \"machine\": \"",
           "{\"name\": \"beside.dll\", ", "\"found_by\": \"application-folder\", \"system\": false, \"machine\": \"" }) {
        EXPECT_NE(std::string::npos, json.out.find(fragment)) << fragment;
    }
    EXPECT_NE(std::string::npos, json.out.find("\"passed_over\": [{\"path\": ")) << json.out;

    Result bundleJson = Companion(L"--bundle --json " + path + app);
    EXPECT_EQ(3u, bundleJson.code);
    EXPECT_NE(std::string::npos, bundleJson.out.find("\"delay\": true, \"needed_by\": [\"app.exe\"]}")) << bundleJson.out;
    EXPECT_NE(std::string::npos, bundleJson.out.find("{\"library\": \"gone.dll\", \"function\": null")) << bundleJson.out;
}

TEST(Bundle, CopiedOnceNeverOverAnotherFileAndTheProgramStartsFromThere)
{
    std::wstring program = Folder(L"bundle-program2"), given = Folder(L"bundle-given2");
    WriteModules(program, given, false);
    std::wstring target = Folder(L"bundle-target");
    RemoveFiles(target);
    std::wstring copy = L"--bundle --copy-to \"" + target + L"\" --path \"" + given + L"\" \"" + program + L"\\app.exe\"";

    Result first = Companion(copy);
    EXPECT_EQ(0u, first.code) << first.err;
    EXPECT_EQ(4, std::count(first.out.begin(), first.out.end(), '\n')) << first.out;
    EXPECT_EQ(0u, first.out.find("copied\t")) << first.out;
    Result again = Companion(copy);
    EXPECT_EQ(0u, again.code);
    EXPECT_EQ(std::string::npos, again.out.find("copied")) << again.out;
    EXPECT_EQ(4, std::count(again.out.begin(), again.out.end(), '\n'));

    // Where it was made, the program does not start (given.dll is elsewhere,
    // and the wm.dll beside it is of the other machine); copied beside its
    // bundle, it starts there alone.
    EXPECT_NE(0u, RunProgram(program + L"\\app.exe", L"").code);
    ASSERT_TRUE(CopyFileW((program + L"\\app.exe").c_str(), (target + L"\\app.exe").c_str(), FALSE));
    EXPECT_EQ(0u, RunProgram(target + L"\\app.exe", L"").code);

    // Another file of a library's name is kept, and said to be.
    std::wstring other = Folder(L"bundle-other");
    RemoveFiles(other);
    ASSERT_TRUE(WriteFileBytes(other + L"\\given.dll", { 'M', 'Z' }));
    Result kept = Companion(L"--bundle --copy-to \"" + other + L"\" --path \"" + given + L"\" \"" + program + L"\\app.exe\"");
    EXPECT_EQ(4u, kept.code);
    EXPECT_NE(std::string::npos, kept.out.find(Narrow(L"kept\t" + given + L"\\given.dll\t" + other + L"\\given.dll")));
    EXPECT_NE(std::string::npos, kept.err.find(Narrow(other + L"\\given.dll: another file of that name is there")));
    EXPECT_EQ(2u, ReadAll(other + L"\\given.dll").size());

    // Two programs whose libraries share a name, copied in one run: the
    // first one's copy stays, --overwrite or not.
    std::wstring twin = Folder(L"bundle-twin"), both = Folder(L"bundle-both");
    RemoveFiles(both);
    ASSERT_TRUE(WriteFileBytes(twin + L"\\beside.dll", BuildModule(NATIVE, {}, { { "T", "" } }, false, "", BASE)));
    ASSERT_TRUE(WriteFileBytes(twin + L"\\app.exe", BuildModule(NATIVE, { { "beside.dll", { "T" }, false } }, {}, true)));
    Result twins = Companion(L"--bundle --overwrite --copy-to \"" + both + L"\" --path \"" + given + L"\" \"" + program +
                             L"\\app.exe\" \"" + twin + L"\\app.exe\"");
    EXPECT_EQ(4u, twins.code) << twins.err;
    EXPECT_NE(std::string::npos, twins.err.find("copied in this run")) << twins.err;
    EXPECT_EQ(ReadAll(program + L"\\beside.dll"), ReadAll(both + L"\\beside.dll"));
}

#ifdef MINGW_SHARED_RUNTIME
// A program built with MinGW against its shared C++ runtime does not start
// alone; bundled with the runtime's folders as --path, it starts from the
// bundle's folder.
TEST(Bundle, AMinGWProgramWithItsSharedRuntimeStartsFromItsBundle)
{
    std::wstring program = BesideTests(L"shared_runtime\\hello_shared.exe");
    std::wstring target = Folder(L"bundle-mingw");
    RemoveFiles(target);
    std::wstring folders;
    for (const wchar_t* f : { MINGW_SHARED_RUNTIME })
        folders += L" --path \"" + std::wstring(f) + L"\"";
    Result bundle = Companion(L"--bundle --copy-to \"" + target + L"\"" + folders + L" \"" + program + L"\"");
    EXPECT_EQ(0u, bundle.code) << bundle.err;
    EXPECT_NE(std::string::npos, bundle.out.find("libstdc++-6.dll")) << bundle.out;
    EXPECT_NE(0u, RunProgram(program, L"").code);
    ASSERT_TRUE(CopyFileW(program.c_str(), (target + L"\\hello_shared.exe").c_str(), FALSE));
    Result started = RunProgram(target + L"\\hello_shared.exe", L"");
    EXPECT_EQ(0u, started.code);
    EXPECT_NE(std::string::npos, started.out.find("hello from a shared runtime")) << started.out;
}
#endif
