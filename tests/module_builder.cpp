#include "module_builder.h"
#include "resource_builder.h"

static const DWORD IMPORTS = 0x1000, DELAY = 0x2000, EXPORTS = 0x3000, TEXT = 0x4000, RESOURCES = 0x6000,
                   ENTRY = 0x8F00;

std::vector<BYTE> BuildModule(bool is64, const std::vector<ImportedLibrary>& imports,
                              const std::vector<ExportedName>& exports, bool program, const std::string& manifest,
                              ULONGLONG imageBase)
{
    const DWORD width = is64 ? 8 : 4;
    PeBuilder pe(is64);
    pe.AddDataSection(0x1000, 0x8000);
    if (!program)
        pe.file.Characteristics |= IMAGE_FILE_DLL;
    DWORD text = TEXT, normal = IMPORTS, delay = DELAY;
    auto put = [&](const std::string& s) {
        DWORD at = text;
        pe.PutString(at, s.c_str());
        text += static_cast<DWORD>(s.size() + 4) & ~1u;
        return at;
    };
    for (const ImportedLibrary& library : imports) {
        DWORD table = text;
        text += static_cast<DWORD>((library.functions.size() + 1) * width);
        for (size_t f = 0; f < library.functions.size(); ++f) {
            const std::string& name = library.functions[f];
            ULONGLONG entry;
            if (name[0] == '#') {
                entry = std::stoul(name.substr(1)) | (is64 ? IMAGE_ORDINAL_FLAG64 : IMAGE_ORDINAL_FLAG32);
            } else {   // a hint of 0, then the name
                entry = text;
                pe.PutWord(text, 0);
                pe.PutString(text + 2, name.c_str());
                text += static_cast<DWORD>(name.size() + 4) & ~1u;
            }
            is64 ? pe.PutQword(table + static_cast<DWORD>(f) * 8, entry)
                 : pe.PutDword(table + static_cast<DWORD>(f) * 4, static_cast<DWORD>(entry));
        }
        DWORD name = put(library.name);
        if (library.delay) {
            IMAGE_DELAYLOAD_DESCRIPTOR d = {};
            d.Attributes.AllAttributes = 1;   // RVAs
            d.DllNameRVA = name;
            d.ImportNameTableRVA = table;
            pe.Put(delay, &d, sizeof d);
            delay += sizeof d;
        } else {
            IMAGE_IMPORT_DESCRIPTOR d = {};
            d.OriginalFirstThunk = table;
            d.Name = name;
            d.FirstThunk = table;
            pe.Put(normal, &d, sizeof d);
            normal += sizeof d;
        }
    }
    if (normal != IMPORTS)
        pe.SetDirectory(IMAGE_DIRECTORY_ENTRY_IMPORT, IMPORTS);
    if (delay != DELAY)
        pe.SetDirectory(IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT, DELAY);
    if (!exports.empty()) {
        // Names sorted, as the loader's search expects; forwarder texts inside the directory.
        DWORD count = static_cast<DWORD>(exports.size());
        DWORD functions = EXPORTS + sizeof(IMAGE_EXPORT_DIRECTORY), names = functions + 4 * count,
              ordinals = names + 4 * count, strings = ordinals + 2 * count;
        for (DWORD i = 0; i < count; ++i) {
            DWORD address = 0x1010;   // any code address outside the directory
            if (!exports[i].forwarder.empty()) {
                address = strings;
                pe.PutString(strings, exports[i].forwarder.c_str());
                strings += static_cast<DWORD>(exports[i].forwarder.size() + 1);
            }
            pe.PutDword(functions + 4 * i, address);
            pe.PutDword(names + 4 * i, strings);
            pe.PutString(strings, exports[i].name.c_str());
            strings += static_cast<DWORD>(exports[i].name.size() + 1);
            pe.PutWord(ordinals + 2 * i, static_cast<WORD>(i));
        }
        IMAGE_EXPORT_DIRECTORY dir = {};
        dir.Base = 1;
        dir.NumberOfFunctions = dir.NumberOfNames = count;
        dir.AddressOfFunctions = functions;
        dir.AddressOfNames = names;
        dir.AddressOfNameOrdinals = ordinals;
        pe.Put(EXPORTS, &dir, sizeof dir);
        pe.SetDirectory(IMAGE_DIRECTORY_ENTRY_EXPORT, EXPORTS, strings - EXPORTS);
    }
    if (imageBase) {
        pe.SetImageBase(imageBase);
        pe.sections[0].header.Characteristics =
            IMAGE_SCN_CNT_CODE | IMAGE_SCN_MEM_EXECUTE | IMAGE_SCN_MEM_READ | IMAGE_SCN_MEM_WRITE;
        pe.SetSubsystem(IMAGE_SUBSYSTEM_WINDOWS_CUI);
        (is64 ? pe.opt64.SizeOfImage : pe.opt32.SizeOfImage) = 0x1000 + 0x8000;   // the headers' page and the section
        if (program) {
            const BYTE returnZero[] = { 0x31, 0xC0, 0xC3 };   // xor eax, eax; ret
            pe.Put(ENTRY, returnZero, sizeof returnZero);
            (is64 ? pe.opt64.AddressOfEntryPoint : pe.opt32.AddressOfEntryPoint) = ENTRY;
        }
    }
    if (!manifest.empty()) {
        std::vector<BYTE> bytes(manifest.begin(), manifest.end());
        PutResources(&pe, { SingleResource(24, program ? 1 : 2, 0x409, bytes) }, RESOURCES);   // RT_MANIFEST
    }
    return pe.Build();
}

