#include "resource_builder.h"
#include <string.h>

static DWORD Align4(DWORD value)
{
    return (value + 3) & ~3u;
}

static void Write(std::vector<BYTE>* bytes, DWORD offset, const void* data, size_t length)
{
    if (offset + length > bytes->size())
        bytes->resize(offset + length);
    if (length)
        memcpy(&(*bytes)[offset], data, length);
}

static void WriteDirectory(std::vector<BYTE>* bytes, DWORD offset, WORD named, WORD ids)
{
    IMAGE_RESOURCE_DIRECTORY d = {};
    d.NumberOfNamedEntries = named;
    d.NumberOfIdEntries = ids;
    Write(bytes, offset, &d, sizeof d);
}

static void WriteEntry(std::vector<BYTE>* bytes, DWORD directory, size_t index, DWORD name, DWORD offsetToData)
{
    DWORD entry[2] = { name, offsetToData };
    Write(bytes, directory + 16 + 8 * static_cast<DWORD>(index), entry, sizeof entry);
}

static WORD Count(size_t total, WORD named)
{
    return static_cast<WORD>(total - named);
}

ResourceLayout LayOutResources(const std::vector<ResourceType>& types, DWORD rva)
{
    ResourceLayout layout;
    std::vector<BYTE>& bytes = layout.bytes;
    DWORD offset = 16 + 8 * static_cast<DWORD>(types.size());
    std::vector<DWORD> nameDirs;
    for (const ResourceType& t : types) {
        nameDirs.push_back(offset);
        offset += 16 + 8 * static_cast<DWORD>(t.names.size());
    }
    std::vector<std::vector<DWORD>> languageDirs(types.size());
    size_t leaves = 0;
    for (size_t t = 0; t < types.size(); ++t) {
        for (const ResourceName& n : types[t].names) {
            languageDirs[t].push_back(offset);
            offset += 16 + 8 * static_cast<DWORD>(n.languages.size());
            leaves += n.languages.size();
        }
    }
    for (size_t i = 0; i < leaves; ++i) {
        layout.dataEntries.push_back(offset);
        offset += sizeof(IMAGE_RESOURCE_DATA_ENTRY);
    }

    WriteDirectory(&bytes, 0, 0, static_cast<WORD>(types.size()));
    size_t leaf = 0;
    for (size_t t = 0; t < types.size(); ++t) {
        const ResourceType& type = types[t];
        WriteEntry(&bytes, 0, t, type.type, 0x80000000 | nameDirs[t]);
        WriteDirectory(&bytes, nameDirs[t], type.namedNames, Count(type.names.size(), type.namedNames));
        for (size_t n = 0; n < type.names.size(); ++n) {
            const ResourceName& name = type.names[n];
            DWORD languageDir = languageDirs[t][n];
            WriteEntry(&bytes, nameDirs[t], n, name.name, 0x80000000 | languageDir);
            WriteDirectory(&bytes, languageDir, name.namedLanguages,
                           Count(name.languages.size(), name.namedLanguages));
            for (size_t l = 0; l < name.languages.size(); ++l, ++leaf) {
                const ResourceLanguage& language = name.languages[l];
                DWORD entry = layout.dataEntries[leaf];
                WriteEntry(&bytes, languageDir, l, language.language, entry);
                offset = Align4(offset);
                layout.data.push_back(offset);
                IMAGE_RESOURCE_DATA_ENTRY d = {};
                d.OffsetToData = rva + offset;
                d.Size = static_cast<DWORD>(language.data.size());
                Write(&bytes, entry, &d, sizeof d);
                Write(&bytes, offset, language.data.data(), language.data.size());
                offset += static_cast<DWORD>(language.data.size());
            }
        }
    }
    bytes.resize(Align4(offset));
    return layout;
}

ResourceLayout PutResources(PeBuilder* pe, const std::vector<ResourceType>& types, DWORD rva)
{
    ResourceLayout layout = LayOutResources(types, rva);
    pe->Put(rva, layout.bytes.data(), layout.bytes.size());
    pe->SetDirectory(IMAGE_DIRECTORY_ENTRY_RESOURCE, rva, static_cast<DWORD>(layout.bytes.size()));
    return layout;
}

ResourceType SingleResource(DWORD type, DWORD name, DWORD language, const std::vector<BYTE>& data)
{
    return ResourceType{ type, { ResourceName{ name, { ResourceLanguage{ language, data } }, 0 } }, 0 };
}

static std::vector<BYTE> TextBytes(const std::wstring& text)
{
    const BYTE* units = reinterpret_cast<const BYTE*>(text.data());
    std::vector<BYTE> bytes(units, units + 2 * text.size());
    bytes.push_back(0);
    bytes.push_back(0);
    return bytes;
}

VersionNode VersionString(const std::wstring& key, const std::wstring& text)
{
    return VersionNode{ key, 1, TextBytes(text), static_cast<WORD>(text.size() + 1), {}, -1 };
}

