#include "image/dib_decoder.h"

#include <cstdint>
#include <cstdlib>

// Compression codes of the info header.
constexpr uint32_t compressionRgb = 0;
constexpr uint32_t compressionRle8 = 1;
constexpr uint32_t compressionRle4 = 2;
constexpr uint32_t compressionBitfields = 3;

constexpr uint32_t fileHeaderSize = 14;
constexpr uint32_t coreHeaderSize = 12;
constexpr uint32_t infoHeaderSize = 40;
constexpr int64_t maxSide = 32767;  // widest and tallest picture accepted

static void* allocateZeroed(size_t bytes) { return std::calloc(1, bytes); }

void* (*dibAllocate)(size_t bytes) = allocateZeroed;

// Little-endian fields at any alignment: the info header starts at byte 14.
static uint32_t readU16(const unsigned char* p) { return (uint32_t)p[0] | (uint32_t)p[1] << 8; }

static uint32_t readU32(const unsigned char* p) {
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

static int64_t readI32(const unsigned char* p) {
    const int64_t value = readU32(p);
    return value >= 0x80000000LL ? value - 0x100000000LL : value;
}

uint16_t dibColourCount(const unsigned char* header) {
    uint32_t bitCount;
    if (readU32(header) == coreHeaderSize) {
        bitCount = readU16(header + 10);
    } else if (readU32(header) == infoHeaderSize) {
        const uint32_t coloursUsed = readU32(header + 32);
        if (coloursUsed != 0) return (uint16_t)coloursUsed;
        bitCount = readU16(header + 14);
    } else {
        return 0;  // a header this reader refuses: its fields are not known to be there
    }
    switch (bitCount) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;
    }
}

uint8_t widenChannel(uint32_t value, int bits) {
    if (bits <= 0) return 0;
    if (bits >= 8) return (uint8_t)(value >> (bits - 8));
    uint32_t repeated = 0;
    int filled = 0;
    while (filled < 8) {
        repeated = repeated << bits | value;
        filled += bits;
    }
    return (uint8_t)(repeated >> (filled - 8));
}

// One colour channel of a 16- or 32-bit pixel: where its bits are and how many.
struct ChannelField {
    uint32_t mask;
    int shift;
    int bits;
};

static ChannelField channelField(uint32_t mask) {
    ChannelField field = {mask, 0, 0};
    if (mask == 0) return field;
    while (!(mask >> field.shift & 1)) ++field.shift;
    int top = 31;
    while (!(mask >> top & 1)) --top;
    // A mask with holes is read as its whole span; no valid file has one.
    field.bits = top - field.shift + 1;
    return field;
}

// What the headers say, checked against the file.
struct DibLayout {
    int32_t width;
    int32_t height;  // always positive; topDown says how the rows are stored
    bool topDown;
    uint32_t bitCount;
    uint32_t compression;
    ChannelField fields[3];         // red, green, blue for 16 and 32 bits
    unsigned char palette[256][3];  // R, G, B; entries past the table stay black
    uint64_t pixelOffset;
    uint64_t rowStride;             // uncompressed rows: padded to 4 bytes
};

static void putColour(unsigned char* out, unsigned char red, unsigned char green,
                      unsigned char blue) {
    out[0] = red;
    out[1] = green;
    out[2] = blue;
}

static void putColour(unsigned char* out, const unsigned char* rgb) {
    putColour(out, rgb[0], rgb[1], rgb[2]);
}

static bool depthAccepted(uint32_t compression, uint32_t bitCount) {
    switch (compression) {
    case compressionRgb:
        return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 ||
               bitCount == 24 || bitCount == 32;
    case compressionRle8: return bitCount == 8;
    case compressionRle4: return bitCount == 4;
    case compressionBitfields: return bitCount == 16 || bitCount == 32;
    default: return false;
    }
}

