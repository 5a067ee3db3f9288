// --copy-to: libraries copied into a folder of the user's, and nowhere else.
#pragma once
#include <windows.h>

enum CopyResult {
    COPY_DONE,       // copied, its time stamps kept
    COPY_SAME,       // a file with the same bytes was there already: left alone
    COPY_KEPT,       // a different file of that name was there: kept, not overwritten
    COPY_REPLACED,   // a different file of that name was there, and --overwrite replaced it
    COPY_FAILED,     // could not be copied
};

// The word of a result in the output: "copied", "same", "kept", "replaced", "failed".
const char* CopyWord(CopyResult result);
// Makes `folder` (a full path) and the folders above it that are missing;
// false when it cannot be had as a folder.
bool MakeFolder(const wchar_t* folder);
// Copies the file at `source` into `folder` under its own name, into
// `copied` (MAX_PATH units). The name never leads out of the folder.
CopyResult CopyInto(const wchar_t* source, const wchar_t* folder, bool overwrite, wchar_t* copied);
