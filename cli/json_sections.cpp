#include "json_views.h"
#include <string.h>

static const Word SECTION_FLAGS[] = {
    { IMAGE_SCN_CNT_CODE, "code" }, { IMAGE_SCN_CNT_INITIALIZED_DATA, "initialized-data" },
    { IMAGE_SCN_CNT_UNINITIALIZED_DATA, "uninitialized-data" }, { IMAGE_SCN_LNK_INFO, "lnk-info" },
    { IMAGE_SCN_LNK_REMOVE, "lnk-remove" }, { IMAGE_SCN_LNK_COMDAT, "comdat" }, { IMAGE_SCN_GPREL, "gprel" },
    { IMAGE_SCN_LNK_NRELOC_OVFL, "nreloc-ovfl" }, { IMAGE_SCN_MEM_DISCARDABLE, "discardable" },
    { IMAGE_SCN_MEM_NOT_CACHED, "not-cached" }, { IMAGE_SCN_MEM_NOT_PAGED, "not-paged" },
    { IMAGE_SCN_MEM_SHARED, "shared" }, { IMAGE_SCN_MEM_EXECUTE, "execute" }, { IMAGE_SCN_MEM_READ, "read" },
    { IMAGE_SCN_MEM_WRITE, "write" },
};

void PutSections(Output* out, const ImageView* view)
{
    // Only headers that lie wholly inside the file, as in the view.
    DWORD count;
    const IMAGE_SECTION_HEADER* table = SectionTable(view, &count);
    PutChar(out, '[');
    DWORD i = 0;
    for (; i < count; ++i) {
        const BYTE* entry = SpanPart(view, &table[i], sizeof(IMAGE_SECTION_HEADER));
        if (!entry)
            break;
        IMAGE_SECTION_HEADER header;
        memcpy(&header, entry, sizeof header);
        PutText(out, i ? ",\n    {" : "\n    {");
        PutKey(out, "name");
        PutAnsiString(out, header.Name, IMAGE_SIZEOF_SHORT_NAME);
        PutNextKey(out, "virtual_address");
        PutNumber(out, header.VirtualAddress);
        PutNextKey(out, "virtual_size");
        PutNumber(out, header.Misc.VirtualSize);
        PutNextKey(out, "raw_offset");
        PutNumber(out, header.PointerToRawData);
        PutNextKey(out, "raw_size");
        PutNumber(out, header.SizeOfRawData);
        PutNextKey(out, "characteristics");
        PutFlagWords(out, header.Characteristics, WORDS(SECTION_FLAGS));
        PutNextKey(out, "characteristics_raw");
        PutNumber(out, header.Characteristics);
        PutChar(out, '}');
    }
    PutText(out, i ? "\n  ]" : "]");
}
