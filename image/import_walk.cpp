#include "import_walk.h"
#include <string.h>

// Tables of distinct libraries never share bytes, so a well-formed image
// never has more table bytes than the file holds. Descriptors that all point
// at one long table would otherwise cost libraries times entries.
struct TableBudget {
    DWORD bytesLeft;
};

// Visits every entry of the thunk table at `tableRva` until its zero entry.
// PE32 entries are 32 bits with the ordinal flag in bit 31; PE32+ entries are
// 64 bits with it in bit 63, and only their low 32 bits address a name.
// `bias` is subtracted (wrapping) from by-name addresses before they are
// resolved; the ordinal test looks at the entry as stored.
// False once the walk has read as many table bytes as the file holds.
static bool VisitFunctions(const ImageView* view, const ImportVisitor* visitor, TableBudget* budget, DWORD tableRva,
                           DWORD bias)
{
    const DWORD width = view->is64 ? 8 : 4;
    const ULONGLONG ordinalFlag = view->is64 ? IMAGE_ORDINAL_FLAG64 : IMAGE_ORDINAL_FLAG32;
    // A table that does not resolve, or that the end of the file cuts, simply
    // ends there; entries are read only whole.
    for (const BYTE* p = RvaToSpan(view, tableRva, width); p; p = ImageSpan(view, p + width, width)) {
        if (budget->bytesLeft < width)
            return false;
        budget->bytesLeft -= width;
        ULONGLONG entry;
        if (view->is64) {
            ReadQword(view, p, &entry);
        } else {
            DWORD entry32;
            ReadDword(view, p, &entry32);
            entry = entry32;
        }
        if (entry == 0)
            break;
        ImportedFunction function = {};
        if (entry & ordinalFlag) {
            function.byOrdinal = true;
            function.ordinal = static_cast<WORD>(entry);
        } else {
            // IMAGE_IMPORT_BY_NAME: a 16-bit hint, then the name.
            const BYTE* byName = RvaToSpan(view, static_cast<DWORD>(entry) - bias, sizeof(WORD));
            if (byName) {
                function.hintRead = true;
                ReadWord(view, byName, &function.hint);
                function.name = byName + sizeof(WORD);
            }
        }
        visitor->function(visitor->context, &function);
    }
    return true;
}

static void WalkDescriptors(const ImageView* view, const ImportVisitor* visitor, DWORD rva)
{
    TableBudget budget = { view->size };
    // Descriptors are read only whole: one cut by the end of the file ends the list.
    const DWORD step = sizeof(IMAGE_IMPORT_DESCRIPTOR);
    for (const BYTE* p = RvaToSpan(view, rva, step); p; p = ImageSpan(view, p + step, step)) {
        IMAGE_IMPORT_DESCRIPTOR d;
        memcpy(&d, p, sizeof d);
        if (d.Name == 0)
            break;
        visitor->library(visitor->context, RvaToPointer(view, d.Name), false);
        // Without a lookup table the import address table still holds the
        // unbound entries in the file.
        DWORD table = d.OriginalFirstThunk ? d.OriginalFirstThunk : d.FirstThunk;
        if (!VisitFunctions(view, visitor, &budget, table, 0))
            break;
    }
}

static void WalkDelayDescriptors(const ImageView* view, const ImportVisitor* visitor, DWORD rva)
{
    // Only the low 32 bits of a PE32+ ImageBase matter: the addresses it is
    // taken from are 32 bits wide.
    DWORD imageBase = static_cast<DWORD>(NtPointerSized(view, NT_OPTIONAL(view, ImageBase)));
    TableBudget budget = { view->size };
    const DWORD step = sizeof(IMAGE_DELAYLOAD_DESCRIPTOR);
    for (const BYTE* p = RvaToSpan(view, rva, step); p; p = ImageSpan(view, p + step, step)) {
        IMAGE_DELAYLOAD_DESCRIPTOR d;
        memcpy(&d, p, sizeof d);
        if (d.DllNameRVA == 0)
            break;
        // Bit 0 clear: the descriptor holds virtual addresses, not RVAs.
        DWORD bias = (d.Attributes.AllAttributes & 1) ? 0 : imageBase;
        visitor->library(visitor->context, RvaToPointer(view, d.DllNameRVA - bias), true);
        if (!VisitFunctions(view, visitor, &budget, d.ImportNameTableRVA - bias, bias))
            break;
    }
}

void WalkImports(const ImageView* view, bool delay, const ImportVisitor* visitor)
{
    DWORD rva = DataDirectoryRva(view, delay ? IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT : IMAGE_DIRECTORY_ENTRY_IMPORT);
    if (rva == 0)
        return;
    if (delay)
        WalkDelayDescriptors(view, visitor, rva);
    else
        WalkDescriptors(view, visitor, rva);
}
