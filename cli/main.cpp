// modview-cli: the viewer's views of PE files on standard output, as text or
// JSON, for scripts. The files are opened by the viewer's own code in a real,
// hidden main dialog, and every row printed is read back from its lists.
#include <windows.h>
#include <commctrl.h>
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <string.h>
#include "output.h"
#include "report.h"
#include "res/resource.h"
#include "shell/main_dialog.h"
#include "shell/resource_module.h"

enum ExitCode {
    EXIT_SHOWN = 0,
    EXIT_NOT_SHOWN = 1,   // a file could not be opened or is not a PE image
    EXIT_USAGE = 2,
    EXIT_NOT_FOUND = 3,   // with --resolve, a library was not found
};

static const char USAGE[] =
    "Usage: modview-cli [--json] [--resolve] [--view NAME[,NAME...]] FILE...\n"
    "Prints what modview shows of each PE file (EXE, DLL, CPL, SCR, MUI, OCX), as UTF-8.\n"
    "\n"
    "  --view NAMES  only these views, separated by commas: imports, delay-imports,\n"
    "                exports, sections, summary, version, strings (default: all)\n"
    "  --json        one JSON document, an array with an object per file\n"
    "                (default: text, a line per row, cells separated by tabs)\n"
    "  --resolve     add, for every imported library, the path that a double-click\n"
    "                in modview would open, or \"not found\"\n"
    "  --help        this text\n"
    "\n"
    "Exit status: 0 every file was shown; 1 a file could not be opened or is not a\n"
    "PE image; 2 bad usage; 3 with --resolve, a library was not found.\n";

struct Options {
    bool json, resolve, help;
    bool shown[VIEW_COUNT];
    std::vector<std::wstring> files;
};

// "modview-cli: SUBJECT: PROBLEM" on standard error, in UTF-8.
static void Complain(const std::wstring& subject, const wchar_t* problem)
{
    std::string out = "modview-cli: ";
    AppendCell(&out, subject);
    out += ": ";
    AppendCell(&out, problem);
    out += '\n';
    fputs(out.c_str(), stderr);
}

// Marks the views named in a comma-separated list; false on an unknown name.
static bool ChooseViews(const std::wstring& names, bool* shown)
{
    size_t start = 0;
    while (start <= names.size()) {
        size_t end = names.find(L',', start);
        if (end == std::wstring::npos)
            end = names.size();
        std::wstring name = names.substr(start, end - start);
        bool known = false;
        for (int v = 0; v < VIEW_COUNT; ++v) {
            const char* option = VIEWS[v].option;
            if (name == std::wstring(option, option + strlen(option)))
                shown[v] = known = true;
        }
        if (!known) {
            Complain(name, L"unknown view");
            return false;
        }
        start = end + 1;
    }
    return true;
}

static bool ParseOptions(int argc, wchar_t** argv, Options* options)
{
    options->json = options->resolve = options->help = false;
    bool someView = false, filesOnly = false;
    bool chosen[VIEW_COUNT] = {};
    for (int i = 1; i < argc; ++i) {
        std::wstring a = argv[i];
        if (filesOnly || a.empty() || a[0] != L'-') {
            options->files.push_back(a);
        } else if (a == L"--") {
            filesOnly = true;
        } else if (a == L"--json") {
            options->json = true;
        } else if (a == L"--resolve") {
            options->resolve = true;
        } else if (a == L"--help" || a == L"-h") {
            options->help = true;
        } else if (a == L"--view") {
            if (i + 1 == argc) {
                Complain(a, L"names no view");
                return false;
            }
            someView = true;
            if (!ChooseViews(argv[++i], chosen))
                return false;
        } else {
            Complain(a, L"unknown option");
            return false;
        }
    }
    for (int v = 0; v < VIEW_COUNT; ++v)
        options->shown[v] = !someView || chosen[v];
    if (options->files.empty() && !options->help) {
        fputs("modview-cli: no file named\n", stderr);
        return false;
    }
    return true;
}

// The full path of every file, made before the first is opened: opening one
// makes its folder the current directory.
static std::vector<std::wstring> FullPaths(const std::vector<std::wstring>& files)
{
    std::vector<std::wstring> full;
    for (const std::wstring& file : files) {
        DWORD units = GetFullPathNameW(file.c_str(), 0, NULL, NULL);
        std::vector<wchar_t> path(units + 1, L'\0');
        if (units == 0 || GetFullPathNameW(file.c_str(), units + 1, path.data(), NULL) == 0)
            full.push_back(file);
        else
            full.push_back(path.data());
    }
    return full;
}

int wmain(int argc, wchar_t** argv)
{
    RestrictLibrarySearch();   // before anything is loaded on demand
    _setmode(_fileno(stdout), _O_BINARY);   // UTF-8 as written, "\n" line ends
    Options options;
    if (!ParseOptions(argc, argv, &options)) {
        fputs(USAGE, stderr);
        return EXIT_USAGE;
    }
    if (options.help) {
        fputs(USAGE, stdout);
        return EXIT_SHOWN;
    }

    InitCommonControls();   // imported from comctl32 by ordinal 17, as by the viewer
    HWND dialog = CreateHiddenMainDialog(GetResourceModule());
    if (!dialog) {
        fprintf(stderr, "modview-cli: cannot create the viewer's dialog\n");
        return EXIT_NOT_SHOWN;
    }
    std::vector<std::wstring> full = FullPaths(options.files);
    int status = EXIT_SHOWN, notFound = 0;
    for (size_t i = 0; i < options.files.size(); ++i) {
        FileReport report;
        ReadReport(dialog, options.files[i], full[i], options.shown, options.resolve, &report, &notFound);
        if (report.result != OPEN_SHOWN) {
            Complain(report.file, FailureText(report));
            status = EXIT_NOT_SHOWN;
        }
        if (options.json)
            WriteJsonReport(report, options.shown, options.resolve, i == 0);
        else
            WriteTextReport(report, options.shown, options.resolve);
    }
    if (options.json)
        fputs("\n]\n", stdout);
    fflush(stdout);
    DestroyWindow(dialog);
    if (status == EXIT_SHOWN && notFound > 0)
        status = EXIT_NOT_FOUND;
    return status;
}