// Every offset below is checked as `size - start < length` with start <= size
// already known, so nothing can wrap.
static DibError readLayout(const unsigned char* bytes, size_t size, DibLayout& layout) {
    const bool hasFileHeader = size >= 2 && bytes[0] == 'B' && bytes[1] == 'M';
    const uint64_t headerStart = hasFileHeader ? fileHeaderSize : 0;
    if (size < headerStart + 4) return dibErrorUnknownFormat;
    const unsigned char* header = bytes + headerStart;
    const uint32_t headerSize = readU32(header);
    if (headerSize != coreHeaderSize && headerSize != infoHeaderSize) return dibErrorUnknownFormat;
    if (size - headerStart < headerSize) return dibErrorUnknownFormat;

    int64_t width;
    int64_t height;
    uint64_t entrySize;
    if (headerSize == coreHeaderSize) {
        width = readU16(header + 4);
        height = readU16(header + 6);
        layout.bitCount = readU16(header + 10);
        layout.compression = compressionRgb;
        entrySize = 3;
    } else {
        width = readI32(header + 4);
        height = readI32(header + 8);
        layout.bitCount = readU16(header + 14);
        layout.compression = readU32(header + 16);
        entrySize = 4;
        // The colour count is 16 bits wide; a larger table cannot be described.
        if (readU32(header + 32) > 0xFFFF) return dibErrorConversion;
    }
    if (width < 1 || width > maxSide || height == 0 || height < -maxSide || height > maxSide)
        return dibErrorConversion;
    layout.width = (int32_t)width;
    layout.topDown = height < 0;
    layout.height = (int32_t)(height < 0 ? -height : height);
    if (!depthAccepted(layout.compression, layout.bitCount)) return dibErrorConversion;
    const bool runLength =
        layout.compression == compressionRle8 || layout.compression == compressionRle4;
    if (runLength && layout.topDown) return dibErrorConversion;  // RLE rows are bottom-up only

    uint64_t tableStart = headerStart + headerSize;
    uint32_t masks[3] = {0x7C00, 0x03E0, 0x001F};  // 5-5-5
    if (layout.bitCount == 32) {
        masks[0] = 0xFF0000;
        masks[1] = 0x00FF00;
        masks[2] = 0x0000FF;
    }
    if (layout.compression == compressionBitfields) {
        if (size - tableStart < 12) return dibErrorConversion;
        for (int channel = 0; channel < 3; ++channel)
            masks[channel] = readU32(bytes + tableStart + 4 * channel);
        tableStart += 12;
    }
    for (int channel = 0; channel < 3; ++channel) layout.fields[channel] = channelField(masks[channel]);

    const uint64_t colourCount = dibColourCount(header);
    const uint64_t tableSize = colourCount * entrySize;
    if (size - tableStart < tableSize) return dibErrorConversion;
    for (uint64_t entry = 0; entry < 256; ++entry) {
        if (entry < colourCount) {
            const unsigned char* colour = bytes + tableStart + entry * entrySize;  // B, G, R
            putColour(layout.palette[entry], colour[2], colour[1], colour[0]);
        } else {
            putColour(layout.palette[entry], 0, 0, 0);
        }
    }

    layout.pixelOffset = hasFileHeader ? readU32(bytes + 10) : tableStart + tableSize;
    if (layout.pixelOffset > size) return dibErrorConversion;
    layout.rowStride = ((uint64_t)layout.width * layout.bitCount + 31) / 32 * 4;
    if (!runLength && (size - layout.pixelOffset) / layout.rowStride < (uint64_t)layout.height)
        return dibErrorConversion;
    return dibErrorNone;
}

static void putFields(unsigned char* out, uint32_t pixel, const ChannelField* fields) {
    for (int channel = 0; channel < 3; ++channel) {
        const ChannelField& field = fields[channel];
        out[channel] = widenChannel((pixel & field.mask) >> field.shift, field.bits);
    }
}

static void decodeRows(const unsigned char* bytes, const DibLayout& layout, unsigned char* data) {
    const uint32_t depth = layout.bitCount;
    const uint32_t indexMask = (1u << (depth < 8 ? depth : 8)) - 1;
    for (int32_t row = 0; row < layout.height; ++row) {
        const unsigned char* source = bytes + layout.pixelOffset + row * layout.rowStride;
        const int32_t pictureRow = layout.topDown ? layout.height - 1 - row : row;
        unsigned char* out = data + (size_t)pictureRow * layout.width * 3;
        for (int32_t x = 0; x < layout.width; ++x, out += 3) {
            switch (depth) {
            case 1:
            case 4:
            case 8: {
                // Leftmost pixel in the most significant bits of its byte.
                const uint32_t bit = (uint32_t)x * depth;
                const uint32_t index = source[bit / 8] >> (8 - depth - bit % 8) & indexMask;
                putColour(out, layout.palette[index]);
                break;
            }
            case 16: putFields(out, readU16(source + 2 * x), layout.fields); break;
            case 24:
                out[0] = source[3 * x + 2];
                out[1] = source[3 * x + 1];
                out[2] = source[3 * x];
                break;
            default: putFields(out, readU32(source + 4 * x), layout.fields); break;
            }
        }
    }
}

