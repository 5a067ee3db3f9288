// The clr and manifest views: the .NET header, and every manifest resource
// with what it asks of the system, read as --deps reads it.
#include "report_views.h"
#include "image/clr_header.h"
#include "image/resource_dir.h"
#include "loader/manifest.h"

static const Word CLR_FLAGS[] = {
    { COMIMAGE_FLAGS_ILONLY, "il-only" }, { COMIMAGE_FLAGS_32BITREQUIRED, "32bit-required" },
    { COMIMAGE_FLAGS_IL_LIBRARY, "il-library" }, { COMIMAGE_FLAGS_STRONGNAMESIGNED, "strong-name-signed" },
    { CLR_FLAG_NATIVE_ENTRYPOINT, "native-entrypoint" }, { COMIMAGE_FLAGS_TRACKDEBUGDATA, "track-debug-data" },
    { CLR_FLAG_32BIT_PREFERRED, "32bit-preferred" },
};

// The most of a manifest's text shown; the rest is cut.
static const DWORD MAX_MANIFEST_BYTES = 1024 * 1024;

static void PutDirectory(Report* r, const char* key, const IMAGE_DATA_DIRECTORY* directory)
{
    ReportRow(r, key);
    ReportHex(r, "rva", directory->VirtualAddress);
    ReportNumber(r, "size", directory->Size);
    ReportEnd(r);
}

void PutClrReport(Report* r, const ImageView* view, const wchar_t*)
{
    ClrHeader clr;
    if (!ReadClrHeader(view, &clr)) {
        ReportNull(r, NULL);
        return;
    }
    const IMAGE_COR20_HEADER* h = &clr.header;
    ReportObject(r, NULL);
    ReportNumber(r, "cb", h->cb);
    char version[16];
    wsprintfA(version, "%u.%u", h->MajorRuntimeVersion, h->MinorRuntimeVersion);
    ReportWord(r, "runtime_version", version);
    ReportFlags(r, "flags", h->Flags, WORDS(CLR_FLAGS));
    ReportHex(r, "flags_raw", h->Flags);
    bool native = (h->Flags & CLR_FLAG_NATIVE_ENTRYPOINT) != 0;
    if (native) {
        ReportNull(r, "entry_point_token");
        ReportHex(r, "entry_point_rva", h->EntryPointRVA);
    } else {
        ReportHex(r, "entry_point_token", h->EntryPointToken);
        ReportNull(r, "entry_point_rva");
    }
    PutDirectory(r, "metadata", &h->MetaData);
    if (clr.hasMetadata) {
        ReportAscii(r, "metadata_version", clr.version);
    } else {
        ReportNull(r, "metadata_version");
    }
    PutDirectory(r, "resources", &h->Resources);
    PutDirectory(r, "strong_name_signature", &h->StrongNameSignature);
    ReportEnd(r);
}

// The manifest's text: UTF-16 after its byte-order mark, else UTF-8; cut at
// MAX_MANIFEST_BYTES.
static void PutManifestText(Report* r, const ByteSpan* bytes)
{
    DWORD size = bytes->size < MAX_MANIFEST_BYTES ? bytes->size : MAX_MANIFEST_BYTES;
    const BYTE* bom = SpanAt(bytes, 0, 2);
    bool wide = bom && bom[0] == 0xFF && bom[1] == 0xFE;
    int units = wide ? static_cast<int>(size / 2) : static_cast<int>(size);
    wchar_t* text = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, (units + 1) * sizeof(wchar_t)));
    if (!text) {
        ReportNull(r, "text");
        return;
    }
    if (wide)
        CopyMemory(text, bytes->base, units * sizeof(wchar_t));
    else
        units = MultiByteToWideChar(CP_UTF8, 0, reinterpret_cast<const char*>(bytes->base), units, text, units);
    text[units] = L'\0';
    // A NUL inside would end the text early: the bytes after it are shown as '?'.
    for (int i = 0; i < units; ++i) {
        if (text[i] == 0)
            text[i] = L'?';
    }
    ReportText(r, "text", text[0] == 0xFEFF ? text + 1 : text);
    ReportBool(r, "text_cut", size < bytes->size);
    HeapFree(GetProcessHeap(), 0, text);
}

static void PutFacts(Report* r, const ByteSpan* bytes)
{
    ManifestFacts facts;
    ReadManifestFacts(bytes, &facts);
    ReportObject(r, "facts");
    ReportAscii(r, "requested_execution_level", facts.executionLevel);
    ReportAscii(r, "ui_access", facts.uiAccess);
    ReportAscii(r, "dpi_aware", facts.dpiAware);
    ReportAscii(r, "dpi_awareness", facts.dpiAwareness);
    ReportAscii(r, "long_path_aware", facts.longPathAware);
    ReportAscii(r, "active_code_page", facts.activeCodePage);
    ReportList(r, "supported_os", true);
    for (int i = 0; i < facts.supportedOsCount; ++i)
        ReportAscii(r, NULL, facts.supportedOs[i]);
    ReportEnd(r);
    ReportList(r, "dependencies", false);
    for (int i = 0; i < facts.dependencyCount; ++i) {
        const AssemblyRef* a = &facts.dependencies[i];
        ReportRow(r, NULL);
        ReportAscii(r, "name", a->name);
        ReportAscii(r, "version", a->version);
        ReportAscii(r, "processor_architecture", a->architecture);
        ReportAscii(r, "public_key_token", a->publicKeyToken);
        ReportAscii(r, "language", a->language);
        ReportEnd(r);
    }
    ReportEnd(r);
    ReportEnd(r);
}

namespace {
struct ManifestWalk {
    Report* r;
    ResourceWalk* walk;
};
}

static bool PutManifest(void* context, DWORD name, const IMAGE_RESOURCE_DIRECTORY_ENTRY* language)
{
    ManifestWalk* m = static_cast<ManifestWalk*>(context);
    Report* r = m->r;
    IMAGE_RESOURCE_DATA_ENTRY data = {};
    ByteSpan bytes = { NULL, 0 };
    bool entryRead = ReadResourceDataEntry(m->walk, language->OffsetToData, &data);
    if (entryRead)
        bytes = ResourceDataSpan(m->walk->view, &data);
    ReportObject(r, NULL);
    if (name & IMAGE_RESOURCE_NAME_IS_STRING)
        ReportNull(r, "id");
    else
        ReportNumber(r, "id", name);
    ReportNumber(r, "language", language->Name & 0xFFFF);
    if (entryRead)
        ReportNumber(r, "size", data.Size);
    else
        ReportNull(r, "size");
    if (bytes.base) {
        PutManifestText(r, &bytes);
        PutFacts(r, &bytes);
    } else {
        // The same keys, so that a script finds them whatever the file holds.
        ReportNull(r, "text");
        ReportNull(r, "text_cut");
        ReportNull(r, "facts");
    }
    ReportEnd(r);
    return true;
}

void PutManifestReport(Report* r, const ImageView* view, const wchar_t*)
{
    ReportList(r, NULL, false);
    ResourceWalk walk;
    if (StartResourceWalk(&walk, view)) {
        ManifestWalk m = { r, &walk };
        WalkResourceLanguages(&walk, RESOURCE_MANIFEST, false, PutManifest, &m);
    }
    ReportEnd(r);
}
