#include "views.h"
#include <string.h>
#include "text_format.h"
#include "../res/resource.h"

// Attribute letters: the memory attributes first, then the kinds of content.
static void SectionFlagString(DWORD characteristics, wchar_t* out)
{
    static const struct {
        DWORD bit;
        wchar_t letter;
    } letters[] = {
        { IMAGE_SCN_MEM_SHARED, L's' },
        { IMAGE_SCN_MEM_EXECUTE, L'x' },
        { IMAGE_SCN_MEM_READ, L'r' },
        { IMAGE_SCN_MEM_WRITE, L'w' },
        { IMAGE_SCN_CNT_CODE, L'c' },
        { IMAGE_SCN_CNT_INITIALIZED_DATA, L'i' },
        { IMAGE_SCN_CNT_UNINITIALIZED_DATA, L'u' },
    };
    int n = 0;
    for (size_t i = 0; i < sizeof letters / sizeof letters[0]; ++i) {
        if (characteristics & letters[i].bit)
            out[n++] = letters[i].letter;
    }
    out[n] = L'\0';
}

void ShowSections(const RowSink* sink, HMODULE resources, const ImageView* view)
{
    // Only headers that lie wholly inside the file are listed and summed.
    DWORD count;
    const IMAGE_SECTION_HEADER* table = SectionTable(view, &count);
    DWORD virtualSum = 0, rawSum = 0;   // wrap modulo 2^32
    int row = 0;
    IMAGE_SECTION_HEADER header;
    for (DWORD i = 0; ReadSectionHeader(view, table, count, i, &header); ++i) {

        wchar_t flags[8], virtualText[TEXT_UNITS], rawText[TEXT_UNITS];
        SectionFlagString(header.Characteristics, flags);
        FormatGrouped(header.Misc.VirtualSize, virtualText, TEXT_UNITS);
        FormatGrouped(header.SizeOfRawData, rawText, TEXT_UNITS);
        virtualSum += header.Misc.VirtualSize;
        rawSum += header.SizeOfRawData;

        // The name fills all 8 bytes when it needs no terminator.
        wchar_t name[IMAGE_SIZEOF_SHORT_NAME + 1];
        AnsiToWide(reinterpret_cast<const char*>(header.Name), IMAGE_SIZEOF_SHORT_NAME, name,
                   IMAGE_SIZEOF_SHORT_NAME + 1);

        InsertRow(sink, row, name, ROW_PLAIN);
        SetCell(sink, row, 1, virtualText);
        SetCell(sink, row, 2, rawText);
        SetCell(sink, row, 3, flags);
        ++row;
    }

    wchar_t label[TEXT_UNITS] = L"";
    LoadStringW(resources, IDS_TOTAL, label, TEXT_UNITS);
    wchar_t virtualText[TEXT_UNITS], rawText[TEXT_UNITS];
    FormatGrouped(virtualSum, virtualText, TEXT_UNITS);
    FormatGrouped(rawSum, rawText, TEXT_UNITS);
    InsertRow(sink, row, label, ROW_HEADER);
    SetCell(sink, row, 1, virtualText);
    SetCell(sink, row, 2, rawText);
}
