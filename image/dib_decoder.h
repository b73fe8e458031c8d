#pragma once
// dib_decoder.h -- a BMP/DIB file decoded to an RgbImage, from its bytes.
// Pure: no file, no message box. readDibFile reads the file and shows the message.
//
// Accepted: the 12-byte core and 40-byte info headers, with or without the 14-byte
// file header; 1, 4 and 8 bits with a colour table; 16 (5-5-5), 24 and 32 bits;
// RLE8 at 8 bits, RLE4 at 4 bits; bit fields at 16 and 32 bits; rows bottom-up or
// (uncompressed only) top-down. Nothing is read outside the given bytes.
//
// Decoding takes two steps, so that a reader needs only short pieces of a file in
// memory: readDibLayout looks at the file's head (headers, masks, colour table),
// decodeDibPixels at the pixel data the layout locates, taking them as it goes.

#include <cstddef>
#include <cstdint>

#include "image/dib_reader.h"

enum DibError {
    dibErrorNone,
    dibErrorUnknownFormat,  // the bitmap header is not there, or is neither 12 nor 40 bytes
    dibErrorConversion,     // masks, table or pixels missing, unsupported kind, bad size
    dibErrorOutOfMemory,    // the picture is over maxPictureBytes, or an allocation failed
};

// Every byte readDibLayout reads lies within a file's first dibHeadBytes bytes:
// file header, info header, masks and the 256 colour entries an index can reach.
constexpr size_t dibHeadBytes = 14 + 40 + 12 + 256 * 4;

// The largest packed picture decoded: 16,384 x 16,384 (768 MiB), the largest
// texture the software GL takes, fits; a few bytes of file cannot ask for more.
constexpr uint64_t maxPictureBytes = 1u << 30;

// One colour channel of a 16- or 32-bit pixel: where its bits are and how many.
struct ChannelField {
    uint32_t mask;
    int shift;
    int bits;
};

// What the headers say, checked against the file.
struct DibLayout {
    int32_t width;
    int32_t height;  // always positive; topDown says how the rows are stored
    bool topDown;
    uint32_t bitCount;
    uint32_t compression;
    ChannelField fields[3];         // red, green, blue for 16 and 32 bits
    unsigned char palette[256][3];  // R, G, B; entries past the table stay black
    uint64_t pixelOffset;           // where the pixel data start in the file
    uint64_t pixelLength;           // how many bytes from there decoding reads, 1 or more
};

// Reads the headers from head, the first headSize bytes of a file of fileSize
// bytes (headSize at least the smaller of fileSize and dibHeadBytes), and checks
// them against the file. Whatever is refused is refused here, before any pixel.
DibError readDibLayout(const unsigned char* head, size_t headSize, uint64_t fileSize,
                       DibLayout* layout);

// The most pixel data decodeDibPixels needs at hand at once: a row of 32,767
// pixels of 32 bits. An RLE code with its absolute run needs 258 bytes at most.
constexpr size_t dibSourceBytes = 32767 * 4;

// Puts up to count bytes (count is 1 or more) of a file from offset on at `to`.
// Returns how many, 0 where the file ends, negative on an error.
using DibRead = ptrdiff_t (*)(void* file, unsigned char* to, size_t count, uint64_t offset);

// The pixel data as decodeDibPixels takes them: [next, end) are at hand. Without
// read that is all; with it, the bytes at hand move to the front of buffer, which
// is dibSourceBytes long, and read fills what it can of the rest.
struct DibSource {
    const unsigned char* next;
    const unsigned char* end;
    DibRead read;
    void* file;  // for read
    unsigned char* buffer;
    uint64_t offset;  // in the file, of the next byte to read
    uint64_t left;    // bytes of the layout's pixel data not read yet
    bool cut;         // the file ended before them, or a read failed
};

// The layout.pixelLength bytes at pixels, the file's bytes from layout.pixelOffset on.
DibSource dibMemorySource(const unsigned char* pixels, size_t length);

// The layout's pixel data, read from file into buffer a piece at a time.
DibSource dibReadSource(const DibLayout& layout, unsigned char* buffer, DibRead read, void* file);

// Decodes the layout's pixel data from source. On success *image is a new image
// for the caller to release with freeRgbImage, and exactly width * height * 3
// bytes of pixels and the record were allocated; on failure *image is null and
// nothing is left allocated. A source that ends before the layout's length (only
// a file cut while it is read does) ends the decoding there; the caller sees
// source.cut and should not trust the picture.
DibError decodeDibPixels(const DibLayout& layout, DibSource& source, RgbImage** image);

// The text shown (caption "Error") for a decoding failure; null for dibErrorNone.
const char* dibErrorMessage(DibError error);

// Where the reader gets its read buffer and decodeDibPixels the pixel bytes and
// the record: a zero-filled block that free() releases, or null. Tests point it
// elsewhere to simulate exhaustion or to see what is asked for.
extern void* (*dibAllocate)(size_t bytes);

// Widens a channel of `bits` bits (0 to 32) to 8 bits: wider ones keep their top
// 8 bits, narrower ones repeat their bits (5-bit v becomes (v << 3) | (v >> 2)).
uint8_t widenChannel(uint32_t value, int bits);
