#include "resolve.h"
#include <wchar.h>
#include "api_set.h"
#include "names.h"

const char* FoundByWord(FoundBy how)
{
    static const char* const WORDS[] = {
        "api-set", "known-dll", "side-by-side", "already-loaded", "application-folder", "system-folder",
        "windows-folder", "current-folder", "path", "given-folder", "not-found",
    };
    return how >= FOUND_BY_API_SET && how <= NOT_FOUND ? WORDS[how] : "not-found";
}

// Whether `path` lies in `folder` itself (`deep`: or anywhere below it).
static bool InFolderOf(const wchar_t* folder, const wchar_t* path, bool deep)
{
    int units = lstrlenW(folder);
    if (units == 0 || !SameNameUnits(folder, units, path, units < lstrlenW(path) ? units : lstrlenW(path)))
        return false;
    if (path[units] != L'\\' && path[units] != L'/')
        return false;
    const wchar_t* rest = path + units + 1;
    return deep || (!wcschr(rest, L'\\') && !wcschr(rest, L'/'));
}

bool FoundInSystem(const LoaderFacts* facts, FoundBy how, const wchar_t* path)
{
    switch (how) {
    case FOUND_BY_API_SET:
    case FOUND_BY_KNOWN_DLL:
    case FOUND_BY_SYSTEM_FOLDER:
    case FOUND_BY_WINDOWS_FOLDER:
        return true;
    case FOUND_BY_SIDE_BY_SIDE:
        return InFolderOf(facts->winsxsFolder, path, true);
    case FOUND_BY_ALREADY_LOADED:
        // As the library it stands for was found: by where it lies.
        return InFolderOf(facts->winsxsFolder, path, true) || InFolderOf(facts->systemFolder64, path, false) ||
               InFolderOf(facts->systemFolder32, path, false) || InFolderOf(facts->system16Folder, path, false) ||
               InFolderOf(facts->windowsFolder, path, false);
    default:
        return false;
    }
}

const wchar_t* SystemFolderFor(const LoaderFacts* facts, WORD machine)
{
    return machine == IMAGE_FILE_MACHINE_I386 || machine == IMAGE_FILE_MACHINE_ARMNT ? facts->systemFolder32
                                                                                    : facts->systemFolder64;
}

// One search for a file name: what it knows, and where its answer goes.
struct Search {
    const LoaderFacts* facts;
    WORD machine;
    Resolution* out;
};

// `folder`\`name` into the answer's path when it is an image of the machine.
static bool Candidate(Search* search, const wchar_t* folder, int folderUnits, const wchar_t* name)
{
    wchar_t* out = search->out->path;
    if (!JoinPath(folder, folderUnits, name, out))
        return false;
    // The loader skips a file made for another machine and searches on.
    const FileProbe* probe = &search->facts->probe;
    WORD found = probe->imageMachine(probe->context, out);
    if (found == search->machine)
        return true;
    Resolution* answer = search->out;
    bool again = false;   // one folder can come up in two steps
    for (int p = 0; p < answer->passedCount; ++p)
        again = again || SameName(answer->passed[p].path, out);
    if (found != 0 && !again && answer->passedCount < MAX_PASSED_OVER) {
        lstrcpyW(answer->passed[answer->passedCount].path, out);
        answer->passed[answer->passedCount++].machine = found;
    }
    out[0] = L'\0';
    return false;
}

static bool InFolder(Search* search, const wchar_t* folder, const wchar_t* name)
{
    return folder && Candidate(search, folder, lstrlenW(folder), name);
}

// Each folder of a list, terminated names ending with an empty one.
static bool InFolderList(Search* search, const wchar_t* list, const wchar_t* name)
{
    for (const wchar_t* folder = list; folder && *folder; folder += lstrlenW(folder) + 1) {
        if (InFolder(search, folder, name))
            return true;
    }
    return false;
}

// Each folder of PATH, separated by ';'; empty entries are no folder.
static bool InPath(Search* search, const wchar_t* path, const wchar_t* name)
{
    for (const wchar_t* start = path; start && *start;) {
        const wchar_t* end = start;
        while (*end && *end != L';')
            ++end;
        if (Candidate(search, start, static_cast<int>(end - start), name))
            return true;
        start = *end ? end + 1 : end;
    }
    return false;
}

static bool IsKnownDll(const LoaderFacts* facts, const wchar_t* name)
{
    for (const wchar_t* known = facts->knownDlls; known && *known; known += lstrlenW(known) + 1) {
        if (SameName(known, name))
            return true;
    }
    return false;
}

static bool SideBySide(Search* search, const Importer* importer, const wchar_t* name)
{
    const LoaderFacts* facts = search->facts;
    for (int a = 0; a < importer->assemblyCount; ++a) {
        wchar_t folder[MAX_PATH];
        if (FindAssemblyFolder(&facts->probe, facts->winsxsFolder, &importer->assemblies[a], importer->machine, folder)
            && InFolder(search, folder, name))
            return true;
    }
    return false;
}

// The search for a file name, every step after the API sets.
static FoundBy SearchFor(const LoaderFacts* facts, const Importer* importer, const wchar_t* name, Resolution* answer)
{
    Search search = { facts, importer->machine, answer };
    Search* s = &search;
    wchar_t* out = answer->path;
    if (SideBySide(s, importer, name))
        return FOUND_BY_SIDE_BY_SIDE;
    if (importer->findLoaded && importer->findLoaded(importer->loadedContext, name, out))
        return FOUND_BY_ALREADY_LOADED;
    const wchar_t* system = SystemFolderFor(facts, importer->machine);
    if (IsKnownDll(facts, name) && InFolder(s, system, name))
        return FOUND_BY_KNOWN_DLL;
    if (InFolder(s, importer->programFolder, name))
        return FOUND_BY_APPLICATION_FOLDER;
    // Without safe search the current folder comes second.
    if (!facts->safeSearch && InFolder(s, facts->currentFolder, name))
        return FOUND_BY_CURRENT_FOLDER;
    if (InFolder(s, system, name) || InFolder(s, facts->system16Folder, name))
        return FOUND_BY_SYSTEM_FOLDER;
    if (InFolder(s, facts->windowsFolder, name))
        return FOUND_BY_WINDOWS_FOLDER;
    if (facts->safeSearch && InFolder(s, facts->currentFolder, name))
        return FOUND_BY_CURRENT_FOLDER;
    if (InPath(s, facts->pathFolders, name))
        return FOUND_BY_PATH;
    if (InFolderList(s, facts->addedFolders, name))
        return FOUND_BY_GIVEN_FOLDER;
    out[0] = L'\0';
    return NOT_FOUND;
}

bool ResolveLibrary(const LoaderFacts* facts, const Importer* importer, const wchar_t* name, Resolution* out)
{
    out->path[0] = L'\0';
    out->how = NOT_FOUND;
    out->passedCount = 0;
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
        if (SearchFor(facts, importer, host, out) == NOT_FOUND)
            return false;
        out->how = FOUND_BY_API_SET;
        return true;
    }
    out->how = SearchFor(facts, importer, file, out);
    return out->how != NOT_FOUND;
}
