// modview-cli's command line: what to print of which files.
#pragma once
#include <windows.h>
#include "image/hardening.h"
#include "print_views.h"

enum Mode {
    MODE_VIEWS,    // the views of each file (--view, --resolve)
    MODE_DEPS,     // each file's closure (--deps, --missing)
    MODE_BUNDLE,   // the libraries to ship with each file (--bundle, --copy-to)
    MODE_REQUIRE,  // each file's verdicts on the mitigations asked for (--require)
};

struct Options {
    Mode mode;
    bool json;
    bool onlyMissing;   // --missing
    bool help;
    wchar_t* added;     // --path folders, each terminated, ending with an empty one
    wchar_t copyTo[MAX_PATH];   // --copy-to, a full path; empty without it
    bool overwrite;
    Choice choice;
    bool required[MITIGATION_COUNT];   // --require
    int* fileArgs;      // the argv index of each file named
    int files;
};

extern const char USAGE[];

// Reads the command line into `options`; false on bad usage, said on
// standard error.
bool ParseOptions(int argc, wchar_t** argv, Options* options);
