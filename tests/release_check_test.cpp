// The readers of a release check over builder-made images, for what Wine's
// modules lack: load configurations of every size, guard flags, CodeView
// records, certificate tables, and manifests asking for elevation.
#include <windows.h>
#include <gtest/gtest.h>
#include <string.h>
#include <functional>
#include <string>
#include <vector>
#include "image/authenticode.h"
#include "image/debug_dir.h"
#include "image/hardening.h"
#include "image/load_config.h"
#include "loader/manifest.h"
#include "pe_builder.h"

namespace {

const DWORD CONFIG_RVA = 0x1100;
const DWORD DEBUG_RVA = 0x1800;
const DWORD DEBUG_DATA_RVA = 0x1900;
const DWORD DEBUG_DATA_OFFSET = DEBUG_DATA_RVA - 0x1000 + 0x400;   // the data section's raw data starts at 0x400

// One data section at 0x1000 that ends the file at RVA 0x2000.
PeBuilder Image(bool is64, WORD dllCharacteristics)
{
    PeBuilder pe(is64);
    pe.AddDataSection(0x1000, 0x1000);
    if (is64)
        pe.opt64.DllCharacteristics = dllCharacteristics;
    else
        pe.opt32.DllCharacteristics = dllCharacteristics;
    return pe;
}

// A load configuration at `rva` of `declared` bytes, each field holding its
// index + 1, but the Size.
void PutLoadConfig(PeBuilder& pe, DWORD rva, DWORD declared)
{
    for (int i = 1; i < LOAD_CONFIG_FIELD_COUNT; ++i) {
        const LoadConfigField& f = LOAD_CONFIG_FIELDS[i];
        DWORD offset = pe.is64 ? f.offset64 : f.offset32;
        ULONGLONG value = static_cast<ULONGLONG>(i + 1);
        if (rva + offset + (pe.is64 ? f.width64 : f.width32) <= 0x2000)
            pe.Put(rva + offset, &value, pe.is64 ? f.width64 : f.width32);
    }
    pe.PutDword(rva, declared);
    pe.SetDirectory(IMAGE_DIRECTORY_ENTRY_LOAD_CONFIG, rva, declared);
}

// A load configuration that declares `guardFlags` and a security cookie.
void PutGuard(PeBuilder& pe, DWORD guardFlags, ULONGLONG table)
{
    DWORD size = pe.is64 ? 0x140 : 0xC0;
    pe.PutDword(CONFIG_RVA, size);
    const LoadConfigField& flags = LOAD_CONFIG_FIELDS[LC_GUARD_FLAGS];
    const LoadConfigField& functions = LOAD_CONFIG_FIELDS[LC_GUARD_CF_FUNCTION_TABLE];
    const LoadConfigField& cookie = LOAD_CONFIG_FIELDS[LC_SECURITY_COOKIE];
    pe.PutDword(CONFIG_RVA + (pe.is64 ? flags.offset64 : flags.offset32), guardFlags);
    pe.Put(CONFIG_RVA + (pe.is64 ? functions.offset64 : functions.offset32), &table, pe.is64 ? 8 : 4);
    ULONGLONG cookieVa = 0x401000;
    pe.Put(CONFIG_RVA + (pe.is64 ? cookie.offset64 : cookie.offset32), &cookieVa, pe.is64 ? 8 : 4);
    pe.SetDirectory(IMAGE_DIRECTORY_ENTRY_LOAD_CONFIG, CONFIG_RVA, size);
}

// One debug directory entry of `type` whose `size` bytes of data are at DEBUG_DATA_RVA.
void PutDebugEntry(PeBuilder& pe, DWORD type, const void* data, DWORD size)
{
    IMAGE_DEBUG_DIRECTORY entry = {};
    entry.Type = type;
    entry.SizeOfData = size;
    entry.AddressOfRawData = DEBUG_DATA_RVA;
    entry.PointerToRawData = DEBUG_DATA_OFFSET;
    pe.Put(DEBUG_RVA, &entry, sizeof entry);
    pe.Put(DEBUG_DATA_RVA, data, size);
    pe.SetDirectory(IMAGE_DIRECTORY_ENTRY_DEBUG, DEBUG_RVA, sizeof entry);
}

bool CollectEntry(void* context, const DebugEntry* entry)
{
    static_cast<std::vector<DebugEntry>*>(context)->push_back(*entry);
    return true;
}

std::vector<DebugEntry> DebugEntries(const std::vector<BYTE>& bytes)
{
    ImageView view;
    std::vector<DebugEntry> entries;
    if (InitImageView(&view, bytes.data(), static_cast<DWORD>(bytes.size())))
        WalkDebugEntries(&view, CollectEntry, &entries);
    return entries;
}

}  // namespace

