// What the library search knows of this system, read once per process: the
// API set schema, KnownDLLs, the system and Windows folders, PATH and
// SafeDllSearchMode; and files reached through the real file system.
#pragma once
#include <windows.h>
#include "../loader/resolve.h"

// Fills `facts` for this system. `current` is the current folder to search
// (null: none); `added` the folders given by the user, each terminated, the
// list ending with an empty one (null: none), kept by the caller. With
// `keepFiles` the files the search maps stay mapped for the rest of the
// process, each mapped once however many walks read it (for a run over many
// files; the viewer keeps nothing, so that no file it once looked at stays
// in use).
void GatherSystemFacts(LoaderFacts* facts, const wchar_t* current, const wchar_t* added, bool keepFiles);
