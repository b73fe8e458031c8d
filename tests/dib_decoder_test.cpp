#include "image/dib_decoder.h"

#include <climits>
#include <cstdlib>
#include <vector>

#include <gtest/gtest.h>

#include "tests/dib_test_bytes.h"

constexpr Rgb black = {0, 0, 0};
constexpr Rgb rose = {250, 20, 90};
constexpr Rgb leaf = {30, 160, 40};
constexpr Rgb sky = {60, 120, 240};

constexpr uint32_t rle8 = 1;
constexpr uint32_t rle4 = 2;
constexpr uint32_t bitfields = 3;

static int allocationsLeft;
static std::vector<size_t> allocationsAsked;
static void* failingAllocate(size_t bytes) {
    allocationsAsked.push_back(bytes);
    return allocationsLeft-- > 0 ? std::calloc(1, bytes) : nullptr;
}

static void* (*const defaultAllocate)(size_t) = dibAllocate;

class DibDecoder : public testing::Test {
protected:
    void SetUp() override { dibAllocate = defaultAllocate; }
    void TearDown() override { dibAllocate = defaultAllocate; }
};

// All in memory, and read 1 and 3 bytes at a time.
static void expectPicture(const Bytes& file, int32_t width, int32_t height, const Bytes& rgb) {
    for (size_t piece : {0, 1, 3}) {
        SCOPED_TRACE(testing::Message() << "pieces of " << piece);
        const Decoded result = decode(file, piece);
        ASSERT_EQ(result.error, dibErrorNone);
        EXPECT_EQ(result.width, width);
        EXPECT_EQ(result.height, height);
        EXPECT_EQ(result.rgb, rgb);
    }
}

TEST(DibColourCount, FollowsDepthUnlessColoursUsedIsSet) {
    // info header, colours-used 0: by depth
    const uint32_t depths[] = {1, 2, 4, 8, 16, 24, 32};
    const uint16_t counts[] = {2, 0, 16, 256, 0, 0, 0};
    for (int k = 0; k < 7; ++k) {
        SCOPED_TRACE(depths[k]);
        EXPECT_EQ(dibColourCount(infoHeader(4, 4, depths[k]).data()), counts[k]);
    }
    // colours-used wins, at any depth, cut to 16 bits
    EXPECT_EQ(dibColourCount(infoHeader(4, 4, 8, 0, 12).data()), 12);
    EXPECT_EQ(dibColourCount(infoHeader(4, 4, 24, 0, 300).data()), 300);
    EXPECT_EQ(dibColourCount(infoHeader(4, 4, 8, 0, 0x12341234).data()), 0x1234);
    // core header: depth only, whatever follows it
    Bytes core = join({coreHeader(4, 4, 8), Bytes(40, 0xFF)});
    EXPECT_EQ(dibColourCount(core.data()), 256);
    core = join({coreHeader(4, 4, 24), Bytes(40, 0xFF)});
    EXPECT_EQ(dibColourCount(core.data()), 0);
}

TEST(WidenChannel, RepeatsTopBitsOfNarrowChannels) {
    for (uint32_t v = 0; v < 32; ++v) EXPECT_EQ(widenChannel(v, 5), (v << 3 | v >> 2)) << v;
    for (uint32_t v = 0; v < 64; ++v) EXPECT_EQ(widenChannel(v, 6), (v << 2 | v >> 4)) << v;
    EXPECT_EQ(widenChannel(1, 1), 255);
    EXPECT_EQ(widenChannel(0b101, 3), 0b10110110);
    EXPECT_EQ(widenChannel(0b10, 2), 0b10101010);
    // 8 bits and wider keep their top 8
    EXPECT_EQ(widenChannel(0xAB, 8), 0xAB);
    EXPECT_EQ(widenChannel(0x3FF, 10), 0xFF);
    EXPECT_EQ(widenChannel(0x200, 10), 0x80);
    EXPECT_EQ(widenChannel(0xC0000000u, 32), 0xC0);
    EXPECT_EQ(widenChannel(0, 0), 0);
}

