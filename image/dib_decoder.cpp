#include "image/dib_decoder.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

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
// already known (and headSize <= fileSize), so nothing can wrap.
DibError readDibLayout(const unsigned char* head, size_t headSize, uint64_t fileSize,
                       DibLayout* layoutOut) {
    DibLayout& layout = *layoutOut;
    const bool hasFileHeader = headSize >= 2 && head[0] == 'B' && head[1] == 'M';
    const uint64_t headerStart = hasFileHeader ? fileHeaderSize : 0;
    if (headSize < headerStart + 4) return dibErrorUnknownFormat;
    const unsigned char* header = head + headerStart;
    const uint32_t headerSize = readU32(header);
    if (headerSize != coreHeaderSize && headerSize != infoHeaderSize) return dibErrorUnknownFormat;
    if (headSize - headerStart < headerSize) return dibErrorUnknownFormat;

    int64_t width;
    int64_t height;
    uint64_t entrySize;
    uint32_t coloursUsed = 0;
    uint32_t imageSize = 0;
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
        imageSize = readU32(header + 20);
        coloursUsed = readU32(header + 32);
        entrySize = 4;
    }
    if (width < 1 || width > maxSide || height == 0 || height < -maxSide || height > maxSide)
        return dibErrorConversion;
    layout.width = (int32_t)width;
    layout.topDown = height < 0;
    layout.height = (int32_t)(height < 0 ? -height : height);
    const uint64_t pictureBytes = (uint64_t)layout.width * (uint64_t)layout.height * 3;
    if (pictureBytes > maxPictureBytes) return dibErrorOutOfMemory;
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
        if (headSize - tableStart < 12) return dibErrorConversion;
        for (int channel = 0; channel < 3; ++channel)
            masks[channel] = readU32(head + tableStart + 4 * channel);
        tableStart += 12;
    }
    for (int channel = 0; channel < 3; ++channel) layout.fields[channel] = channelField(masks[channel]);

    // The table matters when an index picks from it, or when it places the pixels
    // of a file without file header; otherwise whatever colours-used says is moot.
    const bool indexed = layout.bitCount <= 8;
    for (uint64_t entry = 0; entry < 256; ++entry) putColour(layout.palette[entry], 0, 0, 0);
    if (indexed || !hasFileHeader) {
        // The colour count is 16 bits wide; a larger table cannot be described.
        if (coloursUsed > 0xFFFF) return dibErrorConversion;
        const uint64_t colourCount = dibColourCount(header);
        const uint64_t tableSize = colourCount * entrySize;
        if (fileSize - tableStart < tableSize) return dibErrorConversion;
        const uint64_t entriesRead = indexed ? (colourCount < 256 ? colourCount : 256) : 0;
        if (headSize - tableStart < entriesRead * entrySize) return dibErrorConversion;
        for (uint64_t entry = 0; entry < entriesRead; ++entry) {
            const unsigned char* colour = head + tableStart + entry * entrySize;  // B, G, R
            putColour(layout.palette[entry], colour[2], colour[1], colour[0]);
        }
        if (!hasFileHeader) layout.pixelOffset = tableStart + tableSize;
    }
    if (hasFileHeader) layout.pixelOffset = readU32(head + 10);
    if (layout.pixelOffset > fileSize) return dibErrorConversion;
    const uint64_t available = fileSize - layout.pixelOffset;

    if (runLength) {
        // No code moves on by a pixel for more than 4 bytes (a delta); with an end of
        // line and a clipped run a row on top, an honest stream is at most this long.
        // Cutting it here keeps decoding time linear in the picture.
        uint64_t streamLimit = 4 * (pictureBytes / 3) + 4 * (uint64_t)layout.height + 2;
        if (imageSize != 0 && imageSize < streamLimit) streamLimit = imageSize;
        layout.pixelLength = available < streamLimit ? available : streamLimit;
        if (layout.pixelLength < 2) return dibErrorConversion;  // not even one code
        return dibErrorNone;
    }
    // Every pixel of the last row must be there; its padding need not.
    const uint64_t rowStride = ((uint64_t)layout.width * layout.bitCount + 31) / 32 * 4;
    const uint64_t lastRowBytes = ((uint64_t)layout.width * layout.bitCount + 7) / 8;
    if (available < rowStride * (layout.height - 1) + lastRowBytes) return dibErrorConversion;
    const uint64_t allRows = rowStride * layout.height;
    layout.pixelLength = available < allRows ? available : allRows;
    return dibErrorNone;
}

DibSource dibMemorySource(const unsigned char* pixels, size_t length) {
    DibSource source = {};
    source.next = pixels;
    source.end = pixels + length;
    return source;
}

DibSource dibReadSource(const DibLayout& layout, unsigned char* buffer, DibRead read, void* file) {
    DibSource source = {};
    source.next = buffer;
    source.end = buffer;
    source.read = read;
    source.file = file;
    source.buffer = buffer;
    source.offset = layout.pixelOffset;
    source.left = layout.pixelLength;
    return source;
}

// Moves the bytes at hand to the front of the buffer and reads more after them;
// false when no more come.
static bool refill(DibSource& source) {
    if (!source.read || source.left == 0) return false;
    const size_t held = (size_t)(source.end - source.next);
    std::memmove(source.buffer, source.next, held);
    source.next = source.buffer;
    source.end = source.buffer + held;
    // Never 0: no piece asked for is longer than the buffer.
    const size_t room = dibSourceBytes - held;
    const ptrdiff_t got = source.read(source.file, source.buffer + held,
                                      room < source.left ? room : (size_t)source.left, source.offset);
    if (got <= 0) {
        source.cut = true;
        source.left = 0;
        return false;
    }
    source.end += got;
    source.offset += (uint64_t)got;
    source.left -= (uint64_t)got;
    return true;
}

