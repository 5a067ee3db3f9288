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

TEST(ImageView, AcceptsPe32AndPe32PlusAndChoosesLayoutByMachineAlone)
{
    ImageView view;
    PeBuilder pe32(false);
    ASSERT_TRUE(Init(pe32.Build(), &view));
    EXPECT_FALSE(view.is64);

    PeBuilder pe64(true);
    ASSERT_TRUE(Init(pe64.Build(), &view));
    EXPECT_TRUE(view.is64);

    // A 32-bit optional header with a Machine other than i386 is still read as PE32+.
    PeBuilder arm(false);
    arm.file.Machine = 0x01C4;
    std::vector<BYTE> bytes = arm.Build();
    bytes.resize(0x40 + NT_HEADERS_SIZE_64);
    ASSERT_TRUE(Init(bytes, &view));
    EXPECT_TRUE(view.is64);
}

TEST(ImageView, RejectsFilesThatAreNotPeImages)
{
    ImageView view;
    std::vector<BYTE> good = PeBuilder().Build();

    std::vector<BYTE> noMz = good;
    noMz[0] = 'X';
    EXPECT_FALSE(Init(noMz, &view));

    std::vector<BYTE> dos = good;   // an old DOS program: relocations not at 0x40
    dos[0x18] = 0x1C;
    EXPECT_FALSE(Init(dos, &view));

    std::vector<BYTE> noSignature = good;
    noSignature[0x40] = 'Q';
    EXPECT_FALSE(Init(noSignature, &view));
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

    // The signature lies inside, but the optional header the views read does not.
    std::vector<BYTE> cut = bytes;
    LONG late = static_cast<LONG>(bytes.size()) - 100;
    SetLfanew(cut, late);
    memcpy(&cut[late], "PE\0\0", 4);
    EXPECT_FALSE(Init(cut, &view));

    // PE32+ needs 16 bytes more of headers than PE32.
    PeBuilder wide(true);
    std::vector<BYTE> wideBytes = wide.Build();
    wideBytes.resize(0x40 + NT_HEADERS_SIZE_64 - 1);
    EXPECT_FALSE(Init(wideBytes, &view));
    wideBytes.resize(0x40 + NT_HEADERS_SIZE_64);
    EXPECT_TRUE(Init(wideBytes, &view));
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
    EXPECT_EQ(bytes.data() + 16, ImageAt(&view, 16, 0));
    EXPECT_EQ(nullptr, ImageAt(&view, 17, 0));
    EXPECT_EQ(nullptr, ImageAt(&view, 8, 0xFFFFFFFF));   // must not wrap into "inside"
    EXPECT_EQ(nullptr, ImageAt(&view, 0xFFFFFFF8, 16));

    // An unterminated string ends at the end of the file.
    EXPECT_EQ(6u, ImageStringLength(&view, bytes.data() + 10));
    bytes[12] = 0;
    EXPECT_EQ(2u, ImageStringLength(&view, bytes.data() + 10));
    EXPECT_EQ(0u, ImageStringLength(&view, bytes.data() + 16));

    // UTF-16 text stops at a zero unit, at the limit, or before a half unit at the end.
    std::vector<BYTE> wide = { 'a', 0, 'b', 0, 0, 0, 'c', 0, 'd' };
    ImageView w = { wide.data(), static_cast<DWORD>(wide.size()), NULL, false, NULL };
    EXPECT_EQ(2u, ImageWideStringLength(&w, wide.data(), 100));
    EXPECT_EQ(1u, ImageWideStringLength(&w, wide.data(), 3));
    EXPECT_EQ(1u, ImageWideStringLength(&w, wide.data() + 6, 100));
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
