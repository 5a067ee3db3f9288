// Broken, truncated and deliberately malicious files: each opens without a
// fault, quickly, showing what lies inside the file. Every case runs through
// OpenImage and through both guard-page placements, so a read one byte
// outside the file fails the run.
#include <windows.h>
#include <gtest/gtest.h>
#include <string.h>
#include <functional>
#include "guarded_image.h"
#include "image/image_view.h"
#include "shell/list_sink.h"
#include "pe_builder.h"
#include "thread_time.h"
#include "image/views.h"
#include "res/resource.h"
#include "shell/dependency_walk.h"
#include "viewer_dialog.h"

namespace {

struct Hostile {
    const wchar_t* name;
    std::function<std::vector<BYTE>()> make;
};

void SetLfanew(std::vector<BYTE>& b, LONG value)
{
    memcpy(&b[0x3C], &value, 4);
}

void PutDwordAt(std::vector<BYTE>& b, size_t offset, DWORD value)
{
    memcpy(&b[offset], &value, 4);
}

// A file whose only section maps RVA 0x1000 onwards and ends at the end of the file.
PeBuilder WithData(bool is64 = false, DWORD size = 0x1000)
{
    PeBuilder pe(is64);
    pe.AddDataSection(0x1000, size);
    return pe;
}

// A three-level resource tree at `rva` leading to one data entry.
void PutResourceTree(PeBuilder& pe, DWORD rva, DWORD type, DWORD name, DWORD language, DWORD dataRva, DWORD dataSize)
{
    pe.PutWord(rva + 14, 1);
    pe.PutDword(rva + 16, type);
    pe.PutDword(rva + 20, 0x80000018);
    pe.PutWord(rva + 0x18 + 14, 1);
    pe.PutDword(rva + 0x28, name);
    pe.PutDword(rva + 0x2C, 0x80000030);
    pe.PutWord(rva + 0x30 + 14, 1);
    pe.PutDword(rva + 0x40, language);
    pe.PutDword(rva + 0x44, 0x48);
    pe.PutDword(rva + 0x48, dataRva);
    pe.PutDword(rva + 0x4C, dataSize);
    pe.SetDirectory(IMAGE_DIRECTORY_ENTRY_RESOURCE, rva, 0x58);
}

// An export directory at `rva`: its counts and the places of its three tables.
void PutExportDirectory(PeBuilder& pe, DWORD rva, DWORD functions, DWORD names, DWORD addressTable,
                        DWORD nameTable, DWORD ordinalTable)
{
    pe.PutDword(rva + 20, functions);
    pe.PutDword(rva + 24, names);
    pe.PutDword(rva + 28, addressTable);
    pe.PutDword(rva + 32, nameTable);
    pe.PutDword(rva + 36, ordinalTable);
    pe.SetDirectory(IMAGE_DIRECTORY_ENTRY_EXPORT, rva);
}

// An image that fills every list: imports and delay imports of one library,
// two exports, a string table.
PeBuilder Rich(bool is64)
{
    PeBuilder pe = WithData(is64);
    const DWORD width = is64 ? 8 : 4;
    pe.PutString(0x1180, "lib.dll");
    pe.PutWord(0x11A0, 1);
    pe.PutString(0x11A2, "Fn");
    pe.PutDword(0x1100, 0x11A0);
    pe.PutQword(0x1100 + width, is64 ? IMAGE_ORDINAL_FLAG64 | 5 : IMAGE_ORDINAL_FLAG32 | 5);
    pe.PutDword(0x1000, 0x1100);
    pe.PutDword(0x1000 + 12, 0x1180);
    pe.SetDirectory(IMAGE_DIRECTORY_ENTRY_IMPORT, 0x1000);
    pe.PutDword(0x1200, 1);
    pe.PutDword(0x1200 + 4, 0x1180);
    pe.PutDword(0x1200 + 16, 0x1100);
    pe.SetDirectory(IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT, 0x1200);
    PutExportDirectory(pe, 0x1300, 2, 1, 0x1340, 0x1350, 0x1360);
    pe.PutDword(0x1340, 0x1000);
    pe.PutDword(0x1344, 0x1004);
    pe.PutDword(0x1350, 0x1370);
    pe.PutString(0x1370, "Exported");
    PutResourceTree(pe, 0x1800, 6, 1, 0x409, 0x1900, 0x20);
    pe.PutWord(0x1900, 2);
    pe.PutWideString(0x1902, L"xy");
    return pe;
}

void PutHeaderWord(std::vector<BYTE>& b, DWORD ntOffset, WORD value)
{
    memcpy(&b[0x40 + ntOffset], &value, 2);
}

std::vector<Hostile> Catalogue()
{
    std::vector<Hostile> all;
    // Shapes the loader accepts: any e_lfarlc, Magic and Machine disagreeing,
    // few or many directories, a section table on top of the directories.
    all.push_back({ L"lfarlc-zero", [] { auto b = Rich(false).Build(); b[0x18] = 0; return b; } });
    all.push_back({ L"magic-64-machine-i386", [] {
        auto b = Rich(false).Build();
        PutHeaderWord(b, NT_MAGIC, IMAGE_NT_OPTIONAL_HDR64_MAGIC);
        return b;
    } });
    all.push_back({ L"magic-32-machine-amd64", [] {
        auto b = Rich(true).Build();
        PutHeaderWord(b, NT_MAGIC, IMAGE_NT_OPTIONAL_HDR32_MAGIC);
        return b;
    } });
    for (WORD magic : { 0, IMAGE_ROM_OPTIONAL_HDR_MAGIC }) {
        all.push_back({ L"magic-neither", [magic] {
            auto b = Rich(false).Build();
            PutHeaderWord(b, NT_MAGIC, magic);
            return b;
        } });
    }
    for (bool wide : { false, true }) {
        for (DWORD declared : { 0u, 2u, 13u, 14u, 16u, 0xFFFFFFFFu }) {
            all.push_back({ L"directories-declared", [wide, declared] {
                PeBuilder pe = Rich(wide);
                (wide ? pe.opt64.NumberOfRvaAndSizes : pe.opt32.NumberOfRvaAndSizes) = declared;
                return pe.Build();
            } });
        }
        all.push_back({ L"section-table-on-the-directories", [wide] {
            PeBuilder pe = Rich(wide);
            (wide ? pe.opt64.NumberOfRvaAndSizes : pe.opt32.NumberOfRvaAndSizes) = 2;
            pe.file.SizeOfOptionalHeader = static_cast<WORD>(
                (wide ? NT_FIXED_HEADERS_64 : NT_FIXED_HEADERS_32) - NT_OPTIONAL_HEADER + 16);
            return pe.Build();
        } });
    }
    all.push_back({ L"lfanew-negative", [] { auto b = WithData().Build(); SetLfanew(b, -8); return b; } });
    all.push_back({ L"lfanew-zero", [] { auto b = WithData().Build(); SetLfanew(b, 0); return b; } });
    all.push_back({ L"lfanew-past-end", [] { auto b = WithData().Build(); SetLfanew(b, 0x7FFFFFF0); return b; } });
    all.push_back({ L"nt-headers-cut", [] {
        auto b = WithData().Build();
        LONG at = static_cast<LONG>(b.size()) - 100;
        memcpy(&b[at], "PE\0\0", 4);
        SetLfanew(b, at);
        return b;
    } });
    all.push_back({ L"optional-header-size-pushes-sections-out", [] {
        PeBuilder pe = WithData();
        pe.file.SizeOfOptionalHeader = 0xFFF0;
        auto b = pe.Build();
        b.resize(0x2000);
        return b;
    } });
    all.push_back({ L"65535-sections", [] {
        PeBuilder pe = WithData();
        auto b = pe.Build();
        DWORD table = 0x40 + 24 + sizeof(IMAGE_OPTIONAL_HEADER32);
        b.resize(table + 0xFFFF * sizeof(IMAGE_SECTION_HEADER) + 0x100);
        WORD count = 0xFFFF;
        memcpy(&b[0x40 + 6], &count, 2);
        for (DWORD i = 0; i < 0xFFFF; ++i) {
            IMAGE_SECTION_HEADER h = {};
            memcpy(h.Name, ".s", 2);
            h.VirtualAddress = 0x10000 + i * 0x1000;
            h.Misc.VirtualSize = 0x1000;
            h.SizeOfRawData = 0x1000;
            h.PointerToRawData = 0x400;
            memcpy(&b[table + i * sizeof h], &h, sizeof h);
        }
        // An import directory that no section holds makes every lookup walk all of them.
        PutDwordAt(b, 0x40 + 24 + 104, 0x0F000000);
        return b;
    } });
    all.push_back({ L"section-raw-data-past-end", [] {
        PeBuilder pe;
        int s = pe.AddSection(".far", 0x1000, 0x1000, 0);
        pe.sections[s].header.PointerToRawData = 0x7FFFF000;
        pe.sections[s].header.SizeOfRawData = 0x1000;
        pe.SetDirectory(IMAGE_DIRECTORY_ENTRY_IMPORT, 0x1000);
        pe.SetDirectory(IMAGE_DIRECTORY_ENTRY_EXPORT, 0x1010);
        pe.SetDirectory(IMAGE_DIRECTORY_ENTRY_RESOURCE, 0x1020);
        return pe.Build();
    } });
    for (int directory : { 0, 1, 2, 13 }) {
        for (DWORD back : { 1u, 2u, 3u, 7u }) {
            all.push_back({ L"directory-in-last-bytes", [directory, back] {
                PeBuilder pe = WithData();
                pe.SetDirectory(directory, 0x2000 - back);
                auto b = pe.Build();
                memset(&b[b.size() - back], 0xFF, back);
                return b;
            } });
        }
    }
    all.push_back({ L"import-descriptors-without-terminator", [] {
        PeBuilder pe = WithData();
        pe.PutString(0x1100, "lib.dll");
        for (DWORD rva = 0x1200; rva + 20 <= 0x2000; rva += 20) {
            pe.PutDword(rva + 12, 0x1100);
            pe.PutDword(rva + 16, 0x1FFC);   // a table of one entry cut by the end of the file
        }
        pe.PutDword(0x1FFC, 0x1100);
        pe.SetDirectory(IMAGE_DIRECTORY_ENTRY_IMPORT, 0x1200);
        return pe.Build();
    } });
    all.push_back({ L"thunk-table-without-terminator", [] {
        PeBuilder pe = WithData(true);
        pe.PutString(0x1100, "lib.dll");
        pe.PutDword(0x1200, 0x1300);
        pe.PutDword(0x1200 + 12, 0x1100);
        for (DWORD rva = 0x1300; rva + 8 <= 0x2000; rva += 8)
            pe.PutQword(rva, 0x1FFE);   // every entry names a hint at the last two bytes
        pe.SetDirectory(IMAGE_DIRECTORY_ENTRY_IMPORT, 0x1200);
        return pe.Build();
    } });
    all.push_back({ L"delay-descriptors-without-terminator", [] {
        PeBuilder pe = WithData();
        for (DWORD rva = 0x1000; rva + 32 <= 0x2000; rva += 32) {
            pe.PutDword(rva, 1);
            pe.PutDword(rva + 4, 0x1FF8);
            pe.PutDword(rva + 16, 0x1FFC);
        }
        pe.PutDword(0x1FF8, 0x41414141);
        pe.PutDword(0x1FFC, 0x1FF8);
        pe.SetDirectory(IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT, 0x1000);
        return pe.Build();
    } });
    all.push_back({ L"names-without-nul", [] {
        PeBuilder pe = WithData();
        pe.PutDword(0x1000, 0x1100);
        pe.PutDword(0x1000 + 12, 0x1F00);   // library name runs to the end of the file
        pe.PutDword(0x1100, 0x1E00);
        pe.PutDword(0x1104, 0x1F00);
        memset(&pe.sections[0].data[0xE02], 'N', 0x1FE);
        memset(&pe.sections[0].data[0xF00], 'L', 0x100);
        // Exports whose names run to the end of the file too.
        PutExportDirectory(pe, 0x1400, 2, 2, 0x1500, 0x1510, 0x1520);
        pe.PutDword(0x1500, 0x1000);
        pe.PutDword(0x1510, 0x1F00);
        pe.PutDword(0x1514, 0x1FFF);
        pe.SetDirectory(IMAGE_DIRECTORY_ENTRY_IMPORT, 0x1000);
        return pe.Build();
    } });
    all.push_back({ L"export-counts-all-ones", [] {
        PeBuilder pe = WithData();
        PutExportDirectory(pe, 0x1000, 0xFFFFFFFF, 0xFFFFFFFF, 0x1100, 0x1100, 0x1100);
        for (DWORD rva = 0x1100; rva < 0x2000; rva += 4)
            pe.PutDword(rva, 0x1000 + (rva & 0xFF));
        return pe.Build();
    } });
    all.push_back({ L"resource-entries-point-outside", [] {
        PeBuilder pe = WithData();
        PutResourceTree(pe, 0x1000, 16, 1, 0x409, 0x1100, 0x100);
        pe.PutDword(0x1000 + 20, 0x8FFFFFF0);
        PutResourceTree(pe, 0x1800, 6, 1, 0x409, 0x1900, 0x100);
        pe.PutDword(0x1800 + 0x2C, 0xFFFFFFFF);
        pe.SetDirectory(IMAGE_DIRECTORY_ENTRY_RESOURCE, 0x1000);
        return pe.Build();
    } });
    all.push_back({ L"resource-entries-point-at-themselves", [] {
        PeBuilder pe = WithData();
        pe.PutWord(0x1000 + 12, 0x7FFF);   // named entries beyond what fits
        pe.PutWord(0x1000 + 14, 0xFFFF);
        for (DWORD rva = 0x1010; rva + 8 <= 0x2000; rva += 8) {
            pe.PutDword(rva, (rva / 8) % 2 ? 16 : 6);
            pe.PutDword(rva + 4, 0x80000000);   // every level is the root again
        }
        pe.SetDirectory(IMAGE_DIRECTORY_ENTRY_RESOURCE, 0x1000);
        return pe.Build();
    } });
    all.push_back({ L"resource-directories-point-at-each-other", [] {
        PeBuilder pe = WithData();
        PutResourceTree(pe, 0x1000, 16, 1, 0x409, 0x1100, 0x100);
        pe.PutDword(0x1000 + 0x2C, 0x80000000);   // name level leads back to the root
        pe.PutDword(0x1000 + 0x44, 0x80000018);   // language entry names a directory as its data entry
        return pe.Build();
    } });
    // Found by fuzzing: a language-level directory whose counts make the rest
    // of the file read as language entries, each of which gets a header row.
    all.push_back({ L"version-language-counts-cover-the-file", [] {
        PeBuilder pe = WithData(false, 0x11000);
        PutResourceTree(pe, 0x1000, 16, 1, 0x409, 0x1100, 0x100);
        pe.PutWord(0x1030 + 12, 0xFFFF);
        pe.PutWord(0x1030 + 14, 0xFFFF);
        for (DWORD rva = 0x1200; rva + 8 <= 0x12000; rva += 8) {
            pe.PutDword(rva, 0x400 + (rva / 8) % 0x800);
            pe.PutDword(rva + 4, 0x48);
        }
        return pe.Build();
    } });
    all.push_back({ L"version-nested-thousands-deep", [] {
        const DWORD levels = 5000, step = 12;
        DWORD size = 0x100 + levels * step;
        PeBuilder pe = WithData(false, (size + 0xFFF) & ~0xFFFu);
        PutResourceTree(pe, 0x1000, 16, 1, 0x409, 0x1100, levels * step);
        for (DWORD k = 0; k < levels; ++k) {
            DWORD at = 0x1100 + k * step;
            pe.PutWord(at, static_cast<WORD>((levels - k) * step > 0xFFFF ? 0xFFFF : (levels - k) * step));
            pe.PutWord(at + 2, 0);
            pe.PutWord(at + 4, 1);
            pe.PutWideString(at + 6, L"A");
        }
        return pe.Build();
    } });
    all.push_back({ L"string-table-size-all-ones", [] {
        PeBuilder pe = WithData();
        PutResourceTree(pe, 0x1000, 6, 1, 0x409, 0x1100, 0xFFFFFFFF);
        for (DWORD rva = 0x1100; rva + 2 <= 0x2000; rva += 6) {
            pe.PutWord(rva, 2);
            pe.PutWord(rva + 2, L'x');
            pe.PutWord(rva + 4, L'y');
        }
        pe.PutWord(0x1FFE, 0x7FFF);   // the last string claims far more than is left
        return pe.Build();
    } });
    all.push_back({ L"string-table-data-at-end-of-file", [] {
        PeBuilder pe = WithData();
        PutResourceTree(pe, 0x1000, 6, 1, 0x409, 0x1FFF, 16);
        return pe.Build();
    } });
    return all;
}

class HostileFiles : public ViewerDialogTest {};

}  // namespace