// True when `length` bytes are at hand; false when the data end sooner, and then
// all that are left are at hand.
static bool ensureBytes(DibSource& source, size_t length) {
    while ((size_t)(source.end - source.next) < length)
        if (!refill(source)) return false;
    return true;
}

static void putFields(unsigned char* out, uint32_t pixel, const ChannelField* fields) {
    for (int channel = 0; channel < 3; ++channel) {
        const ChannelField& field = fields[channel];
        out[channel] = widenChannel((pixel & field.mask) >> field.shift, field.bits);
    }
}

static void decodeRows(DibSource& source, const DibLayout& layout, unsigned char* data) {
    const uint32_t depth = layout.bitCount;
    const uint32_t indexMask = (1u << (depth < 8 ? depth : 8)) - 1;
    const size_t rowStride = ((size_t)layout.width * depth + 31) / 32 * 4;
    const size_t lastRowBytes = ((size_t)layout.width * depth + 7) / 8;  // its padding may be cut
    for (int32_t row = 0; row < layout.height; ++row) {
        const size_t rowLength = row + 1 < layout.height ? rowStride : lastRowBytes;
        if (!ensureBytes(source, rowLength)) return;  // a file cut while it is read
        const unsigned char* const in = source.next;
        source.next += rowLength;
        const int32_t pictureRow = layout.topDown ? layout.height - 1 - row : row;
        unsigned char* out = data + (size_t)pictureRow * layout.width * 3;
        for (int32_t x = 0; x < layout.width; ++x, out += 3) {
            switch (depth) {
            case 1:
            case 4:
            case 8: {
                // Leftmost pixel in the most significant bits of its byte.
                const uint32_t bit = (uint32_t)x * depth;
                const uint32_t index = in[bit / 8] >> (8 - depth - bit % 8) & indexMask;
                putColour(out, layout.palette[index]);
                break;
            }
            case 16: putFields(out, readU16(in + 2 * x), layout.fields); break;
            case 24:
                out[0] = in[3 * x + 2];
                out[1] = in[3 * x + 1];
                out[2] = in[3 * x];
                break;
            default: putFields(out, readU32(in + 4 * x), layout.fields); break;
            }
        }
    }
}

static uint32_t smaller(uint64_t a, uint64_t b) { return (uint32_t)(a < b ? a : b); }

// As the Windows conversion does: runs are clipped at the row's end (an absolute
// run's bytes still consumed), a delta past the right edge stops at the row's
// end, and an end of line or delta past the last row, an end-of-bitmap or the end
// of the stream ends the decoding, keeping what was decoded. Pixels the stream
// never reaches keep the block's zeros: black.
static void decodeRunLength(DibSource& source, const DibLayout& layout, unsigned char* data) {
    const bool fourBits = layout.compression == compressionRle4;
    const uint32_t width = (uint32_t)layout.width;
    const uint32_t height = (uint32_t)layout.height;
    uint32_t x = 0;  // up to width: past the last pixel, where clipped runs leave it
    uint32_t y = 0;  // always below height
    while (ensureBytes(source, 2)) {
        const uint32_t count = source.next[0];
        const uint32_t value = source.next[1];
        source.next += 2;
        if (count > 0) {  // `count` pixels of one index, or two alternating nibbles
            const uint32_t shown = smaller(count, width - x);
            unsigned char* out = data + ((size_t)y * width + x) * 3;
            for (uint32_t k = 0; k < shown; ++k, out += 3) {
                const uint32_t index = !fourBits ? value : k % 2 == 0 ? value >> 4 : value & 15;
                putColour(out, layout.palette[index]);
            }
            x += shown;
            continue;
        }
        switch (value) {
        case 0:  // end of line
            x = 0;
            if (++y == height) return;
            break;
        case 1: return;  // end of bitmap
        case 2:          // delta: right and up
            if (!ensureBytes(source, 2)) return;
            x = smaller((uint64_t)x + source.next[0], width);
            y += source.next[1];
            source.next += 2;
            if (y >= height) return;
            break;
        default: {  // absolute run of `value` pixels, its bytes padded to 16 bits
            const uint32_t dataBytes = fourBits ? (value + 1) / 2 : value;
            const uint32_t paddedBytes = (dataBytes + 1) & ~1u;
            const bool whole = ensureBytes(source, paddedBytes);
            const unsigned char* const in = source.next;
            const uint32_t present = smaller(dataBytes, (uint64_t)(source.end - in));
            const uint32_t shown = smaller(smaller(value, fourBits ? 2 * present : present), width - x);
            unsigned char* out = data + ((size_t)y * width + x) * 3;
            for (uint32_t k = 0; k < shown; ++k, out += 3) {
                const uint32_t index =
                    !fourBits ? in[k] : k % 2 == 0 ? in[k / 2] >> 4 : in[k / 2] & 15;
                putColour(out, layout.palette[index]);
            }
            x += shown;
            if (!whole) return;
            source.next += paddedBytes;
            break;
        }
        }
    }
}

DibError decodeDibPixels(const DibLayout& layout, DibSource& source, RgbImage** image) {
    *image = nullptr;
    // At most maxPictureBytes: readDibLayout refused anything larger.
    const size_t pixelBytes = (size_t)layout.width * (size_t)layout.height * 3;
    unsigned char* data = (unsigned char*)dibAllocate(pixelBytes);
    if (!data) return dibErrorOutOfMemory;

    if (layout.compression == compressionRle8 || layout.compression == compressionRle4)
        decodeRunLength(source, layout, data);
    else
        decodeRows(source, layout, data);

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
