#pragma once
// dib_decoder.h -- a whole BMP/DIB file already in memory, decoded to an RgbImage.
// Pure: no file, no message box. readDibFile maps the file and shows the message.
//
// Accepted: the 12-byte core and 40-byte info headers, with or without the 14-byte
// file header; 1, 4 and 8 bits with a colour table; 16 (5-5-5), 24 and 32 bits;
// RLE8 at 8 bits, RLE4 at 4 bits; bit fields at 16 and 32 bits; rows bottom-up or
// (uncompressed only) top-down. Nothing is read outside the given bytes.

#include <cstddef>
#include <cstdint>

#include "image/dib_reader.h"

enum DibError {
    dibErrorNone,
    dibErrorUnknownFormat,  // the bitmap header is not there, or is neither 12 nor 40 bytes
    dibErrorConversion,     // masks, table or pixels missing, unsupported kind, bad size, broken RLE
    dibErrorOutOfMemory,
};

// Decodes the size bytes at bytes. On success *image is a new image for the caller
// to release with freeRgbImage; on failure *image is null and nothing is left allocated.
DibError decodeDib(const unsigned char* bytes, size_t size, RgbImage** image);

// The text shown (caption "Error") for a decoding failure; null for dibErrorNone.
const char* dibErrorMessage(DibError error);

// Where decodeDib gets the pixel bytes and the record: a zero-filled block that
// free() releases, or null. Tests point it elsewhere to simulate exhaustion.
extern void* (*dibAllocate)(size_t bytes);

// Widens a channel of `bits` bits (0 to 32) to 8 bits: wider ones keep their top
// 8 bits, narrower ones repeat their bits (5-bit v becomes (v << 3) | (v >> 2)).
uint8_t widenChannel(uint32_t value, int bits);
