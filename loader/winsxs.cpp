// The system's assembly store (WinSxS): which of its folders holds the
// assembly a manifest asks for.
#include "manifest.h"
#include <string.h>
#include "names.h"

// Store folders and the assembly's fields, compared as spans of wide text.
namespace {
struct Span {
    const wchar_t* text;
    int units;
};

// What is asked for, and the best folder seen so far.
struct FolderSearch {
    wchar_t architecture[16];
    wchar_t name[128];
    wchar_t token[32];
    wchar_t language[16];
    ULONGLONG majorMinor;   // the version's top 32 bits
    bool found;
    ULONGLONG bestVersion;
    wchar_t best[MAX_PATH];
};
}

static const wchar_t* MachineArchitecture(WORD machine)
{
    switch (machine) {
    case IMAGE_FILE_MACHINE_AMD64:
        return L"amd64";
    case IMAGE_FILE_MACHINE_I386:
        return L"x86";
    case IMAGE_FILE_MACHINE_ARM64:
        return L"arm64";
    case IMAGE_FILE_MACHINE_ARMNT:
        return L"arm";
    }
    return NULL;
}

// The ASCII field `text` (of `room` bytes, terminated or not) widened into `out` of as many units.
static void Widen(const char* text, size_t room, wchar_t* out)
{
    size_t n = 0;
    for (; n + 1 < room && text[n]; ++n)
        out[n] = static_cast<unsigned char>(text[n]);
    out[n] = L'\0';
}

static Span WholeSpan(const wchar_t* text)
{
    Span span = { text, lstrlenW(text) };
    return span;
}

static bool SameSpan(Span a, Span b)
{
    return SameNameUnits(a.text, a.units, b.text, b.units);
}

// A version of one to four numbers of 0 to 65535, as one number with the
// major in the top 16 bits and missing numbers 0; false when it is none.
static bool ParseVersion(Span span, ULONGLONG* version)
{
    ULONGLONG all = 0;
    int parts = 0, at = 0;
    while (parts < 4) {
        DWORD part = 0;
        int digits = 0;
        for (; at < span.units && span.text[at] >= L'0' && span.text[at] <= L'9' && digits < 5; ++at, ++digits)
            part = part * 10 + (span.text[at] - L'0');
        if (digits == 0 || part > 0xFFFF)
            return false;
        all = all << 16 | part;
        ++parts;
        if (at == span.units || span.text[at] != L'.')
            break;
        ++at;
    }
    if (at != span.units)
        return false;
    *version = all << 16 * (4 - parts);
    return true;
}

// Weighs one store folder, "ARCH_NAME_TOKEN_VERSION_LANGUAGE_HASH": the
// architecture is cut from the left and the last four parts from the right,
// so that a name with an underscore still reads whole.
static void ConsiderFolder(void* context, const wchar_t* folder)
{
    FolderSearch* search = static_cast<FolderSearch*>(context);
    int units = 0;
    while (units < MAX_PATH && folder[units])
        ++units;
    if (units >= MAX_PATH)
        return;
    int first = 0;
    while (first < units && folder[first] != L'_')
        ++first;
    int cuts[4], found = 0;   // before the hash, the language, the version, the token
    for (int at = units - 1; at > first && found < 4; --at) {
        if (folder[at] == L'_')
            cuts[found++] = at;
    }
    if (found < 4 || cuts[3] - first < 2)
        return;
    Span architecture = { folder, first };
    Span name = { folder + first + 1, cuts[3] - first - 1 };
    Span token = { folder + cuts[3] + 1, cuts[2] - cuts[3] - 1 };
    Span versionText = { folder + cuts[2] + 1, cuts[1] - cuts[2] - 1 };
    Span language = { folder + cuts[1] + 1, cuts[0] - cuts[1] - 1 };
    ULONGLONG version;
    if (!SameSpan(architecture, WholeSpan(search->architecture)) || !SameSpan(name, WholeSpan(search->name)) ||
        !SameSpan(token, WholeSpan(search->token)) || !ParseVersion(versionText, &version) ||
        version >> 32 != search->majorMinor)
        return;
    Span asked = WholeSpan(search->language);
    bool neutral = asked.units == 0 || (asked.units == 1 && asked.text[0] == L'*');
    Span none = { L"none", 4 };
    if (!SameSpan(language, neutral ? none : asked))
        return;
    if (search->found && version <= search->bestVersion)
        return;
    search->found = true;
    search->bestVersion = version;
    memcpy(search->best, folder, (units + 1) * sizeof(wchar_t));
}

bool FindAssemblyFolder(const FileProbe* probe, const wchar_t* winsxs, const AssemblyRef* assembly, WORD machine,
                        wchar_t* folder)
{
    if (!folder)
        return false;
    folder[0] = L'\0';
    if (!probe || !probe->listFolders || !winsxs || !assembly)
        return false;
    FolderSearch search;
    memset(&search, 0, sizeof search);
    Widen(assembly->architecture, sizeof assembly->architecture, search.architecture);
    if (search.architecture[0] == L'\0' || lstrcmpW(search.architecture, L"*") == 0) {
        const wchar_t* own = MachineArchitecture(machine);
        if (!own)
            return false;
        lstrcpynW(search.architecture, own, ARRAYSIZE(search.architecture));
    }
    Widen(assembly->name, sizeof assembly->name, search.name);
    Widen(assembly->publicKeyToken, sizeof assembly->publicKeyToken, search.token);
    Widen(assembly->language, sizeof assembly->language, search.language);
    wchar_t version[32];
    Widen(assembly->version, sizeof assembly->version, version);
    ULONGLONG asked;
    if (!ParseVersion(WholeSpan(version), &asked))
        return false;
    search.majorMinor = asked >> 32;
    if (!probe->listFolders(probe->context, winsxs, ConsiderFolder, &search) || !search.found)
        return false;
    return JoinPath(winsxs, lstrlenW(winsxs), search.best, folder);
}
