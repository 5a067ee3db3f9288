// Lists 20 and 21: the libraries an image imports and delay-loads, each
// followed by the functions taken from it, in the order the image stores them.
#include <string.h>
#include "text_format.h"
#include "views.h"

// One list being filled. Its row counter runs across all libraries.
struct ImportList {
    const RowSink* sink;
    const ImageView* view;
    int row;                    // index of the next row
    DWORD tableBytesLeft;       // table bytes the walk may still read
    wchar_t text[NAME_UNITS];   // every cell is built here
};

static void StartList(ImportList* out, const RowSink* sink, const ImageView* view)
{
    out->sink = sink;
    out->view = view;
    out->row = 0;
    // Tables of distinct libraries never share bytes, so a well-formed image
    // never has more table bytes than the file holds. Descriptors that all
    // point at one long table would otherwise cost libraries times entries.
    out->tableBytesLeft = view->size;
    out->text[0] = L'\0';
}

// Converts the 8-bit name at `name` into the cell buffer. The name ends at its
// NUL or at the end of the file, and is cut to fit the buffer.
static void ConvertName(ImportList* out, const BYTE* name)
{
    AnsiToWide(reinterpret_cast<const char*>(name), ImageBytesLeft(out->view, name), out->text, NAME_UNITS);
}

static void AddLibraryRow(ImportList* out, DWORD nameRva)
{
    InsertRow(out->sink, out->row, NULL, ROW_HEADER);
    const BYTE* name = RvaToPointer(out->view, nameRva);
    if (name) {
        ConvertName(out, name);
        SetCell(out->sink, out->row, 1, out->text);
    }
    ++out->row;
}

// Adds a row per entry of the thunk table at `tableRva` until its zero entry.
// PE32 entries are 32 bits with the ordinal flag in bit 31; PE32+ entries are
// 64 bits with it in bit 63, and only their low 32 bits address a name.
// `bias` is subtracted (wrapping) from by-name addresses before they are
// resolved; the ordinal test looks at the entry as stored.
// False once the walk has read as many table bytes as the file holds.
static bool AddFunctionRows(ImportList* out, DWORD tableRva, DWORD bias)
{
    const ImageView* view = out->view;
    const DWORD width = view->is64 ? 8 : 4;
    const ULONGLONG ordinalFlag = view->is64 ? IMAGE_ORDINAL_FLAG64 : IMAGE_ORDINAL_FLAG32;

    // A table that does not resolve, or that the end of the file cuts, simply
    // ends there; entries are read only whole.
    for (const BYTE* p = RvaToSpan(view, tableRva, width); p; p = ImageSpan(view, p + width, width)) {
        if (out->tableBytesLeft < width)
            return false;
        out->tableBytesLeft -= width;
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

        if (entry & ordinalFlag) {
            FormatHex4(static_cast<WORD>(entry), out->text);
            InsertRow(out->sink, out->row, out->text, ROW_PLAIN);
        } else {
            // IMAGE_IMPORT_BY_NAME: a 16-bit hint, then the name. When the hint
            // cannot be read the row still stands for the entry, with both
            // cells empty.
            DWORD address = static_cast<DWORD>(entry) - bias;
            const BYTE* byName = RvaToSpan(view, address, sizeof(WORD));
            if (byName) {
                WORD hint;
                ReadWord(view, byName, &hint);
                FormatHex4(hint, out->text);
                InsertRow(out->sink, out->row, out->text, ROW_PLAIN);
                ConvertName(out, byName + sizeof(WORD));
                SetCell(out->sink, out->row, 1, out->text);
            } else {
                InsertRow(out->sink, out->row, L"", ROW_PLAIN);
            }
        }
        ++out->row;
    }
    return true;
}

void ShowImports(const RowSink* sink, const ImageView* view)
{
    DWORD rva = DataDirectoryRva(view, IMAGE_DIRECTORY_ENTRY_IMPORT);
    if (rva == 0)
        return;
    ImportList out;
    StartList(&out, sink, view);
    // Descriptors are read only whole: one cut by the end of the file ends the list.
    const DWORD step = sizeof(IMAGE_IMPORT_DESCRIPTOR);
    for (const BYTE* p = RvaToSpan(view, rva, step); p; p = ImageSpan(view, p + step, step)) {
        IMAGE_IMPORT_DESCRIPTOR d;
        memcpy(&d, p, sizeof d);
        if (d.Name == 0)
            break;
        AddLibraryRow(&out, d.Name);
        // Without a lookup table the import address table still holds the
        // unbound entries in the file.
        DWORD table = d.OriginalFirstThunk ? d.OriginalFirstThunk : d.FirstThunk;
        if (!AddFunctionRows(&out, table, 0))
            break;
    }
}

void ShowDelayImports(const RowSink* sink, const ImageView* view)
{
    DWORD rva = DataDirectoryRva(view, IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT);
    if (rva == 0)
        return;
    // Only the low 32 bits of a PE32+ ImageBase matter: the addresses it is
    // taken from are 32 bits wide.
    DWORD imageBase = static_cast<DWORD>(NtPointerSized(view, NT_OPTIONAL(view, ImageBase)));
    ImportList out;
    StartList(&out, sink, view);
    const DWORD step = sizeof(IMAGE_DELAYLOAD_DESCRIPTOR);
    for (const BYTE* p = RvaToSpan(view, rva, step); p; p = ImageSpan(view, p + step, step)) {
        IMAGE_DELAYLOAD_DESCRIPTOR d;
        memcpy(&d, p, sizeof d);
        if (d.DllNameRVA == 0)
            break;
        // Bit 0 clear: the descriptor holds virtual addresses, not RVAs.
        DWORD bias = (d.Attributes.AllAttributes & 1) ? 0 : imageBase;
        AddLibraryRow(&out, d.DllNameRVA - bias);
        if (!AddFunctionRows(&out, d.ImportNameTableRVA - bias, bias))
            break;
    }
}
