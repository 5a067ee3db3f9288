// The files a command line names. cmd.exe hands wildcards to the program as
// typed, so the program expands them itself: an argument with `*` or `?` in
// its last part stands for every file that matches it, in name order.
#pragma once
#include <windows.h>

struct NamedFile {
    wchar_t* shown;           // as typed; for a match, the typed folder and the file's name
    wchar_t full[MAX_PATH];   // its full path; empty when that does not fit
    const wchar_t* error;     // why it is not read at all, or null
};

struct FileList {
    NamedFile* items;
    int count;
    SIZE_T room;
};

// The files of the arguments at argv[fileArgs[0..count-1]]. A pattern that
// matches nothing, and a folder named as a file, each stay as one item with
// its error. False when memory runs out.
bool ListFiles(wchar_t** argv, const int* fileArgs, int count, FileList* out);
void FreeFileList(FileList* list);
