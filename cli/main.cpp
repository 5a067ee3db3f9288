// modview-cli: the viewer's views of PE files on standard output, as text or
// JSON, for scripts. Each file is read by the viewer's own views into tables
// in memory: the rows are the viewer's, and no window is created.
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <shlwapi.h>
#include <stdio.h>
#include "bundle.h"
#include "files.h"
#include "options.h"
#include "print_deps.h"
#include "print_views.h"
#include "require.h"
#include "image/image_file.h"
#include "host/process.h"
#include "host/system_facts.h"

enum ExitCode {
    EXIT_SHOWN = 0,
    EXIT_NOT_SHOWN = 1,   // a file could not be opened or is not a PE image
    EXIT_USAGE = 2,
    EXIT_NOT_FOUND = 3,   // with --resolve, a library was not found; with --deps and
                          // --bundle, a library or function needed at start
    EXIT_KEPT = 4,        // with --copy-to, a different file was kept (or a copy failed)
    EXIT_UNMET = 5,       // with --require, a file lacks a required mitigation
};

// What the whole run shares.
struct Run {
    const Options* options;
    Printer printer;
    HMODULE resources;
    LoaderFacts facts;
    FileBuffer buffer;   // files read whole
    BundleRun bundle;
    int notFound;   // libraries not found (--resolve), files missing something at start (--deps)
    int unmet;      // files that lack a required mitigation (--require)
};

// Maps the image at `path`, or reads it whole into the run's buffer when
// every byte of it will be read (the JSON headers' checksum); null when
// `file` and `view` are ready (unmap the file), else why the file is not
// shown (and nothing stays open).
static const wchar_t* OpenImage(Run* run, const wchar_t* path, ImageFile* file, ImageView* view)
{
    if (!path[0])
        return L"path too long";
    const Options* options = run->options;
    bool wholly = options->mode == MODE_VIEWS && options->json && options->choice.shown[VIEW_SUMMARY];
    MapResult mapped = wholly ? ReadImageFile(path, &run->buffer, file) : MapImageFile(path, file);
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

// --deps and --missing: the file's closure; --bundle: what of it to ship.
static const wchar_t* PrintClosure(Run* run, const wchar_t* file, const wchar_t* fullPath)
{
    // The walk maps the file again: it may fail where the first mapping did not.
    Closure closure;
    if (!BuildClosure(&run->facts, fullPath, &closure) || closure.outOfMemory) {
        run->printer.form->failure(&run->printer, file, L"out of memory");
        FreeClosure(&closure);
        return L"out of memory";
    }
    bool printed = run->options->mode == MODE_BUNDLE
                       ? PrintBundle(&run->printer, &run->bundle, file, &closure, run->options->json)
                       : PrintDeps(&run->printer, file, &closure, run->options->json, run->options->onlyMissing);
    if (printed && MissingAtStart(&closure))
        ++run->notFound;
    FreeClosure(&closure);
    return printed ? NULL : L"out of memory";
}

// The views of the mapped image: in JSON read straight from the image, in
// text from the viewer's rows; with --resolve, where each library leads.
static const wchar_t* PrintViews(Run* run, const wchar_t* file, const wchar_t* fullPath, ImageView* view)
{
    const Options* options = run->options;
    RowTable tables[VIEW_COUNT];
    for (int v = 0; v < VIEW_COUNT; ++v)
        InitRowTable(&tables[v], VIEW_COLUMNS[v]);
    bool anyView = false;
    for (int v = 0; v < VIEW_COUNT; ++v)
        anyView = anyView || options->choice.shown[v];
    const wchar_t* why = options->json || !anyView ? NULL : ReadViews(view, run->resources, tables);
    Closure closure = {};
    bool walked = false;
    if (!why && options->choice.resolve) {
        walked = BuildClosure(&run->facts, fullPath, &closure);
        if (!walked || closure.outOfMemory)
            why = L"out of memory";
    }
    if (why) {
        run->printer.form->failure(&run->printer, file, why);
    } else if (!options->json) {
        PrintTextViews(&run->printer, file, fullPath, view, tables, &options->choice, walked ? &closure : NULL,
                       &run->notFound);
    } else {
        BuildSectionIndex(view);
        if (!PrintJsonViews(&run->printer, file, fullPath, view, &options->choice, walked ? &closure : NULL,
                            &run->notFound))
            why = L"out of memory";
        FreeSectionIndex(view);
    }
    if (walked)
        FreeClosure(&closure);
    for (int v = 0; v < VIEW_COUNT; ++v)
        FreeRowTable(&tables[v]);
    return why;
}

// Reads one file and prints it. False when it was not shown.
static bool PrintFile(Run* run, const NamedFile* named)
{
    const wchar_t* file = named->shown;
    ImageFile image;
    ImageView view;
    const wchar_t* why = named->error ? named->error : OpenImage(run, named->full, &image, &view);
    if (why) {
        run->printer.form->failure(&run->printer, file, why);
    } else {
        Mode mode = run->options->mode;
        if (mode == MODE_VIEWS)
            why = PrintViews(run, file, named->full, &view);
        else if (mode == MODE_REQUIRE)
            run->unmet += PrintRequirements(&run->printer, file, &view, run->options->required) ? 0 : 1;
        else
            why = PrintClosure(run, file, named->full);
        UnmapImageFile(&image);
    }
    if (why)
        Complain(file, why);
    Flush(run->printer.out);
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

    static Run run;
    run.options = &options;
    // The viewer's texts, from the same module the viewer would choose (but
    // no window theming: the companion creates no window).
    run.resources = FindResourceModule();
    // The current folder a program started from here would have.
    wchar_t current[MAX_PATH];
    DWORD currentUnits = GetCurrentDirectoryW(MAX_PATH, current);
    GatherSystemFacts(&run.facts, currentUnits > 0 && currentUnits < MAX_PATH ? current : NULL, options.added, true);
    FileList files;
    if (!ListFiles(argv, options.fileArgs, options.files, &files)) {
        fputs("modview-cli: out of memory\n", stderr);
        return EXIT_NOT_SHOWN;
    }
    if (options.copyTo[0]) {
        if (!MakeFolder(options.copyTo)) {
            Complain(options.copyTo, L"cannot be made a folder");
            return EXIT_NOT_SHOWN;
        }
        run.bundle.copyTo = options.copyTo;
        run.bundle.overwrite = options.overwrite;
    }
    run.printer.form = options.json ? &JSON_FORM : &TEXT_FORM;
    run.printer.out = StandardOutput();
    int status = EXIT_SHOWN;
    for (int f = 0; f < files.count; ++f) {
        if (!PrintFile(&run, &files.items[f]))
            status = EXIT_NOT_SHOWN;
    }
    run.printer.form->end(&run.printer);
    Flush(run.printer.out);
    FreeFileList(&files);
    FreeFileBuffer(&run.buffer);
    bool kept = run.bundle.kept || run.bundle.failed;
    FreeBundleRun(&run.bundle);
    if (status == EXIT_SHOWN && run.notFound > 0)
        status = EXIT_NOT_FOUND;
    if (status == EXIT_SHOWN && kept)
        status = EXIT_KEPT;
    if (status == EXIT_SHOWN && run.unmet > 0)
        status = EXIT_UNMET;
    return status;
}
