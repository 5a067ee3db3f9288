// Reading the resource directory: the root, the subdirectories and entries
// below it, and the data entries of the language level.
//
// Offsets in the directory count from the start of the root directory. Every
// read is bounded by the file: an entry is read only where it lies wholly
// inside it, and a count that declares more entries than fit ends at the end
// of the file.
#pragma once
#include <windows.h>
#include "image_view.h"

// Resource types as the root directory's Names hold them (RT_STRING and its
// kin are MAKEINTRESOURCE pointers, not numbers).
const DWORD RESOURCE_STRING = 6;
const DWORD RESOURCE_VERSION = 16;
const DWORD RESOURCE_MANIFEST = 24;

struct ResourceWalk {
    const ImageView* view;
    const BYTE* root;       // the root directory
    // Bytes of distinct structure the walk may still count. A sound file never
    // spends more than its own size, because every language entry, version
    // block and counted string it counts has bytes of its own; directories
    // that share their subdirectories or data could otherwise make the walk
    // repeat the same bytes billions of times.
    ULONGLONG budget;
};

// Finds the resource directory of the image. False (and no walk) when the
// image has none or no section holds it.
bool StartResourceWalk(ResourceWalk* walk, const ImageView* view);

// Takes `bytes` from the walk's budget. False, now and for every later
// request, once the budget cannot pay.
bool SpendResourceBudget(ResourceWalk* walk, DWORD bytes);

// NumberOfNamedEntries and NumberOfIdEntries of the directory at `directory`;
// false when its header does not lie inside the file.
bool ReadResourceCounts(const ResourceWalk* walk, const BYTE* directory, WORD* named, WORD* ids);

// Entry `index` of the directory at `directory`; false when it does not lie
// wholly inside the file (nor does any later entry).
bool ReadResourceEntry(const ResourceWalk* walk, const BYTE* directory, DWORD index,
                       IMAGE_RESOURCE_DIRECTORY_ENTRY* entry);

// The directory that an entry's OffsetToData leads to, bit 31 removed; null
// when that lies outside the file.
const BYTE* ResourceSubdirectory(const ResourceWalk* walk, DWORD offsetToData);

// The subdirectory of the first root entry whose whole 32-bit Name is `type`;
// null when there is none.
const BYTE* FindResourceType(const ResourceWalk* walk, DWORD type);

// Every language entry of the resources of `type`, name by name and then
// language by language, each paid for from the walk's budget; `each` gets
// the name entry's Name and the language entry, and ends the walk by
// returning false. With `idsOnly` only NumberOfIdEntries entries are visited
// at the name and language levels, from the first (as the string tables are
// read: named entries, stored first, are taken, and as many id entries at the
// end left out); otherwise named and id entries both.
void WalkResourceLanguages(ResourceWalk* walk, DWORD type, bool idsOnly,
                           bool (*each)(void* context, DWORD name, const IMAGE_RESOURCE_DIRECTORY_ENTRY* language),
                           void* context);

// The data of the resource of `type` and `name` in its first language, its
// Size cut to the end of the file; an empty span when there is none.
ByteSpan FindResourceData(const ImageView* view, DWORD type, DWORD name);

// The bytes a data entry names (its OffsetToData an RVA), its Size cut to the
// end of the file; an empty span when they do not lie inside.
ByteSpan ResourceDataSpan(const ImageView* view, const IMAGE_RESOURCE_DATA_ENTRY* data);

// The data entry at `offsetToData` (used unchanged); false when it does not
// lie wholly inside the file.
bool ReadResourceDataEntry(const ResourceWalk* walk, DWORD offsetToData, IMAGE_RESOURCE_DATA_ENTRY* data);

// Room for the text of LanguageIdText, terminator included.
const int LANGUAGE_ID_UNITS = 16;
// What a language header shows when the platform has no name for the
// language: the id itself, "0x" and at least four hexadecimal digits.
void LanguageIdText(DWORD language, wchar_t* out);
