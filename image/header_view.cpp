#include "views.h"
#include "list_rows.h"
#include "../res/resource.h"

// Rows of the summary list, created once with their labels by the dialog.
enum SummaryRow {
    ROW_KIND,
    ROW_PROGRAM,
    ROW_DATE,
    ROW_TIME,
    ROW_SIZE,
    ROW_BASE,
    ROW_SECTION_ALIGNMENT,
    ROW_FILE_ALIGNMENT,
    ROW_SYSTEM_VERSION,
    ROW_IMAGE_VERSION,
    ROW_SUBSYSTEM_VERSION,
    ROW_LINKER_VERSION,
    ROW_STACK,
    ROW_HEAP,
};

static void SetVersion(HWND list, int row, WORD major, WORD minor)
{
    wchar_t text[TEXT_UNITS];
    wsprintfW(text, L"%u.%u", major, minor);
    SetCell(list, row, 1, text);
}

static void SetReserveCommit(HWND list, int row, ULONGLONG reserve, ULONGLONG commit)
{
    wchar_t text[TEXT_UNITS];
    wsprintfW(text, L"0x%I64X / 0x%I64X", reserve, commit);
    SetCell(list, row, 1, text);
}

// The link time: seconds since 1970 turned into FILETIME ticks since 1601,
// shown in local time in the system's long date and time formats.
static void SetLinkTime(HWND list, DWORD timeDateStamp)
{
    wchar_t date[TEXT_UNITS] = L"", time[TEXT_UNITS] = L"";
    ULONGLONG ticks = static_cast<ULONGLONG>(timeDateStamp) * 10000000ULL + 116444736000000000ULL;
    FILETIME utc, local;
    utc.dwLowDateTime = static_cast<DWORD>(ticks);
    utc.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    SYSTEMTIME st;
    if (FileTimeToLocalFileTime(&utc, &local) && FileTimeToSystemTime(&local, &st)) {
        if (!GetDateFormatW(LOCALE_SYSTEM_DEFAULT, DATE_LONGDATE, &st, NULL, date, TEXT_UNITS))
            date[0] = L'\0';
        if (!GetTimeFormatW(LOCALE_SYSTEM_DEFAULT, 0, &st, NULL, time, TEXT_UNITS))
            time[0] = L'\0';
    }
    SetCell(list, ROW_DATE, 1, date);
    SetCell(list, ROW_TIME, 1, time);
}

void ShowHeaderSummary(HWND list, HMODULE resources, const ImageView* view)
{
    wchar_t text[TEXT_UNITS];

    // The string ids are computed: executable + 1 for a DLL, GUI + 1 for any
    // other subsystem.
    WORD characteristics = NtWord(view, NT_CHARACTERISTICS);
    UINT kind = IDS_KIND_EXE + ((characteristics & IMAGE_FILE_DLL) ? 1 : 0);
    text[0] = L'\0';
    LoadStringW(resources, kind, text, TEXT_UNITS);
    SetCell(list, ROW_KIND, 1, text);

    WORD subsystem = NtWord(view, NT_OPTIONAL(view, Subsystem));
    UINT program = IDS_PROGRAM_GUI + (subsystem != IMAGE_SUBSYSTEM_WINDOWS_GUI ? 1 : 0);
    text[0] = L'\0';
    LoadStringW(resources, program, text, TEXT_UNITS);
    SetCell(list, ROW_PROGRAM, 1, text);

    SetLinkTime(list, NtDword(view, NT_TIME_DATE_STAMP));

    FormatGrouped(view->size, text, TEXT_UNITS);
    SetCell(list, ROW_SIZE, 1, text);

    // At least eight digits, and all sixteen that a PE32+ base may need.
    wsprintfW(text, L"0x%08I64X", NtPointerSized(view, NT_OPTIONAL(view, ImageBase)));
    SetCell(list, ROW_BASE, 1, text);

    wsprintfW(text, L"0x%lX", NtDword(view, NT_OPTIONAL(view, SectionAlignment)));
    SetCell(list, ROW_SECTION_ALIGNMENT, 1, text);
    wsprintfW(text, L"0x%lX", NtDword(view, NT_OPTIONAL(view, FileAlignment)));
    SetCell(list, ROW_FILE_ALIGNMENT, 1, text);

    SetVersion(list, ROW_SYSTEM_VERSION, NtWord(view, NT_OPTIONAL(view, MajorOperatingSystemVersion)),
               NtWord(view, NT_OPTIONAL(view, MinorOperatingSystemVersion)));
    SetVersion(list, ROW_IMAGE_VERSION, NtWord(view, NT_OPTIONAL(view, MajorImageVersion)),
               NtWord(view, NT_OPTIONAL(view, MinorImageVersion)));
    SetVersion(list, ROW_SUBSYSTEM_VERSION, NtWord(view, NT_OPTIONAL(view, MajorSubsystemVersion)),
               NtWord(view, NT_OPTIONAL(view, MinorSubsystemVersion)));
    // The two linker version bytes, major first.
    WORD linker = NtWord(view, NT_OPTIONAL(view, MajorLinkerVersion));
    SetVersion(list, ROW_LINKER_VERSION, LOBYTE(linker), HIBYTE(linker));

    SetReserveCommit(list, ROW_STACK, NtPointerSized(view, NT_OPTIONAL(view, SizeOfStackReserve)),
                     NtPointerSized(view, NT_OPTIONAL(view, SizeOfStackCommit)));
    SetReserveCommit(list, ROW_HEAP, NtPointerSized(view, NT_OPTIONAL(view, SizeOfHeapReserve)),
                     NtPointerSized(view, NT_OPTIONAL(view, SizeOfHeapCommit)));
}
