// How the library resolution reaches files: a small interface, so that the
// resolution itself touches no process state and tests can give it a file
// system of their own.
#pragma once
#include <windows.h>

struct FileProbe {
    void* context;
    // The machine (IMAGE_FILE_MACHINE_*) of the PE image at `path`; 0 when there
    // is no such file or it is no PE image.
    WORD (*imageMachine)(void* context, const wchar_t* path);
    // Calls `each(eachContext, name)` for every folder directly inside `folder`;
    // false when it cannot be listed.
    bool (*listFolders)(void* context, const wchar_t* folder, void (*each)(void* eachContext, const wchar_t* name),
                        void* eachContext);
    // Maps the whole file at `path` read-only: true with its bytes and a token
    // that `release` takes back.
    bool (*map)(void* context, const wchar_t* path, const BYTE** bytes, DWORD* size, void** token);
    void (*release)(void* context, void* token);
};