TEST(LoadConfig, EachFieldIsReadOnlyWhereTheDeclaredSizeAndTheFileReachIt)
{
    for (bool is64 : { false, true }) {
        // Every size at which a field ends, which includes every size a
        // Windows release wrote, and one that reaches past the file's end.
        for (int last = 1; last < LOAD_CONFIG_FIELD_COUNT; ++last) {
            const LoadConfigField& f = LOAD_CONFIG_FIELDS[last];
            DWORD end = is64 ? f.offset64 + f.width64 : f.offset32 + f.width32;
            // Declared to its end or a byte short of it; placed inside the
            // file, or at its end with the last byte cut off.
            for (DWORD declared : { end, end - 1 })
            for (DWORD rva : { CONFIG_RVA, declared >= 5 ? 0x2000 - declared + 1 : CONFIG_RVA }) {
                PeBuilder pe = Image(is64, 0);
                PutLoadConfig(pe, rva, declared);
                std::vector<BYTE> bytes = pe.Build();
                ImageView view;
                ASSERT_TRUE(InitImageView(&view, bytes.data(), static_cast<DWORD>(bytes.size())));
                LoadConfig config;
                ASSERT_TRUE(ReadLoadConfig(&view, &config)) << declared;
                EXPECT_EQ(declared, config.declared);
                for (int i = 0; i < LOAD_CONFIG_FIELD_COUNT; ++i) {
                    const LoadConfigField& g = LOAD_CONFIG_FIELDS[i];
                    DWORD end = is64 ? g.offset64 + g.width64 : g.offset32 + g.width32;
                    bool inside = end <= declared && rva + end <= 0x2000;
                    ULONGLONG value = 0;
                    EXPECT_EQ(inside, LoadConfigValue(&config, i, &value))
                        << (is64 ? "PE32+ " : "PE32 ") << g.name << " in a size of " << declared << " at " << rva;
                    if (inside) {
                        EXPECT_EQ(i == LC_SIZE ? declared : static_cast<ULONGLONG>(i + 1), value) << g.name;
                    }
                }
            }
        }
    }
}