TEST_F(DibDecoder, TwentyFourBitsReorderedAndUnpadded) {
    // width 3: 9 bytes of pixels and 3 of padding per row
    const Bytes pixels = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0xEE, 0xEE, 0xEE,
                          11, 12, 13, 14, 15, 16, 17, 18, 19, 0xEE, 0xEE, 0xEE};
    expectPicture(withFileHeader(infoHeader(3, 2, 24), pixels), 3, 2,
                  {3, 2, 1, 6, 5, 4, 9, 8, 7, 13, 12, 11, 16, 15, 14, 19, 18, 17});
}

TEST_F(DibDecoder, PaletteIndicesPickTableColours) {
    const Bytes table = colourTable({rose, leaf, sky});
    // 1 bit, width 10: the row spills into a second byte
    Bytes file = withFileHeader(join({infoHeader(10, 1, 1, 0, 2), colourTable({rose, leaf})}),
                                {0b10110010, 0b01000000, 0, 0});
    expectPicture(file, 10, 1, rgbBytes({leaf, rose, leaf, leaf, rose, rose, leaf, rose, rose, leaf}));
    // 4 bits, width 3: high nibble first
    file = withFileHeader(join({infoHeader(3, 1, 4, 0, 3), table}), {0x12, 0x00, 0, 0});
    expectPicture(file, 3, 1, rgbBytes({leaf, sky, rose}));
    // 8 bits; index past the table is black
    file = withFileHeader(join({infoHeader(4, 1, 8, 0, 3), table}), {2, 0, 1, 7});
    expectPicture(file, 4, 1, rgbBytes({sky, rose, leaf, black}));
}

TEST_F(DibDecoder, CoreHeaderTablesHaveThreeByteEntries) {
    // the last entry of a full table is read from 3-byte steps
    Bytes table1 = colourTable({rose, leaf}, true);
    expectPicture(withFileHeader(join({coreHeader(2, 1, 1), table1}), {0b01000000, 0, 0, 0}), 2, 1,
                  rgbBytes({rose, leaf}));
    Bytes table4 = join({colourTable({rose}, true), Bytes(14 * 3, 0), colourTable({sky}, true)});
    expectPicture(withFileHeader(join({coreHeader(3, 1, 4), table4}), {0xF0, 0x00, 0, 0}), 3, 1,
                  rgbBytes({sky, rose, rose}));
    Bytes table8 = join({colourTable({leaf}, true), Bytes(254 * 3, 0), colourTable({sky}, true)});
    expectPicture(withFileHeader(join({coreHeader(2, 1, 8), table8}), {255, 0, 0, 0}), 2, 1,
                  rgbBytes({sky, leaf}));
    expectPicture(withFileHeader(coreHeader(1, 1, 24), {1, 2, 3, 0}), 1, 1, {3, 2, 1});
}

TEST_F(DibDecoder, HeaderlessFilesFindPixelsAfterHeaderAndTable) {
    // info header, colours-used 2: pixels 40 + 8 bytes in, not 40 + 1024
    expectPicture(join({infoHeader(2, 1, 8, 0, 2), colourTable({rose, leaf}), {1, 0, 0, 0}}), 2, 1,
                  rgbBytes({leaf, rose}));
    // core header at 4 bits: 16 three-byte entries
    Bytes core = join({coreHeader(2, 1, 4), colourTable({rose}, true), Bytes(15 * 3, 0x40)});
    expectPicture(join({core, {0x01, 0, 0, 0}}), 2, 1, rgbBytes({rose, {0x40, 0x40, 0x40}}));
    // bit fields: masks, then the table, then the pixels
    Bytes masks;
    for (uint32_t mask : {0xF800u, 0x07E0u, 0x001Fu}) putU32(masks, mask);
    expectPicture(join({infoHeader(1, 1, 16, bitfields, 1), masks, colourTable({sky}), {0x1F, 0, 0, 0}}),
                  1, 1, {0, 0, 255});
}

