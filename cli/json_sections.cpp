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

void PutSections(JsonWriter* w, const ImageView* view)
{
    // Only headers that lie wholly inside the file, as in the view.
    DWORD count;
    const IMAGE_SECTION_HEADER* table = SectionTable(view, &count);
    BeginArray(w, JSON_LINES);
    IMAGE_SECTION_HEADER header;
    for (DWORD i = 0; ReadSectionHeader(view, table, count, i, &header); ++i) {
        BeginObject(w, JSON_INLINE);
        Key(w, "name");
        AnsiValue(w, header.Name, IMAGE_SIZEOF_SHORT_NAME);
        NumberField(w, "virtual_address", header.VirtualAddress);
        NumberField(w, "virtual_size", header.Misc.VirtualSize);
        NumberField(w, "raw_offset", header.PointerToRawData);
        NumberField(w, "raw_size", header.SizeOfRawData);
        Key(w, "characteristics");
        FlagsValue(w, header.Characteristics, WORDS(SECTION_FLAGS));
        NumberField(w, "characteristics_raw", header.Characteristics);
        EndScope(w);
    }
    EndScope(w);
}
