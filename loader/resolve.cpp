#include "resolve.h"
#include <wchar.h>
#include "api_set.h"

const char* FoundByWord(FoundBy how)
{
    static const char* const WORDS[] = {
        "api-set", "known-dll", "side-by-side", "already-loaded", "application-folder", "system-folder",
        "windows-folder", "current-folder", "path", "given-folder", "not-found",
    };
    return how >= FOUND_BY_API_SET && how <= NOT_FOUND ? WORDS[how] : "not-found";
}

const wchar_t* SystemFolderFor(const LoaderFacts* facts, WORD machine)
{
    return machine == IMAGE_FILE_MACHINE_I386 || machine == IMAGE_FILE_MACHINE_ARMNT ? facts->systemFolder32
                                                                                    : facts->systemFolder64;
}

// `folder`\`name` into `out` when it is an image of `machine`.
static bool Candidate(const LoaderFacts* facts, const wchar_t* folder, int folderUnits, const wchar_t* name,
                      WORD machine, wchar_t* out)
{
    if (folderUnits == 0)
        return false;
    int nameUnits = lstrlenW(name);
    bool separator = folder[folderUnits - 1] != L'\\' && folder[folderUnits - 1] != L'/';
    // The whole path and its terminator must fit.
    if (folderUnits + (separator ? 1 : 0) + nameUnits >= MAX_PATH)
        return false;
    CopyMemory(out, folder, folderUnits * sizeof(wchar_t));
    int at = folderUnits;
    if (separator)
        out[at++] = L'\\';
    CopyMemory(out + at, name, (nameUnits + 1) * sizeof(wchar_t));
    // The loader skips a file made for another machine and searches on.
    if (facts->probe.imageMachine(facts->probe.context, out) == machine)
        return true;
    out[0] = L'\0';
    return false;
}

static bool InFolder(const LoaderFacts* facts, const wchar_t* folder, const wchar_t* name, WORD machine,
                     wchar_t* out)
{
    return folder && Candidate(facts, folder, lstrlenW(folder), name, machine, out);
}

// Each folder of a list, terminated names ending with an empty one.
static bool InFolderList(const LoaderFacts* facts, const wchar_t* list, const wchar_t* name, WORD machine,
                         wchar_t* out)
{
    for (const wchar_t* folder = list; folder && *folder; folder += lstrlenW(folder) + 1) {
        if (InFolder(facts, folder, name, machine, out))
            return true;
    }
    return false;
}

// Each folder of PATH, separated by ';'; empty entries are no folder.
static bool InPath(const LoaderFacts* facts, const wchar_t* path, const wchar_t* name, WORD machine, wchar_t* out)
{
    for (const wchar_t* start = path; start && *start;) {
        const wchar_t* end = start;
        while (*end && *end != L';')
            ++end;
        if (Candidate(facts, start, static_cast<int>(end - start), name, machine, out))
            return true;
        start = *end ? end + 1 : end;
    }
    return false;
}

static bool IsKnownDll(const LoaderFacts* facts, const wchar_t* name)
{
    for (const wchar_t* known = facts->knownDlls; known && *known; known += lstrlenW(known) + 1) {
        if (lstrcmpiW(known, name) == 0)
            return true;
    }
    return false;
}

static bool SideBySide(const LoaderFacts* facts, const Importer* importer, const wchar_t* name, wchar_t* out)
{
    for (int a = 0; a < importer->assemblyCount; ++a) {
        wchar_t folder[MAX_PATH];
        if (FindAssemblyFolder(&facts->probe, facts->winsxsFolder, &importer->assemblies[a], importer->machine, folder)
            && InFolder(facts, folder, name, importer->machine, out))
            return true;
    }
    return false;
}

// The search for a file name, every step after the API sets.
static FoundBy Search(const LoaderFacts* facts, const Importer* importer, const wchar_t* name, wchar_t* out)
{
    WORD machine = importer->machine;
    if (SideBySide(facts, importer, name, out))
        return FOUND_BY_SIDE_BY_SIDE;
    if (importer->findLoaded && importer->findLoaded(importer->loadedContext, name, out))
        return FOUND_BY_ALREADY_LOADED;
    const wchar_t* system = SystemFolderFor(facts, machine);
    if (IsKnownDll(facts, name) && InFolder(facts, system, name, machine, out))
        return FOUND_BY_KNOWN_DLL;
    if (InFolder(facts, importer->programFolder, name, machine, out))
        return FOUND_BY_APPLICATION_FOLDER;
    // Without safe search the current folder comes second.
    if (!facts->safeSearch && InFolder(facts, facts->currentFolder, name, machine, out))
        return FOUND_BY_CURRENT_FOLDER;
    if (InFolder(facts, system, name, machine, out) || InFolder(facts, facts->system16Folder, name, machine, out))
        return FOUND_BY_SYSTEM_FOLDER;
    if (InFolder(facts, facts->windowsFolder, name, machine, out))
        return FOUND_BY_WINDOWS_FOLDER;
    if (facts->safeSearch && InFolder(facts, facts->currentFolder, name, machine, out))
        return FOUND_BY_CURRENT_FOLDER;
    if (InPath(facts, facts->pathFolders, name, machine, out))
        return FOUND_BY_PATH;
    if (InFolderList(facts, facts->addedFolders, name, machine, out))
        return FOUND_BY_GIVEN_FOLDER;
    out[0] = L'\0';
    return NOT_FOUND;
}

bool ResolveLibrary(const LoaderFacts* facts, const Importer* importer, const wchar_t* name, Resolution* out)
{
    out->path[0] = L'\0';
    out->how = NOT_FOUND;
    // A name with a folder in it, or none at all, is searched for nowhere.
    int units = lstrlenW(name);
    if (units == 0 || units >= MAX_PATH - 4 || wcschr(name, L'\\') || wcschr(name, L'/'))
        return false;
    // A name without an extension is a ".dll"; one that ends in a dot has none.
    wchar_t file[MAX_PATH];
    lstrcpyW(file, name);
    if (!wcschr(file, L'.'))
        lstrcatW(file, L".dll");
    else if (file[units - 1] == L'.')
        file[units - 1] = L'\0';
    // An API set names no file: the loader loads its host, found as any other
    // name; a set that the schema does not know, or gives no host, is not found.
    if (IsApiSetName(file)) {
        wchar_t host[MAX_PATH];
        if (!facts->apiSetSchema
            || !ResolveApiSetIn(facts->apiSetSchema, facts->apiSetSize, file, importer->name, host, MAX_PATH))
            return false;
        if (Search(facts, importer, host, out->path) == NOT_FOUND)
            return false;
        out->how = FOUND_BY_API_SET;
        return true;
    }
    out->how = Search(facts, importer, file, out->path);
    return out->how != NOT_FOUND;
}
