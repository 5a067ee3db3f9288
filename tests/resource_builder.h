// Lays out resource directories, version blocks and string-table blocks for
// the synthetic images of the tests.
#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "pe_builder.h"

struct ResourceLanguage {
    DWORD language;            // Name of the language entry
    std::vector<BYTE> data;    // its data; Size is data.size()
};

struct ResourceName {
    DWORD name;                // Name of the entry (taken as a whole 32-bit value)
    std::vector<ResourceLanguage> languages;
    WORD namedLanguages;       // how many leading language entries count as named
};

struct ResourceType {
    DWORD type;
    std::vector<ResourceName> names;
    WORD namedNames;           // how many leading name entries count as named
};

// Where things went, as offsets from the root directory.
struct ResourceLayout {
    std::vector<BYTE> bytes;
    std::vector<DWORD> dataEntries;   // every IMAGE_RESOURCE_DATA_ENTRY, in tree order
    std::vector<DWORD> data;          // the data of each, in the same order
};

// Lays out the tree for a root directory at `rva`: directories, then the data
// entries, then the data, each at a multiple of 4.
ResourceLayout LayOutResources(const std::vector<ResourceType>& types, DWORD rva);
// Lays out the tree at `rva` inside `pe` (which must have a section there) and
// points the resource directory at it.
ResourceLayout PutResources(PeBuilder* pe, const std::vector<ResourceType>& types, DWORD rva = 0x1000);

// A one-name, one-language resource of `type`.
ResourceType SingleResource(DWORD type, DWORD name, DWORD language, const std::vector<BYTE>& data);

// One block of a version resource.
struct VersionNode {
    std::wstring key;
    WORD type;                   // wType: 1 text, 0 binary
    std::vector<BYTE> value;
    WORD valueLength;            // wValueLength as written
    std::vector<VersionNode> children;
    int length;                  // wLength as written; -1: the measured length
};

// A String: text value, wValueLength = units with the terminator.
VersionNode VersionString(const std::wstring& key, const std::wstring& text);
// A StringTable with `strings`.
VersionNode VersionTable(const std::wstring& key, const std::vector<VersionNode>& strings);
// A VS_VERSIONINFO root with a VS_FIXEDFILEINFO value, a StringFileInfo with
// `tables` and a VarFileInfo with its Translation.
VersionNode VersionInfo(const std::vector<VersionNode>& tables);
// The bytes of a block and its children.
std::vector<BYTE> VersionBytes(const VersionNode& node);

// A string-table block: each text as a counted string.
std::vector<BYTE> StringBlock(const std::vector<std::wstring>& strings);

// Images at scale (see BuildImageWith), for the benchmark.
// `blocks` string-table blocks of 16 strings each, all in one language.
std::vector<BYTE> BuildStringTableImage(DWORD blocks);
// A version resource with `languages` language entries, each with the twelve
// standard keys and three of its own.
std::vector<BYTE> BuildVersionImage(DWORD languages);
