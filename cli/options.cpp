#include "options.h"
#include <stdio.h>

const char USAGE[] =
    "Usage: modview-cli [--json] [--resolve] [--view NAME[,NAME...]] FILE...\n"
    "       modview-cli --deps [--missing] [--json] [--path DIR]... FILE...\n"
    "       modview-cli --bundle [--copy-to DIR [--overwrite]] [--json] [--path DIR]... FILE...\n"
    "       modview-cli --require WORD[,WORD...] [--json] FILE...\n"
    "Prints what modview shows of each PE file (EXE, DLL, CPL, SCR, MUI, OCX), as UTF-8;\n"
    "with --deps, the libraries the Windows loader would load for it; with --bundle,\n"
    "those of them that are not the system's, which must be shipped with it.\n"
    "A FILE with * or ? in its last part stands for every file that matches.\n"
    "\n"
    "  --view NAMES  only these views, separated by commas: imports, delay-imports,\n"
    "                exports, sections, summary, version, strings (default: these\n"
    "                seven), and the companion's own: debug, load-config (with TLS),\n"
    "                hardening, signature, clr, manifest\n"
    "  --json        one JSON document of data, the same in every language:\n"
    "                {\"format\": 1, \"files\": [an object per file]}\n"
    "                (default: text, a line per row, cells separated by tabs)\n"
    "  --resolve     add, for every imported library, the path that a double-click\n"
    "                in modview would open, or \"not found\"\n"
    "  --deps        every library of the file's closure once, as an indented tree:\n"
    "                how it is found and where, the imported functions it lacks,\n"
    "                the libraries its exports forward to; delay-loaded ones marked\n"
    "  --missing     with --deps, only what is missing\n"
    "  --bundle      the libraries of each file's closure that the system does not\n"
    "                provide (found neither through an API set, KnownDLLs, the system\n"
    "                or Windows folder, nor the system's WinSxS store), once each:\n"
    "                their paths, a line each; delay-loaded ones marked\n"
    "  --copy-to DIR with --bundle, copy them into DIR (made when missing); a file of\n"
    "                the same name and other bytes already there is kept\n"
    "  --overwrite   with --copy-to, replace such a file instead\n"
    "  --path DIR    with --deps, --bundle and --resolve, search DIR too, after the system's\n"
    "                folders and PATH (may be repeated)\n"
    "  --require WORDS  the mitigations each file must be built with, by the hardening\n"
    "                view's words: dynamic-base, high-entropy-va, nx-compat,\n"
    "                force-integrity, cfg, safe-seh, gs, cet-compat, appcontainer,\n"
    "                no-isolation, signed, checksum; prints a line per file and\n"
    "                requirement not met, FILE, WORD, \"no\" and why, tab-separated\n"
    "                (one that does not apply to a file counts as met)\n"
    "  --help        this text\n"
    "\n"
    "Exit status: 0 every file was shown; 1 a file could not be opened or is not a\n"
    "PE image (or a pattern matched nothing, or a folder was named); 2 bad usage; 3 with\n"
    "--resolve, a library was not found; with --deps and --bundle, a library or function\n"
    "needed at start is missing (delay-loaded ones do not count); 4 with --copy-to, a\n"
    "different file of a library's name was kept in DIR (or a copy failed); 5 with\n"
    "--require, a file lacks a required mitigation. 1 and 2 come before the others.\n";

// Calls `take` with each name of a comma-separated list; false (said on
// standard error) at the first name it does not know.
static bool TakeNames(const wchar_t* names, const wchar_t* unknown, bool (*take)(void* context, const char* name),
                      void* context)
{
    for (const wchar_t* start = names;; ++start) {
        const wchar_t* end = start;
        while (*end && *end != L',')
            ++end;
        int units = static_cast<int>(end - start);
        wchar_t wide[32];
        char name[32];
        lstrcpynW(wide, start, units < 32 ? units + 1 : 32);
        bool fits = units < 32 && WideCharToMultiByte(CP_UTF8, 0, wide, -1, name, sizeof name, NULL, NULL) > 0;
        if (!fits || !take(context, name)) {
            Complain(wide, unknown);
            return false;
        }
        if (!*end)
            return true;
        start = end;
    }
}

static bool TakeView(void* context, const char* name)
{
    Choice* chosen = static_cast<Choice*>(context);
    for (int v = 0; v < VIEW_COUNT; ++v) {
        if (lstrcmpA(name, VIEW_FORMATS[v].option) == 0)
            return chosen->shown[v] = true;
    }
    for (int v = 0; v < REPORT_COUNT; ++v) {
        if (lstrcmpA(name, REPORT_FORMATS[v].option) == 0)
            return chosen->reports[v] = true;
    }
    return false;
}

static bool TakeRequirement(void* context, const char* name)
{
    bool* required = static_cast<bool*>(context);
    for (int m = 0; m < MITIGATION_COUNT; ++m) {
        if (lstrcmpA(name, MITIGATION_WORDS[m]) == 0)
            return required[m] = true;
    }
    return false;
}

