// API-set resolution over synthetic version-6 schemas.
#include <windows.h>
#include <gtest/gtest.h>
#include <string.h>
#include <wctype.h>
#include <algorithm>
#include <string>
#include <vector>
#include "loader/api_set.h"

namespace {
struct Value {
    const wchar_t* importer;   // "" for the default value
    const wchar_t* host;       // "" for none
};
struct Set {
    const wchar_t* name;   // without ".dll"
    std::vector<Value> values;
};

// Lays out a version-6 schema: header, sets, values, the hash table (as the
// system orders it, by the hash of each set's name up to its last hyphen),
// then the names.
struct Schema {
    std::vector<BYTE> bytes;
    void Put(DWORD at, DWORD value) { memcpy(&bytes[at], &value, sizeof value); }
    DWORD Text(const wchar_t* text)
    {
        DWORD at = static_cast<DWORD>(bytes.size());
        const BYTE* b = reinterpret_cast<const BYTE*>(text);
        bytes.insert(bytes.end(), b, b + wcslen(text) * sizeof(wchar_t));
        return at;
    }
    explicit Schema(const std::vector<Set>& sets)
    {
        const DWORD header = 28, entry = 24, value = 20, hashEntry = 8, factor = 31;
        DWORD values = header + static_cast<DWORD>(sets.size()) * entry;
        DWORD valueCount = 0;
        for (const Set& set : sets)
            valueCount += static_cast<DWORD>(set.values.size());
        DWORD hashes = values + valueCount * value;
        bytes.assign(hashes + static_cast<DWORD>(sets.size()) * hashEntry, 0);
        Put(0, 6);
        Put(12, static_cast<DWORD>(sets.size()));
        Put(16, header);
        Put(20, hashes);
        Put(24, factor);
        std::vector<std::pair<DWORD, DWORD>> byHash;
        for (size_t i = 0; i < sets.size(); ++i) {
            std::wstring name = sets[i].name;
            DWORD hash = 0;
            for (size_t c = 0; c < name.rfind(L'-'); ++c)
                hash = hash * factor + towlower(name[c]);
            byHash.push_back(std::make_pair(hash, static_cast<DWORD>(i)));
        }
        std::sort(byHash.begin(), byHash.end());
        for (size_t i = 0; i < byHash.size(); ++i) {
            Put(hashes + static_cast<DWORD>(i) * hashEntry, byHash[i].first);
            Put(hashes + static_cast<DWORD>(i) * hashEntry + 4, byHash[i].second);
        }
        DWORD nextValue = values;
        for (size_t i = 0; i < sets.size(); ++i) {
            DWORD at = header + static_cast<DWORD>(i) * entry;
            std::wstring name = sets[i].name;
            Put(at + 4, Text(name.c_str()));
            Put(at + 8, static_cast<DWORD>(name.size() * sizeof(wchar_t)));
            Put(at + 12, static_cast<DWORD>(name.rfind(L'-') * sizeof(wchar_t)));
            Put(at + 16, nextValue);
            Put(at + 20, static_cast<DWORD>(sets[i].values.size()));
            for (const Value& v : sets[i].values) {
                Put(nextValue + 4, *v.importer ? Text(v.importer) : 0);
                Put(nextValue + 8, static_cast<DWORD>(wcslen(v.importer) * sizeof(wchar_t)));
                Put(nextValue + 12, *v.host ? Text(v.host) : 0);
                Put(nextValue + 16, static_cast<DWORD>(wcslen(v.host) * sizeof(wchar_t)));
                nextValue += value;
            }
        }
        Put(4, static_cast<DWORD>(bytes.size()));
    }
};

const std::vector<Set> SETS = {
    { L"api-ms-win-core-synch-l1-2-0", { { L"", L"kernelbase.dll" } } },
    { L"api-ms-win-core-heap-l2-1-0", { { L"", L"kernelbase.dll" }, { L"kernel32.dll", L"heapkernel.dll" } } },
    { L"ext-ms-win-gdi-draw-l1-1-2", { { L"", L"gdi32full.dll" } } },
    { L"api-ms-win-core-none-l1-1-0", { { L"", L"" } } },
    { L"kernel32-l1-1-0", { { L"", L"kernelbase.dll" } } },
};

// The schema copied to end right before a no-access page, so that a read
// past its end faults.
std::wstring ResolveGuarded(const std::vector<BYTE>& schema, const wchar_t* name, const wchar_t* importer)
{
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    DWORD page = system.dwPageSize, pages = static_cast<DWORD>(schema.size() / page + 2);
    BYTE* memory = static_cast<BYTE*>(VirtualAlloc(NULL, pages * page, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    DWORD old;
    VirtualProtect(memory + (pages - 1) * page, page, PAGE_NOACCESS, &old);
    BYTE* at = memory + (pages - 1) * page - schema.size();
    if (!schema.empty())
        memcpy(at, schema.data(), schema.size());
    wchar_t host[MAX_PATH] = L"unchanged";
    bool resolved = ResolveApiSetIn(at, static_cast<DWORD>(schema.size()), name, importer, host, MAX_PATH);
    VirtualFree(memory, 0, MEM_RELEASE);
    EXPECT_EQ(resolved, host[0] != L'\0') << "a failed resolution leaves the host empty";
    return host;
}
}

TEST(ApiSet, MatchesAsTheLoaderDoes)
{
    Schema schema(SETS);
    struct Case {
        const wchar_t* name;
        const wchar_t* importer;
        const wchar_t* host;
    } cases[] = {
        { L"api-ms-win-core-synch-l1-2-0.dll", NULL, L"kernelbase.dll" },
        { L"API-MS-Win-Core-Synch-L1-2-7.DLL", NULL, L"kernelbase.dll" },   // another minor version, any case
        { L"api-ms-win-core-synch-l1-2-0", NULL, L"kernelbase.dll" },       // no extension
        { L"api-ms-win-core-synch-l1-3-0.dll", NULL, L"" },                 // another major version
        { L"ext-ms-win-gdi-draw-l1-1-0.dll", NULL, L"gdi32full.dll" },
        { L"api-ms-win-made-up-l1-1-0.dll", NULL, L"" },
        { L"api-ms-win-core-none-l1-1-0.dll", NULL, L"" },                 // a set without a host here
        { L"kernel32-l1-1-0.dll", NULL, L"" },                              // not an API-set name
        { L"api-ms-win-core-heap-l2-1-0.dll", L"KERNEL32.DLL", L"heapkernel.dll" },
        { L"api-ms-win-core-heap-l2-1-0.dll", L"user32.dll", L"kernelbase.dll" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.host, ResolveGuarded(schema.bytes, c.name, c.importer)) << c.name;
}

TEST(ApiSet, AMalformedSchemaResolvesNothingAndReadsNothingOutside)
{
    const wchar_t* name = L"api-ms-win-core-heap-l2-1-0.dll";
    Schema good(SETS);
    ASSERT_EQ(L"heapkernel.dll", ResolveGuarded(good.bytes, name, L"kernel32.dll"));
    // Cut anywhere short of the size it declares, the schema gives nothing.
    for (size_t size = 0; size < good.bytes.size(); ++size) {
        std::wstring host = ResolveGuarded(std::vector<BYTE>(good.bytes.begin(), good.bytes.begin() + size), name,
                                           L"kernel32.dll");
        EXPECT_EQ(L"", host) << "cut to " << size;
    }
    // Counts bound nothing: a walk that runs off the schema stops there.
    const wchar_t* madeUp = L"api-ms-win-made-up-l1-1-0.dll";
    struct Damage {
        DWORD at, value;
        const wchar_t* name;
        const wchar_t* host;
        const wchar_t* why;
    } damages[] = {
        { 0, 4, name, L"", L"another version" },
        { 4, 100, name, L"", L"a declared size shorter than the sets" },
        { 12, 0xFFFFFFFF, madeUp, L"", L"a set count that does not fit" },
        { 16, 0xFFFFFFF0, name, L"", L"sets past the end" },
        { 20, 0xFFFFFFF0, name, L"", L"a hash table past the end" },
        { 28 + 24 + 12, 0x7FFFFFFE, name, L"", L"a name length past the end" },
        { 28 + 24 + 16, 0xFFFFFFF0, name, L"", L"values past the end" },
        { 28 + 24 + 20, 0x7FFFFFFF, name, L"kernelbase.dll", L"a value count that does not fit" },
        { 28 + 5 * 24 + 20 + 16, 0xFFFFFF00, name, L"", L"a default host length past the end" },
        { 28 + 5 * 24 + 20 + 16, 3, name, L"", L"a host length of an odd number of bytes" },
    };
    for (const Damage& d : damages) {
        Schema bad(SETS);
        bad.Put(d.at, d.value);
        EXPECT_EQ(d.host, ResolveGuarded(bad.bytes, d.name, L"nobody.dll")) << d.why;
    }
}