TEST_F(DibDecoder, DirectColourDepthsWithoutTable) {
    // 16 bits are 5-5-5; the top bit is unused
    Bytes pixels;
    for (uint32_t pixel : {0x7C00u, 0x03E0u, 0x8421u}) putU16(pixels, pixel);
    pixels.insert(pixels.end(), {0, 0});
    expectPicture(withFileHeader(infoHeader(3, 1, 16), pixels), 3, 1,
                  {255, 0, 0, 0, 255, 0, 8, 8, 8});
    // 32 bits: B, G, R and a fourth byte to ignore
    expectPicture(withFileHeader(infoHeader(2, 1, 32), {1, 2, 3, 0xFF, 4, 5, 6, 0x80}), 2, 1,
                  {3, 2, 1, 6, 5, 4});
}

TEST_F(DibDecoder, BitfieldsTakeMasksAfterInfoHeader) {
    // 5-6-5 with a colour table after the masks; pixels at the offset
    Bytes masks;
    for (uint32_t mask : {0xF800u, 0x07E0u, 0x001Fu}) putU32(masks, mask);
    Bytes pixels;
    for (uint32_t pixel : {0xF800u, 0x0020u}) putU16(pixels, pixel);
    expectPicture(withFileHeader(join({infoHeader(2, 1, 16, bitfields, 2), masks, colourTable({rose, leaf})}),
                                 pixels),
                  2, 1, {255, 0, 0, 0, 4, 0});
    // 32 bits with the channels moved up one byte
    masks.clear();
    for (uint32_t mask : {0x0000FF00u, 0x00FF0000u, 0xFF000000u}) putU32(masks, mask);
    expectPicture(withFileHeader(join({infoHeader(1, 1, 32, bitfields), masks}), {0x99, 0x11, 0x22, 0x33}),
                  1, 1, {0x11, 0x22, 0x33});
}

TEST_F(DibDecoder, TopDownRowsDeliveredBottomUp) {
    const Bytes topFirst = {1, 1, 1, 0, 2, 2, 2, 0};
    expectPicture(withFileHeader(infoHeader(1, -2, 24), topFirst), 1, 2, {2, 2, 2, 1, 1, 1});
}

TEST_F(DibDecoder, Rle8RunsAbsoluteRunsAndSkips) {
    const Bytes table = colourTable({rose, leaf, sky});
    const Bytes stream = {0, 3, 2, 0, 1, 0,  // absolute C A B, padded to 4 bytes
                          1, 2,              // run: C
                          0, 0,              // end of line
                          1, 1,              // B
                          0, 2, 2, 1,        // delta to x 3 of the top row
                          1, 2,              // C
                          0, 1};             // end of bitmap
    expectPicture(withFileHeader(join({infoHeader(4, 3, 8, rle8, 3), table}), stream), 4, 3,
                  rgbBytes({sky, rose, leaf, sky, leaf, black, black, black, black, black, black, sky}));
}

TEST_F(DibDecoder, Rle4NibblesAlternate) {
    const Bytes table = colourTable({rose, leaf, sky});
    const Bytes stream = {3, 0x12,              // B C B
                          0, 3, 0x01, 0x20,     // absolute A B C in two bytes
                          0, 1};
    expectPicture(withFileHeader(join({infoHeader(6, 1, 4, rle4, 3), table}), stream), 6, 1,
                  rgbBytes({leaf, sky, leaf, rose, leaf, sky}));
}

