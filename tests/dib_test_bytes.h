#pragma once
// dib_test_bytes.h -- bitmap files built byte by byte, and decoding them.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <vector>

#include "image/dib_decoder.h"

using Bytes = std::vector<unsigned char>;

inline void putU16(Bytes& bytes, uint32_t value) {
    bytes.push_back((unsigned char)value);
    bytes.push_back((unsigned char)(value >> 8));
}

inline void putU32(Bytes& bytes, uint32_t value) {
    putU16(bytes, value & 0xFFFF);
    putU16(bytes, value >> 16);
}

inline Bytes join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

inline Bytes infoHeader(int32_t width, int32_t height, uint32_t bitCount, uint32_t compression = 0,
                        uint32_t coloursUsed = 0, uint32_t imageSize = 0) {
    Bytes header;
    putU32(header, 40);
    putU32(header, (uint32_t)width);
    putU32(header, (uint32_t)height);
    putU16(header, 1);
    putU16(header, bitCount);
    putU32(header, compression);
    putU32(header, imageSize);  // read for RLE streams only
    putU32(header, 2835);
    putU32(header, 2835);
    putU32(header, coloursUsed);
    putU32(header, 0);
    return header;
}

inline Bytes coreHeader(uint32_t width, uint32_t height, uint32_t bitCount) {
    Bytes header;
    putU32(header, 12);
    putU16(header, width);
    putU16(header, height);
    putU16(header, 1);
    putU16(header, bitCount);
    return header;
}

// "BM", then the offset of the pixels from the start of the file.
inline Bytes fileHeader(uint32_t pixelOffset) {
    Bytes header = {'B', 'M'};
    putU32(header, 0);
    putU32(header, 0);
    putU32(header, pixelOffset);
    return header;
}

// A file header pointing just past everything before the pixels.
inline Bytes withFileHeader(const Bytes& headerAndTable, const Bytes& pixels) {
    return join({fileHeader(14 + (uint32_t)headerAndTable.size()), headerAndTable, pixels});
}

struct Rgb {
    unsigned char red, green, blue;
};

// Colour-table entries: 4 bytes (B, G, R, 0) for the info header, 3 for the core one.
inline Bytes colourTable(std::initializer_list<Rgb> colours, bool core = false) {
    Bytes table;
    for (const Rgb& c : colours) {
        table.insert(table.end(), {c.blue, c.green, c.red});
        if (!core) table.push_back(0);
    }
    return table;
}

struct Decoded {
    DibError error;
    int32_t width;
    int32_t height;
    Bytes rgb;  // rows bottom to top
};

// A file's bytes, handed out at most `piece` at a time.
struct PieceReader {
    const Bytes* file;
    size_t piece;
};

inline ptrdiff_t readPieces(void* reader, unsigned char* to, size_t count, uint64_t offset) {
    const PieceReader& pieces = *(const PieceReader*)reader;
    if (offset >= pieces.file->size()) return 0;
    const size_t length = std::min({count, pieces.piece, (size_t)(pieces.file->size() - offset)});
    std::copy_n(pieces.file->begin() + offset, length, to);
    return (ptrdiff_t)length;
}

// Decodes file as readDibFile does, from an exact-size copy of its head: a read
// past it hits the sanitizer's red zone, not a vector's spare capacity. The pixel
// data come in an exact-size copy too, or with piece set, read that many bytes at
// a time, so that refills fall inside rows and RLE codes.
inline Decoded decode(const Bytes& file, size_t piece = 0) {
    const size_t headSize = std::min(file.size(), dibHeadBytes);
    std::unique_ptr<unsigned char[]> head(new unsigned char[headSize]);
    std::copy(file.begin(), file.begin() + headSize, head.get());
    Decoded result = {dibErrorNone, 0, 0, {}};
    DibLayout layout;
    result.error = readDibLayout(head.get(), headSize, file.size(), &layout);
    if (result.error != dibErrorNone) return result;
    std::unique_ptr<unsigned char[]> pixels(new unsigned char[piece ? dibSourceBytes : layout.pixelLength]);
    PieceReader reader = {&file, piece};
    DibSource source = dibReadSource(layout, pixels.get(), readPieces, &reader);
    if (!piece) {
        std::copy_n(file.begin() + layout.pixelOffset, layout.pixelLength, pixels.get());
        source = dibMemorySource(pixels.get(), layout.pixelLength);
    }
    RgbImage* image = nullptr;
    result.error = decodeDibPixels(layout, source, &image);
    if (image) {
        result.width = image->width;
        result.height = image->height;
        result.rgb.assign(image->data, image->data + (size_t)image->width * image->height * 3);
        freeRgbImage(image);
    }
    return result;
}

inline Bytes rgbBytes(std::initializer_list<Rgb> pixels) {
    Bytes bytes;
    for (const Rgb& p : pixels) bytes.insert(bytes.end(), {p.red, p.green, p.blue});
    return bytes;
}