VersionNode VersionTable(const std::wstring& key, const std::vector<VersionNode>& strings)
{
    return VersionNode{ key, 1, {}, 0, strings, -1 };
}

VersionNode VersionInfo(const std::vector<VersionNode>& tables)
{
    VS_FIXEDFILEINFO fixed = {};
    fixed.dwSignature = 0xFEEF04BD;
    fixed.dwStrucVersion = 0x10000;
    fixed.dwFileVersionMS = 0x10002;
    std::vector<BYTE> value(sizeof fixed);
    memcpy(value.data(), &fixed, sizeof fixed);
    DWORD translation = 0x04B00409;
    std::vector<BYTE> pair(4);
    memcpy(pair.data(), &translation, 4);
    VersionNode var{ L"Translation", 0, pair, 4, {}, -1 };
    VersionNode strings{ L"StringFileInfo", 1, {}, 0, tables, -1 };
    VersionNode vars{ L"VarFileInfo", 1, {}, 0, { var }, -1 };
    return VersionNode{ L"VS_VERSION_INFO", 0, value, static_cast<WORD>(sizeof fixed), { strings, vars }, -1 };
}

std::vector<BYTE> VersionBytes(const VersionNode& node)
{
    std::vector<BYTE> bytes(6, 0);
    WORD header[3] = { 0, node.valueLength, node.type };
    std::vector<BYTE> key = TextBytes(node.key);
    bytes.insert(bytes.end(), key.begin(), key.end());
    bytes.resize(Align4(static_cast<DWORD>(bytes.size())));
    bytes.insert(bytes.end(), node.value.begin(), node.value.end());
    for (const VersionNode& child : node.children) {
        bytes.resize(Align4(static_cast<DWORD>(bytes.size())));
        std::vector<BYTE> c = VersionBytes(child);
        bytes.insert(bytes.end(), c.begin(), c.end());
    }
    header[0] = static_cast<WORD>(node.length >= 0 ? node.length : static_cast<int>(bytes.size()));
    memcpy(bytes.data(), header, sizeof header);
    return bytes;
}

std::vector<BYTE> StringBlock(const std::vector<std::wstring>& strings)
{
    std::vector<BYTE> bytes;
    for (const std::wstring& s : strings) {
        WORD units = static_cast<WORD>(s.size());
        bytes.push_back(static_cast<BYTE>(units & 0xFF));
        bytes.push_back(static_cast<BYTE>(units >> 8));
        const BYTE* text = reinterpret_cast<const BYTE*>(s.data());
        bytes.insert(bytes.end(), text, text + 2 * s.size());
    }
    return bytes;
}

static std::vector<BYTE> ResourceImage(const std::vector<ResourceType>& types)
{
    ResourceLayout layout = LayOutResources(types, SCALE_DATA_RVA);
    return BuildImageWith(".rsrc", layout.bytes, IMAGE_DIRECTORY_ENTRY_RESOURCE);
}

std::vector<BYTE> BuildStringTableImage(DWORD blocks)
{
    ResourceType type = { 6, {}, 0 };
    for (DWORD b = 1; b <= blocks; ++b) {
        std::vector<std::wstring> strings;
        for (DWORD s = 0; s < 16; ++s)
            strings.push_back(L"Scale string " + std::to_wstring((b - 1) * 16 + s) + L" of the benchmark");
        type.names.push_back(ResourceName{ b, { ResourceLanguage{ 0x0409, StringBlock(strings) } }, 0 });
    }
    return ResourceImage({ type });
}

std::vector<BYTE> BuildVersionImage(DWORD languages)
{
    static const WORD LANGUAGES[] = { 0x0409, 0x0407, 0x040C, 0x0410, 0x0411, 0x0412, 0x0404, 0x0804,
                                      0x0C04, 0x0416, 0x0419, 0x040A, 0x0413, 0x041D, 0x0406, 0x0414 };
    static const wchar_t* const KEYS[] = {
        L"Comments", L"CompanyName", L"FileDescription", L"FileVersion", L"InternalName",
        L"LegalCopyright", L"LegalTrademarks", L"OriginalFilename", L"PrivateBuild",
        L"ProductName", L"ProductVersion", L"SpecialBuild", L"BuildHost", L"Branch", L"Flavour",
    };
    ResourceName name = { 1, {}, 0 };
    for (DWORD l = 0; l < languages; ++l) {
        WORD language = LANGUAGES[l % (sizeof LANGUAGES / sizeof LANGUAGES[0])];
        std::vector<VersionNode> strings;
        for (const wchar_t* key : KEYS)
            strings.push_back(VersionString(key, std::wstring(L"Value of ") + key + L" " + std::to_wstring(l)));
        wchar_t tableKey[16];
        wsprintfW(tableKey, L"%04X04B0", language);
        VersionNode info = VersionInfo({ VersionTable(tableKey, strings) });
        name.languages.push_back(ResourceLanguage{ language, VersionBytes(info) });
    }
    return ResourceImage({ ResourceType{ 16, { name }, 0 } });
}