TEST(Hardening, EachVerdictSaysWhatDecidedIt)
{
    const WORD BASE = IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE, CF = IMAGE_DLLCHARACTERISTICS_GUARD_CF;
    const DWORD INSTRUMENTED = GUARD_CF_INSTRUMENTED | GUARD_CF_FUNCTION_TABLE_PRESENT;
    struct Case {
        const char* why;
        bool is64;
        WORD dllCharacteristics;
        std::function<void(PeBuilder&)> build;
        MitigationId mitigation;
        Verdict verdict;
        const char* reason;   // a part of the reason
    } cases[] = {
        { "CFG complete", true, BASE | CF, [&](PeBuilder& pe) { PutGuard(pe, INSTRUMENTED, 0x140001000); },
          MITIGATION_CFG, VERDICT_YES, "instrumented" },
        { "CFG without dynamic-base", true, CF, [&](PeBuilder& pe) { PutGuard(pe, INSTRUMENTED, 0x140001000); },
          MITIGATION_CFG, VERDICT_NO, "not dynamic-base" },
        { "CFG without a function table", false, BASE | CF, [](PeBuilder& pe) { PutGuard(pe, GUARD_CF_INSTRUMENTED, 0); },
          MITIGATION_CFG, VERDICT_NO, "CF_FUNCTION_TABLE_PRESENT" },
        { "GUARD_CF without a load configuration", false, BASE | CF, [](PeBuilder&) {}, MITIGATION_CFG, VERDICT_NO,
          "holds no GuardFlags" },
        { "dynamic-base with its relocations stripped", false, BASE,
          [](PeBuilder& pe) { pe.file.Characteristics |= IMAGE_FILE_RELOCS_STRIPPED; }, MITIGATION_DYNAMIC_BASE,
          VERDICT_NO, "RELOCS_STRIPPED" },
        { "high-entropy VA of PE32", false, IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA, [](PeBuilder&) {},
          MITIGATION_HIGH_ENTROPY_VA, VERDICT_NOT_APPLICABLE, "" },
        { "PE32 handlers without a table", false, 0, [](PeBuilder&) {}, MITIGATION_SAFE_SEH, VERDICT_NO, "" },
        { "PE32 without handlers", false, IMAGE_DLLCHARACTERISTICS_NO_SEH, [](PeBuilder&) {}, MITIGATION_SAFE_SEH,
          VERDICT_YES, "NO_SEH" },
        { "SafeSEH of PE32+", true, 0, [](PeBuilder&) {}, MITIGATION_SAFE_SEH, VERDICT_NOT_APPLICABLE, "" },
        { "a security cookie", false, 0, [](PeBuilder& pe) { PutGuard(pe, 0, 0); }, MITIGATION_GS, VERDICT_YES,
          "SecurityCookie" },
        { "a cookie marked unused", true, 0, [](PeBuilder& pe) { PutGuard(pe, GUARD_SECURITY_COOKIE_UNUSED, 0); },
          MITIGATION_GS, VERDICT_NO, "" },
        { "CET from the extended characteristics", true, 0,
          [](PeBuilder& pe) { DWORD flags = 1; PutDebugEntry(pe, DEBUG_TYPE_EX_DLL_CHARACTERISTICS, &flags, 4); },
          MITIGATION_CET_COMPAT, VERDICT_YES, "type 20" },
        { "a certificate table past the file", false, 0,
          [](PeBuilder& pe) { pe.SetDirectory(IMAGE_DIRECTORY_ENTRY_SECURITY, 0x1380, 0x100); },
          MITIGATION_SIGNED, VERDICT_NO, "past the end" },
    };
    for (const Case& c : cases) {
        PeBuilder pe = Image(c.is64, c.dllCharacteristics);
        c.build(pe);
        std::vector<BYTE> bytes = pe.Build();
        ImageView view;
        ASSERT_TRUE(InitImageView(&view, bytes.data(), static_cast<DWORD>(bytes.size()))) << c.why;
        Mitigation verdicts[MITIGATION_COUNT];
        AssessHardening(&view, verdicts);
        const Mitigation& m = verdicts[c.mitigation];
        EXPECT_EQ(c.verdict, m.verdict) << c.why << ": " << m.reason;
        EXPECT_NE(nullptr, strstr(m.reason, c.reason)) << c.why << ": " << m.reason;
    }
}

TEST(DebugDirectory, CodeViewRecordsWithAndWithoutTheirEnd)
{
    static const GUID PDB_GUID = { 0x12345678, 0x9ABC, 0xDEF0, { 0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF } };
    std::vector<BYTE> rsds(24);
    memcpy(&rsds[0], "RSDS", 4);
    memcpy(&rsds[4], &PDB_GUID, 16);
    rsds[20] = 0x2A;
    const char path[] = "C:\\build\\app.pdb";
    std::vector<BYTE> ended = rsds, cut = rsds;
    ended.insert(ended.end(), path, path + sizeof path);
    cut.insert(cut.end(), path, path + 6);   // no NUL: the record ends inside the path
    for (const std::vector<BYTE>* record : { &ended, &cut }) {
        PeBuilder pe = Image(true, 0);
        PutDebugEntry(pe, IMAGE_DEBUG_TYPE_CODEVIEW, record->data(), static_cast<DWORD>(record->size()));
        std::vector<DebugEntry> entries = DebugEntries(pe.Build());
        ASSERT_EQ(1u, entries.size());
        const CodeViewInfo& cv = entries[0].codeView;
        EXPECT_EQ(CodeViewInfo::RSDS, cv.format);
        EXPECT_EQ(42u, cv.age);
        EXPECT_EQ(record == &ended, cv.pdbEnded);
        EXPECT_STREQ(record == &ended ? path : "C:\\bui", cv.pdb);
        char key[64], guid[64];
        SymbolServerKey(&cv.guid, cv.age, key);
        GuidText(&cv.guid, guid);
        EXPECT_STREQ("123456789ABCDEF00123456789ABCDEF2A", key);
        EXPECT_STREQ("12345678-9ABC-DEF0-0123-456789ABCDEF", guid);
    }
}

