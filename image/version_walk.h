// The version resources as the version view lists them: for every language
// entry of every RT_VERSION resource, its VS_VERSIONINFO's fixed part and the
// String blocks of its StringFileInfo. The version view and the JSON both
// read them here.
#pragma once
#include <windows.h>
#include "image_view.h"

// A key longer than this is given cut to it.
const int VERSION_KEY_UNITS = 256;

struct VersionVisitor {
    void* context;
    // A language entry (its resource language id), before anything of its data.
    void (*language)(void* context, DWORD language);
    // The fixed part of that entry's VS_VERSIONINFO, when it holds one whole
    // with its signature.
    void (*fixedInfo)(void* context, const VS_FIXEDFILEINFO* info);
    // A String of that entry: its key as stored, terminated; its value
    // terminated, or null when the block has none (wValueLength 0).
    void (*string)(void* context, const wchar_t* key, const wchar_t* value);
};

void WalkVersionInfo(const ImageView* view, const VersionVisitor* visitor);
