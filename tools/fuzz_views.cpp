// fuzz_views: mutates PE files and runs all seven views on each mutant against
// real list controls, then the export lookups of the dependency walk, the
// manifest readers and the release-check readers on the same bytes, with the mutant placed so that a read
// one byte before or after it faults at once.
//
//   fuzz_views [--iterations N] [--seed S] [--out DIR] [--max-seed-size BYTES]
//              [--hang-ms MS] [--slow-ms MS] [--test-seeds] SEED_FILE_OR_FOLDER...
//   fuzz_views --check-watchdog [--hang-ms MS]
//
// A fault or a hang writes the input and the seed/iteration that made it to
// DIR and ends the process with a non-zero status. Inputs that spend more
// than --slow-ms inside the list controls (many rows) are no hang: they are
// written to DIR and listed apart with their rows. At the end it prints the
// inputs run, inputs per second, faults, hangs and those slow inputs.
//
// --check-watchdog checks the watchdog itself: an image with as many export
// rows as a seed's mutant once had (emptying them takes Wine's list control
// seconds in one call) must pass, and a loop of ours after it must be caught.
// Status 0 when both hold.
#include <windows.h>
#include <commctrl.h>
#include <stdio.h>
#include <string>
#include <vector>
#include "image/authenticode.h"
#include "image/clr_header.h"
#include "image/debug_dir.h"
#include "image/export_lookup.h"
#include "image/hardening.h"
#include "image/load_config.h"
#include "image/image_view.h"
#include "loader/manifest.h"
#include "shell/open_image.h"
#include "res/resource.h"
#include "tests/pe_builder.h"
#include "tests/thread_time.h"
#include "tools/hidden_dialog.h"

struct Seed {
    std::wstring name;
    std::vector<BYTE> bytes;
    std::vector<DWORD> pointerFields;   // offsets of dwords that hold RVAs resolving inside the file
    std::vector<DWORD> countFields;     // offsets of small words/dwords that look like counts
    std::vector<DWORD> boundaries;      // offsets where structures start or end
};

// Shared with the exception handler and the watchdog.
static volatile LONG currentInput = -1;
static volatile LONG currentStep = -1;    // advances with every placement, for the watchdog
static volatile LONG finishedInputs = 0;
static std::vector<BYTE> currentBytes;
static unsigned long long currentSeedValue;
static std::wstring currentSeedName;
static std::wstring outFolder = L".";
static BYTE* guardLow;    // the no-access page before the placed image
static BYTE* guardHigh;   // the no-access page after it
static DWORD pageSize;