// Appends a folder, made a full path, to the --path list.
static void AddFolder(Options* options, const wchar_t* folder)
{
    wchar_t full[MAX_PATH];
    DWORD units = GetFullPathNameW(folder, MAX_PATH, full, NULL);
    if (units == 0 || units >= MAX_PATH)
        return;
    int used = 0;
    while (options->added[used])
        used += lstrlenW(options->added + used) + 1;
    lstrcpyW(options->added + used, full);
    options->added[used + units + 1] = L'\0';
}

// The modes exclude each other: a gate that silently became a listing would
// pass every build.
static bool SetMode(Options* options, Mode mode)
{
    if (options->mode != MODE_VIEWS && options->mode != mode) {
        fputs("modview-cli: --deps (--missing), --bundle and --require go one at a time\n", stderr);
        return false;
    }
    options->mode = mode;
    return true;
}

bool ParseOptions(int argc, wchar_t** argv, Options* options)
{
    ZeroMemory(options, sizeof *options);
    options->fileArgs = static_cast<int*>(HeapAlloc(GetProcessHeap(), 0, argc * sizeof(int)));
    // Room for every argument as a folder of MAX_PATH units.
    options->added = static_cast<wchar_t*>(
        HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, (argc + 1) * (MAX_PATH + 1) * sizeof(wchar_t)));
    if (!options->fileArgs || !options->added)
        return false;
    bool someView = false, filesOnly = false;
    Choice chosen = {};
    for (int i = 1; i < argc; ++i) {
        const wchar_t* a = argv[i];
        if (filesOnly || a[0] != L'-') {
            options->fileArgs[options->files++] = i;
        } else if (lstrcmpW(a, L"--") == 0) {
            filesOnly = true;
        } else if (lstrcmpW(a, L"--json") == 0) {
            options->json = true;
        } else if (lstrcmpW(a, L"--resolve") == 0) {
            options->choice.resolve = true;
        } else if (lstrcmpW(a, L"--deps") == 0) {
            if (!SetMode(options, MODE_DEPS))
                return false;
        } else if (lstrcmpW(a, L"--missing") == 0) {
            if (!SetMode(options, MODE_DEPS))
                return false;
            options->onlyMissing = true;
        } else if (lstrcmpW(a, L"--bundle") == 0) {
            if (!SetMode(options, MODE_BUNDLE))
                return false;
        } else if (lstrcmpW(a, L"--overwrite") == 0) {
            options->overwrite = true;
        } else if (lstrcmpW(a, L"--copy-to") == 0) {
            if (i + 1 == argc) {
                Complain(a, L"names no folder");
                return false;
            }
            DWORD units = GetFullPathNameW(argv[++i], MAX_PATH, options->copyTo, NULL);
            if (units == 0 || units >= MAX_PATH) {
                Complain(argv[i], L"path too long");
                return false;
            }
        } else if (lstrcmpW(a, L"--path") == 0) {
            if (i + 1 == argc) {
                Complain(a, L"names no folder");
                return false;
            }
            AddFolder(options, argv[++i]);
        } else if (lstrcmpW(a, L"--help") == 0 || lstrcmpW(a, L"-h") == 0) {
            options->help = true;
        } else if (lstrcmpW(a, L"--view") == 0) {
            if (i + 1 == argc) {
                Complain(a, L"names no view");
                return false;
            }
            someView = true;
            if (!TakeNames(argv[++i], L"unknown view", TakeView, &chosen))
                return false;
        } else if (lstrcmpW(a, L"--require") == 0) {
            if (i + 1 == argc) {
                Complain(a, L"names no mitigation");
                return false;
            }
            if (!SetMode(options, MODE_REQUIRE) || !TakeNames(argv[++i], L"unknown mitigation", TakeRequirement, options->required))
                return false;
        } else {
            Complain(a, L"unknown option");
            return false;
        }
    }
    for (int v = 0; v < VIEW_COUNT; ++v)
        options->choice.shown[v] = !someView || chosen.shown[v];
    CopyMemory(options->choice.reports, chosen.reports, sizeof chosen.reports);
    if (options->mode == MODE_REQUIRE && (someView || options->choice.resolve)) {
        fputs("modview-cli: --require goes without --view and --resolve\n", stderr);
        return false;
    }
    if ((options->copyTo[0] || options->overwrite) && options->mode != MODE_BUNDLE) {
        fputs("modview-cli: --copy-to and --overwrite go with --bundle\n", stderr);
        return false;
    }
    if (options->overwrite && !options->copyTo[0]) {
        fputs("modview-cli: --overwrite goes with --copy-to\n", stderr);
        return false;
    }
    if (options->files == 0 && !options->help) {
        fputs("modview-cli: no file named\n", stderr);
        return false;
    }
    return true;
}

