#include "file_probe.h"
#include "../image/image_file.h"
#include "../image/image_view.h"
#include "../loader/names.h"

// Reads the machine of the image at `path`.
static WORD ProbeMachine(void*, const wchar_t* path)
{
    ImageFile file;
    if (MapImageFile(path, &file) != MAP_DONE)
        return 0;
    ImageView view;
    WORD machine = InitImageView(&view, file.base, file.size) ? NtWord(&view, NT_MACHINE) : 0;
    UnmapImageFile(&file);
    return machine;
}

static bool ProbeFolders(void*, const wchar_t* folder, void (*each)(void*, const wchar_t*), void* eachContext)
{
    wchar_t pattern[MAX_PATH];
    JoinPath(folder, lstrlenW(folder), L"*", pattern);
    WIN32_FIND_DATAW found;
    HANDLE search = pattern[0] ? FindFirstFileW(pattern, &found) : INVALID_HANDLE_VALUE;
    if (search == INVALID_HANDLE_VALUE)
        return false;
    do {
        bool dots = lstrcmpW(found.cFileName, L".") == 0 || lstrcmpW(found.cFileName, L"..") == 0;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !dots)
            each(eachContext, found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return true;
}

// Any file that is not empty, mapped whole; the token is its ImageFile.
static bool ProbeMap(void*, const wchar_t* path, const BYTE** bytes, DWORD* size, void** token)
{
    ImageFile* file = static_cast<ImageFile*>(HeapAlloc(GetProcessHeap(), 0, sizeof(ImageFile)));
    if (!file)
        return false;
    if (MapFile(path, 1, file) != MAP_DONE) {
        HeapFree(GetProcessHeap(), 0, file);
        return false;
    }
    *bytes = file->base;
    *size = file->size;
    *token = file;
    return true;
}

static void ProbeRelease(void*, void* token)
{
    UnmapImageFile(static_cast<ImageFile*>(token));
    HeapFree(GetProcessHeap(), 0, token);
}

// Files kept mapped for the whole run, by path: a library that many files
// of one run import is mapped and probed once. Only so much is kept, so that
// a 32-bit process keeps address space for the rest.
const DWORD KEPT_SLOTS = 16384;   // a power of two
const ULONGLONG KEPT_BYTES = 512ull * 1024 * 1024;

struct KeptFile {
    wchar_t path[MAX_PATH];
    WORD machine;          // 0: not a PE image, or not there
    ImageFile* mapped;     // null when not there or not kept
    DWORD size;
};

struct KeptFiles {
    KeptFile** slots;
    DWORD used;
    ULONGLONG bytes;
};

static KeptFile* FindKept(KeptFiles* kept, const wchar_t* path, bool add)
{
    for (DWORD slot = NameHash(path) & (KEPT_SLOTS - 1);; slot = (slot + 1) & (KEPT_SLOTS - 1)) {
        KeptFile* file = kept->slots[slot];
        if (!file) {
            // Three quarters full: no more is kept.
            if (!add || kept->used >= KEPT_SLOTS / 4 * 3 || lstrlenW(path) >= MAX_PATH)
                return NULL;
            file = static_cast<KeptFile*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(KeptFile)));
            if (!file)
                return NULL;
            lstrcpyW(file->path, path);
            kept->slots[slot] = file;
            ++kept->used;
            return file;
        }
        if (SameName(file->path, path))
            return file;
    }
}

// The file at `path`, mapped and probed once; null when it cannot be kept.
static KeptFile* Keep(KeptFiles* kept, const wchar_t* path)
{
    KeptFile* file = FindKept(kept, path, false);
    if (file)
        return file;
    if (kept->bytes >= KEPT_BYTES || !(file = FindKept(kept, path, true)))
        return NULL;
    const BYTE* bytes;
    void* token;
    if (ProbeMap(NULL, path, &bytes, &file->size, &token)) {
        file->mapped = static_cast<ImageFile*>(token);
        kept->bytes += file->size;
        ImageView view;
        if (InitImageView(&view, bytes, file->size))
            file->machine = NtWord(&view, NT_MACHINE);
    }
    return file;
}

static WORD KeptMachine(void* context, const wchar_t* path)
{
    KeptFile* file = Keep(static_cast<KeptFiles*>(context), path);
    return file ? file->machine : ProbeMachine(NULL, path);
}

static bool KeptMap(void* context, const wchar_t* path, const BYTE** bytes, DWORD* size, void** token)
{
    KeptFile* file = Keep(static_cast<KeptFiles*>(context), path);
    if (!file)
        return ProbeMap(NULL, path, bytes, size, token);
    if (!file->mapped)
        return false;
    *bytes = file->mapped->base;
    *size = file->size;
    *token = NULL;   // stays mapped
    return true;
}

static void KeptRelease(void*, void* token)
{
    if (token)
        ProbeRelease(NULL, token);
}

FileProbe RealFileProbe(bool keepFiles)
{
    FileProbe probe = { NULL, ProbeMachine, ProbeFolders, ProbeMap, ProbeRelease };
    if (!keepFiles)
        return probe;
    KeptFiles* kept = static_cast<KeptFiles*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(KeptFiles)));
    if (kept)
        kept->slots = static_cast<KeptFile**>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, KEPT_SLOTS * sizeof(KeptFile*)));
    if (kept && kept->slots) {
        FileProbe keeping = { kept, KeptMachine, ProbeFolders, KeptMap, KeptRelease };
        probe = keeping;
    }
    return probe;
}
