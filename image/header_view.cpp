#include "views.h"
#include "text_format.h"
#include "../res/resource.h"

// Rows of the summary, made once with their labels by AddSummaryLabels.
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

void AddSummaryLabels(const RowSink* sink, HMODULE resources)
{
    for (int id = IDS_SUMMARY_FIRST; id <= IDS_SUMMARY_LAST; ++id) {
        wchar_t label[TEXT_UNITS] = L"";
        LoadStringW(resources, id, label, TEXT_UNITS);
        InsertRow(sink, id - IDS_SUMMARY_FIRST, label, ROW_PLAIN);
        SetCell(sink, id - IDS_SUMMARY_FIRST, 1, L"");
    }
}

static void SetVersion(const RowSink* sink, int row, WORD major, WORD minor)
{
    wchar_t text[TEXT_UNITS];
    wsprintfW(text, L"%u.%u", major, minor);
    SetCell(sink, row, 1, text);
}

static void SetReserveCommit(const RowSink* sink, int row, ULONGLONG reserve, ULONGLONG commit)
{
    wchar_t text[TEXT_UNITS];
    wsprintfW(text, L"0x%I64X / 0x%I64X", reserve, commit);
    SetCell(sink, row, 1, text);
}

// The link time: seconds since 1970 turned into FILETIME ticks since 1601,
// shown in local time in the system's long date and time formats.
static void SetLinkTime(const RowSink* sink, DWORD timeDateStamp)
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
    SetCell(sink, ROW_DATE, 1, date);
    SetCell(sink, ROW_TIME, 1, time);
}

void ShowHeaderSummary(const RowSink* sink, HMODULE resources, const ImageView* view)
{
    wchar_t text[TEXT_UNITS];

    // The string ids are computed: executable + 1 for a DLL, GUI + 1 for any
    // other subsystem.
    WORD characteristics = NtWord(view, NT_CHARACTERISTICS);
    UINT kind = IDS_KIND_EXE + ((characteristics & IMAGE_FILE_DLL) ? 1 : 0);
    text[0] = L'\0';
    LoadStringW(resources, kind, text, TEXT_UNITS);
    SetCell(sink, ROW_KIND, 1, text);

    WORD subsystem = NtWord(view, NT_OPTIONAL(view, Subsystem));
    UINT program = IDS_PROGRAM_GUI + (subsystem != IMAGE_SUBSYSTEM_WINDOWS_GUI ? 1 : 0);
    text[0] = L'\0';
    LoadStringW(resources, program, text, TEXT_UNITS);
    SetCell(sink, ROW_PROGRAM, 1, text);

    SetLinkTime(sink, NtDword(view, NT_TIME_DATE_STAMP));

    FormatGrouped(view->size, text, TEXT_UNITS);
    SetCell(sink, ROW_SIZE, 1, text);

    // At least eight digits, and all sixteen that a PE32+ base may need.
    wsprintfW(text, L"0x%08I64X", NtPointerSized(view, NT_OPTIONAL(view, ImageBase)));
    SetCell(sink, ROW_BASE, 1, text);

    wsprintfW(text, L"0x%lX", NtDword(view, NT_OPTIONAL(view, SectionAlignment)));
    SetCell(sink, ROW_SECTION_ALIGNMENT, 1, text);
    wsprintfW(text, L"0x%lX", NtDword(view, NT_OPTIONAL(view, FileAlignment)));
    SetCell(sink, ROW_FILE_ALIGNMENT, 1, text);

    SetVersion(sink, ROW_SYSTEM_VERSION, NtWord(view, NT_OPTIONAL(view, MajorOperatingSystemVersion)),
               NtWord(view, NT_OPTIONAL(view, MinorOperatingSystemVersion)));
    SetVersion(sink, ROW_IMAGE_VERSION, NtWord(view, NT_OPTIONAL(view, MajorImageVersion)),
               NtWord(view, NT_OPTIONAL(view, MinorImageVersion)));
    SetVersion(sink, ROW_SUBSYSTEM_VERSION, NtWord(view, NT_OPTIONAL(view, MajorSubsystemVersion)),
               NtWord(view, NT_OPTIONAL(view, MinorSubsystemVersion)));
    // The two linker version bytes, major first.
    WORD linker = NtWord(view, NT_OPTIONAL(view, MajorLinkerVersion));
    SetVersion(sink, ROW_LINKER_VERSION, LOBYTE(linker), HIBYTE(linker));

    SetReserveCommit(sink, ROW_STACK, NtPointerSized(view, NT_OPTIONAL(view, SizeOfStackReserve)),
                     NtPointerSized(view, NT_OPTIONAL(view, SizeOfStackCommit)));
    SetReserveCommit(sink, ROW_HEAP, NtPointerSized(view, NT_OPTIONAL(view, SizeOfHeapReserve)),
                     NtPointerSized(view, NT_OPTIONAL(view, SizeOfHeapCommit)));
}
