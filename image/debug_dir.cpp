#include "debug_dir.h"
#include <string.h>

// The entry's data: at PointerToRawData in the file, or, when that is 0, at
// AddressOfRawData through the section table; cut to the file's end.
static ByteSpan EntryData(const ImageView* view, const IMAGE_DEBUG_DIRECTORY* entry)
{
    ByteSpan none = { NULL, 0 };
    const BYTE* at = entry->PointerToRawData ? SpanAt(view, entry->PointerToRawData, 0)
                                             : RvaToPointer(view, entry->AddressOfRawData);
    DWORD left = BytesLeft(view, at);
    if (!left)
        return none;
    ByteSpan data = { at, entry->SizeOfData < left ? entry->SizeOfData : left };
    return data;
}

// A path of 8-bit text at `offset` in the data, up to its NUL, the data's end
// or PDB_PATH_BYTES - 1: the search is bounded, as one file may hold many
// entries over the same megabytes.
static void ReadPath(const ByteSpan* data, DWORD offset, CodeViewInfo* out)
{
    const BYTE* path = SpanAt(data, offset, 0);
    DWORD left = BytesLeft(data, path);
    DWORD window = left < PDB_PATH_BYTES ? left : PDB_PATH_BYTES;
    const void* nul = path ? memchr(path, 0, window) : NULL;
    out->pdbEnded = nul != NULL;
    DWORD length = nul ? static_cast<DWORD>(static_cast<const BYTE*>(nul) - path) : window;
    if (length >= PDB_PATH_BYTES)
        length = PDB_PATH_BYTES - 1;
    if (length)
        memcpy(out->pdb, path, length);
    out->pdb[length] = '\0';
}

static void ReadCodeView(const ByteSpan* data, CodeViewInfo* out)
{
    const BYTE* magic = SpanAt(data, 0, 4);
    if (!magic)
        return;
    if (memcmp(magic, "RSDS", 4) == 0 && SpanAt(data, 0, 24)) {
        out->format = CodeViewInfo::RSDS;
        memcpy(&out->guid, data->base + 4, sizeof out->guid);
        memcpy(&out->age, data->base + 20, sizeof out->age);
        ReadPath(data, 24, out);
    } else if (memcmp(magic, "NB10", 4) == 0 && SpanAt(data, 0, 16)) {
        out->format = CodeViewInfo::NB10;
        memcpy(&out->offset, data->base + 4, 4);
        memcpy(&out->signature, data->base + 8, 4);
        memcpy(&out->age, data->base + 12, 4);
        ReadPath(data, 16, out);
    }
}

void WalkDebugEntries(const ImageView* view, bool (*each)(void* context, const DebugEntry* entry), void* context)
{
    DWORD rva = DataDirectoryRva(view, IMAGE_DIRECTORY_ENTRY_DEBUG);
    const BYTE* table = rva ? RvaToPointer(view, rva) : NULL;
    DWORD declared = DataDirectorySize(view, IMAGE_DIRECTORY_ENTRY_DEBUG) / sizeof(IMAGE_DEBUG_DIRECTORY);
    DWORD count = EntriesInside(view, table, declared, sizeof(IMAGE_DEBUG_DIRECTORY));
    for (DWORD i = 0; i < count; ++i) {
        DebugEntry entry;
        ZeroMemory(&entry, sizeof entry);
        memcpy(&entry.entry, table + i * sizeof(IMAGE_DEBUG_DIRECTORY), sizeof entry.entry);
        entry.data = EntryData(view, &entry.entry);
        if (entry.entry.Type == IMAGE_DEBUG_TYPE_CODEVIEW)
            ReadCodeView(&entry.data, &entry.codeView);
        if (entry.entry.Type == DEBUG_TYPE_EX_DLL_CHARACTERISTICS)
            entry.hasExFlags = ReadDword(&entry.data, entry.data.base, &entry.exFlags);
        if (!each(context, &entry))
            return;
    }
}

void GuidText(const GUID* guid, char* out)
{
    wsprintfA(out, "%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X", static_cast<unsigned long>(guid->Data1),
            guid->Data2, guid->Data3, guid->Data4[0], guid->Data4[1], guid->Data4[2], guid->Data4[3], guid->Data4[4],
            guid->Data4[5], guid->Data4[6], guid->Data4[7]);
}

void SymbolServerKey(const GUID* guid, DWORD age, char* out)
{
    wsprintfA(out, "%08lX%04X%04X%02X%02X%02X%02X%02X%02X%02X%02X%lX", static_cast<unsigned long>(guid->Data1),
            guid->Data2, guid->Data3, guid->Data4[0], guid->Data4[1], guid->Data4[2], guid->Data4[3], guid->Data4[4],
            guid->Data4[5], guid->Data4[6], guid->Data4[7], static_cast<unsigned long>(age));
}
