// What the library search knows of this system, read once per process: the
// API set schema, KnownDLLs, the system and Windows folders, PATH and
// SafeDllSearchMode; and files reached through the real file system.
#pragma once
#include <windows.h>
#include "../loader/resolve.h"

// Fills `facts` for this system. `current` is the current folder to search
// (null: none); `added` the folders given by the user, each terminated, the
// list ending with an empty one (null: none), kept by the caller.
void GatherSystemFacts(LoaderFacts* facts, const wchar_t* current, const wchar_t* added);
