// The bounds-checked reads and the header checks that decide whether a file is shown.
#include <windows.h>
#include <gtest/gtest.h>
#include <string.h>
#include "image/image_view.h"
#include "pe_builder.h"

static bool Init(const std::vector<BYTE>& bytes, ImageView* view)
{
    return InitImageView(view, bytes.data(), static_cast<DWORD>(bytes.size()));
}

static void SetLfanew(std::vector<BYTE>& bytes, LONG value)
{
    memcpy(&bytes[0x3C], &value, sizeof value);
}

static void PutWordAt(std::vector<BYTE>& bytes, size_t offset, WORD value)
{
    memcpy(&bytes[offset], &value, sizeof value);
}

TEST(ImageView, MagicChoosesTheLayoutAndMachineOnlyWhenMagicIsNeither)
{
    struct Case { WORD magic; WORD machine; bool is64; };
    const Case cases[] = {
        { IMAGE_NT_OPTIONAL_HDR32_MAGIC, IMAGE_FILE_MACHINE_I386, false },
        { IMAGE_NT_OPTIONAL_HDR64_MAGIC, IMAGE_FILE_MACHINE_AMD64, true },
        { IMAGE_NT_OPTIONAL_HDR32_MAGIC, 0x01C4, false },   // 32-bit ARM
        { IMAGE_NT_OPTIONAL_HDR32_MAGIC, IMAGE_FILE_MACHINE_AMD64, false },
        { IMAGE_NT_OPTIONAL_HDR64_MAGIC, IMAGE_FILE_MACHINE_I386, true },
        { IMAGE_ROM_OPTIONAL_HDR_MAGIC, IMAGE_FILE_MACHINE_I386, false },
        { IMAGE_ROM_OPTIONAL_HDR_MAGIC, 0x01C4, true },
        { 0, 0, true },
    };
    for (const Case& c : cases) {
        std::vector<BYTE> bytes = PeBuilder(c.is64).Build();
        PutWordAt(bytes, 0x40 + NT_MACHINE, c.machine);
        PutWordAt(bytes, 0x40 + NT_MAGIC, c.magic);
        ImageView view;
        ASSERT_TRUE(Init(bytes, &view)) << std::hex << c.magic << " " << c.machine;
        EXPECT_EQ(c.is64, view.is64) << std::hex << c.magic << " " << c.machine;
    }
}

TEST(ImageView, OnlyMzAndTheSignatureAtLfanewMakeAPeImage)
{
    ImageView view;
    std::vector<BYTE> good = PeBuilder().Build();

    // The loader reads nothing else of the DOS header: e_lfarlc may be anything.
    for (WORD relocations : { 0x00, 0x1C, 0x60, 0x74C0 }) {
        std::vector<BYTE> any = good;
        PutWordAt(any, 0x18, relocations);
        EXPECT_TRUE(Init(any, &view)) << relocations;
    }

    std::vector<BYTE> noMz = good;
    noMz[0] = 'X';
    EXPECT_FALSE(Init(noMz, &view));

    std::vector<BYTE> noSignature = good;
    noSignature[0x40] = 'Q';
    EXPECT_FALSE(Init(noSignature, &view));

    // An MS-DOS program: e_lfanew points at DOS code, not at a signature.
    std::vector<BYTE> dos = good;
    PutWordAt(dos, 0x18, 0x1C);
    SetLfanew(dos, 0x20);
    EXPECT_FALSE(Init(dos, &view));
}

TEST(ImageView, RejectsLfanewThatLeavesTheFile)
{
    ImageView view;
    std::vector<BYTE> bytes = PeBuilder().Build();

    std::vector<BYTE> negative = bytes;
    SetLfanew(negative, -4);
    EXPECT_FALSE(Init(negative, &view));

    std::vector<BYTE> pastEnd = bytes;
    SetLfanew(pastEnd, static_cast<LONG>(bytes.size()));
    EXPECT_FALSE(Init(pastEnd, &view));

    std::vector<BYTE> huge = bytes;
    SetLfanew(huge, 0x7FFFFFFF);
    EXPECT_FALSE(Init(huge, &view));

    // The signature lies inside, but the fixed headers the views read do not.
    std::vector<BYTE> cut = bytes;
    LONG late = static_cast<LONG>(bytes.size()) - 100;
    SetLfanew(cut, late);
    memcpy(&cut[late], "PE\0\0", 4);
    EXPECT_FALSE(Init(cut, &view));

    // The headers must reach through NumberOfRvaAndSizes, 16 bytes further in
    // PE32+; the directories behind it may be missing.
    for (bool wide : { false, true }) {
        std::vector<BYTE> fixed = PeBuilder(wide).Build();
        DWORD end = 0x40 + (wide ? NT_FIXED_HEADERS_64 : NT_FIXED_HEADERS_32);
        fixed.resize(end - 1);
        EXPECT_FALSE(Init(fixed, &view)) << wide;
        fixed.resize(end);
        ASSERT_TRUE(Init(fixed, &view)) << wide;
        EXPECT_EQ(wide, view.is64);
        EXPECT_EQ(0u, DataDirectoryRva(&view, IMAGE_DIRECTORY_ENTRY_EXPORT));
    }
}

