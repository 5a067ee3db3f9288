#include "views.h"
#include "headers.h"
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

static void SetVersion(const RowSink* sink, int row, VersionPair version)
{
    wchar_t text[TEXT_UNITS];
    wsprintfW(text, L"%u.%u", version.major, version.minor);
    SetCell(sink, row, 1, text);
}

static void SetReserveCommit(const RowSink* sink, int row, ULONGLONG reserve, ULONGLONG commit)
{
    wchar_t text[TEXT_UNITS];
    wsprintfW(text, L"0x%I64X / 0x%I64X", reserve, commit);
    SetCell(sink, row, 1, text);
}

// The link time, shown in local time in the system's long date and time formats.
static void SetLinkTime(const RowSink* sink, DWORD timeDateStamp)
{
    wchar_t date[TEXT_UNITS] = L"", time[TEXT_UNITS] = L"";
    FILETIME utc = LinkTimeToFileTime(timeDateStamp), local;
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
    ImageHeaders h;
    ReadHeaders(view, &h);
    wchar_t text[TEXT_UNITS];

    // The string ids are computed: executable + 1 for a DLL, GUI + 1 for any
    // other subsystem.
    UINT kind = IDS_KIND_EXE + ((h.characteristics & IMAGE_FILE_DLL) ? 1 : 0);
    text[0] = L'\0';
    LoadStringW(resources, kind, text, TEXT_UNITS);
    SetCell(sink, ROW_KIND, 1, text);

    UINT program = IDS_PROGRAM_GUI + (h.subsystem != IMAGE_SUBSYSTEM_WINDOWS_GUI ? 1 : 0);
    text[0] = L'\0';
    LoadStringW(resources, program, text, TEXT_UNITS);
    SetCell(sink, ROW_PROGRAM, 1, text);

    SetLinkTime(sink, h.timeDateStamp);

    FormatGrouped(view->size, text, TEXT_UNITS);
    SetCell(sink, ROW_SIZE, 1, text);

    // At least eight digits, and all sixteen that a PE32+ base may need.
    wsprintfW(text, L"0x%08I64X", h.imageBase);
    SetCell(sink, ROW_BASE, 1, text);

    wsprintfW(text, L"0x%lX", h.sectionAlignment);
    SetCell(sink, ROW_SECTION_ALIGNMENT, 1, text);
    wsprintfW(text, L"0x%lX", h.fileAlignment);
    SetCell(sink, ROW_FILE_ALIGNMENT, 1, text);

    SetVersion(sink, ROW_SYSTEM_VERSION, h.operatingSystem);
    SetVersion(sink, ROW_IMAGE_VERSION, h.image);
    SetVersion(sink, ROW_SUBSYSTEM_VERSION, h.subsystemVersion);
    SetVersion(sink, ROW_LINKER_VERSION, h.linker);

    SetReserveCommit(sink, ROW_STACK, h.stackReserve, h.stackCommit);
    SetReserveCommit(sink, ROW_HEAP, h.heapReserve, h.heapCommit);
}
