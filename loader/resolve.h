// Which file the Windows loader loads for an imported library name, for an
// unpackaged desktop program: API sets, side-by-side assemblies, a library of
// that name already loaded, KnownDLLs, then the folders in the documented
// order. Pure: what it knows of the system comes in LoaderFacts, and files
// are reached through the facts' probe.
#pragma once
#include <windows.h>
#include "manifest.h"
#include "probe.h"

// The step of the search that found a library.
enum FoundBy {
    FOUND_BY_API_SET,
    FOUND_BY_KNOWN_DLL,
    FOUND_BY_SIDE_BY_SIDE,
    FOUND_BY_ALREADY_LOADED,
    FOUND_BY_APPLICATION_FOLDER,
    FOUND_BY_SYSTEM_FOLDER,
    FOUND_BY_WINDOWS_FOLDER,
    FOUND_BY_CURRENT_FOLDER,
    FOUND_BY_PATH,
    FOUND_BY_GIVEN_FOLDER,
    NOT_FOUND,
};

// "api-set", "known-dll", "side-by-side", "already-loaded",
// "application-folder", "system-folder", "windows-folder", "current-folder",
// "path", "given-folder", "not-found".
const char* FoundByWord(FoundBy how);

// What the search knows of the system, gathered once.
struct LoaderFacts {
    FileProbe probe;
    const BYTE* apiSetSchema;        // the process's version-6 schema, or null
    DWORD apiSetSize;
    const wchar_t* knownDlls;        // file names, each terminated, the list ending with an empty one; or null
    wchar_t systemFolder64[MAX_PATH];   // the system folder of 64-bit images; empty where there is none
    wchar_t systemFolder32[MAX_PATH];   // of 32-bit images (SysWOW64 on 64-bit Windows)
    wchar_t system16Folder[MAX_PATH];
    wchar_t windowsFolder[MAX_PATH];
    wchar_t currentFolder[MAX_PATH];    // empty: not searched
    wchar_t winsxsFolder[MAX_PATH];
    const wchar_t* pathFolders;      // PATH: folders separated by ';', or null
    const wchar_t* addedFolders;     // folders each terminated, the list ending with an empty one; or null
    bool safeSearch;                 // SafeDllSearchMode: the current folder after the Windows folder
};

// Everything of the importing image that the search depends on.
struct Importer {
    const wchar_t* name;             // its file name: an API set may choose a host per importer
    WORD machine;                    // a candidate of another machine is skipped
    const wchar_t* programFolder;    // the folder of the program the process runs
    const AssemblyRef* assemblies;   // side-by-side: from its manifest, then the program's
    int assemblyCount;
    // The path of a library of this file name already loaded, into `path`
    // (MAX_PATH units); null when nothing is loaded yet.
    bool (*findLoaded)(void* context, const wchar_t* name, wchar_t* path);
    void* loadedContext;
};

// A file of the name looked for that the search passed over because it is
// made for another machine.
struct PassedOver {
    wchar_t path[MAX_PATH];
    WORD machine;
};
// The most passed-over files a resolution keeps, in the order met.
const int MAX_PASSED_OVER = 4;

struct Resolution {
    wchar_t path[MAX_PATH];   // empty when not found
    FoundBy how;
    PassedOver passed[MAX_PASSED_OVER];
    int passedCount;
};

// Resolves library `name` as imported by `importer`; false (NOT_FOUND) when
// no step finds a file of the importer's machine.
bool ResolveLibrary(const LoaderFacts* facts, const Importer* importer, const wchar_t* name, Resolution* out);

// Whether a library found by `how` at `path` is the system's, as the loader's
// own facts decide (no list of names): found through an API set, KnownDLLs,
// the system folders, the Windows folder, or an assembly of the system's
// store (WinSxS). Everything else (the program's folder, the current folder,
// PATH, added folders, a private assembly) is the program's to ship.
bool FoundInSystem(const LoaderFacts* facts, FoundBy how, const wchar_t* path);

// The system folder for images of `machine`: empty where there is none.
const wchar_t* SystemFolderFor(const LoaderFacts* facts, WORD machine);
