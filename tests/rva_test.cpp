// RVA translation through the section table, and its guard against positions
// outside the file.
#include <windows.h>
#include <gtest/gtest.h>
#include <string.h>
#include "image/image_view.h"
#include "pe_builder.h"

// Keeps the bytes alive with the view that points into them.
struct OpenedImage {
    std::vector<BYTE> bytes;
    ImageView view;
};

static void Open(const std::vector<BYTE>& bytes, OpenedImage* out)
{
    out->bytes = bytes;
    ASSERT_TRUE(InitImageView(&out->view, out->bytes.data(), static_cast<DWORD>(out->bytes.size())));
}

// File offset an RVA resolves to, or -1 when it does not resolve.
static long long Offset(const OpenedImage& image, DWORD rva, DWORD length = 0)
{
    const BYTE* p = length ? RvaToSpan(&image.view, rva, length) : RvaToPointer(&image.view, rva);
    return p ? p - image.bytes.data() : -1;
}

static DWORD RawPointer(const OpenedImage& image, int section)
{
    DWORD count;
    const IMAGE_SECTION_HEADER* table = SectionTable(&image.view, &count);
    IMAGE_SECTION_HEADER h;
    memcpy(&h, &table[section], sizeof h);
    return h.PointerToRawData;
}

TEST(RvaTranslation, ExtentsAndTheFirstMatchingSection)
{
    // No sections: nothing resolves, not even an RVA inside the headers.
    OpenedImage empty;
    Open(PeBuilder().Build(), &empty);
    EXPECT_EQ(-1, Offset(empty, 0));
    EXPECT_EQ(-1, Offset(empty, 0x40));
    EXPECT_EQ(-1, Offset(empty, 0x1000));

    PeBuilder pe;
    pe.AddSection(".a", 0x1000, 0x100, 0x200);    // VirtualSize below the raw size
    pe.AddSection(".b", 0x2000, 0, 0x200);        // VirtualSize 0: raw size is the extent
    pe.AddSection(".c", 0x3000, 0x1000, 0x200);   // uninitialised tail behind the raw data
    pe.AddSection(".d", 0x3100, 0x100, 0x200);    // overlaps .c, which comes first
    pe.AddSection(".e", 0x5000, 0x100, 0x200);
    OpenedImage image;
    Open(pe.Build(), &image);
    DWORD a = RawPointer(image, 0), b = RawPointer(image, 1), c = RawPointer(image, 2);
    DWORD e = RawPointer(image, 4);

    EXPECT_EQ(-1, Offset(image, 0x200));          // headers never resolve
    EXPECT_EQ(-1, Offset(image, 0xFFF));
    EXPECT_EQ(a, Offset(image, 0x1000));
    EXPECT_EQ(a + 0xFF, Offset(image, 0x10FF));
    EXPECT_EQ(-1, Offset(image, 0x1100));         // end of VirtualSize, though still in the raw data
    EXPECT_EQ(b + 0x1FF, Offset(image, 0x21FF));
    EXPECT_EQ(-1, Offset(image, 0x2200));
    EXPECT_EQ(c + 0x150, Offset(image, 0x3150));  // the earlier of two overlapping sections
    // The tail past .c's raw data resolves to what follows it in the file (here .d's data).
    EXPECT_EQ(c + 0x300, Offset(image, 0x3300));
    EXPECT_EQ(-1, Offset(image, 0x4000));
    EXPECT_EQ(e + 0xFF, Offset(image, 0x50FF));
    EXPECT_EQ(-1, Offset(image, 0x5100));
}

TEST(RvaTranslation, NothingOutsideTheFileResolves)
{
    PeBuilder pe;
    pe.AddSection(".a", 0x1000, 0x1000, 0x200);   // tail runs past the end of the file
    OpenedImage image;
    Open(pe.Build(), &image);
    DWORD a = RawPointer(image, 0);
    ASSERT_EQ(a + 0x200, image.bytes.size());
    EXPECT_EQ(a + 0x1FF, Offset(image, 0x11FF));
    EXPECT_EQ(-1, Offset(image, 0x1200));         // the end of the file itself
    EXPECT_EQ(-1, Offset(image, 0x1FFF));

    // A span must lie wholly inside the file.
    EXPECT_EQ(a + 0x1F0, Offset(image, 0x11F0, 16));
    EXPECT_EQ(-1, Offset(image, 0x11F1, 16));
    EXPECT_EQ(-1, Offset(image, 0x1000, 0xFFFFFFFF));

    // A PointerToRawData near 4 GiB: in 32-bit arithmetic 0x1200 - 0x1000 +
    // 0xFFFFFF00 would wrap to 0x100, inside the headers.
    PeBuilder distant;
    distant.AddSection(".far", 0x1000, 0x1000, 0);
    distant.sections[0].header.PointerToRawData = 0xFFFFFF00;
    OpenedImage farImage;
    Open(distant.Build(), &farImage);
    EXPECT_EQ(-1, Offset(farImage, 0x1200));
    EXPECT_EQ(-1, Offset(farImage, 0x1000));

    // VirtualAddress + extent wraps past 2^32: the sum is taken modulo 2^32,
    // so the section holds nothing.
    PeBuilder wrap;
    wrap.AddSection(".w", 0xFFFFF000, 0x2000, 0x200);
    OpenedImage wrapImage;
    Open(wrap.Build(), &wrapImage);
    EXPECT_EQ(-1, Offset(wrapImage, 0xFFFFF000));
    EXPECT_EQ(-1, Offset(wrapImage, 0x500));
}
