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
    Output* out;
    bool inLanguage;
    bool fixedPending;   // "fixed_info" not written yet
    bool inStrings;
};

static void PutFourNumbers(Output* out, const char* key, DWORD high, DWORD low)
{
    PutNextKey(out, key);
    PutChar(out, '[');
    PutNumber(out, HIWORD(high));
    PutText(out, ", ");
    PutNumber(out, LOWORD(high));
    PutText(out, ", ");
    PutNumber(out, HIWORD(low));
    PutText(out, ", ");
    PutNumber(out, LOWORD(low));
    PutChar(out, ']');
}

static void PutRaw(Output* out, const char* key, ULONGLONG value)
{
    PutNextKey(out, key);
    PutNumber(out, value);
}

static void PutFixedInfo(void* context, const VS_FIXEDFILEINFO* info)
{
    VersionJson* j = static_cast<VersionJson*>(context);
    Output* out = j->out;
    j->fixedPending = false;
    PutText(out, ",\n      ");
    PutKey(out, "fixed_info");
    PutChar(out, '{');
    PutKey(out, "struct_version");
    PutNumber(out, info->dwStrucVersion);
    PutFourNumbers(out, "file_version", info->dwFileVersionMS, info->dwFileVersionLS);
    PutFourNumbers(out, "product_version", info->dwProductVersionMS, info->dwProductVersionLS);
    PutRaw(out, "file_flags_mask", info->dwFileFlagsMask);
    PutNextKey(out, "file_flags");
    PutFlagWords(out, info->dwFileFlags, WORDS(FILE_FLAGS));
    PutRaw(out, "file_flags_raw", info->dwFileFlags);
    PutNextKey(out, "file_os");
    PutEnumWord(out, info->dwFileOS, WORDS(FILE_OS));
    PutRaw(out, "file_os_raw", info->dwFileOS);
    PutNextKey(out, "file_type");
    PutEnumWord(out, info->dwFileType, WORDS(FILE_TYPES));
    PutRaw(out, "file_type_raw", info->dwFileType);
    PutRaw(out, "file_subtype", info->dwFileSubtype);
    PutRaw(out, "file_date", (static_cast<ULONGLONG>(info->dwFileDateMS) << 32) | info->dwFileDateLS);
    PutChar(out, '}');
}

// Ends the fixed part (null when there was none) and opens the strings.
static void OpenStrings(VersionJson* j)
{
    if (j->fixedPending) {
        PutNextKey(j->out, "fixed_info");
        PutText(j->out, "null");
        j->fixedPending = false;
    }
    if (!j->inStrings) {
        PutText(j->out, ",\n      ");
        PutKey(j->out, "strings");
        PutChar(j->out, '[');
        j->inStrings = true;
    }
}

static void CloseLanguage(VersionJson* j)
{
    if (!j->inLanguage)
        return;
    bool any = j->inStrings;
    OpenStrings(j);
    PutText(j->out, any ? "\n      ]}" : "]}");
}

static void OpenLanguage(void* context, DWORD language)
{
    VersionJson* j = static_cast<VersionJson*>(context);
    CloseLanguage(j);
    PutText(j->out, j->inLanguage ? ",\n    {" : "\n    {");
    PutKey(j->out, "language");
    PutNumber(j->out, language);
    j->inLanguage = j->fixedPending = true;
    j->inStrings = false;
}

static void PutVersionString(void* context, const wchar_t* key, const wchar_t* value)
{
    VersionJson* j = static_cast<VersionJson*>(context);
    bool first = !j->inStrings;
    OpenStrings(j);
    PutText(j->out, first ? "\n        {" : ",\n        {");
    PutKey(j->out, "key");
    PutJsonString(j->out, key);
    PutNextKey(j->out, "value");
    PutStringOrNull(j->out, value);
    PutChar(j->out, '}');
}

void PutVersion(Output* out, const ImageView* view)
{
    VersionJson j = { out, false, false, false };
    VersionVisitor visitor = { &j, OpenLanguage, PutFixedInfo, PutVersionString };
    PutChar(out, '[');
    WalkVersionInfo(view, &visitor);
    bool any = j.inLanguage;
    CloseLanguage(&j);
    PutText(out, any ? "\n  ]" : "]");
}

struct StringJson {
    Output* out;
    bool inLanguage;
    bool firstString;
};

static void OpenStringLanguage(void* context, DWORD language)
{
    StringJson* j = static_cast<StringJson*>(context);
    PutText(j->out, j->inLanguage ? "\n      ]},\n    {" : "\n    {");
    PutKey(j->out, "language");
    PutNumber(j->out, language);
    PutNextKey(j->out, "strings");
    PutChar(j->out, '[');
    j->inLanguage = j->firstString = true;
}

static void PutTableString(void* context, DWORD id, const wchar_t* text, DWORD)
{
    StringJson* j = static_cast<StringJson*>(context);
    PutText(j->out, j->firstString ? "\n        {" : ",\n        {");
    j->firstString = false;
    PutKey(j->out, "id");
    PutNumber(j->out, id);
    PutNextKey(j->out, "text");
    PutJsonString(j->out, text);
    PutChar(j->out, '}');
}

void PutStrings(Output* out, const ImageView* view)
{
    StringJson j = { out, false, true };
    StringVisitor visitor = { &j, OpenStringLanguage, PutTableString };
    PutChar(out, '[');
    WalkStringTables(view, &visitor);
    PutText(out, j.inLanguage ? "\n      ]}\n  ]" : "]");
}
