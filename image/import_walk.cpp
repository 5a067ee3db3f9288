#include "import_walk.h"
#include <string.h>

// Tables of distinct libraries never share bytes, so a well-formed image
// never has more table bytes than the file holds: the cursor's byte budget
// starts at the file's size. Descriptors that all point at one long table
// would otherwise cost libraries times entries.
void BeginImports(const ImageView* view, bool delay, ImportCursor* cursor)
{
    ZeroMemory(cursor, sizeof *cursor);
    cursor->delay = delay;
    cursor->bytesLeft = view->size;
    DWORD rva = DataDirectoryRva(view, delay ? IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT : IMAGE_DIRECTORY_ENTRY_IMPORT);
    if (rva == 0)
        return;
    // Only the low 32 bits of a PE32+ ImageBase matter: the addresses it is
    // taken from are 32 bits wide.
    if (delay)
        cursor->imageBase = static_cast<DWORD>(NtPointerSized(view, NT_OPTIONAL(view, ImageBase)));
    // Descriptors are read only whole: one cut by the end of the file ends the list.
    cursor->descriptor = RvaToSpan(view, rva, delay ? sizeof(IMAGE_DELAYLOAD_DESCRIPTOR) : sizeof(IMAGE_IMPORT_DESCRIPTOR));
}

// The next entry of the current thunk table. PE32 entries are 32 bits with
// the ordinal flag in bit 31; PE32+ entries are 64 bits with it in bit 63,
// and only their low 32 bits address a name, from which the descriptor's
// bias is subtracted (wrapping). A table that does not resolve, or that the
// end of the file cuts, simply ends there; entries are read only whole.
// False at the table's end; the walk's end too once the budget is spent.
static bool NextFunction(const ImageView* view, ImportCursor* cursor, ImportedFunction* function)
{
    const DWORD width = view->is64 ? 8 : 4;
    if (cursor->bytesLeft < width) {
        cursor->entry = cursor->descriptor = NULL;
        return false;
    }
    cursor->bytesLeft -= width;
    ULONGLONG entry;
    if (view->is64) {
        ReadQword(view, cursor->entry, &entry);
    } else {
        DWORD entry32;
        ReadDword(view, cursor->entry, &entry32);
        entry = entry32;
    }
    if (entry == 0) {
        cursor->entry = NULL;
        return false;
    }
    cursor->entry = SpanPart(view, cursor->entry + width, width);
    ZeroMemory(function, sizeof *function);
    if (entry & (view->is64 ? IMAGE_ORDINAL_FLAG64 : IMAGE_ORDINAL_FLAG32)) {
        function->byOrdinal = true;
        function->ordinal = static_cast<WORD>(entry);
    } else {
        // IMAGE_IMPORT_BY_NAME: a 16-bit hint, then the name.
        const BYTE* byName = RvaToSpan(view, static_cast<DWORD>(entry) - cursor->bias, sizeof(WORD));
        if (byName) {
            function->hintRead = true;
            ReadWord(view, byName, &function->hint);
            function->name = byName + sizeof(WORD);
        }
    }
    return true;
}

bool NextImport(const ImageView* view, ImportCursor* cursor, ImportItem* item)
{
    while (cursor->entry) {
        if (NextFunction(view, cursor, &item->function)) {
            item->isLibrary = false;
            return true;
        }
    }
    if (!cursor->descriptor)
        return false;
    const DWORD width = view->is64 ? 8 : 4;
    DWORD name, table, step;
    if (cursor->delay) {
        IMAGE_DELAYLOAD_DESCRIPTOR d;
        memcpy(&d, cursor->descriptor, sizeof d);
        // Bit 0 clear: the descriptor holds virtual addresses, not RVAs.
        cursor->bias = (d.Attributes.AllAttributes & 1) ? 0 : cursor->imageBase;
        name = d.DllNameRVA;
        table = d.ImportNameTableRVA - cursor->bias;
        step = sizeof d;
    } else {
        IMAGE_IMPORT_DESCRIPTOR d;
        memcpy(&d, cursor->descriptor, sizeof d);
        name = d.Name;
        // Without a lookup table the import address table still holds the
        // unbound entries in the file.
        table = d.OriginalFirstThunk ? d.OriginalFirstThunk : d.FirstThunk;
        step = sizeof d;
    }
    if (name == 0) {
        cursor->descriptor = NULL;
        return false;
    }
    item->isLibrary = true;
    item->library = RvaToPointer(view, name - cursor->bias);
    cursor->entry = RvaToSpan(view, table, width);
    cursor->descriptor = SpanPart(view, cursor->descriptor + step, step);
    return true;
}

void WalkImports(const ImageView* view, bool delay, const ImportVisitor* visitor)
{
    ImportCursor cursor;
    BeginImports(view, delay, &cursor);
    ImportItem item;
    while (NextImport(view, &cursor, &item)) {
        if (item.isLibrary)
            visitor->library(visitor->context, item.library, delay);
        else
            visitor->function(visitor->context, &item.function);
    }
}