// Runs and absolute runs must stay inside their row, deltas inside the picture;
// the stream ends with end-of-bitmap, or with its data once every row is done.
// Pixels the stream never reaches keep the block's zeros: black.
static DibError decodeRunLength(const unsigned char* bytes, size_t size, const DibLayout& layout,
                                unsigned char* data) {
    const bool fourBits = layout.compression == compressionRle4;
    const unsigned char* in = bytes + layout.pixelOffset;
    const unsigned char* end = bytes + size;
    const int64_t width = layout.width;
    const int64_t height = layout.height;
    int64_t x = 0;
    int64_t y = 0;
    for (;;) {
        if (end - in < 2) return y >= height ? dibErrorNone : dibErrorConversion;
        const uint32_t count = in[0];
        const uint32_t value = in[1];
        in += 2;
        if (count > 0) {
            if (y >= height || x + count > width) return dibErrorConversion;
            unsigned char* out = data + (size_t)(y * width + x) * 3;
            for (uint32_t k = 0; k < count; ++k, out += 3) {
                const uint32_t index = !fourBits ? value : k % 2 == 0 ? value >> 4 : value & 15;
                putColour(out, layout.palette[index]);
            }
            x += count;
            continue;
        }
        switch (value) {
        case 0:  // end of line
            x = 0;
            if (++y > height) return dibErrorConversion;
            break;
        case 1: return dibErrorNone;  // end of bitmap
        case 2:                       // delta: right and up
            if (end - in < 2) return dibErrorConversion;
            x += in[0];
            y += in[1];
            in += 2;
            if (x > width || y > height) return dibErrorConversion;
            break;
        default: {  // absolute run of `value` pixels, padded to 16 bits
            const uint32_t dataBytes = fourBits ? (value + 1) / 2 : value;
            const uint32_t paddedBytes = (dataBytes + 1) & ~1u;
            if ((uint64_t)(end - in) < paddedBytes) return dibErrorConversion;
            if (y >= height || x + value > width) return dibErrorConversion;
            unsigned char* out = data + (size_t)(y * width + x) * 3;
            for (uint32_t k = 0; k < value; ++k, out += 3) {
                const uint32_t index =
                    !fourBits ? in[k] : k % 2 == 0 ? in[k / 2] >> 4 : in[k / 2] & 15;
                putColour(out, layout.palette[index]);
            }
            in += paddedBytes;
            x += value;
            break;
        }
        }
    }
}

DibError decodeDib(const unsigned char* bytes, size_t size, RgbImage** image) {
    *image = nullptr;
    DibLayout layout;
    const DibError layoutError = readLayout(bytes, size, layout);
    if (layoutError != dibErrorNone) return layoutError;

    // At most 32767 * 32767 * 3 bytes: fits 64 bits, not necessarily size_t.
    const uint64_t pixelBytes = (uint64_t)layout.width * (uint64_t)layout.height * 3;
    if (pixelBytes > SIZE_MAX) return dibErrorOutOfMemory;
    unsigned char* data = (unsigned char*)dibAllocate((size_t)pixelBytes);
    if (!data) return dibErrorOutOfMemory;

    if (layout.compression == compressionRle8 || layout.compression == compressionRle4) {
        const DibError streamError = decodeRunLength(bytes, size, layout, data);
        if (streamError != dibErrorNone) {
            std::free(data);
            return streamError;
        }
    } else {
        decodeRows(bytes, layout, data);
    }

    RgbImage* record = (RgbImage*)dibAllocate(sizeof(RgbImage));
    if (!record) {
        std::free(data);
        return dibErrorOutOfMemory;
    }
    record->width = layout.width;
    record->height = layout.height;
    record->data = data;
    *image = record;
    return dibErrorNone;
}

const char* dibErrorMessage(DibError error) {
    switch (error) {
    case dibErrorUnknownFormat: return "Unknown DIB file format.";
    case dibErrorConversion: return "Image file conversion error.";
    case dibErrorOutOfMemory: return "Out of memory.";
    default: return nullptr;
    }
}