TEST(ImageView, DirectoriesPastNumberOfRvaAndSizesOrTheFileAreAbsent)
{
    for (bool wide : { false, true }) {
        for (DWORD declared : { 0u, 2u, 13u, 14u, 16u, 0xFFFFFFFFu }) {
            PeBuilder pe(wide);
            for (int k = 0; k < IMAGE_NUMBEROF_DIRECTORY_ENTRIES; ++k)
                pe.SetDirectory(k, 0x1000 * (k + 1));
            (wide ? pe.opt64.NumberOfRvaAndSizes : pe.opt32.NumberOfRvaAndSizes) = declared;
            std::vector<BYTE> bytes = pe.Build();
            ImageView view;
            ASSERT_TRUE(Init(bytes, &view));
            for (int k = 0; k < IMAGE_NUMBEROF_DIRECTORY_ENTRIES; ++k)
                EXPECT_EQ(static_cast<DWORD>(k) < declared ? 0x1000u * (k + 1) : 0u, DataDirectoryRva(&view, k))
                    << (wide ? "PE32+" : "PE32") << ", " << declared << " declared, directory " << k;
        }
        // An entry that the end of the file cuts (its Size missing) is absent;
        // the one before it is whole.
        PeBuilder pe(wide);
        for (int k = 0; k < IMAGE_NUMBEROF_DIRECTORY_ENTRIES; ++k)
            pe.SetDirectory(k, 0x1000 * (k + 1));
        std::vector<BYTE> bytes = pe.Build();
        ImageView view;
        ASSERT_TRUE(Init(bytes, &view));
        bytes.resize(0x40 + DataDirectoryOffset(&view, IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT) + 4);
        ASSERT_TRUE(Init(bytes, &view));
        EXPECT_EQ(0xD000u, DataDirectoryRva(&view, 12));
        EXPECT_EQ(0u, DataDirectoryRva(&view, IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT));
    }

    // Small images let a short optional header put the section table where
    // directories 2 onwards would lie: directory 13 would be the third
    // section's VirtualSize, an RVA that resolves.
    PeBuilder overlap;
    for (DWORD k = 1; k <= 3; ++k)
        overlap.AddSection(".s", 0x1000 * k, 0x1000, 0x200);
    overlap.opt32.NumberOfRvaAndSizes = 2;
    overlap.file.SizeOfOptionalHeader = static_cast<WORD>(NT_FIXED_HEADERS_32 - NT_OPTIONAL_HEADER + 2 * sizeof(IMAGE_DATA_DIRECTORY));
    std::vector<BYTE> bytes = overlap.Build();
    ImageView view;
    ASSERT_TRUE(Init(bytes, &view));
    DWORD count;
    SectionTable(&view, &count);
    EXPECT_EQ(3u, count);
    EXPECT_EQ(0x1000u, NtDword(&view, DataDirectoryOffset(&view, IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT)));
    EXPECT_EQ(0u, DataDirectoryRva(&view, IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT));
}

TEST(ImageView, ReadsStopAtTheEndOfTheFile)
{
    std::vector<BYTE> bytes(16, 0xAB);
    ImageView view = { bytes.data(), 16, NULL, false, NULL };
    DWORD value;
    EXPECT_TRUE(ReadDword(&view, bytes.data() + 12, &value));
    EXPECT_EQ(0xABABABABu, value);
    EXPECT_FALSE(ReadDword(&view, bytes.data() + 13, &value));
    EXPECT_EQ(0u, value);
    EXPECT_FALSE(ReadDword(&view, bytes.data() - 1, &value));
    EXPECT_EQ(bytes.data() + 16, SpanAt(&view, 16, 0));
    EXPECT_EQ(nullptr, SpanAt(&view, 17, 0));
    EXPECT_EQ(nullptr, SpanAt(&view, 8, 0xFFFFFFFF));   // must not wrap into "inside"
    EXPECT_EQ(nullptr, SpanAt(&view, 0xFFFFFFF8, 16));

    // An unterminated string ends at the end of the file.
    EXPECT_EQ(6u, StringLength(&view, bytes.data() + 10));
    bytes[12] = 0;
    EXPECT_EQ(2u, StringLength(&view, bytes.data() + 10));
    EXPECT_EQ(0u, StringLength(&view, bytes.data() + 16));

    // UTF-16 text stops at a zero unit, at the limit, or before a half unit at the end.
    std::vector<BYTE> wide = { 'a', 0, 'b', 0, 0, 0, 'c', 0, 'd' };
    ImageView w = { wide.data(), static_cast<DWORD>(wide.size()), NULL, false, NULL };
    EXPECT_EQ(2u, WideStringLength(&w, wide.data(), 100));
    EXPECT_EQ(1u, WideStringLength(&w, wide.data(), 3));
    EXPECT_EQ(1u, WideStringLength(&w, wide.data() + 6, 100));
}

TEST(ImageView, SectionTableIsCutToWholeHeadersInsideTheFile)
{
    PeBuilder pe;
    pe.AddSection(".a", 0x1000, 0x100, 0);
    pe.AddSection(".b", 0x2000, 0x100, 0);
    std::vector<BYTE> bytes = pe.Build();
    DWORD tableEnd = 0x40 + 24 + sizeof(IMAGE_OPTIONAL_HEADER32) + 2 * sizeof(IMAGE_SECTION_HEADER);
    bytes.resize(tableEnd - 1);   // the second header loses its last byte
    ImageView view;
    ASSERT_TRUE(Init(bytes, &view));
    DWORD count;
    SectionTable(&view, &count);
    EXPECT_EQ(1u, count);

    // SizeOfOptionalHeader can push the table out of the file altogether.
    PeBuilder pushed;
    pushed.AddSection(".a", 0x1000, 0x100, 0);
    pushed.file.SizeOfOptionalHeader = 0xFFFF;
    std::vector<BYTE> farBytes = pushed.Build();
    farBytes.resize(0x2000);
    ASSERT_TRUE(Init(farBytes, &view));
    EXPECT_EQ(nullptr, SectionTable(&view, &count));
    EXPECT_EQ(0u, count);
}