TEST(Certificates, AGarbageTableIsWalkedToItsEndAndDecodesToNothing)
{
    PeBuilder pe = Image(false, 0);
    std::vector<BYTE> bytes = pe.Build();
    DWORD offset = static_cast<DWORD>(bytes.size());
    pe.SetDirectory(IMAGE_DIRECTORY_ENTRY_SECURITY, offset, 0x30);
    bytes = pe.Build();
    // Two entries: signed data that is not DER, then one whose length runs past the table.
    BYTE table[0x30] = {};
    DWORD first = 0x14, second = 0x1000;
    memcpy(table, &first, 4);
    table[4] = 0x00, table[5] = 0x02, table[6] = 2;
    memset(table + 8, 0x30, 12);
    memcpy(table + 0x18, &second, 4);
    table[0x1C] = 0x00, table[0x1D] = 0x02, table[0x1E] = 2;
    bytes.insert(bytes.end(), table, table + sizeof table);
    ImageView view;
    ASSERT_TRUE(InitImageView(&view, bytes.data(), static_cast<DWORD>(bytes.size())));
    CertificateTable certificates;
    ASSERT_TRUE(ReadCertificateTable(&view, &certificates));
    struct Seen {
        const ImageView* view;
        std::vector<DWORD> lengths;
        int decoded;
        FileDigests digests;
    } seen = { &view, {}, 0, {} };
    WalkCertificates(&certificates, [](void* context, const CertificateEntry* entry) {
        Seen* s = static_cast<Seen*>(context);
        s->lengths.push_back(static_cast<DWORD>(entry->data.size));
        Authenticode signature;
        s->decoded += ReadAuthenticode(s->view, &entry->data, &s->digests, &signature) ? 1 : 0;
        return true;
    }, &seen);
    EXPECT_EQ((std::vector<DWORD>{ 0x0C, 0x10 }), seen.lengths);   // the second cut to the table's end
    EXPECT_EQ(0, seen.decoded);
}

TEST(ManifestFacts, WhatAManifestAsksOfTheSystem)
{
    const char text[] =
        "<assembly xmlns='urn:schemas-microsoft-com:asm.v1'><trustInfo><security><requestedPrivileges>"
        "<requestedExecutionLevel level='requireAdministrator' uiAccess='false'/></requestedPrivileges></security>"
        "</trustInfo><application><windowsSettings><dpiAware>true/pm</dpiAware>"
        "<dpiAwareness>PerMonitorV2, PerMonitor</dpiAwareness><longPathAware>true</longPathAware>"
        "<activeCodePage>UTF-8</activeCodePage></windowsSettings></application><compatibility><application>"
        "<supportedOS Id='{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}'/><supportedOS Id='{35138b9a-5d96-4fbd-8e2d-a2440225f93a}'/>"
        "</application></compatibility></assembly>";
    ByteSpan span = { reinterpret_cast<const BYTE*>(text), sizeof text - 1 };
    ManifestFacts facts;
    ReadManifestFacts(&span, &facts);
    EXPECT_STREQ("requireAdministrator", facts.executionLevel);
    EXPECT_STREQ("false", facts.uiAccess);
    EXPECT_STREQ("true/pm", facts.dpiAware);
    EXPECT_STREQ("PerMonitorV2, PerMonitor", facts.dpiAwareness);
    EXPECT_STREQ("true", facts.longPathAware);
    EXPECT_STREQ("UTF-8", facts.activeCodePage);
    ASSERT_EQ(2, facts.supportedOsCount);
    EXPECT_STREQ("{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", facts.supportedOs[1]);
}
