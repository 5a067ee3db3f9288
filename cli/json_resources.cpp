// The version and string-table resources as JSON: languages as their ids,
// version strings under the keys the file stores, the fixed part as numbers.
#include "json_views.h"
#include <winver.h>
#include "image/string_walk.h"
#include "image/version_walk.h"

static const Word FILE_FLAGS[] = {
    { VS_FF_DEBUG, "debug" }, { VS_FF_PRERELEASE, "prerelease" }, { VS_FF_PATCHED, "patched" },
    { VS_FF_PRIVATEBUILD, "private-build" }, { VS_FF_INFOINFERRED, "info-inferred" },
    { VS_FF_SPECIALBUILD, "special-build" },
};

static const Word FILE_OS[] = {
    { VOS_UNKNOWN, "unknown" }, { VOS_DOS, "dos" }, { VOS_NT, "nt" }, { VOS__WINDOWS16, "windows16" },
    { VOS__WINDOWS32, "windows32" }, { VOS_DOS_WINDOWS16, "dos-windows16" },
    { VOS_DOS_WINDOWS32, "dos-windows32" }, { VOS_NT_WINDOWS32, "nt-windows32" }, { VOS_OS216, "os2-16" },
    { VOS_OS232, "os2-32" }, { VOS_OS216_PM16, "os2-16-pm16" }, { VOS_OS232_PM32, "os2-32-pm32" },
};

static const Word FILE_TYPES[] = {
    { VFT_UNKNOWN, "unknown" }, { VFT_APP, "app" }, { VFT_DLL, "dll" }, { VFT_DRV, "driver" },
    { VFT_FONT, "font" }, { VFT_VXD, "vxd" }, { VFT_STATIC_LIB, "static-lib" },
};

// Where the version JSON stands inside a language's object.
struct VersionJson {
    JsonWriter* w;
    bool inLanguage;
    bool fixedPending;   // "fixed_info" not written yet
    bool inStrings;
};

static void FourNumbersField(JsonWriter* w, const char* key, DWORD high, DWORD low)
{
    Key(w, key);
    BeginArray(w, JSON_INLINE);
    NumberValue(w, HIWORD(high));
    NumberValue(w, LOWORD(high));
    NumberValue(w, HIWORD(low));
    NumberValue(w, LOWORD(low));
    EndScope(w);
}

static void PutFixedInfo(void* context, const VS_FIXEDFILEINFO* info)
{
    VersionJson* j = static_cast<VersionJson*>(context);
    JsonWriter* w = j->w;
    j->fixedPending = false;
    Key(w, "fixed_info");
    BeginObject(w, JSON_INLINE);
    NumberField(w, "struct_version", info->dwStrucVersion);
    FourNumbersField(w, "file_version", info->dwFileVersionMS, info->dwFileVersionLS);
    FourNumbersField(w, "product_version", info->dwProductVersionMS, info->dwProductVersionLS);
    NumberField(w, "file_flags_mask", info->dwFileFlagsMask);
    Key(w, "file_flags");
    FlagsValue(w, info->dwFileFlags, WORDS(FILE_FLAGS));
    NumberField(w, "file_flags_raw", info->dwFileFlags);
    Key(w, "file_os");
    EnumValue(w, info->dwFileOS, WORDS(FILE_OS));
    NumberField(w, "file_os_raw", info->dwFileOS);
    Key(w, "file_type");
    EnumValue(w, info->dwFileType, WORDS(FILE_TYPES));
    NumberField(w, "file_type_raw", info->dwFileType);
    NumberField(w, "file_subtype", info->dwFileSubtype);
    NumberField(w, "file_date", (static_cast<ULONGLONG>(info->dwFileDateMS) << 32) | info->dwFileDateLS);
    EndScope(w);
}

// Ends the fixed part (null, on the language's first line, when there was
// none) and opens the strings.
static void OpenStrings(VersionJson* j)
{
    if (j->fixedPending) {
        KeyInline(j->w, "fixed_info");
        NullValue(j->w);
        j->fixedPending = false;
    }
    if (!j->inStrings) {
        Key(j->w, "strings");
        BeginArray(j->w, JSON_LINES);
        j->inStrings = true;
    }
}

static void CloseLanguage(VersionJson* j)
{
    if (!j->inLanguage)
        return;
    OpenStrings(j);
    EndScope(j->w);   // the strings
    EndScope(j->w);   // the language
}

static void OpenLanguage(void* context, DWORD language)
{
    VersionJson* j = static_cast<VersionJson*>(context);
    CloseLanguage(j);
    BeginObject(j->w, JSON_LINES_AFTER_FIRST);
    NumberField(j->w, "language", language);
    j->inLanguage = j->fixedPending = true;
    j->inStrings = false;
}

static void PutVersionString(void* context, const wchar_t* key, const wchar_t* value)
{
    VersionJson* j = static_cast<VersionJson*>(context);
    OpenStrings(j);
    BeginObject(j->w, JSON_INLINE);
    Key(j->w, "key");
    StringValue(j->w, key);
    Key(j->w, "value");
    StringValue(j->w, value);
    EndScope(j->w);
}

void PutVersion(JsonWriter* w, const ImageView* view)
{
    VersionJson j = { w, false, false, false };
    VersionVisitor visitor = { &j, OpenLanguage, PutFixedInfo, PutVersionString };
    BeginArray(w, JSON_LINES);
    WalkVersionInfo(view, &visitor);
    CloseLanguage(&j);
    EndScope(w);
}

struct StringJson {
    JsonWriter* w;
    bool inLanguage;
};

static void CloseStringLanguage(StringJson* j)
{
    if (!j->inLanguage)
        return;
    EndScope(j->w);   // the strings
    EndScope(j->w);   // the language
}

static void OpenStringLanguage(void* context, DWORD language)
{
    StringJson* j = static_cast<StringJson*>(context);
    CloseStringLanguage(j);
    BeginObject(j->w, JSON_INLINE);
    NumberField(j->w, "language", language);
    Key(j->w, "strings");
    BeginArray(j->w, JSON_BLOCK);
    j->inLanguage = true;
}

static void PutTableString(void* context, DWORD id, const wchar_t* text, DWORD)
{
    StringJson* j = static_cast<StringJson*>(context);
    BeginObject(j->w, JSON_INLINE);
    NumberField(j->w, "id", id);
    Key(j->w, "text");
    StringValue(j->w, text);
    EndScope(j->w);
}

void PutStrings(JsonWriter* w, const ImageView* view)
{
    StringJson j = { w, false };
    StringVisitor visitor = { &j, OpenStringLanguage, PutTableString };
    BeginArray(w, JSON_LINES);
    WalkStringTables(view, &visitor);
    CloseStringLanguage(&j);
    EndScope(w);
}