TEST_F(HostileFiles, OpenWithoutFaultOrHang)
{
    DWORD slowest = 0;
    std::wstring slowestName;
    int index = 0;
    for (const Hostile& h : Catalogue()) {
        std::vector<BYTE> bytes = h.make();
        // Busy time: the bound is on our own work, not on a crowded machine.
        DWORD start = static_cast<DWORD>(ThreadBusyMs(GetCurrentThread()));
        OpenBytesInViewer(dialog, bytes, std::wstring(L"hostile-") + std::to_wstring(index++) + L"-" + h.name + L".dll");
        // The dependency walk that follows the opening comes to its end too.
        for (DWORD begun = GetTickCount(); DependencyWalkUnderWay(dialog) && GetTickCount() - begun < 60000;) {
            PumpMessages();
            MsgWaitForMultipleObjects(0, NULL, FALSE, 5, QS_ALLINPUT);
        }
        EXPECT_FALSE(DependencyWalkUnderWay(dialog)) << h.name;
        std::vector<std::wstring> opened[VIEW_COUNT];
        for (int i = 0; i < VIEW_COUNT; ++i)
            opened[i] = RowLines(ViewerList(dialog, IDC_LIST_FIRST + i));
        // The console companion's tables hold the rows the lists hold.
        std::vector<std::wstring> tabled[VIEW_COUNT];
        if (TableRowLines(bytes, tabled)) {
            for (int i = 0; i < VIEW_COUNT; ++i)
                EXPECT_EQ(opened[i], tabled[i]) << h.name << " table " << i;
        }
        for (bool atEnd : { true, false }) {
            ShowGuarded(dialog, bytes, atEnd);
            // Both roads see the same bytes, so they must show the same rows.
            for (int i = 0; i < VIEW_COUNT; ++i)
                EXPECT_EQ(opened[i], RowLines(ViewerList(dialog, IDC_LIST_FIRST + i))) << h.name << " list " << i;
        }
        DWORD elapsed = static_cast<DWORD>(ThreadBusyMs(GetCurrentThread())) - start;
        if (elapsed > slowest) {
            slowest = elapsed;
            slowestName = h.name;
        }
        // A generous bound: what matters is that nothing is quadratic or endless.
        EXPECT_LT(elapsed, 10000u) << h.name;
    }
    printf("slowest hostile file: %ls, %lu ms of this thread's time for three openings\n", slowestName.c_str(), slowest);
}

TEST_F(HostileFiles, WhatLiesInsideIsStillShown)
{
    // A thunk table cut by the end of the file keeps the rows before the cut.
    PeBuilder pe = WithData();
    pe.PutString(0x1100, "kept.dll");
    pe.PutDword(0x1200, 0x1FF8);
    pe.PutDword(0x1200 + 12, 0x1100);
    pe.PutDword(0x1FF8, 0x80000007);
    pe.PutDword(0x1FFC, 0x80000008);
    pe.SetDirectory(IMAGE_DIRECTORY_ENTRY_IMPORT, 0x1200);
    ShowGuarded(dialog, pe.Build(), true);
    std::vector<std::wstring> rows = RowLines(ViewerList(dialog, IDC_LIST_IMPORTS));
    ASSERT_EQ(3u, rows.size());
    EXPECT_EQ(L"1||kept.dll", rows[0]);
    EXPECT_EQ(L"0|0007|", rows[1]);
    EXPECT_EQ(L"0|0008|", rows[2]);
}