static void WriteReport(const char* kind, DWORD code, const void* address)
{
    wchar_t name[MAX_PATH];
    wsprintfW(name, L"%s\\%S-%I64u-%ld", outFolder.c_str(), kind, currentSeedValue, currentInput);
    std::wstring bin = std::wstring(name) + L".bin", info = std::wstring(name) + L".txt";
    HANDLE f = CreateFileW(bin.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    DWORD written;
    if (f != INVALID_HANDLE_VALUE) {
        WriteFile(f, currentBytes.data(), static_cast<DWORD>(currentBytes.size()), &written, NULL);
        CloseHandle(f);
    }
    char text[1024];
    int n = wsprintfA(text, "%s: code 0x%08lX at %p\r\nseed value %I64u, input %ld, seed file %S\r\n"
                      "reproduce: fuzz_views --seed %I64u --first %ld --iterations 1 <same seed files>\r\n",
                      kind, code, address, currentSeedValue, currentInput, currentSeedName.c_str(),
                      currentSeedValue, currentInput);
    f = CreateFileW(info.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (f != INVALID_HANDLE_VALUE) {
        WriteFile(f, text, n, &written, NULL);
        CloseHandle(f);
    }
    fprintf(stderr, "%s", text);
    fprintf(stderr, "input written to %S\n", bin.c_str());
    fflush(stderr);
}

// An input whose rows keep the list control busy: written beside the
// findings and listed, since such files are the floor, not a fault.
static void ReportSlow(const char* placement, LONG rows, LONGLONG controlMs, LONGLONG totalMs)
{
    wchar_t name[MAX_PATH];
    wsprintfW(name, L"%s\\slow-%I64u-%ld.bin", outFolder.c_str(), currentSeedValue, currentInput);
    HANDLE f = CreateFileW(name, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    DWORD written;
    if (f != INVALID_HANDLE_VALUE) {
        WriteFile(f, currentBytes.data(), static_cast<DWORD>(currentBytes.size()), &written, NULL);
        CloseHandle(f);
    }
    printf("  slow: input %ld (%lu bytes, from %S), placed at the %s: %ld rows, %ld ms in the list control, "
           "%ld ms in all\n", currentInput, static_cast<unsigned long>(currentBytes.size()), currentSeedName.c_str(),
           placement, rows, static_cast<long>(controlMs), static_cast<long>(totalMs));
    fflush(stdout);
}

static bool InGuardPage(ULONG_PTR address)
{
    BYTE* a = reinterpret_cast<BYTE*>(address);
    return (a >= guardLow && a < guardLow + pageSize) || (a >= guardHigh && a < guardHigh + pageSize);
}

// Sees every exception first, also those that some library would swallow:
// any touch of a guard page is a read outside the image.
static LONG CALLBACK CatchGuardTouch(EXCEPTION_POINTERS* info)
{
    const EXCEPTION_RECORD* r = info->ExceptionRecord;
    bool guard = r->ExceptionCode == EXCEPTION_ACCESS_VIOLATION && r->NumberParameters >= 2
                 && InGuardPage(r->ExceptionInformation[1]);
    if (guard || r->ExceptionCode == EXCEPTION_STACK_OVERFLOW) {
        WriteReport(guard ? "fault" : "stack-overflow", r->ExceptionCode,
                    reinterpret_cast<void*>(guard ? r->ExceptionInformation[1] : 0));
        TerminateProcess(GetCurrentProcess(), 3);
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

static LONG WINAPI CatchUnhandled(EXCEPTION_POINTERS* info)
{
    WriteReport("fault", info->ExceptionRecord->ExceptionCode, info->ExceptionRecord->ExceptionAddress);
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

// Bound, in milliseconds of busy time of our own, for one placement of one
// input: far above what any file takes, far below what a loop that never
// ends would.
static DWORD hangLimitMs = 5000;
// A placement that spends longer than this inside the list controls is
// reported apart, with its rows.
static DWORD slowControlMs = 2000;

static HANDLE fuzzThread;

// Time spent inside the list controls, and rows inserted, during the
// placement running now. Wine's list control grows its item array by a small
// fixed step, so a file that rightly asks for hundreds of thousands of rows
// spends minutes inside it: that time is the control's, not a hang of ours.
static volatile LONGLONG controlTicks;   // of the calls that have returned
static volatile LONG rowsInserted;
static LONGLONG ticksPerMs = 1;
// When the outermost list-control call running now began (0: none runs). One
// call can take seconds (emptying a list of a hundred thousand rows), and the
// watchdog must not count them as ours while it waits for the call to return.
static volatile LONGLONG callStarted;
static int callDepth;   // calls into the controls nest; only the fuzzing thread makes them

static LONGLONG AtomicRead(volatile LONGLONG* value)
{
    return InterlockedCompareExchange64(const_cast<LONGLONG*>(value), 0, 0);
}

// Time inside the list controls during this placement, a call in progress included.
static LONGLONG ControlMs()
{
    LONGLONG started, done;
    do {   // a consistent pair: a call that returns meanwhile has both changed
        started = AtomicRead(&callStarted);
        done = AtomicRead(&controlTicks);
    } while (started != AtomicRead(&callStarted));
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return (done + (started ? now.QuadPart - started : 0)) / ticksPerMs;
}

// The lists' own procedures, by list; the lists' user data is the viewer's.
static WNDPROC listProcs[IDC_LIST_LAST - IDC_LIST_FIRST + 1];

// Every message to a list passes through here on its way to the control.
static LRESULT CALLBACK TimedListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam)
{
    WNDPROC control = listProcs[GetDlgCtrlID(list) - IDC_LIST_FIRST];
    bool outermost = callDepth++ == 0;
    LARGE_INTEGER before, after;
    if (outermost) {
        QueryPerformanceCounter(&before);
        InterlockedExchange64(const_cast<LONGLONG*>(&callStarted), before.QuadPart);
    }
    LRESULT result = CallWindowProcW(control, list, message, wParam, lParam);
    if (outermost) {
        // Counted before the call is marked finished: ControlMs sees it either
        // running or counted, never neither.
        QueryPerformanceCounter(&after);
        InterlockedExchangeAdd64(const_cast<LONGLONG*>(&controlTicks), after.QuadPart - before.QuadPart);
        InterlockedExchange64(const_cast<LONGLONG*>(&callStarted), 0);
    }
    --callDepth;
    if (message == LVM_INSERTITEMW)
        InterlockedIncrement(&rowsInserted);
    return result;
}

static void TimeLists(HWND dialog)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    ticksPerMs = frequency.QuadPart / 1000 ? frequency.QuadPart / 1000 : 1;
    for (int id = IDC_LIST_FIRST; id <= IDC_LIST_LAST; ++id) {
        HWND list = GetDlgItem(dialog, id);
        listProcs[id - IDC_LIST_FIRST] = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TimedListProc)));
    }
}

// CPU time the fuzzing thread has used, in milliseconds.
static LONGLONG BusyMs()
{
    return static_cast<LONGLONG>(ThreadBusyMs(fuzzThread));
}

static volatile bool hangExpected;   // --check-watchdog: the loop of ours runs

// A placement that keeps the fuzzing thread busy outside the list controls
// for longer than the limit is a hang. Busy time, not wall time, so that a
// loaded machine does not raise false alarms; the control's time is measured
// as wall time, which is never less than its busy time, so it cannot hide a
// loop of ours. A wall-time bound twelve times as long (again less the
// control's time) catches a thread that waits for ever.
static DWORD WINAPI Watchdog(void*)
{
    LONG seen = -2;
    LONGLONG since = 0, busySince = 0;
    for (;;) {
        Sleep(100);
        LONG now = currentStep;
        if (now != seen || now < 0) {
            seen = now;
            since = static_cast<LONGLONG>(GetTickCount64());
            busySince = BusyMs();
            continue;
        }
        LONGLONG control = ControlMs();
        LONGLONG ours = BusyMs() - busySince - control;
        LONGLONG waited = static_cast<LONGLONG>(GetTickCount64()) - since - control;
        if (ours > hangLimitMs || waited > 12LL * hangLimitMs) {
            fprintf(stderr, "hang: %ld ms busy of our own, %ld rows inserted, %ld ms in the list control\n",
                    static_cast<long>(ours), static_cast<long>(rowsInserted), static_cast<long>(control));
            if (hangExpected) {
                printf("watchdog check: the loop of ours was caught\n");
                fflush(stdout);
                TerminateProcess(GetCurrentProcess(), 0);
            }
            WriteReport("hang", 0, NULL);
            TerminateProcess(GetCurrentProcess(), 4);
        }
    }
}

// splitmix64: small, fast and the same everywhere.
struct Random {
    unsigned long long state;
    unsigned long long Next()
    {
        unsigned long long z = (state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    DWORD Below(DWORD n) { return n ? static_cast<DWORD>(Next() % n) : 0; }
};

static const DWORD INTERESTING[] = { 0, 1, 2, 0x7F, 0x80, 0xFF, 0x100, 0x7FFF, 0x8000, 0xFFFF, 0x10000,
                                     0x7FFFFFFF, 0x80000000, 0xFFFFFFFE, 0xFFFFFFFF };

// Notes where a seed's structures are, so that mutations hit fields that matter.
static void Survey(Seed* seed)
{
    ImageView view;
    const std::vector<BYTE>& b = seed->bytes;
    if (!InitImageView(&view, b.data(), static_cast<DWORD>(b.size())))
        return;
    DWORD nt = static_cast<DWORD>(view.nt - view.base);
    const DWORD headerFields[] = { DOS_LFANEW, nt + NT_NUMBER_OF_SECTIONS, nt + NT_SIZE_OF_OPTIONAL_HEADER,
                                   nt + NT_OPTIONAL(&view, NumberOfRvaAndSizes) };
    for (DWORD f : headerFields)
        seed->countFields.push_back(f);
    for (int d = 0; d < 16; ++d)
        seed->pointerFields.push_back(nt + DataDirectoryOffset(&view, d));
    DWORD count;
    const IMAGE_SECTION_HEADER* sections = SectionTable(&view, &count);
    DWORD table = sections ? static_cast<DWORD>(reinterpret_cast<const BYTE*>(sections) - view.base) : 0;
    for (DWORD i = 0; i < count; ++i) {
        DWORD h = table + i * sizeof(IMAGE_SECTION_HEADER);
        for (DWORD f = 8; f <= 20; f += 4)
            seed->countFields.push_back(h + f);
        seed->boundaries.push_back(h);
        seed->boundaries.push_back(sections[i].PointerToRawData);
        seed->boundaries.push_back(sections[i].PointerToRawData + sections[i].SizeOfRawData);
    }
    seed->boundaries.push_back(nt + NT_OPTIONAL_HEADER);
    seed->boundaries.push_back(table + count * sizeof(IMAGE_SECTION_HEADER));
    // Dwords that resolve as RVAs are probably pointers; small values are probably counts.
    // Only sample large files, to keep the survey quick.
    DWORD step = b.size() > (1u << 20) ? 64 : 4;
    for (DWORD off = 0; off + 4 <= b.size(); off += step) {
        DWORD value;
        memcpy(&value, &b[off], 4);
        if (value >= 0x1000 && RvaToPointer(&view, value)) {
            seed->pointerFields.push_back(off);
            DWORD target = static_cast<DWORD>(RvaToPointer(&view, value) - view.base);
            if (seed->boundaries.size() < 100000)
                seed->boundaries.push_back(target);
        } else if (value > 0 && value <= 64) {
            seed->countFields.push_back(off);
        }
    }
}

static void PutValue(std::vector<BYTE>& b, DWORD offset, DWORD value, int width)
{
    if (offset >= b.size() || b.size() - offset < static_cast<size_t>(width))
        return;
    memcpy(&b[offset], &value, width);
}

static DWORD Pick(Random& r, const std::vector<DWORD>& list, DWORD fallbackRange)
{
    return list.empty() ? r.Below(fallbackRange) : list[r.Below(static_cast<DWORD>(list.size()))];
}

// The highest RVA that still maps to the file's last byte, through the last section that does.
static DWORD LastByteRva(const std::vector<BYTE>& b)
{
    ImageView view;
    if (!InitImageView(&view, b.data(), static_cast<DWORD>(b.size())))
        return 0;
    DWORD count, best = 0;
    const IMAGE_SECTION_HEADER* s = SectionTable(&view, &count);
    for (DWORD i = 0; i < count; ++i) {
        if (s[i].PointerToRawData < b.size() && s[i].SizeOfRawData)
            best = s[i].VirtualAddress + static_cast<DWORD>(b.size()) - 1 - s[i].PointerToRawData;
    }
    return best;
}

static void Mutate(Random& r, std::vector<BYTE>& b, const Seed& seed, const std::vector<Seed>& seeds)
{
    DWORD size = static_cast<DWORD>(b.size());
    int rounds = 1 + static_cast<int>(r.Below(4));
    for (int i = 0; i < rounds && !b.empty(); ++i) {
        size = static_cast<DWORD>(b.size());
        switch (r.Below(9)) {
        case 0: {   // bit flips
            DWORD at = r.Below(4) ? r.Below(size < 0x400 ? size : 0x400) : r.Below(size);
            b[at] ^= static_cast<BYTE>(1u << r.Below(8));
            break;
        }
        case 1: {   // an interesting value into a pointer or count field
            const std::vector<DWORD>& fields = r.Below(2) ? seed.pointerFields : seed.countFields;
            int width = r.Below(3) == 0 ? 2 : 4;
            PutValue(b, Pick(r, fields, size), INTERESTING[r.Below(sizeof INTERESTING / sizeof INTERESTING[0])], width);
            break;
        }
        case 2: {   // re-point an RVA at the file's last bytes or just past them
            DWORD last = LastByteRva(b);
            DWORD target = last - 16 + r.Below(40);
            PutValue(b, Pick(r, seed.pointerFields, size), target, 4);
            break;
        }
        case 3: {   // re-point an RVA somewhere else inside the image
            DWORD a = Pick(r, seed.pointerFields, size), c = Pick(r, seed.pointerFields, size);
            if (c + 4 <= size) {
                DWORD value;
                memcpy(&value, &b[c], 4);
                PutValue(b, a, value + r.Below(64) - 32, 4);
            }
            break;
        }
        case 4: {   // inflate a count
            DWORD at = Pick(r, seed.countFields, size);
            if (at + 4 <= size) {
                DWORD value;
                memcpy(&value, &b[at], 4);
                DWORD inflated[] = { value * 2 + 1, value + 0x100, 0xFFFF, 0xFFFFFFFF, 0x7FFFFFFF };
                PutValue(b, at, inflated[r.Below(5)], r.Below(2) ? 2 : 4);
            }
            break;
        }
        case 5: {   // truncate at or near a boundary
            DWORD at = Pick(r, seed.boundaries, size) + r.Below(9) - 4;
            if (at >= 64 && at < size)
                b.resize(at);
            break;
        }
        case 6: {   // splice a run of another seed in
            const Seed& other = seeds[r.Below(static_cast<DWORD>(seeds.size()))];
            if (other.bytes.empty())
                break;
            DWORD from = r.Below(static_cast<DWORD>(other.bytes.size()));
            DWORD length = 1 + r.Below(256);
            DWORD to = r.Below(size);
            for (DWORD k = 0; k < length && from + k < other.bytes.size() && to + k < size; ++k)
                b[to + k] = other.bytes[from + k];
            break;
        }
        case 7: {   // the fields that choose the layout and the directories the loader reads
            ImageView view;
            if (!InitImageView(&view, b.data(), size))
                break;
            DWORD nt = static_cast<DWORD>(view.nt - view.base);
            static const WORD magics[] = { IMAGE_NT_OPTIONAL_HDR32_MAGIC, IMAGE_NT_OPTIONAL_HDR64_MAGIC,
                                           IMAGE_ROM_OPTIONAL_HDR_MAGIC, 0 };
            static const WORD machines[] = { IMAGE_FILE_MACHINE_I386, IMAGE_FILE_MACHINE_AMD64, 0x01C4, 0xAA64 };
            static const DWORD directories[] = { 0, 1, 2, 3, 13, 14, 15, 16, 17, 0x7FFFFFFF, 0xFFFFFFFF };
            switch (r.Below(4)) {
            case 0: PutValue(b, nt + NT_MAGIC, magics[r.Below(4)], 2); break;
            case 1: PutValue(b, nt + NT_MACHINE, machines[r.Below(4)], 2); break;
            case 2: PutValue(b, nt + NT_OPTIONAL(&view, NumberOfRvaAndSizes), directories[r.Below(11)], 4); break;
            default: PutValue(b, 0x18, r.Below(2) ? 0 : static_cast<WORD>(r.Next()), 2); break;   // e_lfarlc
            }
            break;
        }
        default: {  // random bytes anywhere
            DWORD at = r.Below(size);
            b[at] = static_cast<BYTE>(r.Next());
            break;
        }
        }
    }
}

// Room for the largest input between two no-access pages that never move: an
// input is copied either to the very start of the room or to its very end,
// so a read one byte outside it faults at once.
struct Placement {
    BYTE* data;
    SIZE_T size;
};

static Placement Reserve(SIZE_T largest)
{
    Placement p;
    SIZE_T pages = (largest + pageSize - 1) / pageSize + 1;
    BYTE* region = static_cast<BYTE*>(VirtualAlloc(NULL, (pages + 2) * pageSize, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    DWORD old;
    VirtualProtect(region, pageSize, PAGE_NOACCESS, &old);
    VirtualProtect(region + (pages + 1) * pageSize, pageSize, PAGE_NOACCESS, &old);
    guardLow = region;
    guardHigh = region + (pages + 1) * pageSize;
    p.data = region + pageSize;
    p.size = pages * pageSize;
    return p;
}

static const BYTE* Place(const Placement& p, const std::vector<BYTE>& b, bool atEnd)
{
    BYTE* start = atEnd ? p.data + p.size - b.size() : p.data;
    if (!b.empty())
        memcpy(start, b.data(), b.size());
    return start;
}

static void LoadSeed(const std::wstring& path, std::vector<Seed>* seeds, DWORD maxSize)
{
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (f == INVALID_HANDLE_VALUE)
        return;
    DWORD size = GetFileSize(f, NULL);
    if (size != INVALID_FILE_SIZE && size >= 64 && size <= maxSize) {
        Seed seed;
        seed.name = path;
        seed.bytes.resize(size);
        DWORD read = 0;
        if (ReadFile(f, seed.bytes.data(), size, &read, NULL) && read == size) {
            Survey(&seed);
            seeds->push_back(seed);
        }
    }
    CloseHandle(f);
}

static void LoadSeeds(const std::wstring& path, std::vector<Seed>* seeds, DWORD maxSize)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        LoadSeed(path, seeds, maxSize);
        return;
    }
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            LoadSeed(path + L"\\" + found.cFileName, seeds, maxSize);
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

// Looks functions up in the input's exports as the dependency walk does, by
// names and ordinals that sound files hold and that hostile ones may fake,
// with the forwarder text each leads to.
static void LookUpExports(const BYTE* base, DWORD size)
{
    ImageView view;
    if (!InitImageView(&view, base, size))
        return;
    static const char* const NAMES[] = { "", "A", "GetProcAddress", "DllMain", "zzzz" };
    ExportTarget target;
    for (const char* name : NAMES) {
        for (WORD hint : { 0, 1, 0xFFFF })
            FindExportByName(&view, name, hint, &target);
    }
    for (DWORD ordinal : { 0u, 1u, 2u, 0xFFFFu, 0xFFFFFFFFu })
        FindExportByOrdinal(&view, ordinal, &target);
}

// Reads what a release check reads: the debug directory, the load
// configuration and TLS callbacks, the .NET header, the certificate table
// with its signature and digest, and the mitigations' verdicts.
static bool CountDebugEntry(void* context, const DebugEntry* entry)
{
    *static_cast<DWORD*>(context) += entry->entry.SizeOfData;
    return true;
}

static bool CountCallback(void* context, ULONGLONG rva)
{
    *static_cast<ULONGLONG*>(context) += rva;
    return ++*(static_cast<ULONGLONG*>(context) + 1) < 1024;
}

struct CertificateWalk {
    const ImageView* view;
    FileDigests digests;
};

static bool DecodeCertificate(void* context, const CertificateEntry* entry)
{
    CertificateWalk* walk = static_cast<CertificateWalk*>(context);
    if (entry->type == CERTIFICATE_PKCS_SIGNED_DATA) {
        Authenticode signature;
        ReadAuthenticode(walk->view, &entry->data, &walk->digests, &signature);
    }
    return true;
}

static void ReadReleaseFacts(const BYTE* base, DWORD size)
{
    ImageView view;
    if (!InitImageView(&view, base, size))
        return;
    DWORD debugBytes = 0;
    WalkDebugEntries(&view, CountDebugEntry, &debugBytes);
    LoadConfig config;
    if (ReadLoadConfig(&view, &config)) {
        ULONGLONG value;
        for (int id = 0; id < LOAD_CONFIG_FIELD_COUNT; ++id)
            LoadConfigValue(&config, id, &value);
    }
    TlsDirectory tls;
    if (ReadTlsDirectory(&view, &tls)) {
        ULONGLONG callbacks[2] = { 0, 0 };
        WalkTlsCallbacks(&view, &tls, CountCallback, callbacks);
    }
    ClrHeader clr;
    ReadClrHeader(&view, &clr);
    CertificateTable table;
    CertificateWalk walk = { &view, {} };
    if (ReadCertificateTable(&view, &table))
        WalkCertificates(&table, DecodeCertificate, &walk);
    Mitigation verdicts[MITIGATION_COUNT];
    AssessHardening(&view, verdicts);
}

// Shows the current input at one placement and empties the lists again; true
// when it was a PE image. Reports it when it spent long in the list controls.
static bool RunPlacement(HWND dialog, HMODULE resources, const Placement& placement, bool atEnd, long* slow)
{
    InterlockedExchange64(const_cast<LONGLONG*>(&controlTicks), 0);
    InterlockedExchange(&rowsInserted, 0);
    InterlockedIncrement(&currentStep);
    ULONGLONG started = GetTickCount64();
    const BYTE* base = Place(placement, currentBytes, atEnd);
    DWORD size = static_cast<DWORD>(currentBytes.size());
    bool shown = ShowImage(dialog, resources, base, size);
    LookUpExports(base, size);
    // The same bytes as a manifest: untrusted text of any shape.
    AssemblyRef assemblies[MAX_ASSEMBLIES];
    ByteSpan text = { base, size };
    ReadManifestDependencies(&text, assemblies, MAX_ASSEMBLIES);
    ManifestFacts facts;
    ReadManifestFacts(&text, &facts);
    ReadReleaseFacts(base, size);
    // Emptied here, so that the time Wine's control takes to delete
    // many rows counts for the input that made them.
    EmptyLists(dialog);
    LONGLONG control = ControlMs();
    if (control > slowControlMs) {
        ++*slow;
        ReportSlow(atEnd ? "end" : "start", rowsInserted, control,
                   static_cast<LONGLONG>(GetTickCount64() - started));
    }
    return shown;
}

// A seed's mutant of a 32-bit winspool.drv asked for this many export rows.
static const DWORD CHECK_EXPORT_ROWS = 136623;

// Runs the image of CHECK_EXPORT_ROWS export rows at both placements, which
// must pass, then loops on our own, which the watchdog must catch and end
// with status 0.
static int CheckWatchdog(HWND dialog, HMODULE resources, const Placement& placement)
{
    currentSeedName = L"(watchdog check)";
    currentInput = 0;
    long slow = 0;
    LONGLONG busy = BusyMs(), control = 0;
    for (int atEnd = 1; atEnd >= 0; --atEnd) {
        if (!RunPlacement(dialog, resources, placement, atEnd != 0, &slow)) {
            fprintf(stderr, "watchdog check: the image is no PE image\n");
            return 1;
        }
        control += ControlMs();
    }
    printf("watchdog check: %lu export rows (%lu bytes) shown and emptied at both placements, "
           "%ld ms busy, %ld ms in the list control: passed\n", CHECK_EXPORT_ROWS,
           static_cast<unsigned long>(currentBytes.size()), static_cast<long>(BusyMs() - busy),
           static_cast<long>(control));
    fflush(stdout);
    hangExpected = true;
    busy = BusyMs();
    while (BusyMs() - busy < 4LL * hangLimitMs)
        continue;
    hangExpected = false;
    fprintf(stderr, "watchdog check: a loop of ours ran %ld ms and was not caught\n",
            static_cast<long>(BusyMs() - busy));
    return 1;
}

int wmain(int argc, wchar_t** argv)
{
    unsigned long long seedValue = 1;
    long iterations = 10000, first = 0;
    DWORD maxSeedSize = 1u << 20;
    std::vector<std::wstring> seedPaths;
    bool checkWatchdog = false;
    for (int i = 1; i < argc; ++i) {
        std::wstring a = argv[i];
        bool more = i + 1 < argc;
        if (a == L"--iterations" && more) iterations = _wtol(argv[++i]);
        else if (a == L"--seed" && more) seedValue = _wcstoui64(argv[++i], NULL, 10);
        else if (a == L"--first" && more) first = _wtol(argv[++i]);
        else if (a == L"--out" && more) outFolder = argv[++i];
        else if (a == L"--max-seed-size" && more) maxSeedSize = static_cast<DWORD>(_wtol(argv[++i]));
        else if (a == L"--hang-ms" && more) hangLimitMs = static_cast<DWORD>(_wtol(argv[++i]));
        else if (a == L"--slow-ms" && more) slowControlMs = static_cast<DWORD>(_wtol(argv[++i]));
        else if (a == L"--check-watchdog") checkWatchdog = true;
        else if (a == L"--test-seeds") {
            wchar_t temp[MAX_PATH];
            GetTempPathW(MAX_PATH, temp);
            seedPaths.push_back(std::wstring(temp) + L"modview-tests");
        } else seedPaths.push_back(a);
    }
    std::vector<Seed> seeds;
    for (const std::wstring& p : seedPaths)
        LoadSeeds(p, &seeds, maxSeedSize);
    if (checkWatchdog)
        currentBytes = BuildExportImage(CHECK_EXPORT_ROWS, false);
    else if (seeds.empty()) {
        fprintf(stderr, "fuzz_views: no seed files (PE files of 64 bytes to --max-seed-size)\n");
        return 2;
    }
    CreateDirectoryW(outFolder.c_str(), NULL);

    SYSTEM_INFO system;
    GetSystemInfo(&system);
    pageSize = system.dwPageSize;
    size_t largest = currentBytes.size();
    for (const Seed& s : seeds)
        largest = s.bytes.size() > largest ? s.bytes.size() : largest;
    Placement placement = Reserve(largest + 4096);

    HWND dialog = CreateHiddenDialog();
    if (!dialog) {
        fprintf(stderr, "fuzz_views: cannot create the dialog\n");
        return 2;
    }
    TimeLists(dialog);
    HMODULE resources = GetModuleHandleW(NULL);
    for (int id = IDC_LIST_FIRST; id <= IDC_LIST_LAST; ++id)
        SendDlgItemMessageW(dialog, id, WM_SETREDRAW, FALSE, 0);

    AddVectoredExceptionHandler(1, CatchGuardTouch);
    SetUnhandledExceptionFilter(CatchUnhandled);
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &fuzzThread, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    CreateThread(NULL, 0, Watchdog, NULL, 0, NULL);
    if (checkWatchdog)
        return CheckWatchdog(dialog, resources, placement);

    printf("fuzz_views: %u seeds, seed value %llu, inputs %ld to %ld, two placements each\n",
           static_cast<unsigned>(seeds.size()), seedValue, first, first + iterations - 1);
    fflush(stdout);
    currentSeedValue = seedValue;
    DWORD start = GetTickCount();
    long shown = 0, slow = 0;
    for (long n = first; n < first + iterations; ++n) {
        // Each input is a function of (seed value, input number) alone, so any
        // one can be made again without the ones before it.
        Random r = { seedValue * 0x100000001B3ULL ^ static_cast<unsigned long long>(n) * 0x9E3779B97F4A7C15ULL };
        r.Next();
        const Seed& seed = seeds[r.Below(static_cast<DWORD>(seeds.size()))];
        std::vector<BYTE> input = seed.bytes;
        Mutate(r, input, seed, seeds);
        currentSeedName = seed.name;
        currentBytes = input;
        currentInput = n;
        for (int placementKind = 0; placementKind < 2; ++placementKind) {
            if (RunPlacement(dialog, resources, placement, placementKind == 0, &slow))
                ++shown;
        }
        InterlockedIncrement(&finishedInputs);
        MSG msg;
        while (PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        if ((n - first + 1) % 20000 == 0) {
            printf("  %ld inputs, %.0f per second\n", n - first + 1,
                   (n - first + 1) * 1000.0 / ((GetTickCount() - start) | 1));
            fflush(stdout);
        }
    }
    currentInput = -1;
    currentStep = -1;
    double seconds = (GetTickCount() - start) / 1000.0;
    printf("inputs run: %ld (x2 placements), still PE images: %ld of %ld placements\n", iterations, shown, iterations * 2);
    printf("inputs per second: %.0f\n", seconds > 0 ? iterations / seconds : 0.0);
    printf("faults: 0\nhangs: 0\nslow in the list control (over %lu ms, not hangs): %ld placements\n",
           slowControlMs, slow);
    fflush(stdout);
    DestroyWindow(dialog);
    return 0;
}
