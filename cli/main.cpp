// modview-cli: the viewer's views of PE files on standard output, as text or
// JSON, for scripts. Each file is read by the viewer's own views into tables
// in memory: the rows are the viewer's, and no window is created.
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <shlwapi.h>
#include <stdio.h>
#include "print_deps.h"
#include "print_views.h"
#include "image/image_file.h"
#include "host/process.h"
#include "host/system_facts.h"

enum ExitCode {
    EXIT_SHOWN = 0,
    EXIT_NOT_SHOWN = 1,   // a file could not be opened or is not a PE image
    EXIT_USAGE = 2,
    EXIT_NOT_FOUND = 3,   // with --resolve, a library was not found; with --deps,
                          // a library or function needed at start
};

static const char USAGE[] =
    "Usage: modview-cli [--json] [--resolve] [--view NAME[,NAME...]] FILE...\n"
    "       modview-cli --deps [--missing] [--json] [--path DIR]... FILE...\n"
    "Prints what modview shows of each PE file (EXE, DLL, CPL, SCR, MUI, OCX), as UTF-8;\n"
    "with --deps, the libraries the Windows loader would load for it.\n"
    "\n"
    "  --view NAMES  only these views, separated by commas: imports, delay-imports,\n"
    "                exports, sections, summary, version, strings (default: all)\n"
    "  --json        one JSON document of data, the same in every language:\n"
    "                {\"format\": 1, \"files\": [an object per file]}\n"
    "                (default: text, a line per row, cells separated by tabs)\n"
    "  --resolve     add, for every imported library, the path that a double-click\n"
    "                in modview would open, or \"not found\"\n"
    "  --deps        every library of the file's closure once, as an indented tree:\n"
    "                how it is found and where, the imported functions it lacks,\n"
    "                the libraries its exports forward to; delay-loaded ones marked\n"
    "  --missing     with --deps, only what is missing\n"
    "  --path DIR    with --deps and --resolve, search DIR too, after the system's\n"
    "                folders and PATH (may be repeated)\n"
    "  --help        this text\n"
    "\n"
    "Exit status: 0 every file was shown; 1 a file could not be opened or is not a\n"
    "PE image; 2 bad usage; 3 with --resolve, a library was not found; with --deps,\n"
    "a library or function needed at start is missing (delay-loaded ones do not count).\n";

struct Options {
    bool json, help;
    bool deps, onlyMissing;
    wchar_t* added;   // --path folders, each terminated, ending with an empty one
    Choice choice;
    int* fileArgs;   // the argv index of each file named
    int files;
};

static Output standardError = { stderr, 0, {} };
static Output standardOutput = { stdout, 0, {} };

// "modview-cli: SUBJECT: PROBLEM" on standard error, in UTF-8.
static void Complain(const wchar_t* subject, const wchar_t* problem)
{
    PutText(&standardError, "modview-cli: ");
    PutCell(&standardError, subject);
    PutText(&standardError, ": ");
    PutCell(&standardError, problem);
    PutChar(&standardError, '\n');
    Flush(&standardError);
}

// Marks the views named in a comma-separated list; false on an unknown name.
static bool ChooseViews(const wchar_t* names, bool* shown)
{
    wchar_t name[32];
    for (const wchar_t* start = names;; ++start) {
        const wchar_t* end = start;
        while (*end && *end != L',')
            ++end;
        int units = static_cast<int>(end - start);
        lstrcpynW(name, start, units < 32 ? units + 1 : 32);
        bool known = false;
        for (int v = 0; v < VIEW_COUNT && units < 32; ++v) {
            wchar_t option[32];
            MultiByteToWideChar(CP_ACP, 0, VIEW_FORMATS[v].option, -1, option, 32);
            if (lstrcmpW(name, option) == 0)
                shown[v] = known = true;
        }
        if (!known) {
            Complain(name, L"unknown view");
            return false;
        }
        if (!*end)
            return true;
        start = end;
    }
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

static bool ParseOptions(int argc, wchar_t** argv, Options* options)
{
    ZeroMemory(options, sizeof *options);
    options->fileArgs = static_cast<int*>(HeapAlloc(GetProcessHeap(), 0, argc * sizeof(int)));
    // Room for every argument as a folder of MAX_PATH units.
    options->added = static_cast<wchar_t*>(
        HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, (argc + 1) * (MAX_PATH + 1) * sizeof(wchar_t)));
    if (!options->fileArgs || !options->added)
        return false;
    bool someView = false, filesOnly = false;
    bool chosen[VIEW_COUNT] = {};
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
            options->deps = true;
        } else if (lstrcmpW(a, L"--missing") == 0) {
            options->deps = options->onlyMissing = true;
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
            if (!ChooseViews(argv[++i], chosen))
                return false;
        } else {
            Complain(a, L"unknown option");
            return false;
        }
    }
    for (int v = 0; v < VIEW_COUNT; ++v)
        options->choice.shown[v] = !someView || chosen[v];
    if (options->files == 0 && !options->help) {
        fputs("modview-cli: no file named\n", stderr);
        return false;
    }
    return true;
}

