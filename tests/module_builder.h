// Programs and libraries with real imports, delay imports, exports (some
// forwarded) and a manifest, for the tests of the dependency walk.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

// An import: the library, and its functions by name or as "#N" by ordinal.
struct ImportedLibrary {
    std::string name;
    std::vector<std::string> functions;
    bool delay;
};

// An export (ordinals from 1 in this order; names must be given sorted): its
// name and, when forwarded, the forwarder's text.
struct ExportedName {
    std::string name;
    std::string forwarder;
};

// A library (with `program`, a program) of PE32+ (AMD64) or PE32 (i386), with
// `manifest` as its RT_MANIFEST resource (1 for a program, 2 for a library).
// With an `imageBase`, the loader can load it there and run it: its one
// section is code, a program's entry returns 0 at once, a library has no
// entry. (Modules loaded together need bases of their own: they carry no
// relocations.)
std::vector<BYTE> BuildModule(bool is64, const std::vector<ImportedLibrary>& imports,
                              const std::vector<ExportedName>& exports, bool program = false,
                              const std::string& manifest = "", ULONGLONG imageBase = 0);
