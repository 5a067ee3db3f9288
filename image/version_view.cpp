// The version view: for every language of the version resources, a language
// header row and one row per String of its StringFileInfo.
#include "views.h"
#include <wchar.h>
#include <winver.h>
#include "resource_dir.h"
#include "version_walk.h"
#include "../res/resource.h"

// The standard keys in ascending order; key i is labelled by string
// IDS_VERKEY_FIRST + i of the resource module.
static const wchar_t* const VersionKeyTable[] = {
    L"Comments",
    L"CompanyName",
    L"FileDescription",
    L"FileVersion",
    L"InternalName",
    L"LegalCopyright",
    L"LegalTrademarks",
    L"OriginalFilename",
    L"PrivateBuild",
    L"ProductName",
    L"ProductVersion",
    L"SpecialBuild",
};
static const int VERSION_KEY_COUNT = sizeof VersionKeyTable / sizeof VersionKeyTable[0];

static const int LANGUAGE_UNITS = 128;

// What loading the label of a standard key gave.
enum KeyState {
    KEY_NOT_LOADED,
    KEY_MISSING,   // the module has no such string
    KEY_LOADED,
};
// Put in a label buffer before loading, to tell whether LoadStringW wrote it.
static const wchar_t UNTOUCHED = 0xFFFF;

struct VersionRows {
    const RowSink* sink;
    HMODULE resources;
    int row;
    // Labels are loaded from the resource module once per call, when first
    // needed, not once per row: a resource lookup costs more than the row.
    bool languageLoaded;
    wchar_t languageLabel[LANGUAGE_UNITS];
    KeyState keyState[VERSION_KEY_COUNT];
    wchar_t keyLabel[VERSION_KEY_COUNT][VERSION_KEY_UNITS];
};

// Index of `key` in VersionKeyTable by binary search, or -1; comparing code
// units when `ordinal` is set, with lstrcmpW otherwise.
// Keys are nearly always written exactly as in the table; an ordinal search
// finds those at the index the lstrcmpW search would reach (the table is in
// the same order under both), without its locale-aware comparisons, which
// cost more than the rest of the row. Any other key still gets the lstrcmpW
// search.
static int FindKey(const wchar_t* key, bool ordinal)
{
    int low = 0;
    int high = VERSION_KEY_COUNT - 1;
    while (low <= high) {
        int middle = (low + high) / 2;
        int order = ordinal ? wcscmp(key, VersionKeyTable[middle]) : lstrcmpW(key, VersionKeyTable[middle]);
        if (order == 0)
            return middle;
        if (order < 0)
            high = middle - 1;
        else
            low = middle + 1;
    }
    return -1;
}

// Column 0 of a String row: the label of a standard key, the key itself otherwise.
static const wchar_t* KeyLabel(VersionRows* rows, const wchar_t* key)
{
    int found = FindKey(key, true);
    if (found < 0)
        found = FindKey(key, false);
    if (found < 0)
        return key;
    if (rows->keyState[found] == KEY_NOT_LOADED) {
        rows->keyLabel[found][0] = UNTOUCHED;
        int units = LoadStringW(rows->resources, IDS_VERKEY_FIRST + found, rows->keyLabel[found], VERSION_KEY_UNITS);
        // A module without the string leaves the buffer as it was, and the
        // key itself stays as the label.
        rows->keyState[found] = units == 0 && rows->keyLabel[found][0] == UNTOUCHED ? KEY_MISSING : KEY_LOADED;
    }
    return rows->keyState[found] == KEY_LOADED ? rows->keyLabel[found] : key;
}

static void AddStringRow(void* context, const wchar_t* key, const wchar_t* value)
{
    VersionRows* rows = static_cast<VersionRows*>(context);
    InsertRow(rows->sink, rows->row, KeyLabel(rows, key), ROW_PLAIN);
    if (value)
        SetCell(rows->sink, rows->row, 1, value);
    ++rows->row;
}

static void AddLanguageRow(void* context, DWORD id)
{
    VersionRows* rows = static_cast<VersionRows*>(context);
    if (!rows->languageLoaded) {
        if (LoadStringW(rows->resources, IDS_LANGUAGE, rows->languageLabel, LANGUAGE_UNITS) == 0)
            rows->languageLabel[0] = L'\0';
        rows->languageLoaded = true;
    }
    wchar_t language[LANGUAGE_UNITS];
    if (VerLanguageNameW(id, language, LANGUAGE_UNITS) == 0)
        LanguageIdText(id, language);
    InsertRow(rows->sink, rows->row, rows->languageLabel, ROW_HEADER);
    SetCell(rows->sink, rows->row, 1, language);
    ++rows->row;
}

// The view shows no fixed part.
static void SkipFixedInfo(void*, const VS_FIXEDFILEINFO*) {}

void ShowVersionInfo(const RowSink* sink, HMODULE resources, const ImageView* view)
{
    VersionRows rows;
    rows.sink = sink;
    rows.resources = resources;
    rows.row = 0;
    rows.languageLoaded = false;
    for (int k = 0; k < VERSION_KEY_COUNT; ++k)
        rows.keyState[k] = KEY_NOT_LOADED;
    VersionVisitor visitor = { &rows, AddLanguageRow, SkipFixedInfo, AddStringRow };
    WalkVersionInfo(view, &visitor);
}