// The full path of every file, made before the first is read. An empty path
// for one that does not fit the viewer's buffer.
static wchar_t (*FullPaths(wchar_t** argv, const Options* options))[MAX_PATH]
{
    wchar_t (*full)[MAX_PATH] = static_cast<wchar_t (*)[MAX_PATH]>(
        HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, (options->files + 1) * sizeof(wchar_t[MAX_PATH])));
    for (int f = 0; full && f < options->files; ++f) {
        DWORD units = GetFullPathNameW(argv[options->fileArgs[f]], MAX_PATH, full[f], NULL);
        if (units == 0 || units >= MAX_PATH)
            full[f][0] = L'\0';
    }
    return full;
}

// Maps the image at `path`; null when `file` and `view` are ready (unmap
// the file), else why the file is not shown (and nothing stays open).
static const wchar_t* OpenImage(const wchar_t* path, ImageFile* file, ImageView* view)
{
    if (!path[0])
        return L"path too long";
    MapResult mapped = MapImageFile(path, file);
    if (mapped != MAP_DONE)
        return mapped == MAP_TOO_SMALL ? L"not a PE image" : L"cannot open";
    if (InitImageView(view, file->base, file->size))
        return NULL;
    UnmapImageFile(file);
    return L"not a PE image";
}

// The viewer's rows of the mapped image, for the text form; null when they
// are all there, else why the file is not shown.
static const wchar_t* ReadViews(ImageView* view, HMODULE resources, RowTable tables[VIEW_COUNT])
{
    RowSink sinks[VIEW_COUNT];
    for (int v = 0; v < VIEW_COUNT; ++v)
        sinks[v] = TableSink(&tables[v]);
    AddSummaryLabels(&sinks[VIEW_SUMMARY], resources);
    ShowViews(sinks, resources, view);
    for (int v = 0; v < VIEW_COUNT; ++v) {
        if (tables[v].outOfMemory)
            return L"out of memory";
    }
    return NULL;
}

// The closure of the file with --resolve and --deps; false when it was
// asked for and could not be had.
static bool WalkClosure(const Options* options, const LoaderFacts* facts, const wchar_t* fullPath,
                        Closure* closure, bool* walked)
{
    *walked = false;
    if (!options->deps && !options->choice.resolve)
        return true;
    *walked = BuildClosure(facts, fullPath, closure);
    return *walked && !closure->outOfMemory;
}

// Reads one file and prints it: its closure with --deps, else its views, in
// JSON read straight from the image, in text from the viewer's rows. False
// when it was not shown.
static bool PrintFile(Printer* printer, const wchar_t* file, const wchar_t* fullPath, const Options* options,
                      HMODULE resources, const LoaderFacts* facts, int* notFound)
{
    ImageFile image;
    ImageView view;
    const wchar_t* why = OpenImage(fullPath, &image, &view);
    bool mapped = why == NULL;
    RowTable tables[VIEW_COUNT];
    for (int v = 0; v < VIEW_COUNT; ++v)
        InitRowTable(&tables[v], VIEW_COLUMNS[v]);
    bool text = !options->deps && !options->json;
    if (!why && text)
        why = ReadViews(&view, resources, tables);
    Closure closure = {};
    bool walked = false;
    if (!why && !WalkClosure(options, facts, fullPath, &closure, &walked))
        why = L"out of memory";
    if (why) {
        printer->form->failure(printer, file, why);
    } else if (options->deps) {
        PrintDeps(printer, file, &closure, options->json, options->onlyMissing);
        if (MissingAtStart(&closure))
            ++*notFound;
    } else if (text) {
        PrintTextViews(printer, file, tables, &options->choice, walked ? &closure : NULL, notFound);
    } else {
        BuildSectionIndex(&view);
        if (!PrintJsonViews(printer, file, &view, &options->choice, walked ? &closure : NULL, notFound))
            why = L"out of memory";
        FreeSectionIndex(&view);
    }
    if (why)
        Complain(file, why);
    Flush(printer->out);
    if (walked)
        FreeClosure(&closure);
    for (int v = 0; v < VIEW_COUNT; ++v)
        FreeRowTable(&tables[v]);
    if (mapped)
        UnmapImageFile(&image);
    return why == NULL;
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

    // The viewer's texts, from the same module the viewer would choose (but
    // no window theming: the companion creates no window).
    HMODULE resources = FindResourceModule();
    // The current folder a program started from here would have.
    wchar_t current[MAX_PATH];
    DWORD currentUnits = GetCurrentDirectoryW(MAX_PATH, current);
    LoaderFacts facts;
    GatherSystemFacts(&facts, currentUnits > 0 && currentUnits < MAX_PATH ? current : NULL, options.added, true);
    wchar_t (*full)[MAX_PATH] = FullPaths(argv, &options);
    if (!full) {
        fputs("modview-cli: out of memory\n", stderr);
        return EXIT_NOT_SHOWN;
    }
    Printer printer = {};
    printer.form = options.json ? &JSON_FORM : &TEXT_FORM;
    printer.out = &standardOutput;
    int status = EXIT_SHOWN, notFound = 0;
    for (int f = 0; f < options.files; ++f) {
        if (!PrintFile(&printer, argv[options.fileArgs[f]], full[f], &options, resources, &facts, &notFound))
            status = EXIT_NOT_SHOWN;
    }
    printer.form->end(&printer);
    Flush(&standardOutput);
    HeapFree(GetProcessHeap(), 0, full);
    if (status == EXIT_SHOWN && notFound > 0)
        status = EXIT_NOT_FOUND;
    return status;
}
