// --bundle: the libraries of each file's closure that are not the system's
// (the loader's own facts decide, FoundInSystem): what a program needs beside
// it to start here; with --copy-to, copied into a folder.
#pragma once
#include "print_views.h"
#include "copy_files.h"

// A library listed in this run, and what became of its copy.
struct Bundled {
    wchar_t path[MAX_PATH];
    wchar_t copied[MAX_PATH];
    CopyResult result;
};

struct BundleRun {
    const wchar_t* copyTo;   // the folder (a full path), or null
    bool overwrite;
    Bundled* listed;         // every library listed so far: each is copied, and in text listed, once
    int listedCount;
    SIZE_T listedRoom;
    bool kept;               // a different file of a library's name was kept in the folder
    bool failed;             // a copy failed
};

// The bundle of one file's closure, in text (each library once in the run:
// its path, or with --copy-to what became of its copy) or in JSON (the
// file's whole bundle and what is missing). What is missing is named on
// standard error too. False (the file's failure written) when memory runs out.
bool PrintBundle(Printer* p, BundleRun* run, const wchar_t* file, const Closure* closure, bool json);
void FreeBundleRun(BundleRun* run);