TEST_F(DibDecoder, RoundedDamagedOrCutFilesShowWhatTheyHold) {
    const Bytes table = colourTable({rose, leaf, sky});
    const auto rle = [&](int32_t width, int32_t height, uint32_t compression, const Bytes& stream,
                         uint32_t imageSize = 0) {
        const uint32_t depth = compression == rle8 ? 8 : 4;
        return withFileHeader(join({infoHeader(width, height, depth, compression, 3, imageSize), table}), stream);
    };
    const struct {
        const char* name;
        Bytes file;
        int32_t width, height;
        Bytes rgb;
    } cases[] = {
        {"RLE8 rows rounded up to 4 pixels", rle(3, 2, rle8, {4, 1, 0, 0, 4, 2, 0, 1}), 3, 2,
         rgbBytes({leaf, leaf, leaf, sky, sky, sky})},
        {"RLE8 absolute run past the row, its bytes and padding skipped",
         rle(3, 2, rle8, {0, 5, 1, 2, 0, 2, 2, 0, 0, 0, 3, 1, 0, 1}), 3, 2,
         rgbBytes({leaf, sky, rose, leaf, leaf, leaf})},
        {"RLE4 odd rows written in pixel pairs", rle(3, 2, rle4, {4, 0x12, 0, 0, 0, 4, 0x01, 0x20, 0, 1}), 3, 2,
         rgbBytes({leaf, sky, leaf, rose, leaf, sky})},
        {"stream ending without end of bitmap", rle(2, 2, rle8, {2, 1}), 2, 2, rgbBytes({leaf, leaf, black, black})},
        {"absolute run cut by the end of the file", rle(4, 1, rle8, {0, 4, 1, 2}), 4, 1,
         rgbBytes({leaf, sky, black, black})},
        {"stream ending at its image size", rle(2, 2, rle8, {2, 1, 0, 0, 2, 2, 0, 1}, 2), 2, 2,
         rgbBytes({leaf, leaf, black, black})},
        {"delta past the right edge stops at the row's end",
         rle(3, 2, rle8, {1, 1, 0, 2, 9, 0, 2, 2, 0, 0, 1, 2, 0, 1}), 3, 2,
         rgbBytes({leaf, black, black, sky, black, black})},
        {"end of line past the last row ends the stream", rle(2, 1, rle8, {2, 1, 0, 0, 2, 2, 0, 1}), 2, 1,
         rgbBytes({leaf, leaf})},
        {"delta past the last row ends the stream", rle(2, 2, rle8, {1, 1, 0, 2, 0, 5, 2, 2, 0, 1}), 2, 2,
         rgbBytes({leaf, black, black, black})},
        {"last row without its padding", withFileHeader(infoHeader(1, 2, 24), {1, 2, 3, 0, 4, 5, 6}), 1, 2,
         {3, 2, 1, 6, 5, 4}},
        {"24 bits, colours-used table past the end of the file",
         withFileHeader(infoHeader(1, 1, 24, 0, 300), {1, 2, 3, 0}), 1, 1, {3, 2, 1}},
        {"32 bits, colours-used beyond 16 bits", withFileHeader(infoHeader(1, 1, 32, 0, 0xFFFFFFFF), {1, 2, 3, 4}),
         1, 1, {3, 2, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        expectPicture(c.file, c.width, c.height, c.rgb);
    }
}

TEST_F(DibDecoder, RleWithoutCodeOrTopDownRefused) {
    const Bytes header = join({infoHeader(4, 2, 8, rle8, 1), colourTable({rose})});
    EXPECT_EQ(decode(withFileHeader(header, {})).error, dibErrorConversion);
    EXPECT_EQ(decode(withFileHeader(header, {0})).error, dibErrorConversion);
    // compressed rows are bottom-up only
    const Bytes topDown = join({infoHeader(4, -2, 8, rle8, 1), colourTable({rose})});
    EXPECT_EQ(decode(withFileHeader(topDown, {0, 1})).error, dibErrorConversion);
}

TEST_F(DibDecoder, PicturesOver1GiBRefusedWithoutAllocating) {
    dibAllocate = failingAllocate;
    allocationsLeft = 0;
    // width, height, bytes asked for (0: refused before any allocation)
    const size_t sizes[][3] = {{16384, 16384, 805306368},  // the largest texture the software GL takes
                               {32767, 10923, 1073741823}, // a byte under 1 GiB
                               {32767, 10924, 0},
                               {32767, 32767, 0}};
    for (const auto& size : sizes) {
        SCOPED_TRACE(testing::Message() << size[0] << " x " << size[1]);
        // a 60-byte file that ends at once
        const Bytes header = join({infoHeader((int32_t)size[0], (int32_t)size[1], 8, rle8, 1), colourTable({rose})});
        allocationsAsked.clear();
        EXPECT_EQ(decode(withFileHeader(header, {0, 1})).error, dibErrorOutOfMemory);
        EXPECT_EQ(allocationsAsked, size[2] ? std::vector<size_t>{size[2]} : std::vector<size_t>{});
    }
}

TEST_F(DibDecoder, SidesOutsideOneTo32767Refused) {
    const Bytes plenty(140000, 0);  // enough pixels for every size tried
    const int32_t refused[][2] = {{0, 1},     {32768, 1},       {-1, 1},      {1, 0},
                                  {1, 32768}, {1, -32768},      {1, INT_MIN}, {INT_MIN, 1}};
    for (const auto& size : refused) {
        SCOPED_TRACE(testing::Message() << size[0] << " x " << size[1]);
        EXPECT_EQ(decode(withFileHeader(infoHeader(size[0], size[1], 24), plenty)).error, dibErrorConversion);
    }
    EXPECT_EQ(decode(withFileHeader(coreHeader(0, 1, 24), plenty)).error, dibErrorConversion);
    EXPECT_EQ(decode(withFileHeader(coreHeader(40000, 1, 24), plenty)).error, dibErrorConversion);
    // the largest sides still decode
    const Decoded wide = decode(withFileHeader(infoHeader(32767, 1, 24), plenty));
    EXPECT_EQ(wide.error, dibErrorNone);
    EXPECT_EQ(wide.rgb.size(), 32767u * 3);
    EXPECT_EQ(decode(withFileHeader(infoHeader(1, -32767, 24), plenty)).height, 32767);
}

TEST_F(DibDecoder, UnsupportedDepthsAndCompressionsRefused) {
    const Bytes plenty(4096, 0);
    const uint32_t refused[][2] = {{2, 0},          {0, 0},         {64, 0},  {4, rle8}, {8, rle4},
                                   {24, bitfields}, {8, bitfields}, {32, 4},  {32, 5},   {32, 6}};
    for (const auto& kind : refused) {
        SCOPED_TRACE(testing::Message() << kind[0] << " bits, compression " << kind[1]);
        const Bytes file = withFileHeader(infoHeader(4, 4, kind[0], kind[1]), plenty);
        EXPECT_EQ(decode(file).error, dibErrorConversion);
    }
}

TEST_F(DibDecoder, HeaderSizesOtherThan12And40Unknown) {
    for (uint32_t size : {0u, 16u, 39u, 41u, 64u, 108u, 124u}) {
        SCOPED_TRACE(size);
        Bytes file = infoHeader(4, 4, 24);
        file[0] = (unsigned char)size;
        file.resize(4096, 0);
        EXPECT_EQ(decode(file).error, dibErrorUnknownFormat);
        EXPECT_EQ(decode(join({fileHeader(14 + 124), file})).error, dibErrorUnknownFormat);
    }
}

TEST_F(DibDecoder, TruncationRefusedUntilLastRowPadding) {
    Bytes masks;
    for (uint32_t mask : {0x7C00u, 0x03E0u, 0x001Fu}) putU32(masks, mask);
    struct Case {
        const char* name;
        Bytes file;
        size_t headerEnd;  // a cut before this is an unknown format
        size_t padding;    // a cut into the last row's padding still decodes
    } cases[] = {
        {"8 bits, file header",
         withFileHeader(join({infoHeader(3, 2, 8, 0, 2), colourTable({rose, leaf})}), Bytes(8, 1)), 54, 1},
        {"16-bit fields and table",
         withFileHeader(join({infoHeader(1, 2, 16, bitfields, 1), masks, colourTable({sky})}), Bytes(8, 1)), 54, 2},
        {"core, headerless", join({coreHeader(9, 2, 1), colourTable({rose, leaf}, true), Bytes(8, 0x55)}), 12, 2},
        {"32-bit fields, headerless", join({infoHeader(1, 1, 32, bitfields), masks, Bytes(4, 7)}), 40, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(decode(c.file).error, dibErrorNone);
        for (size_t length = 0; length < c.file.size(); ++length) {
            SCOPED_TRACE(length);
            const Bytes cut(c.file.begin(), c.file.begin() + length);
            const DibError expected = length < c.headerEnd                   ? dibErrorUnknownFormat
                                      : length < c.file.size() - c.padding ? dibErrorConversion
                                                                           : dibErrorNone;
            EXPECT_EQ(decode(cut).error, expected);
        }
    }
}

TEST_F(DibDecoder, OffsetsAndTablesOutsideFileRefused) {
    const Bytes header = join({infoHeader(1, 1, 8, 0, 1), colourTable({rose})});
    Bytes file = withFileHeader(header, {0, 0, 0, 0});
    for (uint32_t offset : {(uint32_t)file.size() + 1, (uint32_t)file.size(), 0xFFFFFFFFu}) {
        SCOPED_TRACE(offset);
        Bytes moved = file;
        moved[10] = (unsigned char)offset;
        moved[11] = (unsigned char)(offset >> 8);
        moved[12] = (unsigned char)(offset >> 16);
        moved[13] = (unsigned char)(offset >> 24);
        EXPECT_EQ(decode(moved).error, dibErrorConversion);
    }
    // without a file header the table places the pixels, at any depth
    EXPECT_EQ(decode(join({infoHeader(1, 1, 24, 0, 2), colourTable({rose}), {1, 2, 3, 0}})).error,
              dibErrorConversion);
    // a colour count that does not fit 16 bits cannot describe the table
    const Bytes hugeTable = withFileHeader(infoHeader(1, 1, 8, 0, 0x10000), Bytes(0x50000, 0));
    EXPECT_EQ(decode(hugeTable).error, dibErrorConversion);
    // more colours than the depth can index: the first 256 serve
    const Bytes big =
        join({infoHeader(2, 1, 8, 0, 300), Bytes(255 * 4, 0), colourTable({sky}), Bytes(44 * 4, 9)});
    expectPicture(withFileHeader(big, {255, 0, 0, 0}), 2, 1, rgbBytes({sky, black}));
}

TEST_F(DibDecoder, AllocationFailureIsOutOfMemoryAndLeavesNothing) {
    const Bytes file = withFileHeader(infoHeader(1, 1, 24), {1, 2, 3, 0});
    dibAllocate = failingAllocate;
    for (int granted : {0, 1}) {  // the pixel bytes, then the record
        SCOPED_TRACE(granted);
        allocationsLeft = granted;
        DibLayout layout;
        ASSERT_EQ(readDibLayout(file.data(), file.size(), file.size(), &layout), dibErrorNone);
        RgbImage* image = reinterpret_cast<RgbImage*>(1);
        DibSource source = dibMemorySource(file.data() + layout.pixelOffset, layout.pixelLength);
        EXPECT_EQ(decodeDibPixels(layout, source, &image), dibErrorOutOfMemory);
        EXPECT_EQ(image, nullptr);
    }
    allocationsLeft = 2;
    EXPECT_EQ(decode(file).error, dibErrorNone);
}
